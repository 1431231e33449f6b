#include "logic/scan/DatabaseText.h"
#include "logic/scan/ScanReader.h"
#include "logic/text/SqlText.h"
#include "platform/EventYield.h"
#include "platform/Odbc.h"
#include "support/CoreEnvironment.h"
#include "support/QueryRows.h"
#include "support/SqliteDatabase.h"

#include <QFile>
#include <QLocale>
#include <sql.h>
#include <thread>

using namespace rq;

namespace {

struct Scan {
    QString text;
    TextOrigins origins;
    QStringList statuses;
    ScanOutcome outcome;
    void run(const ConnectionFields& fields)
    {
        outcome = ScanDatabase(
            fields, text, origins, [this](const QString& status) { statuses << status; }, platform::yieldToEvents);
    }
};

} // namespace

TEST(DatabaseScan, ReadsUserTablesOnlyFieldByFieldWithCarriageReturns)
{
    test::CoreEnvironment env;
    test::SqliteDatabase db(env.path("t.db"));
    db.exec("CREATE TABLE Customers(name TEXT, note TEXT, city TEXT)");
    db.exec("INSERT INTO Customers VALUES ('a', NULL, 'b'), ('x\r\ny', '', 'z')");
    db.exec("CREATE TABLE sysdiagrams(a TEXT); INSERT INTO sysdiagrams VALUES ('hidden1')");
    db.exec("CREATE TABLE MySystemLog(a TEXT); INSERT INTO MySystemLog VALUES ('hidden2')");
    db.exec("CREATE TABLE OrderSYStems(a TEXT); INSERT INTO OrderSYStems VALUES ('hidden3')");
    db.exec("CREATE TABLE Analysis(n INTEGER, r REAL); INSERT INTO Analysis VALUES (7, 1.5)");
    db.exec("CREATE TABLE Empty(a TEXT)");
    db.exec("CREATE VIEW CustomerView AS SELECT name FROM Customers");

    Scan scan;
    scan.run(db.fields());
    EXPECT_EQ(scan.text, "a\r\rb\rx\r\ny\r\rz\r7\r1.5\r");
    EXPECT_EQ(scan.statuses, (QStringList{"Indexing CUSTOMERS to be searched. Please wait...",
                                          "Indexing ANALYSIS to be searched. Please wait...",
                                          "Indexing EMPTY to be searched. Please wait..."}));
}

