// Every item of the results list knows where it was found: in its tool tip and the list's second column.
#include "support/ExtractionWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>

using namespace rq;
using test::ExtractionWindow;

namespace {

// What the second column shows for each item; the tool tip says the same.
QStringList places(const ResultsList& list)
{
    QStringList shown;
    for (int row = 0; row < list.rowCount(); ++row) {
        const QString place = list.data(list.index(row, 1), Qt::DisplayRole).toString();
        EXPECT_EQ(list.data(list.index(row, 0), Qt::ToolTipRole).toString(), place);
        shown << place;
    }
    return shown;
}

} // namespace

TEST(Origins, LineExtractionItemsKnowTheirTableColumnAndRow)
{
    ExtractionWindow w;
    w.db.exec("CREATE TABLE People(name TEXT, note TEXT, mail TEXT)");
    w.db.exec("INSERT INTO People VALUES ('ann', 'x\r\nann note', 'ann@x'), ('ann2', NULL, 'ann@y')");
    w.db.exec("CREATE TABLE \"C]\"(a TEXT); INSERT INTO \"C]\" VALUES ('ann hidden')"); // passed over
    w.db.exec("CREATE TABLE Staff(mail TEXT, alias TEXT)");
    w.db.exec("INSERT INTO Staff VALUES ('cy@x', 'ann'), ('ann@x', 'last ann')");
    w.form.Text1->setText("ANN");
    w.form.PushButton5_Click();

    EXPECT_EQ(w.items(), (QStringList{"ann", "\nann note", "ann@x", "ann2", "ann@y", "ann", "ann@x", "last ann"}));
    EXPECT_EQ(places(w.form.results()),
              (QStringList{"People.name, row 1", "People.note, row 1", "People.mail, row 1", "People.name, row 2",
                           "People.mail, row 2", "Staff.alias, row 1", "Staff.mail, row 2", "Staff.alias, row 2"}));
    EXPECT_EQ(w.form.ListView1->columnWidth(1), 0); // the place column stays closed until the user opens it

    // Another database: the next extraction scans it and its items carry its own places.
    test::SqliteDatabase other(w.env.path("other.db"));
    other.exec("CREATE TABLE Elsewhere(v TEXT); INSERT INTO Elsewhere VALUES ('one'), ('ann again')");
    w.fields = other.fields();
    w.form.PushButton9_Click();
    w.form.PushButton5_Click();
    EXPECT_EQ(places(w.form.results()), QStringList{"Elsewhere.v, row 2"});
}

TEST(Origins, SkippedDuplicatesCountAsFurtherPlaces)
{
    ExtractionWindow w;
    w.db.exec("CREATE TABLE A(v TEXT); INSERT INTO A VALUES ('<x> <y>'), ('<x>')");
    w.db.exec("CREATE TABLE B(v TEXT); INSERT INTO B VALUES ('<x>')");
    w.form.Text3->setText("<");
    w.form.Text4->setText(">");
    w.form.PushButton1_Click();
    EXPECT_EQ(w.items(), (QStringList{"x", "y"}));
    EXPECT_EQ(places(w.form.results()), (QStringList{"A.v, row 1 and 2 more places", "A.v, row 1"}));

    // The tool tip over an item names its place; over the list's empty area the list's own tip shows.
    QTreeView& view = *w.form.ListView1;
    w.form.show();
    const auto tipAt = [&](const QPoint& at) {
        QHelpEvent help(QEvent::ToolTip, at, view.viewport()->mapToGlobal(at));
        QApplication::sendEvent(view.viewport(), &help);
        return QToolTip::text();
    };
    EXPECT_EQ(tipAt(view.visualRect(view.model()->index(1, 0)).center()), "A.v, row 1");
    EXPECT_EQ(tipAt(QPoint(5, view.viewport()->height() - 3)), view.toolTip());
}

TEST(Origins, HostileNamesAndValuesAreShownAsTheyAre)
{
    ExtractionWindow w;
    const QString table = "<font size=7>Big</font> 'x щ"; // SQLite cannot read a ] in brackets
    const QString column = "c]ol'<b>";
    const QString value =
        "ab" + QString(QChar(0x2028)) + "c\rd\r\ne\nf" + QString::fromUtf8("\xF0\x9F\x98\x80") + " hit";
    w.db.exec(QString("CREATE TABLE \"%1\"(\"%2\" TEXT)").arg(table, column));
    w.db.exec(QString("INSERT INTO \"%1\" VALUES ('%2')").arg(table, value));
    w.form.Text1->setText(QString(100000, 'h') + "x"); // a long search text finds nothing, quickly
    // While the table is read, the status line shows its name as text, not markup.
    bool named = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (named || !w.form.Label1->text().contains("<FONT SIZE=7>"))
            return;
        named = true;
        QLabel plain(w.form.Label1->text());
        plain.setTextFormat(Qt::PlainText);
        plain.setFont(w.form.Label1->font());
        EXPECT_EQ(w.form.Label1->sizeHint(), plain.sizeHint());
    });
    watch.start(0);
    w.form.PushButton5_Click();
    EXPECT_TRUE(named);
    EXPECT_TRUE(w.items().isEmpty());

    w.form.Text1->setText("HIT");
    w.form.PushButton5_Click();
    ASSERT_EQ(w.items().size(), 1);
    EXPECT_EQ(w.items()[0], "\ne\nf" + QString::fromUtf8("\xF0\x9F\x98\x80") + " hit");
    EXPECT_EQ(places(w.form.results()), QStringList{table + "." + column + ", row 1"});
    w.form.Text3->setText("a");
    w.form.Text4->setText("a"); // markers equal to each other
    w.form.PushButton1_Click();
    w.form.Text3->setText("aa");
    w.form.Text4->setText("aa"); // a marker that overlaps itself
    w.form.PushButton1_Click();
    EXPECT_EQ(w.items().size(), 1);
}
