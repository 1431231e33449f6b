#pragma once

#include "logic/connection/ConnectionString.h"
#include "logic/scan/TableChoice.h"
#include "platform/MessageBoxes.h"

#include <QDialog>

class QLineEdit;
class QTreeWidget;
class QPushButton;

namespace rq {

// "Tables...": every table of the database with a check box, a filter, "All" and "None", and beside each table
// left out why. The choice is kept per server and database, and the next extraction reads with it.
class TablesDialog : public QDialog {
    Q_OBJECT
public:
    TablesDialog(const QList<TableDecision>& decisions, QWidget* parent);

    // The tables ticked now, by qualified name.
    QSet<QString> ticked() const;

    QLineEdit* filter;
    QTreeWidget* tables;
    QPushButton* all;
    QPushButton* none;

private:
    void showMatching(const QString& text);
    void tickShown(bool ticked);
};

// Lists the database's tables (the window repaints meanwhile), asks, and saves the choice; a failure to list
// passes to the caller.
void ChooseTables(QWidget& window, const ConnectionFields& fields);

} // namespace rq
