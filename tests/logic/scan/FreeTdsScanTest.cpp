// The database scan against SQL Server's protocol through the real FreeTDS driver: which tables it reads
// and from where, what every type looks like in the text, big values whole, and a table that fails or a
// connection that drops part way.
#include "logic/scan/DatabaseText.h"
#include "logic/scan/TableListing.h"
#include "logic/text/SqlText.h"
#include "platform/EventYield.h"
#include "support/CoreEnvironment.h"
#include "support/QueryRows.h"
#include "support/TdsServing.h"

#include <QDateTime>
#include <QThread>
#include <QUuid>
#include <gtest/gtest.h>

using namespace rq;
using test::fieldsFor;
using test::serving;
using test::TdsColumn;
using test::TdsServer;
using test::TdsTable;
using test::TdsType;
using test::TdsValue;
using test::textTable;

namespace {

// The text gathered as the extraction commands gather it, and the report of the tables passed over.
struct Gathered {
    DatabaseTextState state;
    QString report;
    void run(const ConnectionFields& fields)
    {
        report.clear();
        try {
            gatherDatabaseText(
                state, fields, [](const QString&) {}, platform::yieldToEvents);
        } catch (const Failure& failure) {
            report = failure.description();
        }
    }
    QString text() const { return wholeText(state.DatabaseText); }
    Origin originAt(qsizetype position) const { return rq::originAt(state.DatabaseText, position); }
};

// Where two long texts first differ, for a failure message that does not print megabytes.
std::string firstDifference(const QString& actual, const QString& expected)
{
    qsizetype at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    const auto near = [at](const QString& text) {
        QString units;
        for (const QChar c : text.mid(at, 8))
            units += QStringLiteral("%1 ").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        return units.toStdString();
    };
    return "sizes " + std::to_string(actual.size()) + " and " + std::to_string(expected.size()) +
           ", first difference at " + std::to_string(at) + ": got [" + near(actual) + "] expected [" + near(expected) +
           "]";
}

} // namespace

TEST(FreeTdsScan, EveryUserTableIsReadFromItsOwnSchema)
{
    struct Listed {
        QString schema;
        QString name;
        QString type;
        bool read;
    };
    const Listed listed[] = {
        {"dbo", "Customer", "TABLE", true},
        {"Sales", "Customer", "TABLE", true}, // the same name in another schema
        {"Sales", "Orders", "TABLE", true},
        {"dbo", "CustomerView", "VIEW", false},
        {"sys", "objects", "SYSTEM TABLE", false},
        {"dbo", "sysdiagrams", "TABLE", false},
        {"Sales", "Odd]Name]]", "TABLE", true},
        {"dbo", "O'Brien's", "TABLE", true},
        {"Sales", "Order  Lines", "TABLE", true},
        {"dbo", "dotted.name", "TABLE", true},
        {"Продажи", "Заказы", "TABLE", true},
        {"dbo", "顧客", "TABLE", true},
        {"dbo", "<b>Markup</b> & \"quotes\"", "TABLE", true},
        {"we]ird [schema]", "t", "TABLE", true},
    };
    QList<TdsTable> tables;
    QStringList expected;
    for (const Listed& t : listed) {
        const QString first = t.schema + QLatin1Char('.') + t.name + QStringLiteral(" row 1");
        const QString second = t.schema + QLatin1Char('.') + t.name + QStringLiteral(" row 2");
        tables.append(textTable(t.schema, t.name, {first, second}));
        tables.last().type = t.type;
        if (t.read)
            expected << first << second;
    }
    test::CoreEnvironment env;
    TdsServer server(serving(tables));
    Gathered gathered;
    gathered.run(fieldsFor(server));
    EXPECT_EQ(gathered.report, "");
    EXPECT_TRUE(gathered.state.complete);

    QStringList read = gathered.text().split(QLatin1Char('\r'));
    EXPECT_EQ(read.takeLast(), "");
    read.sort();
    expected.sort();
    EXPECT_EQ(read, expected);
    for (const Listed& t : listed) {
        for (int row : {1, 2}) {
            const QString value = t.schema + QLatin1Char('.') + t.name + QStringLiteral(" row %1").arg(row);
            const qsizetype at = gathered.text().indexOf(value + QLatin1Char('\r'));
            EXPECT_EQ(at >= 0, t.read) << value.toStdString();
            if (at >= 0) {
                EXPECT_EQ(gathered.originAt(at).description(),
                          t.schema + QLatin1Char('.') + t.name + QStringLiteral(".Value, row %1").arg(row));
            }
        }
    }
    EXPECT_EQ(server.accepted(), 1);
    ASSERT_EQ(server.logins().size(), 1);
    EXPECT_EQ(server.logins()[0].protection, TdsServer::Protection::Session); // every row came encrypted
}

