#pragma once

#include "logic/connection/ConnectionString.h"
#include "logic/scan/TableChoice.h"

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace rq {

class TableChoiceModel;

// "Tables...": every table of the database with a check box, a filter, "All" and "None", and beside each table
// left out why. It opens at once and says that it is listing the tables; Esc or Cancel gives up the listing.
// The choice is kept per server and database, and the next extraction reads with it.
class TablesDialog : public QDialog {
    Q_OBJECT
public:
    explicit TablesDialog(QWidget* parent);

    // While the tables are being listed: `what` says so, and only Cancel answers.
    void showListing(const QString& what);
    void setDecisions(const QList<TableDecision>& decisions);
    bool listing() const { return listing_; }

    // The tables ticked now, by quoted name.
    QSet<QString> ticked() const;

    QLabel* explanation;
    QLineEdit* filter;
    QTreeView* tables;
    QPushButton* all;
    QPushButton* none;
    QDialogButtonBox* buttons;
    TableChoiceModel* model;

private:
    void enableChoosing(bool enabled);

    bool listing_ = false;
};

// Opens the dialog while the database's tables are listed (the window stays usable, Esc gives up), asks, and
// saves the choice; a failure to list passes to the caller.
void ChooseTables(QWidget& window, const ConnectionFields& fields);

} // namespace rq
