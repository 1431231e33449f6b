// The window's text in blocks: the same text, origins and items as one string, whatever the block size; a
// search stopped part way; the memory budget.
#include "logic/scan/DatabaseText.h"
#include "logic/scan/SourceRow.h"
#include "logic/search/ExtractionSession.h"
#include "platform/EventYield.h"
#include "support/CoreEnvironment.h"
#include "support/SqliteDatabase.h"

#include <gtest/gtest.h>

using namespace rq;

namespace {

// Items as they reach the results list: each with where it came from; the duplicate rule asks it.
class Recorded final : public ItemSink {
public:
    QStringList items;
    bool holds(const QString& text) const override
    {
        return std::any_of(items.begin(), items.end(),
                           [&](const QString& item) { return item.startsWith(text + " @ "); });
    }
    void add(const QString& text, const Origin& origin) override { items << text + " @ " + origin.description(); }
    void addPlace(const QString& text) override { items << "again " + text; }
};

void fill(test::SqliteDatabase& db)
{
    db.exec("CREATE TABLE Customers(id INTEGER PRIMARY KEY, name TEXT, note TEXT)");
    db.exec("INSERT INTO Customers VALUES (1, 'Ann Quarry', 'first\r\nsecond quarry'), (2, NULL, '<b>x</b> <b>y</b>'),"
            " (3, 'Продажи quarry', 'quarryman'), (4, 'QUARRY', '<b>x</b>|a|b|')");
    db.exec("CREATE TABLE Empty(a TEXT)");
    db.exec("CREATE TABLE Notes(body TEXT, tag TEXT)");
    db.exec("INSERT INTO Notes VALUES ('no match', 'x'), ('<b>y</b> quarry', 'line1\nline2 <b>z</b>'), ('', NULL)");
}

ExtractionRequest lines(const QString& text, MatchOptions options = {})
{
    ExtractionRequest request;
    request.searchText = text;
    request.options = options;
    return request;
}

ExtractionRequest between(const QString& start, const QString& end, bool keepDuplicates)
{
    ExtractionRequest request;
    request.kind = ExtractionRequest::Between;
    request.startMarker = start;
    request.endMarker = end;
    request.keepDuplicates = keepDuplicates;
    return request;
}

const std::function<bool()> noYield = [] { return false; };

} // namespace