TEST(FreeTdsScan, EveryTypeAndItsNullAsTheDriverWritesThem)
{
    struct TypeCase {
        const char* name; // also the column's name
        TdsColumn column;
        QVariant value;
        QString text;
    };
    const QUuid uuid("{6f9619ff-8b86-d011-b42d-00c04fc964ff}");
    const QDateTime when(QDate(2024, 2, 29), QTime(13, 45, 30, 123));
    const TypeCase cases[] = {
        {"tinyint", {{}, TdsType::TinyInt}, qint64(255), "255"},
        {"smallint", {{}, TdsType::SmallInt}, qint64(-32768), "-32768"},
        {"int", {{}, TdsType::Int}, qint64(-2147483647 - 1), "-2147483648"},
        {"bigint", {{}, TdsType::BigInt}, qint64(9223372036854775807), "9223372036854775807"},
        {"bit 1", {{}, TdsType::Bit}, true, "1"},
        {"bit 0", {{}, TdsType::Bit}, false, "0"},
        {"decimal(18,2)", {{}, TdsType::Decimal, 0, 18, 2}, "-12.50", "-12.50"},
        {"decimal(5,2) below one", {{}, TdsType::Decimal, 0, 5, 2}, "0.05", "0.05"},
        {"decimal(38,10)",
         {{}, TdsType::Decimal, 0, 38, 10},
         "1234567890123456789012345678.0123456789",
         "1234567890123456789012345678.0123456789"},
        {"decimal(9,0)", {{}, TdsType::Decimal, 0, 9, 0}, "-7", "-7"},
        {"money", {{}, TdsType::Money}, "1234.5", "1234.5000"},
        {"money negative", {{}, TdsType::Money}, "-0.0001", "-0.0001"},
        {"real", {{}, TdsType::Real}, 3.25, "3.25"},
        {"float", {{}, TdsType::Float}, 1.5, "1.5"},
        {"real tenth", {{}, TdsType::Real}, 0.1, "0.100000001"},
        {"float tenth", {{}, TdsType::Float}, 0.1, "0.10000000000000001"},
        {"float third", {{}, TdsType::Float}, 1.0 / 3, "0.33333333333333331"},
        {"float large", {{}, TdsType::Float}, -1.25e300, "-1.2500000000000001e+300"},
        {"float whole", {{}, TdsType::Float}, 1e15, "1000000000000000"},
        {"datetime", {{}, TdsType::DateTime}, when, "2024-02-29 13:45:30.123"},
        {"datetime2(7)", {{}, TdsType::DateTime2}, when, "2024-02-29 13:45:30.1230000"},
        {"datetime2(0)", {{}, TdsType::DateTime2, 0, 18, 0}, when, "2024-02-29 13:45:30"},
        {"date", {{}, TdsType::Date}, QDate(2024, 2, 29), "2024-02-29"},
        {"time(7)", {{}, TdsType::Time}, QTime(13, 45, 30, 123), "13:45:30.1230000"},
        {"time(3)", {{}, TdsType::Time, 0, 18, 3}, QTime(0, 0, 1, 5), "00:00:01.005"},
        {"uniqueidentifier", {{}, TdsType::UniqueIdentifier}, uuid, "6F9619FF-8B86-D011-B42D-00C04FC964FF"},
        {"char(8) padding", {{}, TdsType::Char, 8}, "abc", "abc     "},
        {"nchar(5) padding", {{}, TdsType::NChar, 5}, "äß", "äß   "},
        {"nvarchar(20)", {{}, TdsType::NVarChar, 20}, "Grüße, 世界 🙂", "Grüße, 世界 🙂"},
        {"varchar code page 1252", {{}, TdsType::VarChar, 50}, "café € – œ", "café € – œ"},
        {"varchar code page 1251", {{}, TdsType::VarChar, 50, 18, -1, 1251}, "Привет, мир", "Привет, мир"},
        {"varchar code page 932", {{}, TdsType::VarChar, 50, 18, -1, 932}, "日本語テキスト", "日本語テキスト"},
        {"varchar(max)", {{}, TdsType::VarCharMax}, "long café", "long café"},
        {"text", {{}, TdsType::Text}, "old text type", "old text type"},
        {"ntext", {{}, TdsType::NText}, "old ntext Ω", "old ntext Ω"},
        {"xml", {{}, TdsType::Xml}, "<a b=\"1\">x &amp; y</a>", "<a b=\"1\">x &amp; y</a>"},
        {"binary(4) padding", {{}, TdsType::Binary, 4}, QByteArray("\x01\xAB", 2), "01ab0000"},
        {"varbinary", {{}, TdsType::VarBinary, 16}, QByteArray("\xDE\xAD\xBE\xEF\x00\x7F", 6), "deadbeef007f"},
        {"image", {{}, TdsType::Image}, QByteArray("\xFF\x10", 2), "ff10"},
        {"sql_variant of an int", {{}, TdsType::SqlVariant}, qint64(42), "42"},
        {"sql_variant of a float", {{}, TdsType::SqlVariant}, 0.1, "0.10000000000000001"},
        {"sql_variant of nvarchar", {{}, TdsType::SqlVariant}, "Grüße", "Grüße"},
    };
    TdsTable table;
    table.name = QStringLiteral("Types");
    QList<TdsValue> values;
    for (const TypeCase& c : cases) {
        table.columns.append(c.column);
        table.columns.last().name = QString::fromUtf8(c.name);
        values.append(c.value);
    }
    table.rows = {values, QList<TdsValue>(values.size(), std::nullopt)};
    test::CoreEnvironment env;
    TdsServer server(serving({table}));
    Gathered gathered;
    gathered.run(fieldsFor(server));
    ASSERT_EQ(gathered.report, "");

    // Every field is followed by a carriage return; the second row is all Null, so all empty.
    const qsizetype count = std::size(cases);
    const QStringList fields = gathered.text().split(QLatin1Char('\r'));
    ASSERT_EQ(fields.size(), 2 * count + 1);
    qsizetype position = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const TypeCase& c = cases[i];
        EXPECT_EQ(fields[i], c.text) << c.name << ": " << fields[i].toStdString();
        EXPECT_EQ(fields[count + i], "") << c.name << " Null";
        EXPECT_EQ(gathered.originAt(position).column, c.name);
        position += fields[i].size() + 1;
    }
}