TEST(DatabaseScan, WhichTablesAreReadAndHow)
{
    struct Listed {
        const char* type;
        const char* name;
        bool read;
    };
    const Listed listed[] = {
        {"TABLE", "Customers", true},         {"table", "Customers", false},   {"VIEW", "Customers", false},
        {"SYSTEM TABLE", "Customers", false}, {"TABLE", "sysdiagrams", false}, {"TABLE", "MySystemLog", false},
        {"TABLE", "OrderSYStems", false},     {"TABLE", "Physics", true},
    };
    for (const Listed& t : listed)
        EXPECT_EQ(isUserTable(t.type, t.name), t.read) << t.type << " " << t.name;

    // What a choice makes of a database's tables: the read ones, in list order, and why the others are not.
    const QList<ListedTable> database = {
        {{"dbo", "Customers"}, "TABLE"},
        {{"dbo", "sysdiagrams"}, "TABLE"},
        {{"dbo", "PaySystemConfig"}, "TABLE"},
        {{"Sales", "Orders"}, "TABLE"},
        {{"Sales", "OrderLines"}, "TABLE"},
        {{"Sales", "OrderView"}, "VIEW"},
        {{"Audit", "Log2024"}, "TABLE"},
        {{"sys", "objects"}, "SYSTEM TABLE"},
        {{"we.ird", "x"}, "TABLE"},
        {{"we", "ird.x"}, "TABLE"},
        {{"dbo", "a*b"}, "TABLE"},
    };
    const auto patterns = [](std::initializer_list<const char*> texts) {
        QList<TablePattern> list;
        for (const char* text : texts)
            list.append(TablePattern(text));
        return list;
    };
    struct Choice {
        const char* name;
        TableChoice choice;
        const char* read;
    };
    const Choice choices[] = {
        {"the default", {}, "dbo.Customers Sales.Orders Sales.OrderLines Audit.Log2024 we.ird.x we.ird.x dbo.a*b"},
        {"names with dots and wildcards between brackets",
         {patterns({"[we.ird].x", "[a*b]"}), {}, {}, {}},
         "we.ird.x dbo.a*b"},
        {"a pattern's dots part schema from table", {patterns({"we.*", "*.x"}), {}, {}, {}}, "we.ird.x we.ird.x"},
        {"a bracket not closed, or four parts, matches nothing", {patterns({"[we.ird", "a.b.c.d"}), {}, {}, {}}, ""},
        {"one schema", {patterns({"sales.*"}), {}, {}, {}}, "Sales.Orders Sales.OrderLines"},
        {"a name in any schema, letter case ignored", {patterns({"ORDERS"}), {}, {}, {}}, "Sales.Orders"},
        {"wildcards: * and ?",
         {patterns({"Order*", "Log????"}), {}, {}, {}},
         "Sales.Orders Sales.OrderLines Audit.Log2024"},
        {"named tables are read whatever their name, views never",
         {patterns({"*sys*", "OrderView"}), {}, {}, {}},
         "dbo.sysdiagrams dbo.PaySystemConfig"},
        {"excluded wins", {patterns({"Sales.*"}), patterns({"*lines"}), {}, {}}, "Sales.Orders"},
        {"ticked and unticked in the window, by quoted name",
         {{}, {}, {"dbo.PaySystemConfig", "Sales.OrderView"}, {"Audit.Log2024", "we.[ird.x]", "dbo.[a*b]"}},
         "dbo.Customers dbo.PaySystemConfig Sales.Orders Sales.OrderLines we.ird.x"},
    };
    for (const Choice& c : choices) {
        QStringList read;
        for (const TableDecision& decision : decideTables(database, c.choice))
            if (decision.read())
                read << decision.listed.table.qualified();
        EXPECT_EQ(read.join(' '), c.read) << c.name;
    }
    QStringList reasons;
    for (const TableDecision& decision : decideTables(database, {{}, patterns({"Audit.*"}), {}, {"dbo.Customers"}}))
        reasons << decision.why();
    EXPECT_EQ(reasons, (QStringList{"left out by your choice", "a system table by its name (it holds \"sys\")",
                                    "a system table by its name (it holds \"sys\")", "", "", "a view",
                                    "excluded by a pattern", "not a table (system table)", "", "", ""}));
    QStringList quoted;
    for (const ListedTable& entry : database)
        quoted << entry.table.quoted();
    EXPECT_EQ(quoted.mid(8), (QStringList{"[we.ird].x", "we.[ird.x]", "dbo.[a*b]"}));
    EXPECT_EQ((TableName{"", "a]b.c"}).quoted(), "[a]]b.c]");
    EXPECT_EQ(TablePattern("[a]]b.c]").matches({"", "a]b.c"}), true);

    struct Query {
        TableName table;
        const char* expected;
    };
    const Query queries[] = {
        {{"", "Customers"}, "SELECT * FROM [Customers]"},
        {{"", "we]ird"}, "SELECT * FROM [we]]ird]"},
        {{"Sal]es", "Or der"}, "SELECT * FROM [Sal]]es].[Or der]"},
    };
    for (const Query& q : queries)
        EXPECT_EQ(tableQuery(q.table), q.expected) << q.expected;
}