TEST(TextBlocks, EveryBlockSizeGivesTheTextOriginsAndItemsOfOneString)
{
    test::CoreEnvironment env;
    test::SqliteDatabase db(env.path("t.db"));
    fill(db);
    // Rows all Latin-1 over two blocks of 20,000 units: searched in stretches, skipped where they hold nothing.
    db.exec("CREATE TABLE Ledger(id INTEGER PRIMARY KEY, entry TEXT)");
    db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1200) INSERT INTO Ledger "
            "SELECT i, CASE WHEN i % 397 = 0 THEN 'ÉCOLE «n°' || i || '» tél 555-' || (1000 + i) || ' ÿ µg' "
            "ELSE 'crème brûlée ' || i || ' à la carte' END FROM n");
    QString text;
    TextOrigins origins;
    ScanDatabase(
        db.fields(), text, origins, [](const QString&) {}, noYield);

    // Where a stretch of whole rows may end: the next position whose row is not the one before it.
    std::vector<qsizetype> rowStarts;
    Origin before;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const Origin here = origins.at(text, at);
        if (here.known() && (here.row != before.row || here.tableRead != before.tableRead))
            rowStarts.push_back(at);
        before = here;
    }
    ASSERT_EQ(qsizetype(rowStarts.size()), origins.rows());
    for (qsizetype at = 0; at <= text.size(); ++at) {
        const auto next = std::lower_bound(rowStarts.begin(), rowStarts.end(), at);
        ASSERT_EQ(origins.rowStartFrom(at), next == rowStarts.end() ? -1 : *next) << at;
    }

    const ExtractionRequest requests[] = {
        lines("quarry"),
        lines("QUARRY", {false, true, false}),
        lines("quarry", {false, false, true}),
        lines("^quarry|y$", {true, false, false}),
        lines("line2"),
        between("<b>", "</b>", false),
        between("<b>", "</b>", true),
        between("|", "|", true),
        lines("école"),
        lines("\u0178"), // Ÿ, beyond Latin-1, is ÿ with letter case ignored
        lines("\u03BC"), // μ, as the micro sign µ folds
        lines("ÉCOLE", {false, true, false}),
        lines("tél", {false, false, true}),
        lines("\\d{3}-\\d{4}", {true, false, false}),
        lines("é\\w+ «", {true, false, false}),
        lines("o\\w+ «", {true, false, false}), // stretches with "O" only, never "o"
        between("«", "»", true),
    };
    // One unit a block: every row its own block, every row and field across what a larger block would hold.
    for (const qsizetype blockUnits : {qsizetype(1), qsizetype(20), qsizetype(20'000), kTextBlockUnits}) {
        SCOPED_TRACE(blockUnits);
        DatabaseTextState state;
        gatherDatabaseText(state, ScanPlan::of(db.fields()), ScanView{[](const QString&) {}, {}, {}, {}},
                           platform::yieldToEvents, Gathering::WhenNeeded, blockUnits);
        for (const TextBlockPtr& block : state.DatabaseText)
            block->pack(); // read back from the packed form
        ASSERT_EQ(wholeText(state.DatabaseText), text);
        if (blockUnits == 1) {
            EXPECT_EQ(qsizetype(state.DatabaseText.size()), origins.rows());
        }
        for (qsizetype at = 0; at < text.size(); ++at)
            ASSERT_EQ(originAt(state.DatabaseText, at).description(), origins.at(text, at).description()) << at;
        // The value pane's row, from whichever block holds it: the last row's first field is where it starts.
        const Origin last = originAt(state.DatabaseText, text.size() - 1);
        const std::optional<SourceRow> row = sourceRow(state, last);
        ASSERT_TRUE(row);
        EXPECT_TRUE(text.endsWith(row->fields.constLast().value + u'\r'));

        for (const ExtractionRequest& request : requests) {
            Recorded fromString;
            ExtractionSession one(request, fromString);
            one.run(text, origins, noYield);
            Recorded fromBlocks;
            ExtractionSession blocks(request, fromBlocks);
            EXPECT_TRUE(blocks.run(state.DatabaseText, noYield));
            EXPECT_FALSE(fromString.items.isEmpty()) << request.searchText.toStdString();
            EXPECT_EQ(fromBlocks.items, fromString.items);
            EXPECT_EQ(blocks.outcome(), one.outcome());
        }
    }
}

TEST(TextBlocks, AStoppedSearchKeepsWhatItFoundBeforeInOrder)
{
    test::CoreEnvironment env;
    test::SqliteDatabase db(env.path("t.db"));
    fill(db);
    DatabaseTextState state;
    gatherDatabaseText(state, ScanPlan::of(db.fields()), ScanView{[](const QString&) {}, {}, {}, {}},
                       platform::yieldToEvents, Gathering::WhenNeeded, 1);
    Recorded all;
    ExtractionSession whole(lines("quarry"), all);
    whole.run(state.DatabaseText, noYield);
    ASSERT_GT(all.items.size(), 2);

    // Stopped once its first item is in: what follows is not searched, what came before stays.
    Recorded some;
    ExtractionSession stopped(lines("quarry"), some);
    EXPECT_FALSE(stopped.run(state.DatabaseText, noYield, [&] { return !some.items.isEmpty(); }));
    ASSERT_LT(some.items.size(), all.items.size());
    EXPECT_EQ(some.items, all.items.first(some.items.size()));
    EXPECT_EQ(stopped.outcome(), QStringLiteral("%1 lines found. The search was stopped.").arg(some.items.size()));
}

TEST(TextBlocks, PastTheBudgetTablesAreReadButNotKept)
{
    test::CoreEnvironment env;
    test::SqliteDatabase db(env.path("t.db"));
    db.exec("CREATE TABLE A(v TEXT); INSERT INTO A VALUES ('kept quarry')");
    db.exec("CREATE TABLE B(v TEXT); INSERT INTO B VALUES ('" + QString(5000, 'b') + " quarry')");
    db.exec("CREATE TABLE C(v TEXT); INSERT INTO C VALUES ('c quarry')");
    DatabaseTextState state;
    state.budgetBytes = 1000; // A fits, B does not
    gatherDatabaseText(state, ScanPlan::of(db.fields()), ScanView{[](const QString&) {}, {}, {}, {}},
                       platform::yieldToEvents);
    EXPECT_TRUE(state.complete);
    EXPECT_EQ(wholeText(state.DatabaseText), "kept quarry\r");
    EXPECT_EQ(state.notKept, (QList<TableName>{{"", "B"}, {"", "C"}}));
    EXPECT_EQ(keptNotice(state), "kept 1 of 3 tables; searches read the rest again");
}

TEST(TextBlocks, ATableLeftOutOrAddedIsDroppedOrReadAloneInItsPlace)
{
    test::CoreEnvironment env;
    test::SqliteDatabase db(env.path("t.db"));
    db.exec("CREATE TABLE A(v TEXT); INSERT INTO A VALUES ('a1')");
    db.exec("CREATE TABLE B(v TEXT); INSERT INTO B VALUES ('b1')");
    db.exec("CREATE TABLE C(v TEXT); INSERT INTO C VALUES ('c1')");
    const ScanView view{[](const QString&) {}, {}, {}, {}};
    DatabaseTextState state;
    ScanPlan plan = ScanPlan::of(db.fields());
    gatherDatabaseText(state, plan, view, platform::yieldToEvents);
    ASSERT_EQ(wholeText(state.DatabaseText), "a1\rb1\rc1\r");

    // Rows added since show only where a table is read: A and C are not read again.
    db.exec("INSERT INTO A VALUES ('a2'); INSERT INTO B VALUES ('b2'); INSERT INTO C VALUES ('c2')");
    plan.tablesChosen[db.fields().database].unticked = {"B"};
    gatherDatabaseText(state, plan, view, platform::yieldToEvents);
    EXPECT_EQ(wholeText(state.DatabaseText), "a1\rc1\r");
    EXPECT_EQ(originAt(state.DatabaseText, 3).description(), "C.v, row 1");
    plan.tablesChosen.clear();
    gatherDatabaseText(state, plan, view, platform::yieldToEvents);
    EXPECT_EQ(wholeText(state.DatabaseText), "a1\rb1\rb2\rc1\r");
    EXPECT_EQ(originAt(state.DatabaseText, 6).description(), "B.v, row 2");
    EXPECT_EQ(state.rows, 4);

    gatherDatabaseText(state, plan, view, platform::yieldToEvents, Gathering::Again);
    EXPECT_EQ(wholeText(state.DatabaseText), "a1\ra2\rb1\rb2\rc1\rc2\r");
}