namespace {

// Text whose pieces all differ, with NUL characters and surrogate pairs at every offset, so that a part
// lost, repeated or split wrongly between chunks, packets or reads shows.
QString patterned(qsizetype units)
{
    QString text;
    text.reserve(units + 32);
    for (int i = 0; text.size() < units; ++i)
        text += QString::number(i) + QChar(0) + QStringLiteral("🙂Ж;");
    return text;
}

} // namespace

TEST(FreeTdsScan, BigValuesAndEveryUnitArriveWhole)
{
    const QString big = patterned(512 * 1024);  // 1 MB of UTF-16: many PLP chunks and packets
    const QString ntext = patterned(50 * 1024); // 100 KB
    QByteArray binary(300 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 7 + i / 256) & 0xFF); // every byte value, in a pattern that does not repeat soon
    // Long text in a multi-byte and a single-byte code page: the driver converts it as it goes.
    QString japanese, cyrillic;
    for (int i = 0; japanese.size() < 40'000; ++i)
        japanese += QString::number(i) + QStringLiteral("日本語のテキスト;");
    for (int i = 0; cyrillic.size() < 40'000; ++i)
        cyrillic += QString::number(i) + QStringLiteral("Привет, мир;");
    const QString odd = QStringLiteral("nul") + QChar(0) + QStringLiteral("lone high") + QChar(0xD800) +
                        QStringLiteral("lone low") + QChar(0xDC00) + QStringLiteral("separator") + QChar(0x2028) +
                        QStringLiteral("emoji 🙂 cr\rlf\nend") + QChar(0);

    TdsTable table;
    table.name = QStringLiteral("Big");
    table.columns = {{QStringLiteral("Long"), TdsType::NVarCharMax},
                     {QStringLiteral("Old"), TdsType::NText},
                     {QStringLiteral("Bytes"), TdsType::VarBinaryMax},
                     {QStringLiteral("Odd"), TdsType::NVarChar, 200},
                     {QStringLiteral("Japanese"), TdsType::VarCharMax, 0, 18, -1, 932},
                     {QStringLiteral("Cyrillic"), TdsType::Text, 0, 18, -1, 1251}};
    table.rows = {
        {QVariant(big), QVariant(ntext), QVariant(binary), QVariant(odd), QVariant(japanese), QVariant(cyrillic)},
        {QVariant(QStringLiteral("second row")), std::nullopt, std::nullopt, QVariant(odd), std::nullopt,
         std::nullopt}};
    test::CoreEnvironment env;
    TdsServer server(serving({table}));
    Gathered gathered;
    gathered.run(fieldsFor(server));
    ASSERT_EQ(gathered.report, "");

    const QString hex = QString::fromLatin1(binary.toHex());
    const QString expected = big + u'\r' + ntext + u'\r' + hex + u'\r' + odd + u'\r' + japanese + u'\r' + cyrillic +
                             u'\r' + QStringLiteral("second row\r\r\r") + odd + QStringLiteral("\r\r\r");
    EXPECT_TRUE(gathered.text() == expected) << firstDifference(gathered.text(), expected);
    // Field ends are kept around the carriage return inside the value: the units after it are still "Odd".
    const qsizetype lastOdd = gathered.text().size() - 4;
    EXPECT_EQ(gathered.originAt(lastOdd).description(), "dbo.Big.Odd, row 2");
    EXPECT_EQ(gathered.originAt(big.size() / 2).description(), "dbo.Big.Long, row 1");
    EXPECT_EQ(gathered.originAt(big.size() + ntext.size() + hex.size()).description(), "dbo.Big.Bytes, row 1");
}

TEST(FreeTdsScan, ATableFailingPartWayIsPassedOverReportedOnceAndNotScannedAgain)
{
    struct FailCase {
        const char* name;
        int failAfterRows;
    };
    const FailCase cases[] = {
        {"fails before its first row", 0}, {"fails part way", 2}, {"fails after its last row", 4}};
    const QStringList broken = {"broken 1", "broken 2", "broken 3", "broken 4"};
    for (const FailCase& c : cases) {
        SCOPED_TRACE(c.name);
        TdsTable failing = textTable("dbo", "Broken", broken);
        failing.failAfterRows = c.failAfterRows;
        test::CoreEnvironment env;
        TdsServer server(serving(
            {textTable("dbo", "Before", {"before 1", "before 2"}), failing, textTable("Sales", "After", {"after 1"})}));
        Gathered gathered;
        gathered.run(fieldsFor(server));

        const QString expected = QStringLiteral("before 1\rbefore 2\r") +
                                 (c.failAfterRows > 0 ? broken.first(c.failAfterRows).join(u'\r') + u'\r' : QString()) +
                                 QStringLiteral("after 1\r");
        EXPECT_EQ(gathered.text(), expected);
        EXPECT_EQ(gathered.report.count("dbo.Broken"), 1) << gathered.report.toStdString();
        EXPECT_TRUE(gathered.report.contains("Could not continue scan with NOLOCK due to data movement."))
            << gathered.report.toStdString();
        EXPECT_FALSE(gathered.report.contains("Before") || gathered.report.contains("After"));

        // The text counts as complete: the next extraction neither connects nor reports again.
        const int connections = server.accepted();
        const QStringList batches = server.batches();
        gathered.run(fieldsFor(server));
        EXPECT_EQ(gathered.report, "");
        EXPECT_EQ(gathered.text(), expected);
        EXPECT_EQ(server.accepted(), connections);
        EXPECT_EQ(server.batches(), batches);
    }
}

// The server hangs up in the middle of a table. A lost link is not a table that cannot be read: the scan
// ends there, keeps what it read in whole values only, and the next command reads the database again.
TEST(FreeTdsScan, AConnectionCutPartWayKeepsWholeValuesOnlyAndIsReadAgain)
{
    TdsTable table;
    table.name = QStringLiteral("Long");
    table.columns = {{QStringLiteral("Id"), TdsType::Int}, {QStringLiteral("Text"), TdsType::NVarCharMax}};
    const auto value = [](int i) { return QStringLiteral("%1:").arg(i) + QString(3000, QChar(u'a' + i % 26)); };
    table.generatedRows = 200;
    table.generate = [value](int i) { return QList<TdsValue>{QVariant(qint64(i)), QVariant(value(i))}; };
    TdsServer::Options options =
        serving({textTable("dbo", "Before", {"before"}), table, textTable("dbo", "Tail", {"tail"})});
    options.closeAfterBytes = 300'000; // about half the table
    test::CoreEnvironment env;
    TdsServer server(options);
    Gathered gathered;
    gathered.run(fieldsFor(server));

    QStringList fields = gathered.text().split(QLatin1Char('\r'));
    EXPECT_EQ(fields.takeFirst(), "before");
    EXPECT_EQ(fields.takeLast(), ""); // and nothing of the table after
    EXPECT_GT(fields.size(), 0);
    EXPECT_LT(fields.size(), 2 * table.generatedRows);
    for (qsizetype i = 0; i < fields.size(); ++i) { // a row may lack its last fields, never part of one
        const int row = int(i / 2);
        EXPECT_TRUE(fields[i] == (i % 2 ? value(row) : QString::number(row))) << "field " << i << " is not whole";
    }
    EXPECT_TRUE(gathered.report.startsWith("The connection was lost while reading dbo.Long. "))
        << gathered.report.toStdString();
    EXPECT_FALSE(gathered.state.complete);

    gathered.run(fieldsFor(server));
    EXPECT_EQ(server.accepted(), 2);
    EXPECT_TRUE(gathered.report.startsWith("The connection was lost while reading dbo.Long. "));
}

// A row of a table with a primary key is named by its key, taken from the row's own fields, and the query
// copied for it selects that row and no other; a table without a key names the row by its place.
TEST(FreeTdsScan, RowsOfKeyedTablesAreNamedByTheirKeyAndTheQueryFindsThem)
{
    TdsTable customers;
    customers.name = "Customers";
    customers.columns = {{"CustomerID", TdsType::Int}, {"Notes", TdsType::NVarChar, 100}};
    customers.rows = {{qint64(7), QString("other")}, {qint64(42), QString("quarry 42")}};
    customers.primaryKey = {"CustomerID"};
    TdsTable lines;
    lines.schema = "Sales";
    lines.name = "Lines";
    lines.columns = {{"OrderID", TdsType::Int}, {"Tag", TdsType::NVarChar, 20}, {"Note", TdsType::NVarChar, 100}};
    lines.rows = {{qint64(1), QString("it's"), QString("quarry line")}, {qint64(1), QString("its"), QString("x")}};
    lines.primaryKey = {"OrderID", "Tag"};
    const QUuid id = QUuid::fromString(QStringLiteral("{6f9619ff-8b86-d011-b42d-00c04fc964ff}"));
    TdsTable devices;
    devices.name = "Devices";
    devices.columns = {{"Note", TdsType::NVarChar, 100}, {"Id", TdsType::UniqueIdentifier}};
    devices.rows = {{QString("quarry device"), id}, {QString("another"), QUuid::createUuid()}};
    devices.primaryKey = {"Id"};
    TdsTable tags; // sql_variant: FreeTDS tells each value's text, not its base type
    tags.name = "Tags";
    tags.columns = {{"Tag", TdsType::SqlVariant}, {"Note", TdsType::NVarChar, 100}};
    tags.rows = {{qint64(42), QString("quarry tag")}, {QString("42x"), QString("other")}};
    tags.primaryKey = {"Tag"};
    test::CoreEnvironment env;
    TdsServer server(test::serving({customers, lines, devices, tags, textTable("dbo", "Loose", {"loose", "quarry"})}));
    Gathered gathered;
    gathered.run(test::fieldsFor(server));
    ASSERT_EQ(gathered.report, "");

    struct Expected {
        const char* value;
        const char* description;
        const char* query;
    };
    const Expected expected[] = {
        {"quarry 42", "dbo.Customers.Notes, CustomerID 42", "SELECT * FROM [dbo].[Customers] WHERE [CustomerID] = 42"},
        {"quarry device", "dbo.Devices.Note, Id 6F9619FF-8B86-D011-B42D-00C04FC964FF",
         "SELECT * FROM [dbo].[Devices] WHERE [Id] = '6F9619FF-8B86-D011-B42D-00C04FC964FF'"},
        {"quarry", "dbo.Loose.Value, row 2",
         "SELECT * FROM [dbo].[Loose] -- dbo.Loose has no primary key: the item is in row 2 as the scan read the "
         "table, an order the database does not keep"},
        {"quarry line", "Sales.Lines.Note, OrderID 1, Tag it's",
         "SELECT * FROM [Sales].[Lines] WHERE [OrderID] = 1 AND [Tag] = N'it''s'"},
        {"quarry tag", "dbo.Tags.Note, Tag 42", "SELECT * FROM [dbo].[Tags] WHERE [Tag] IN (42, 42E0, 0x42, N'42')"},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.value);
        const qsizetype at =
            gathered.text().indexOf(QLatin1Char('\r') + QLatin1String(e.value) + QLatin1Char('\r')) + 1;
        ASSERT_GT(at, 0);
        const Origin origin = gathered.originAt(at);
        EXPECT_EQ(origin.description(), e.description);
        EXPECT_EQ(rowQuery(origin), e.query);
        if (origin.key.isEmpty() || origin.table == "Tags") // this server answers no IN
            continue;
        // Run through the driver, the query finds exactly the row the item came from.
        const QList<QStringList> rows =
            test::queryRows(scanConnectionString(test::fieldsFor(server)), rowQuery(origin));
        ASSERT_EQ(rows.size(), 1);
        EXPECT_TRUE(rows[0].contains(e.value));
    }
}