// Which databases of a server are read: the connection's by default, more by patterns, ticks or "all";
// SQL Server's own only when named or ticked; never one that is offline or that the login cannot open.
TEST(DatabaseScan, WhichDatabasesAreReadAndHowTheCountsNameThem)
{
    const QList<ServerDatabase> server = {
        {"Archive"}, {"master"}, {"Sales"}, {"Sales2019", false}, {"Secret", true, false}, {"tempdb"}};
    struct Case {
        const char* name;
        DatabaseChoice choice;
        const char* read;
    };
    const Case cases[] = {
        {"the connection's alone", {}, "Sales"},
        {"all but SQL Server's own", {{}, true, {}, {}}, "Archive Sales"},
        {"patterns, letter case ignored, and SQL Server's own when named",
         {{"sales*", "MASTER"}, false, {}, {}},
         "master Sales"},
        {"ticked besides the connection's, unticked the connection's", {{}, false, {"Archive"}, {"Sales"}}, "Archive"},
    };
    for (const Case& c : cases) {
        QStringList read;
        for (const DatabaseDecision& decision : decideDatabases(server, c.choice, "Sales"))
            if (decision.read())
                read << decision.database.name;
        EXPECT_EQ(read.join(' '), c.read) << c.name;
    }
    QStringList reasons;
    for (const DatabaseDecision& decision : decideDatabases(server, {{}, true, {}, {}}, "Sales"))
        reasons << decision.why();
    EXPECT_EQ(reasons,
              (QStringList{"", "SQL Server's own", "", "offline", "the login has no access", "SQL Server's own"}));
    EXPECT_FALSE((DatabaseChoice{{"Sales"}, false, {}, {}}).several()); // one name as it is: the connection's
    EXPECT_TRUE((DatabaseChoice{{"Sal?s"}, false, {}, {}}).several());

    ScanCounts counts;
    counts.severalDatabases = true;
    counts.databases = 3;
    counts.databasesLeftOut = 2;
    counts.databasesBegun = 2;
    counts.database = "Sales";
    counts.tablesInDatabase = 40;
    counts.tablesBegunInDatabase = 3;
    counts.tables = 52;
    counts.tablesDone = 14;
    counts.rows = 120311;
    counts.units = 22500000;
    counts.milliseconds = 3200;
    EXPECT_EQ(scanProgressText(counts), "Database 2 of 3 (Sales), table 3 of 40, 120,311 rows, 45 MB, 3.2 s");
    const QDateTime at(QDate(2026, 1, 2), QTime(14, 5));
    EXPECT_EQ((ScanSummary{counts, ScanEnd::Stopped, at}).text(),
              "Stopped after 2 of 3 databases, 14 of 52 tables, 120,311 rows, 45 MB at 14:05 in 3.2 s, partial.");
    counts.databasesFailed = 1;
    EXPECT_EQ((ScanSummary{counts, ScanEnd::Complete, at}).text(),
              "Read 2 of 3 databases (1 could not be opened, 2 left out), 52 tables, 120,311 rows, 45 MB at 14:05 in "
              "3.2 s.");
}

// A reader whose consumer has gone finishes instead of waiting for it for ever.
TEST(DatabaseScan, AReaderWhoseConsumerHasGoneNeverWaits)
{
    BatchChannel channel;
    std::thread reader([&] {
        for (int i = 0; i < 20; ++i) // more than the channel holds
            channel.send(ScanBatch{}, [] {});
    });
    while (channel.takeAll().empty())
        std::this_thread::yield();
    channel.close();
    reader.join();
    EXPECT_TRUE(channel.takeAll().empty());
}

// A stop counts the tables read to their end, also when it comes between tables.
TEST(DatabaseScan, AStopCountsTheTablesReadWhole)
{
    test::CoreEnvironment env;
    test::SqliteDatabase db(env.path("t.db"));
    db.exec("CREATE TABLE A(a); INSERT INTO A VALUES ('a'); CREATE TABLE B(b); INSERT INTO B VALUES ('b')");
    const auto control = std::make_shared<ScanControl>();
    ScanHooks hooks;
    int ended = 0;
    hooks.batch = [&](ScanBatch& batch) {
        if (batch.tableEnd && ++ended == 2)
            control->stop(); // after the last table: nothing is left to stop
    };
    hooks.progress = [](const ScanCounts&) {};
    hooks.yield = [] { return false; };
    const ScanOutcome outcome = scanInBatches(ScanPlan::of(db.fields()), *control, hooks);
    EXPECT_TRUE(outcome.stopped);
    const ScanSummary summary{outcome.counts, ScanEnd::Stopped, {}};
    EXPECT_TRUE(summary.text().startsWith("Stopped after 2 of 2 tables, ")) << summary.text().toStdString();
}

TEST(DatabaseScan, EmptyDatabaseLeavesEverythingEmpty)
{
    test::CoreEnvironment env;
    test::SqliteDatabase db(env.path("empty.db"));
    Scan scan;
    scan.run(db.fields());
    EXPECT_TRUE(scan.text.isEmpty());
    EXPECT_TRUE(scan.statuses.isEmpty());
}

