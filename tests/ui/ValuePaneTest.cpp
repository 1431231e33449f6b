// The value pane under the results list: the current item whole, the search's matches in it, the row it came from.
#include "ui/ValuePane.h"
#include "support/ExtractionWindow.h"
#include "ui/ValueView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBlock>
#include <QTreeView>
#include <QTreeWidget>

using namespace rq;
using test::ExtractionWindow;

namespace {

using Highlights = QList<std::pair<qsizetype, qsizetype>>;

void select(Form2& form, int row) { form.ListView1->setCurrentIndex(form.results().index(row, 0)); }

// Each field of the row the pane shows: "column=value".
QStringList rowShown(const ValuePane& pane)
{
    QStringList fields;
    for (int i = 0; i < pane.rowView->topLevelItemCount(); ++i)
        fields << pane.rowView->topLevelItem(i)->text(0) + "=" + pane.rowView->topLevelItem(i)->text(1);
    return fields;
}

QAction* menuEntry(Form2& form, const QString& text)
{
    for (QAction* action : form.ListView1->findChildren<QAction*>())
        if (action->text() == text)
            return action;
    return nullptr;
}

} // namespace

TEST(ValuePane, ShowsTheItemWithEveryMatchAndTheRowItCameFrom)
{
    ExtractionWindow w;
    w.db.exec("CREATE TABLE Orders(OrderID INTEGER PRIMARY KEY, note TEXT, city TEXT)");
    w.db.exec("INSERT INTO Orders VALUES (2005, 'a needle, then NEEDLE and needle', 'Oslo')");
    w.db.exec("CREATE TABLE Log(line TEXT, at TEXT); INSERT INTO Log VALUES ('hay', 'x'), ('needle in log', 'noon')");
    w.extractLines("needle");
    ASSERT_EQ(w.items(), (QStringList{"a needle, then NEEDLE and needle", "needle in log"}));
    const ValuePane& pane = *w.form.valuePane;
    EXPECT_FALSE(pane.isHidden());

    select(w.form, 0); // a table with a key: its column marked
    EXPECT_EQ(pane.valueView->value(), w.items()[0]);
    EXPECT_EQ(pane.valueView->highlights(), (Highlights{{2, 6}, {15, 6}, {26, 6}}));
    EXPECT_EQ(pane.valueTitle->text(), "Value: 32 characters, 3 matches of \u201Cneedle\u201D");
    EXPECT_EQ(pane.rowTitle->text(), "Row: Orders, OrderID 2005");
    EXPECT_EQ(rowShown(pane), (QStringList{"OrderID (key)=2005", "note=" + w.items()[0], "city=Oslo"}));

    // A keyless table's row; the boxes edited since the extraction do not change what is highlighted.
    w.form.Text1->setText("log");
    select(w.form, 1);
    EXPECT_EQ(pane.valueView->highlights(), (Highlights{{0, 6}}));
    EXPECT_EQ(pane.rowTitle->text(), "Row: Log, row 2");
    EXPECT_EQ(rowShown(pane), (QStringList{"line=needle in log", "at=noon"}));

    // Read again, the text no longer holds the row the item was found in: the pane says so.
    w.form.readAgainOrStop();
    EXPECT_EQ(pane.valueView->value(), "needle in log");
    EXPECT_TRUE(pane.rowTitle->text().startsWith("Row: Log, row 2 is no longer held"))
        << pane.rowTitle->text().toStdString();
    EXPECT_TRUE(rowShown(pane).isEmpty());
    // ... and the items of an extraction from the new text have theirs; a stretch between markers highlights nothing.
    w.form.Text3->setText("then ");
    w.form.Text4->setText(" and");
    w.form.PushButton1_Click();
    select(w.form, 2);
    EXPECT_EQ(pane.valueView->value(), "NEEDLE");
    EXPECT_TRUE(pane.valueView->highlights().isEmpty());
    EXPECT_EQ(pane.rowTitle->text(), "Row: Orders, OrderID 2005");

    menuEntry(w.form, "Show Value Pane")->trigger();
    EXPECT_TRUE(pane.isHidden());
}

TEST(ValuePane, AValueOfMillionsOfUnitsShowsScrollsAndCopiesWhole)
{
    ExtractionWindow w;
    // 4,999,994 units of x, a tab, " needle": one value of 5,000,002 units.
    w.db.exec("CREATE TABLE Big(v TEXT); INSERT INTO Big VALUES (replace(hex(zeroblob(2499997)), '0', 'x') || "
              "char(9) || ' needle')");
    w.form.show();
    w.extractLines("needle");
    ASSERT_EQ(w.items().size(), 1);
    select(w.form, 0);
    ValueView& view = *w.form.valuePane->valueView;
    EXPECT_EQ(view.value().size(), 5'000'002);
    EXPECT_EQ(view.highlights(), (Highlights{{4'999'996, 6}}));
    EXPECT_GT(view.document()->blockCount(), 4'000); // in display lines, each laid out only in sight

    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    QApplication::processEvents();
    const QTextCursor end = view.cursorForPosition(QPoint(4, view.viewport()->height() - 4));
    EXPECT_EQ(end.blockNumber(), view.document()->blockCount() - 1);
    EXPECT_TRUE(end.block().text().endsWith("\t needle"));

    view.selectAll();
    view.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), view.value()); // the value's own text, not its display lines
}

// The pane's visibility and heights come back with the window.
TEST(ValuePane, IsShownOrHiddenAsItWasLeft)
{
    test::LoadedExtractionWindow w;
    w.form.show();
    QApplication::processEvents();
    w.form.resultsSplitter->setSizes({60, 240});
    const QList<int> sizes = w.form.resultsSplitter->sizes();
    w.form.PushButton2->click(); // hidden, it keeps its place and the pane's heights
    menuEntry(w.form, "Show Value Pane")->trigger();

    Form2 again(w.env.context);
    again.Form_Load();
    again.show();
    QApplication::processEvents();
    EXPECT_TRUE(again.valuePane->isHidden());
    menuEntry(again, "Show Value Pane")->trigger();
    QApplication::processEvents();
    EXPECT_EQ(again.resultsSplitter->sizes(), sizes);
}
