#pragma once

#include "logic/connection/ConnectionString.h"
#include "logic/connection/ReadingOptions.h"
#include "logic/scan/TableListing.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeView;

namespace rq {

class TableChoiceModel;

// "Tables...": every database of the server with its schemas and tables, a check box for each database and
// table, a filter, "All" and "None", and beside each one left out why; below, how the tables are read. It
// opens at once and says that it is listing; Esc or Cancel gives the listing up. The choice is kept per server
// (the databases) and per database (the tables), and the next extraction reads with it.
class TablesDialog : public QDialog {
    Q_OBJECT
public:
    explicit TablesDialog(QWidget* parent);

    // While the server is being listed: `what` says so, and only Cancel answers.
    void showListing(const QString& what);
    void setDatabases(const QList<ListedDatabase>& databases);
    bool listing() const { return listing_; }

    void setReading(const ReadingOptions& options);
    ReadingOptions reading() const;

    QLabel* explanation;
    QLineEdit* filter;
    QTreeView* tables;
    QPushButton* all;
    QPushButton* none;
    QComboBox* isolation;
    QSpinBox* lockTimeout;
    QCheckBox* readOnlyIntent;
    QDialogButtonBox* buttons;
    TableChoiceModel* model;

private:
    void enableChoosing(bool enabled);

    bool listing_ = false;
};

// Opens the dialog while the server's databases and tables are listed (the window stays usable, Esc gives up),
// asks, and saves the choice; a failure to list passes to the caller.
void ChooseTables(QWidget& window, const ConnectionFields& fields);

} // namespace rq
