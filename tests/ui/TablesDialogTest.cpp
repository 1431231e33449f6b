// "Tables...": every table with why it is left out, chosen with the filter, "All" and "None", kept per
// database, and read by the next extraction.
#include "ui/TablesDialog.h"
#include "logic/scan/TableChoiceStore.h"
#include "support/ExtractionWindow.h"
#include "support/Files.h"
#include "ui/TableChoiceModel.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

using namespace rq;

namespace {

// Runs `answer` on the Tables dialog once it is open, then closes it with OK.
void whenTheDialogOpens(const std::function<void(TablesDialog&)>& answer)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        auto* dialog = qobject_cast<TablesDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->listing())
            return;
        timer->deleteLater();
        timer->stop();
        answer(*dialog);
        dialog->accept();
    });
    timer->start(5);
}

// Each table the dialog shows, "[x] schema.table: why left out", in tree order.
QStringList rows(const TablesDialog& dialog)
{
    QStringList shown;
    const QAbstractItemModel& model = *dialog.tables->model();
    const std::function<void(const QModelIndex&, const QString&)> walk = [&](const QModelIndex& parent,
                                                                             const QString& path) {
        for (int i = 0; i < model.rowCount(parent); ++i) {
            const QModelIndex index = model.index(i, 0, parent);
            const QString name = path + index.data().toString();
            if (model.rowCount(index) > 0 || !parent.isValid()) { // a database, or a schema
                walk(index, parent.isValid() ? name + "." : QString());
                continue;
            }
            const QString reason = model.index(i, 1, parent).data().toString();
            shown << QStringLiteral("%1 %2%3%4")
                         .arg(index.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked ? "[x]" : "[ ]",
                              name, reason.isEmpty() ? "" : ": ", reason);
        }
    };
    walk({}, {});
    return shown;
}

} // namespace

TEST(TablesDialog, TheTablesTickedAreReadAndTheChoiceIsKeptPerDatabase)
{
    test::ExtractionWindow w;
    w.db.exec("CREATE TABLE Customers(a); INSERT INTO Customers VALUES ('customer quarry')");
    w.db.exec("CREATE TABLE PaySystemConfig(a); INSERT INTO PaySystemConfig VALUES ('config quarry')");
    w.db.exec("CREATE TABLE sysdiagrams(a); INSERT INTO sysdiagrams VALUES ('diagram quarry')");
    w.db.exec("CREATE VIEW Everything AS SELECT a FROM Customers");
    w.extractLines("quarry");
    EXPECT_EQ(w.items(), QStringList{"customer quarry"});
    EXPECT_TRUE(w.form.Label1->text().startsWith("Read 1 table, 3 left out, 1 row, "));

    QStringList listed;
    whenTheDialogOpens([&](TablesDialog& dialog) {
        listed = rows(dialog);
        dialog.filter->setText("SYS"); // letter case ignored
        dialog.all->click();           // ticks the shown ones only
        dialog.filter->clear();
    });
    w.form.Tables_Click();
    const QString sys = ": a system table by its name (it holds \"sys\")";
    EXPECT_EQ(listed, (QStringList{"[x] Customers", "[ ] PaySystemConfig" + sys, "[ ] sysdiagrams" + sys,
                                   "[ ] Everything: a view"}));
    EXPECT_TRUE(test::fileBytes(w.env.settingsFile()).contains("Read=PaySystemConfig,sysdiagrams"));

    w.form.results().clear();
    w.extractLines("quarry"); // another choice: read again
    EXPECT_EQ(w.items(), (QStringList{"customer quarry", "config quarry", "diagram quarry"}));

    whenTheDialogOpens([&](TablesDialog& dialog) {
        listed = rows(dialog);
        dialog.none->click();
    });
    w.form.Tables_Click();
    EXPECT_EQ(listed,
              (QStringList{"[x] Customers", "[x] PaySystemConfig", "[x] sysdiagrams", "[ ] Everything: a view"}));
    w.form.results().clear();
    w.extractLines("quarry");
    EXPECT_TRUE(w.items().isEmpty());
    EXPECT_TRUE(test::failureReports(w.env.messages).isEmpty());

    // Another database has a choice of its own.
    ConnectionFields other = w.fields;
    other.database = w.env.path("other.db");
    EXPECT_EQ(loadTableChoice(other).signature(), TableChoice{}.signature());
}

// Tens of thousands of tables: "None", the filter and ticking one each reach the view (and a screen reader's
// bridge) as a single change, and the reasons follow the ticks.
TEST(TablesDialog, ManyTablesChangeAsOneAndTheReasonsFollowTheTicks)
{
    ListedDatabase database{{ServerDatabase{"Shop"}, DatabaseDecision::Read}, {}, true, {}};
    for (int i = 0; i < 20000; ++i)
        database.tables.append({{{"dbo", QStringLiteral("T%1").arg(i), "Shop"}, "TABLE"}, TableDecision::Read});
    database.tables.append({{{"dbo", "sysdiagrams", "Shop"}, "TABLE"}, TableDecision::SystemName});
    TablesDialog dialog(nullptr);
    dialog.setDatabases({database});
    dialog.show();

    static int events = 0;
    events = 0;
    QAccessible::installUpdateHandler([](QAccessibleEvent*) { ++events; });
    QAccessible::setActive(true);
    dialog.none->click();
    dialog.filter->setText("T1999");
    dialog.all->click();
    const QModelIndex dbo = dialog.tables->model()->index(0, 0, dialog.tables->model()->index(0, 0));
    dialog.tables->model()->setData(dialog.tables->model()->index(0, 0, dbo), Qt::Unchecked, Qt::CheckStateRole);
    QAccessible::setActive(false);
    QAccessible::installUpdateHandler(nullptr);
    EXPECT_LT(events, 50) << events;

    QStringList expected{"[ ] dbo.T1999: left out by your choice"};
    for (int i = 0; i < 10; ++i)
        expected << QStringLiteral("[x] dbo.T1999%1").arg(i);
    EXPECT_EQ(rows(dialog), expected);
    dialog.filter->setText("sys");
    dialog.all->click();
    EXPECT_EQ(rows(dialog), QStringList{"[x] dbo.sysdiagrams"});
    dialog.none->click();
    EXPECT_EQ(rows(dialog), QStringList{"[ ] dbo.sysdiagrams: a system table by its name (it holds \"sys\")"});
    EXPECT_EQ(dialog.model->tickedTables("Shop").size(), 10);
}
