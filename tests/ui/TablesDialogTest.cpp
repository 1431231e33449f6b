// "Tables...": every table with why it is left out, chosen with the filter, "All" and "None", kept per
// database, and read by the next extraction.
#include "ui/TablesDialog.h"
#include "logic/scan/TableChoiceStore.h"
#include "support/ExtractionWindow.h"
#include "support/Files.h"

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

QStringList rows(const TablesDialog& dialog)
{
    QStringList shown;
    const QAbstractItemModel& model = *dialog.tables->model();
    for (int i = 0; i < model.rowCount(); ++i) {
        const QString reason = model.index(i, 1).data().toString();
        shown << QStringLiteral("%1 %2%3%4")
                     .arg(model.index(i, 0).data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked ? "[x]"
                                                                                                            : "[ ]",
                          model.index(i, 0).data().toString(), reason.isEmpty() ? "" : ": ", reason);
    }
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
    QList<TableDecision> decisions;
    for (int i = 0; i < 20000; ++i)
        decisions.append({{{"dbo", QStringLiteral("T%1").arg(i)}, "TABLE"}, TableDecision::Read});
    decisions.append({{{"dbo", "sysdiagrams"}, "TABLE"}, TableDecision::SystemName});
    TablesDialog dialog(nullptr);
    dialog.setDecisions(decisions);
    dialog.show();

    static int events = 0;
    events = 0;
    QAccessible::installUpdateHandler([](QAccessibleEvent*) { ++events; });
    QAccessible::setActive(true);
    dialog.none->click();
    dialog.filter->setText("T1999");
    dialog.all->click();
    dialog.tables->model()->setData(dialog.tables->model()->index(0, 0), Qt::Unchecked, Qt::CheckStateRole);
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
    EXPECT_EQ(dialog.ticked().size(), 10);
}
