// "Tables...": every table with why it is left out, chosen with the filter, "All" and "None", kept per
// database, and read by the next extraction.
#include "ui/TablesDialog.h"
#include "logic/scan/TableChoiceStore.h"
#include "support/ExtractionWindow.h"
#include "support/Files.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

using namespace rq;

namespace {

// Runs `answer` on the Tables dialog once it is open, then closes it with OK.
void whenTheDialogOpens(const std::function<void(TablesDialog&)>& answer)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        auto* dialog = qobject_cast<TablesDialog*>(QApplication::activeModalWidget());
        if (!dialog)
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
    for (int i = 0; i < dialog.tables->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = dialog.tables->topLevelItem(i);
        shown << QStringLiteral("%1 %2%3%4")
                     .arg(item->checkState(0) == Qt::Checked ? "[x]" : "[ ]", item->text(0),
                          item->text(1).isEmpty() ? "" : ": ", item->text(1));
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