TEST(DatabaseScan, ATableThatCannotBeReadIsPassedOverAndTheRestIsRead)
{
    test::CoreEnvironment env;
    test::SqliteDatabase db(env.path("t.db"));
    db.exec("CREATE TABLE One(a); INSERT INTO One VALUES ('first')");
    db.exec("CREATE TABLE Two(a); INSERT INTO Two VALUES ('second')");
    db.exec("CREATE TABLE \"Thr]ee\"(a); INSERT INTO \"Thr]ee\" VALUES ('third')"); // SQLite cannot quote ] in brackets
    db.exec("CREATE TABLE Four(a); INSERT INTO Four VALUES ('fourth')");
    db.exec("CREATE TABLE Five(a); INSERT INTO Five VALUES ('fifth')");
    Scan scan;
    scan.run(db.fields());
    EXPECT_EQ(scan.text, "first\rsecond\rfourth\rfifth\r");
    EXPECT_EQ(scan.statuses.size(), 5);
    EXPECT_EQ(scan.outcome.passedOver, QStringList{"Thr]ee"});
    EXPECT_FALSE(scan.outcome.firstFailure.isEmpty());
    EXPECT_TRUE(scan.outcome.report().contains("Thr]ee")) << scan.outcome.report().toStdString();

    ConnectionFields missing = db.fields();
    missing.database = env.path("no-folder/x.db");
    Scan failed;
    EXPECT_THROW(failed.run(missing), platform::odbc::OdbcError);
    EXPECT_TRUE(failed.text.isEmpty());
}

