#include "logic/frame/ReportingProcedure.h"
#include "platform/ApplicationTitle.h"
#include "support/ExtractionWindow.h"
#include "support/Files.h"
#include "support/Settings.h"
#include "ui/Twips.h"
#include "ui/ValuePane.h"
#include "ui/ValueView.h"
#include "ui/WindowPointer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

using namespace rq;
using test::ExtractionWindow;

namespace {

void fillCustomers(test::SqliteDatabase& db)
{
    db.exec("CREATE TABLE Customers(name TEXT, note TEXT)");
    db.exec("INSERT INTO Customers VALUES ('xxabcxx', NULL), ('Abc', 'first\r\nsecond row'), ('Abc', 'none')");
}

// Records the window's pointer as the first yield of a command sees it.
std::optional<Pointer> pointerDuringRun(Form2& form, const std::function<void()>& command)
{
    std::optional<Pointer> seen;
    QTimer::singleShot(0, &form, [&] { seen = form.pointer().value(); });
    command();
    return seen;
}

} // namespace

TEST(Form2, LoadSetsUpTheListAndTheStatusLine)
{
    ExtractionWindow w;
    EXPECT_EQ(w.form.windowTitle(), "Rowquarry");
    EXPECT_EQ(w.form.Label1->text(), "");
    EXPECT_EQ(w.form.Label1->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(w.form.Frame1->palette().color(QPalette::Window), w.form.palette().color(QPalette::Button));
    EXPECT_EQ(w.form.results().columnCount(), 2);
    EXPECT_EQ(w.form.ListView1->columnWidth(1), 0);
    EXPECT_EQ(w.form.results().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Found");
    EXPECT_EQ(w.form.results().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Where");
    EXPECT_EQ(w.form.Frame2->title(), "Results");
    EXPECT_TRUE(w.form.ListView1->toolTip().startsWith("Double-click item to remove it."));
    EXPECT_FALSE(w.form.Check3->isChecked());
    EXPECT_EQ(w.form.Text3->accessibleName(), "Start with");
    EXPECT_TRUE(w.env.messages.shown().isEmpty());

    w.form.show();
    QApplication::setActiveWindow(&w.form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.form));
    EXPECT_EQ(w.form.ListView1->columnWidth(0), w.form.ListView1->viewport()->width()); // the text takes the room
    QList<QWidget*> visited;
    for (int i = 0; i < 18; ++i) {
        visited << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // The designed order, each box's options right after it, and the reading button last.
    EXPECT_EQ(visited, (QList<QWidget*>{w.form.Text1, w.form.matchCaseBox, w.form.wholeWordBox, w.form.regexBox,
                                        w.form.Text3, w.form.Text4, w.form.Check3, w.form.markersMatchCaseBox,
                                        w.form.ListView1, w.form.valuePane->valueView, w.form.valuePane->rowView,
                                        w.form.PushButton5, w.form.PushButton1, w.form.PushButton6, w.form.PushButton9,
                                        w.form.PushButton2, w.form.tablesButton, w.form.readAgainButton}));
}

TEST(Form2, LineExtractionFromTheDatabase)
{
    ExtractionWindow w;
    fillCustomers(w.db);
    w.form.Text1->setText("ABC");
    EXPECT_EQ(pointerDuringRun(w.form, [&] { w.form.PushButton5->click(); }), Pointer::Hourglass);
    EXPECT_EQ(w.items(), (QStringList{"xxabcxx", "Abc", "Abc"}));
    EXPECT_EQ(w.form.pointer().value(), Pointer::Default);
    // Once read, the status line says what was read and found: never "Please wait..." when nothing runs.
    EXPECT_TRUE(QRegularExpression("^Read 1 table, 3 rows, 0 KB at \\d\\d:\\d\\d in \\d+\\.\\d s\\. 3 lines found\\.$")
                    .match(w.form.Label1->text())
                    .hasMatch())
        << w.form.Label1->text().toStdString();

    w.form.Text1->setText("second");
    w.form.showMinimized();
    w.form.PushButton5->click();
    EXPECT_EQ(w.items().last(), "\nsecond row");
    EXPECT_FALSE(w.form.isMinimized());
    EXPECT_TRUE(w.env.messages.shown().isEmpty());
}

TEST(Form2, EmptySearchTextOnlyAsks)
{
    ExtractionWindow w;
    fillCustomers(w.db);
    w.form.pointer().set(Pointer::Arrow);
    w.form.PushButton5->click();
    EXPECT_EQ(w.env.messages.texts(), QStringList{"Fill out text to use to extract lines."});
    EXPECT_EQ(w.form.pointer().value(), Pointer::Arrow);
    EXPECT_TRUE(w.env.context.database.gatheredWith.isEmpty()); // no scan
    EXPECT_TRUE(w.items().isEmpty());

    w.env.messages.clear();
    w.form.Text3->setText("<");
    w.form.PushButton1->click();
    EXPECT_EQ(w.env.messages.texts(),
              QStringList{"Fill out starting text (or character) and fill out ending text (or character)."});
    EXPECT_EQ(w.form.pointer().value(), Pointer::Arrow);
}

TEST(Form2, ATablePassedOverIsNamedOnceAndTheRestIsSearched)
{
    ExtractionWindow w;
    w.db.exec("CREATE TABLE A(t); INSERT INTO A VALUES ('match one')");
    w.db.exec("CREATE TABLE B(t); INSERT INTO B VALUES ('match two')");
    w.db.exec("CREATE TABLE \"C]\"(t); INSERT INTO \"C]\" VALUES ('match three')");
    w.db.exec("CREATE TABLE D(t); INSERT INTO D VALUES ('match four')");
    w.db.exec("CREATE TABLE E(t); INSERT INTO E VALUES ('match five')");
    w.form.Text1->setText("match");
    w.form.PushButton5->click();
    // A notice of the application's title, not a failure report: the table, with the driver's reason.
    EXPECT_TRUE(test::failureReports(w.env.messages).isEmpty());
    ASSERT_EQ(w.env.messages.shown().size(), 1);
    const platform::MessageBox notice = w.env.messages.shown()[0];
    EXPECT_EQ(notice.title, platform::applicationTitle());
    EXPECT_EQ(notice.text, "A table could not be read and was passed over. Everything else was read and is searched.");
    EXPECT_TRUE(notice.reason.startsWith("C]: ") && notice.reason.size() > 5) << notice.reason.toStdString();
    EXPECT_EQ(w.items(), (QStringList{"match one", "match two", "match four", "match five"}));
    EXPECT_EQ(w.form.pointer().value(), Pointer::Default);
    w.form.PushButton5->click(); // the text counts as complete: no second scan, no second notice
    EXPECT_EQ(w.env.messages.shown().size(), 1);
    EXPECT_EQ(w.items().size(), 8);

    w.fields.database = w.env.path("no-folder/x.db"); // cannot open: reported, nothing found
    w.form.PushButton5->click();
    EXPECT_EQ(test::failureReports(w.env.messages).size(), 1);
    EXPECT_EQ(w.items().size(), 8);
    EXPECT_EQ(w.form.pointer().value(), Pointer::Default);
}

TEST(Form2, BetweenExtractionWithAndWithoutDuplicates)
{
    ExtractionWindow w;
    w.db.exec("CREATE TABLE Pages(html TEXT)");
    w.db.exec("INSERT INTO Pages VALUES ('<b>Bold</b> <B>bold</B> <b>Bold</b>'), ('name=\"bob\"'), ('x<b></b>y')");
    w.form.Text1->setText("name");
    w.form.PushButton5->click(); // a line item, then the same text between markers is a repeat
    w.form.Text3->setText("<B>");
    w.form.Text4->setText("</b>");
    EXPECT_EQ(pointerDuringRun(w.form, [&] { w.form.PushButton1->click(); }), Pointer::Hourglass);
    EXPECT_EQ(w.items(), (QStringList{"name=\"bob\"", "Bold", "bold"}));
    EXPECT_EQ(w.form.pointer().value(), Pointer::Default);

    w.form.Check3->setChecked(true);
    w.form.PushButton1->click();
    EXPECT_EQ(w.items().mid(3), (QStringList{"Bold", "bold", "Bold"}));

    w.form.Check3->setChecked(false);
    w.form.Text3->setText("name=\"");
    w.form.Text4->setText("\"");
    w.form.PushButton1->click();
    EXPECT_EQ(w.items().last(), "bob");
    w.form.PushButton1->click(); // "bob" is listed already
    EXPECT_EQ(w.items().size(), 7);
    w.form.Text3->setText("NAME=\"bob");
    w.form.PushButton1->click(); // an empty item is never added
    EXPECT_EQ(w.items().size(), 7);
    EXPECT_TRUE(test::failureReports(w.env.messages).isEmpty());
}

TEST(Form2, ADatabaseWithoutUserTablesIsScannedAgainNextTime)
{
    ExtractionWindow w;
    w.form.Text1->setText("late");
    w.form.PushButton5->click();
    EXPECT_TRUE(w.items().isEmpty());
    EXPECT_TRUE(w.form.Label1->text().startsWith("Read 0 tables, 0 rows, 0 KB at "));
    EXPECT_TRUE(w.form.Label1->text().endsWith(" No line holds the text."));
    EXPECT_EQ(w.form.pointer().value(), Pointer::Default);
    w.db.exec("CREATE TABLE T(a); INSERT INTO T VALUES ('a late row')");
    w.form.PushButton5->click();
    EXPECT_EQ(w.items(), QStringList{"a late row"});
    EXPECT_TRUE(w.env.messages.shown().isEmpty());
}

TEST(Form2, BetweenExtractionGathersTheTextWhenNothingWasGathered)
{
    ExtractionWindow w;
    w.db.exec("CREATE TABLE T(a); INSERT INTO T VALUES ('[x]')");
    w.form.Text3->setText("[");
    w.form.Text4->setText("]");
    w.form.PushButton1->click();
    EXPECT_EQ(w.items(), QStringList{"x"});
}

TEST(Form2, ACommandStartedDuringAYieldRunsToItsEndThere)
{
    ExtractionWindow w;
    w.db.exec("CREATE TABLE T(a); INSERT INTO T VALUES ('(inner) outer')");
    w.form.Text1->setText("outer");
    w.form.Text3->setText("(");
    w.form.Text4->setText(")");
    // During the scan's yields: the nested command works on the text gathered so far (none yet) and
    // starts no second scan.
    int nestedRuns = 0;
    QTimer::singleShot(0, &w.form, [&] {
        w.form.PushButton1->click();
        ++nestedRuns;
        EXPECT_EQ(w.form.pointer().value(), Pointer::Default); // the nested run ends by setting it
    });
    w.form.PushButton5->click();
    EXPECT_EQ(nestedRuns, 1);
    EXPECT_EQ(w.items(), QStringList{"(inner) outer"});
    EXPECT_EQ(w.form.pointer().value(), Pointer::Default);

    // During the extraction's own yields, with the text gathered.
    QTimer::singleShot(0, &w.form, [&] {
        w.form.PushButton1->click();
        ++nestedRuns;
    });
    w.form.PushButton5->click();
    EXPECT_EQ(nestedRuns, 2);
    EXPECT_EQ(w.items(), (QStringList{"(inner) outer", "inner", "(inner) outer"}));
    EXPECT_EQ(w.form.pointer().value(), Pointer::Default);
}

TEST(Form2, RemovalAndClearingAreRefusedWhileBusy)
{
    ExtractionWindow w;
    QTest::keyClick(w.form.ListView1, Qt::Key_Delete); // empty list: nothing
    w.form.ListView1_DblClick();
    for (const char* item : {"one", "two", "three"})
        w.form.results().append(item);
    w.form.ListView1->setCurrentIndex(w.form.results().index(1, 0));
    w.form.pointer().set(Pointer::Hourglass);
    QTest::keyClick(w.form.ListView1, Qt::Key_Delete);
    w.form.ListView1_DblClick();
    w.form.PushButton9->click();
    EXPECT_EQ(w.items().size(), 3);

    w.form.pointer().set(Pointer::Default);
    QTest::keyClick(w.form.ListView1, Qt::Key_A); // other keys do nothing
    EXPECT_EQ(w.items().size(), 3);
    QTest::keyClick(w.form.ListView1, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(w.items(), (QStringList{"one", "three"}));
    w.form.ListView1->setCurrentIndex(w.form.results().index(0, 0));
    QTest::mouseDClick(w.form.ListView1->viewport(), Qt::LeftButton, {},
                       w.form.ListView1->visualRect(w.form.results().index(0, 0)).center());
    EXPECT_EQ(w.items(), QStringList{"three"});
    w.form.PushButton9->click();
    EXPECT_TRUE(w.items().isEmpty());
    QTest::keyClick(w.form.ListView1, Qt::Key_Delete); // after a clear: nothing, no failure
    EXPECT_TRUE(w.env.messages.shown().isEmpty());
}

// After Delete the next item is selected, so Delete goes on; Ctrl+Z puts back what Delete or Clear List took.
TEST(Form2, DeleteSelectsTheNextItemAndCtrlZPutsBackWhatWasRemoved)
{
    ExtractionWindow w;
    w.form.show();
    QApplication::setActiveWindow(&w.form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.form));
    for (const char* item : {"one", "two", "three", "four"})
        w.form.results().append(item);
    w.form.ListView1->setFocus();
    w.form.ListView1->setCurrentIndex(w.form.results().index(1, 0));
    QTest::keyClick(w.form.ListView1, Qt::Key_Delete);
    QTest::keyClick(w.form.ListView1, Qt::Key_Delete);
    EXPECT_EQ(w.items(), (QStringList{"one", "four"}));
    EXPECT_EQ(w.form.Frame2->title(), "Results (2 items)");
    QTest::keyClick(w.form.ListView1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w.items(), (QStringList{"one", "three", "four"}));
    EXPECT_EQ(w.form.ListView1->selectionModel()->selectedRows().value(0).row(), 1); // selected again
    QTest::keyClick(w.form.ListView1, Qt::Key_End);
    QTest::keyClick(w.form.ListView1, Qt::Key_Delete); // the last: the one before it is selected
    EXPECT_EQ(w.form.ListView1->selectionModel()->selectedRows().value(0).row(), 1);

    w.form.PushButton9->click();
    EXPECT_TRUE(w.items().isEmpty());
    EXPECT_EQ(w.form.Frame2->title(), "Results");
    QTest::keyClick(w.form.PushButton9, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w.items(), (QStringList{"one", "three"}));
    QTest::keyClick(w.form.ListView1, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(w.form.ListView1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w.items(), (QStringList{"one", "two", "three", "four"}));
    w.form.Text1->setText("typed");
    w.form.Text1->setFocus();
    QTest::keyClick(w.form.Text1, Qt::Key_Z, Qt::ControlModifier); // the box's own undo
    EXPECT_EQ(w.items().size(), 4);
    EXPECT_TRUE(w.env.messages.shown().isEmpty());
}

TEST(Form2, F5ReadsTheDatabaseAgainKeepingTheList)
{
    ExtractionWindow w;
    w.db.exec("CREATE TABLE T(a); INSERT INTO T VALUES ('first row')");
    w.extractLines("row");
    w.db.exec("INSERT INTO T VALUES ('inserted row')");
    w.extractLines("row");
    EXPECT_EQ(w.items(), (QStringList{"first row", "first row"})); // the text read before serves
    EXPECT_EQ(w.form.readAgainButton->text(), "Read Again (F5)");

    w.form.show();
    QApplication::setActiveWindow(&w.form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.form));
    QTest::keyClick(w.form.Text1, Qt::Key_F5);
    EXPECT_EQ(w.items().size(), 2);
    EXPECT_TRUE(w.form.Label1->text().startsWith("Read 1 table, 2 rows, ")) << w.form.Label1->text().toStdString();
    w.extractLines("inserted");
    EXPECT_EQ(w.items().last(), "inserted row");
    EXPECT_EQ(w.form.pointer().value(), Pointer::Default);
    EXPECT_TRUE(w.env.messages.shown().isEmpty());
}

// An extraction for another database, started while the first is still being read, reads its own database
// and stops the other scan, whose text it never takes.
TEST(Form2, AnExtractionForAnotherDatabaseDuringAScanReadsThatDatabase)
{
    ExtractionWindow w;
    w.db.exec("CREATE TABLE T(a); INSERT INTO T VALUES ('alpha quarry')");
    test::SqliteDatabase other(w.env.path("other.db"));
    other.exec("CREATE TABLE T(a); INSERT INTO T VALUES ('beta quarry')");
    auto locker = std::make_unique<test::SqliteDatabase>(w.db.path()); // keeps the first scan waiting
    locker->exec("BEGIN EXCLUSIVE");

    QStringList itemsOfTheNested;
    QString statusOfTheNested;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (!w.env.context.database.scanning || !itemsOfTheNested.isEmpty())
            return;
        w.fields = other.fields(); // "Switch SQL Server Database", another database, "Next >"
        w.form.PushButton5->click();
        itemsOfTheNested = w.items();
        statusOfTheNested = w.form.Label1->text();
    });
    user.start(5);
    w.extractLines("quarry");
    EXPECT_EQ(itemsOfTheNested, QStringList{"beta quarry"});
    EXPECT_TRUE(statusOfTheNested.endsWith("1 line found.")) << statusOfTheNested.toStdString();
    EXPECT_EQ(w.form.Label1->text(), statusOfTheNested); // the first command, resumed, leaves it standing
    EXPECT_EQ(w.items(), QStringList{"beta quarry"});    // the stopped scan's command found nothing of its own
    EXPECT_EQ(wholeText(w.env.context.database.DatabaseText), "beta quarry\r");
    EXPECT_FALSE(w.env.context.database.scanning);
    EXPECT_EQ(w.form.pointer().value(), Pointer::Default);
    user.stop();
    locker.reset();
    w.extractLines("quarry"); // the other database's text serves
    EXPECT_EQ(w.items(), (QStringList{"beta quarry", "beta quarry"}));
    EXPECT_TRUE(w.env.messages.shown().isEmpty());
}

// The search options through the real boxes; what to look for is read once, when the command starts.
TEST(Form2, SearchOptionsAreReadOnceWhenTheCommandStarts)
{
    ExtractionWindow w;
    w.db.exec("CREATE TABLE T(a); INSERT INTO T VALUES ('Order 123-4567'), ('order 12-34'), ('reorder 555-1234')");
    w.form.regexBox->setChecked(true);     // a regular expression
    w.form.matchCaseBox->setChecked(true); // match case
    w.form.wholeWordBox->setChecked(true); // whole word
    int yields = 0;
    QTimer typing;
    QObject::connect(&typing, &QTimer::timeout, [&] {
        if (++yields == 2)
            w.form.Text1->setText("order"); // typed while it runs: changes nothing of this run
    });
    typing.start(0);
    w.extractLines("Order \\d{3}-\\d{4}");
    typing.stop();
    EXPECT_EQ(w.items(), QStringList{"Order 123-4567"});
    EXPECT_TRUE(w.form.Label1->text().endsWith(" 1 line found.")) << w.form.Label1->text().toStdString();

    w.extractLines("Order (");
    EXPECT_EQ(w.env.messages.texts(),
              QStringList{"The regular expression is not valid at its end: missing closing parenthesis."});
    EXPECT_EQ(w.items().size(), 1);
    EXPECT_EQ(w.form.pointer().value(), Pointer::Default);
}

// Enter runs a box's Extract; the list scrolls to what an extraction added, selects several items, copies them
// whole, removes the selection; its second column is shown on request, and remembered.
TEST(Form2, TheResultsListAnswersTheKeyboard)
{
    ExtractionWindow w;
    w.db.exec("CREATE TABLE T(a)");
    w.db.insertRows("T", 60, [](int i) { return QStringLiteral("'row %1'").arg(i); });
    w.db.exec("INSERT INTO T VALUES ('two' || char(13) || char(10) || 'lines, <b>tail</b>')");
    w.form.show();
    QApplication::setActiveWindow(&w.form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.form));
    w.form.resize(w.form.size() + QSize(300, 200)); // the list takes the growth
    EXPECT_GT(w.form.ListView1->height(), twips(2235));

    QTest::keyClicks(w.form.Text1, "row");
    QTest::keyClick(w.form.Text1, Qt::Key_Return);
    ASSERT_EQ(w.items().size(), 60);
    QTest::keyClicks(w.form.Text3, "<b>");
    QTest::keyClicks(w.form.Text4, "</b>");
    QTest::keyClick(w.form.Text4, Qt::Key_Enter);
    ASSERT_EQ(w.items().size(), 61);
    const QRect lastRow = w.form.ListView1->visualRect(w.form.results().index(60, 0));
    EXPECT_TRUE(w.form.ListView1->viewport()->rect().intersects(lastRow)); // scrolled to the new item

    w.form.ListView1->setFocus();
    QTest::keyClick(w.form.ListView1, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(w.form.ListView1->selectionModel()->selectedRows().size(), 61);
    w.form.ListView1->selectionModel()->select(w.form.results().index(0, 0),
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    w.form.ListView1->selectionModel()->select(w.form.results().index(59, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(w.form.ListView1, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "row 0\nrow 59");
    QTest::keyClick(w.form.ListView1, Qt::Key_Delete);
    EXPECT_EQ(w.items().size(), 59);
    EXPECT_EQ(w.items().first(), "row 1");
    EXPECT_EQ(w.items().last(), "tail");

    // A screen reader hears the words of an item, not the pictures the list shows for its line breaks.
    w.form.results().append("two\r\nlines\tand a tab");
    EXPECT_EQ(w.form.results().data(w.form.results().index(59, 0), Qt::AccessibleTextRole).toString(),
              "two  lines and a tab");

    // The list's menu is one menu, shown again at every right-click (a screen reader is told of it each time).
    const auto rightClick = [&] {
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5),
                                w.form.ListView1->viewport()->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w.form.ListView1->viewport(), &click);
        QPointer<QWidget> menu = QApplication::activePopupWidget();
        if (menu)
            menu->hide();
        return menu;
    };
    const QPointer<QWidget> menu = rightClick();
    ASSERT_TRUE(menu);
    EXPECT_EQ(rightClick(), menu);
    EXPECT_EQ(w.form.ListView1->columnWidth(1), 0);
    for (QAction* action : menu->actions())
        if (action->text() == "Show Where Found")
            action->trigger();
    EXPECT_GT(w.form.ListView1->columnWidth(1), 0);
    EXPECT_EQ(test::storedSetting("Show Where Found"), "1");
    Form2 again(w.env.context);
    again.Form_Load();
    EXPECT_GT(again.ListView1->columnWidth(1), 0);
}

// The list says what it holds: its count in the frame's title, the found text in the room the place leaves, the
// place as wide as what it shows; the status line shows its whole text or says where it does not, and the count
// of what was left out leads to the choice of tables.
TEST(Form2, TheListSaysWhatItHolds)
{
    ExtractionWindow w;
    w.db.exec("CREATE TABLE Notes(a); INSERT INTO Notes VALUES ('needle one'), ('needle two'), ('hay')");
    w.db.exec("CREATE TABLE sysLog(a); CREATE TABLE AuditSystem(a)");
    w.form.show();
    w.extractLines("needle");
    EXPECT_EQ(w.form.Frame2->title(), "Results (2 items)");
    EXPECT_TRUE(w.form.Label1->text().contains(", 2 left out,")) << w.form.Label1->text().toStdString();

    QTreeView& list = *w.form.ListView1;
    w.form.showMaximized();
    QApplication::processEvents();
    w.form.results().append("needle three", Origin{"", "Notes", "a", 3, {}});
    for (QAction* action : list.actions() + list.findChildren<QAction*>())
        if (action->text() == "Show Where Found")
            action->trigger();
    const int where = list.columnWidth(1);
    EXPECT_GT(where, 0);
    EXPECT_LE(where, list.viewport()->width() / 2);
    EXPECT_EQ(list.columnWidth(0) + where, list.viewport()->width());
    QApplication::processEvents();
    EXPECT_EQ(w.form.Frame2->title(), "Results (3 items)");

    // The status line at the smallest size: two lines, then "…" and the whole text as its tool tip.
    w.form.showNormal();
    w.form.resize(w.form.minimumSize());
    w.form.Label1->setText(QString("Read 40 tables, 3 left out, ") + QString(40, 'x') + " rows, " + QString(90, 'y'));
    EXPECT_FALSE(w.form.Label1->shownWhole());
    w.form.Label1->setText("Read 40 tables, 3 left out, 1,204,331 rows, 210 MB at 14:05 in 3.2 s. 48 lines found.");
    EXPECT_TRUE(w.form.Label1->shownWhole());
    bool linked = false;
    for (int x = 0; x < w.form.Label1->width() && !linked; x += 2)
        linked = w.form.Label1->linkAt(QPoint(x, w.form.Label1->height() / 2)) == StatusLabel::kLeftOutLink ||
                 w.form.Label1->linkAt(QPoint(x, w.form.Label1->height() / 4)) == StatusLabel::kLeftOutLink;
    EXPECT_TRUE(linked);
}

// The window comes back as the user left it: its place and size, the columns' widths, the search texts and options.
TEST(Form2, TheWindowComesBackAsItWasLeft)
{
    test::LoadedExtractionWindow w;
    w.form.show();
    w.form.setGeometry(QRect(40, 30, w.form.minimumWidth() + 120, w.form.minimumHeight() + 60));
    QApplication::processEvents();
    w.form.Text1->setText("needle");
    w.form.Text3->setText("<b>");
    w.form.Text4->setText("</b>");
    for (QCheckBox* box : {w.form.regexBox, w.form.wholeWordBox, w.form.Check3})
        box->setChecked(true);
    w.form.ListView1->header()->resizeSection(0, w.form.ListView1->viewport()->width() + 200); // past the edge
    const QRect place = w.form.geometry();
    w.form.PushButton2->click(); // "Switch SQL Server Database" hides it

    Form2 again(w.env.context);
    again.Form_Load();
    ASSERT_TRUE(again.restorePlace());
    again.show();
    QApplication::processEvents();
    EXPECT_EQ(again.geometry(), place);
    EXPECT_EQ(again.Text1->text(), "needle");
    EXPECT_EQ(again.Text3->text(), "<b>");
    EXPECT_EQ(again.Text4->text(), "</b>");
    EXPECT_TRUE(again.regexBox->isChecked() && again.wholeWordBox->isChecked() && again.Check3->isChecked());
    EXPECT_FALSE(again.matchCaseBox->isChecked() || again.markersMatchCaseBox->isChecked());
    EXPECT_EQ(again.ListView1->columnWidth(0), w.form.ListView1->columnWidth(0));

    test::storeSetting("Extraction Window", "-9000,-9000,600,400"); // off every screen: centred instead
    EXPECT_FALSE(again.restorePlace());
}

// Closing with results no save has written asks first: Cancel keeps the window, Yes saves (with the chosen
// type's extension), No closes; a setting turns the question off.
TEST(Form2, ClosingWithUnsavedResultsAsksFirst)
{
    ExtractionWindow w;
    w.form.show();
    w.form.results().append("unsaved");
    w.env.messages.answerNext(platform::Answer::Cancel);
    w.form.close();
    EXPECT_TRUE(w.form.isVisible());
    EXPECT_EQ(w.env.endProgramCalls, 0);
    EXPECT_EQ(w.env.messages.texts(),
              QStringList{"The results were not saved. Save the 1 item of the list before closing?"});
    EXPECT_EQ(w.env.messages.shown()[0].buttons, platform::Buttons::YesNoCancel);

    w.env.messages.answerNext(platform::Answer::Yes);
    w.env.fileDialog.answerNext(w.env.path("kept"));
    w.form.close();
    EXPECT_EQ(test::fileBytes(w.env.path("kept.txt")), "unsaved\r\n");
    EXPECT_EQ(w.env.endProgramCalls, 1);

    w.env.messages.clear();
    w.form.show();
    w.form.close(); // saved: no question
    w.form.show();
    w.form.results().append("new");
    test::storeSetting("Ask To Save Results", "0");
    w.form.close();
    EXPECT_EQ(w.env.endProgramCalls, 3);
    EXPECT_TRUE(w.env.messages.shown().isEmpty());
}

// When another database's read begins, the status line no longer says what the last read held.
TEST(Form2, TheStatusLineIsClearedWhenAnotherDatabasesReadBegins)
{
    ExtractionWindow w;
    w.db.exec("CREATE TABLE T(a); INSERT INTO T VALUES ('alpha quarry')");
    w.extractLines("quarry");
    ASSERT_TRUE(w.form.Label1->text().startsWith("Read 1 table, "));
    test::SqliteDatabase other(w.env.path("other.db"));
    other.exec("CREATE TABLE T(a); INSERT INTO T VALUES ('beta quarry')");
    auto locker = std::make_unique<test::SqliteDatabase>(other.path()); // the read waits before its first row
    locker->exec("BEGIN EXCLUSIVE");
    w.fields = other.fields();
    std::optional<QString> statusWhileReading;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (!w.env.context.database.scanning || statusWhileReading)
            return;
        statusWhileReading = w.form.Label1->text();
        w.form.readAgainOrStop(); // Stop
    });
    user.start(5);
    w.extractLines("quarry");
    user.stop();
    EXPECT_EQ(statusWhileReading, QString());
}