// A server that accepts the login and never lists its tables: the listing gives up at its deadline, or at
// once when the user gives up.
TEST(FreeTdsScan, ListingTheTablesHasADeadlineAndCanBeGivenUp)
{
    TdsServer silent(serving({textTable("dbo", "T", {"x"})}, TdsServer::Fault::SilentAfterLogin));
    const ScanPlan plan = ScanPlan::of(fieldsFor(silent));
    try {
        listServer(
            plan, Listing::ChosenTables, [] {}, {}, 1);
        FAIL() << "a server that never lists its tables must not hold the listing";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.description(), "The server did not list the tables within 1 second.");
    }
    int asked = 0;
    EXPECT_THROW(listServer(
                     plan, Listing::ChosenTables, [] {}, [&] { return !silent.logins().isEmpty() && ++asked > 3; }),
                 ListingCancelled);
}

// A server that ignores the cancel and goes on sending: a few seconds after the stop, the abandoned reader's
// connection is closed under the driver, so the server and the network stop working for nothing.
TEST(FreeTdsScan, AStopThatTheServerIgnoresClosesTheConnection)
{
    TdsTable endless = textTable("dbo", "Endless", {});
    endless.generatedRows = std::numeric_limits<int>::max();
    endless.generate = [](int i) { return QList<TdsValue>{QVariant(QStringLiteral("row %1").arg(i))}; };
    TdsServer::Options options = serving({endless});
    options.ignoreAttention = true;
    TdsServer server(options);
    const auto control = std::make_shared<ScanControl>();
    ScanHooks hooks;
    qint64 rows = 0;
    hooks.batch = [&](ScanBatch& batch) {
        rows += qint64(batch.rowStarts.size());
        if (rows > 1000)
            control->stop();
    };
    hooks.progress = [](const ScanCounts&) {};
    hooks.yield = [] { return false; };
    const ScanOutcome outcome = scanInBatches(ScanPlan::of(fieldsFor(server)), *control, hooks);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_GE(server.attentions(), 1);
    for (int waited = 0; server.closed() == 0 && waited < 200; ++waited) // the cancel has 3 s to be answered
        QThread::msleep(50);
    EXPECT_EQ(server.closed(), 1);
}