TEST(DatabaseScan, ADamagedTableIsPassedOverPartWayKeepingWholeValues)
{
    test::CoreEnvironment env;
    const QString path = env.path("damaged.db");
    {
        test::SqliteDatabase db(path);
        db.exec("CREATE TABLE First(a TEXT); INSERT INTO First VALUES ('kept')");
        db.exec("CREATE TABLE Second(a TEXT)");
        db.insertRows("Second", 5000,
                      [](int i) { return QStringLiteral("'%1'").arg(QString(200, QChar('a' + i % 26))); });
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 size = file.size();
    ASSERT_GT(size, 500000);
    file.seek(size / 2); // the second table's pages: the driver meets garbage while reading them
    file.write(QByteArray(size / 4, char(0xA5)));
    file.close();

    Scan scan;
    test::SqliteDatabase reopened(path);
    scan.run(reopened.fields());
    EXPECT_EQ(scan.outcome.passedOver, QStringList{"Second"});
    EXPECT_TRUE(scan.text.startsWith("kept\r"));
    EXPECT_EQ(scan.text.size() % 201, 5 % 201); // whole values only: "kept" + CR, then 200 + CR each
}

TEST(DatabaseScan, TablesPastSixteenBitsAreReadWhole)
{
    test::CoreEnvironment env;
    test::SqliteDatabase db(env.path("big.db"));
    db.exec("CREATE TABLE Big(n INTEGER, t TEXT)");
    db.insertRows("Big", 70000, [](int i) { return QStringLiteral("%1, 'row%1'").arg(i); });
    Scan scan;
    scan.run(db.fields());
    EXPECT_EQ(scan.text.count('\r'), 140000);
    EXPECT_TRUE(scan.text.endsWith("69999\rrow69999\r"));
    // Past the first block of row places too.
    for (int row : {1, 65536, 65537, 70000}) {
        const QString value = QStringLiteral("\rrow%1\r").arg(row - 1);
        const qsizetype at = row == 1 ? scan.text.indexOf("row0\r") : scan.text.indexOf(value) + 1;
        EXPECT_EQ(scan.origins.at(scan.text, at).description(),
                  QStringLiteral("Big.t, row %1").arg(QLocale(QLocale::English).toString(row)));
    }
}

TEST(DatabaseScan, GatheringIsRedoneOnlyWhenNeeded)
{
    test::CoreEnvironment env;
    test::SqliteDatabase first(env.path("first.db"));
    first.exec("CREATE TABLE T(a); INSERT INTO T VALUES ('one')");
    test::SqliteDatabase second(env.path("second.db"));
    second.exec("CREATE TABLE T(a); INSERT INTO T VALUES ('two')");
    DatabaseTextState state;
    const StatusLine ignore = [](const QString&) {};

    gatherDatabaseText(state, first.fields(), ignore, platform::yieldToEvents);
    EXPECT_EQ(wholeText(state.DatabaseText), "one\r");
    first.exec("INSERT INTO T VALUES ('later')");
    gatherDatabaseText(state, first.fields(), ignore, platform::yieldToEvents); // complete and current: reused
    EXPECT_EQ(wholeText(state.DatabaseText), "one\r");
    gatherDatabaseText(state, second.fields(), ignore, platform::yieldToEvents); // another database: gathered afresh
    EXPECT_EQ(wholeText(state.DatabaseText), "two\r");

    second.exec("CREATE TABLE \"X]\"(a); INSERT INTO \"X]\" VALUES (1)");
    gatherDatabaseText(state, first.fields(), ignore, platform::yieldToEvents);
    EXPECT_EQ(wholeText(state.DatabaseText), "one\rlater\r");
    EXPECT_TRUE(state.complete);
    // A table passed over is reported once; the text counts as complete and is not gathered again for it.
    EXPECT_THROW(gatherDatabaseText(state, second.fields(), ignore, platform::yieldToEvents), Failure);
    EXPECT_EQ(wholeText(state.DatabaseText), "two\r");
    EXPECT_TRUE(state.complete);
    EXPECT_FALSE(state.scanning);
    second.exec("INSERT INTO T VALUES ('more')");
    gatherDatabaseText(state, second.fields(), ignore, platform::yieldToEvents);
    EXPECT_EQ(wholeText(state.DatabaseText), "two\r");
    EXPECT_EQ(originAt(state.DatabaseText, 0).description(), "T.a, row 1");

    ConnectionFields missing = second.fields();
    missing.database = env.path("no-folder/x.db"); // a failed connection leaves the text incomplete
    EXPECT_THROW(gatherDatabaseText(state, missing, ignore, platform::yieldToEvents), Failure);
    EXPECT_FALSE(state.complete);
    second.exec("DROP TABLE \"X]\"");
    gatherDatabaseText(state, second.fields(), ignore, platform::yieldToEvents); // gathered again
    EXPECT_EQ(wholeText(state.DatabaseText), "two\rmore\r");
    EXPECT_TRUE(state.complete);

    state.scanning = true; // a command started inside a scan's yield never starts a second scan
    state.DatabaseText.clear();
    gatherDatabaseText(state, second.fields(), ignore, platform::yieldToEvents);
    EXPECT_TRUE(state.DatabaseText.empty());
}

// Through the SQLite driver too: keys of one and two columns, an integer and a text with a quote, and the
// copied query selects exactly the row; a table without a key keeps the row's place.
TEST(DatabaseScan, RowsOfKeyedTablesAreNamedByTheirKey)
{
    test::CoreEnvironment env;
    test::SqliteDatabase db(env.path("keys.db"));
    db.exec("CREATE TABLE One(id INTEGER PRIMARY KEY, note TEXT); INSERT INTO One VALUES (5, 'a'), (42, 'hit one')");
    db.exec("CREATE TABLE Two(code TEXT, n INTEGER, note TEXT, PRIMARY KEY(code, n)); "
            "INSERT INTO Two VALUES ('it''s', 1, 'hit two'), ('its', 1, 'b')");
    db.exec("CREATE TABLE Loose(note TEXT); INSERT INTO Loose VALUES ('c'), ('hit loose')");
    Scan scan;
    scan.run(db.fields());
    const auto originOf = [&](const char* value) {
        return scan.origins.at(scan.text, scan.text.indexOf(QLatin1String(value)));
    };
    EXPECT_EQ(originOf("hit one").description(), "One.note, id 42");
    EXPECT_EQ(originOf("hit two").description(), "Two.note, code it's, n 1");
    EXPECT_EQ(originOf("hit loose").description(), "Loose.note, row 2");
    for (const char* value : {"hit one", "hit two"}) {
        const QList<QStringList> rows = test::queryRows(connectionString(db.fields()), rowQuery(originOf(value)));
        ASSERT_EQ(rows.size(), 1) << rowQuery(originOf(value)).toStdString();
        EXPECT_TRUE(rows[0].contains(value));
    }
    const Origin priced{"dbo", "Prices", "Note", 1, {{"Amount", "12.50", SQL_DECIMAL}}}; // a number, unquoted
    EXPECT_EQ(rowQuery(priced), "SELECT * FROM [dbo].[Prices] WHERE [Amount] = 12.50");
}