TEST(Form2, TablesPastTheMemoryBudgetAreReadAgainByEverySearch)
{
    ExtractionWindow w;
    w.db.exec("CREATE TABLE A(v TEXT); INSERT INTO A VALUES ('kept quarry')");
    w.db.exec("CREATE TABLE B(v TEXT); INSERT INTO B VALUES ('" + QString(5000, 'b') + " <quarry>')");
    w.db.exec("CREATE TABLE C(v TEXT); INSERT INTO C VALUES ('c quarry')");
    test::storeSetting("Text Memory Budget", "0.001"); // about 1 KB: A fits, B does not
    w.extractLines("quarry");
    const QStringList all{"kept quarry", QString(5000, 'b') + " <quarry>", "c quarry"};
    EXPECT_EQ(w.items(), all);
    EXPECT_TRUE(w.form.Label1->text().contains("Kept 1 of 3 tables; searches read the rest again."))
        << w.form.Label1->text().toStdString();
    EXPECT_EQ(wholeText(w.env.context.database.DatabaseText), "kept quarry\r");

    w.form.Text3->setText("<");
    w.form.Text4->setText(">");
    w.form.PushButton1->click(); // the between extraction reads them too
    EXPECT_EQ(w.items(), all + QStringList{"quarry"});
    w.extractLines("quarry");
    EXPECT_EQ(w.items(), all + QStringList{"quarry"} + all);
}
