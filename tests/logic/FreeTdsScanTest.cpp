// The database scan against SQL Server's protocol through the real FreeTDS driver: which tables it reads
// and from where, what every type looks like in the text, big values whole, a table that fails part way,
// and a window that keeps running events however slow or silent the server.
#include "logic/DatabaseScan.h"
#include "logic/ResultsList.h"
#include "platform/EventYield.h"
#include "support/EventGaps.h"
#include "support/ExtractionWindow.h"
#include "support/TdsServer.h"
#include "support/TestEnvironment.h"
#include "ui/Form2.h"
#include "ui/WindowPointer.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUuid>
#include <gtest/gtest.h>
#include <memory>

using namespace rq;
using test::TdsColumn;
using test::TdsServer;
using test::TdsTable;
using test::TdsType;
using test::TdsValue;
using test::textTable;

namespace {

TdsServer::Options serving(QList<TdsTable> tables, TdsServer::Fault fault = TdsServer::Fault::None)
{
    TdsServer::Options options;
    options.user = QStringLiteral("user");
    options.password = QStringLiteral("password");
    options.databases = {test::TdsDatabase{QStringLiteral("dbname"), std::move(tables)}};
    options.fault = fault;
    return options;
}

ConnectionFields fieldsFor(const TdsServer& server)
{
    return {"127.0.0.1", QString::number(server.port()), "user", "password", "dbname", false};
}

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
    const QString& text() const { return state.DatabaseText; }
    Origin originAt(qsizetype position) const { return state.origins->at(state.DatabaseText, position); }
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

// A loaded extraction window whose connection fields point at a TdsServer; the server can be dropped
// part way through a test.
struct TdsWindow : test::LoadedExtractionWindow {
    std::unique_ptr<TdsServer> server;

    explicit TdsWindow(TdsServer::Options options) : server(std::make_unique<TdsServer>(std::move(options)))
    {
        fields = fieldsFor(*server);
    }
};

// What a line extraction lists from `text`: each piece between carriage returns holding `search`.
QStringList linesHolding(const QString& text, const QString& search)
{
    QStringList lines;
    for (const QString& piece : text.split(QLatin1Char('\r')))
        if (piece.contains(search, Qt::CaseInsensitive))
            lines.append(piece);
    return lines;
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
    test::TestEnvironment env;
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
    test::TestEnvironment env;
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
    test::TestEnvironment env;
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
        test::TestEnvironment env;
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
    test::TestEnvironment env;
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

TEST(FreeTdsScan, LineExtractionListsEveryMatchingLineOfTheDescribedRows)
{
    TdsTable customers;
    customers.name = QStringLiteral("Customers");
    customers.columns = {{QStringLiteral("Id"), TdsType::Int},
                         {QStringLiteral("Name"), TdsType::NVarChar, 100},
                         {QStringLiteral("Note"), TdsType::NVarCharMax},
                         {QStringLiteral("City"), TdsType::VarChar, 50}};
    customers.rows = {
        {QVariant(qint64(1)), QVariant("Quarry Road Ltd"), std::nullopt, QVariant("Bath")},
        {QVariant(qint64(2)), QVariant("Stone & Co"), QVariant("ordered from the quarry\r\nsecond line QUARRY"),
         QVariant("Leeds")},
        {QVariant(qint64(3)), QVariant("Нет"), QVariant("no match here"), std::nullopt},
        {QVariant(qint64(4)), QVariant("<b>quarry</b>"), QVariant("quarry\rquarry\r"), QVariant("quarry town")},
    };
    TdsTable salesCustomers = textTable("Sales", "Customers", {"quarryman", "farmer"});
    TdsTable broken = textTable("Sales", "Broken", {"quarry broken 1", "quarry broken 2", "quarry broken 3"});
    broken.failAfterRows = 2;
    TdsTable generated;
    generated.schema = QStringLiteral("Sales");
    generated.name = QStringLiteral("Generated");
    generated.columns = {{QStringLiteral("Id"), TdsType::BigInt}, {QStringLiteral("Item"), TdsType::NVarChar, 60}};
    generated.generatedRows = 20'000;
    generated.generate = [](int i) {
        return QList<TdsValue>{QVariant(qint64(i) * 1000),
                               QVariant(QStringLiteral("item %1%2").arg(i).arg(i % 97 ? "" : " from the QUARRY"))};
    };
    TdsTable view = textTable("dbo", "QuarryView", {"quarry seen through a view"});
    view.type = QStringLiteral("VIEW");
    // Described in the order the server lists them: by schema, then name.
    const QList<TdsTable> tables = {customers, broken, salesCustomers, generated, view};

    // The expectation, from the described rows alone: each field's text and a carriage return.
    QString text;
    for (const TdsTable& table : tables) {
        if (table.type != QLatin1String("TABLE"))
            continue;
        const int rows = table.rows.size() + table.generatedRows;
        for (int r = 0; r < (table.failAfterRows >= 0 ? table.failAfterRows : rows); ++r) {
            const QList<TdsValue> row = r < table.rows.size() ? table.rows[r] : table.generate(r - table.rows.size());
            for (const TdsValue& field : row)
                text += (field ? field->toString() : QString()) + u'\r';
        }
    }
    const QStringList expected = linesHolding(text, "quarry");
    ASSERT_GT(expected.size(), 200);

    TdsWindow w(serving(tables));
    w.extractLines("Quarry");
    EXPECT_EQ(w.items(), expected);
    const QStringList reports = test::failureReports(w.env.messages);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains("Sales.Broken")) << reports[0].toStdString();
    EXPECT_EQ(w.form.pointer().value(), Default);

    w.extractLines("Quarry"); // the text is complete: no second scan, no second report
    EXPECT_EQ(w.items(), expected + expected);
    EXPECT_EQ(test::failureReports(w.env.messages).size(), 1);
    EXPECT_EQ(w.server->accepted(), 1);
}

TEST(FreeTdsScan, ASlowServerLeavesTheWindowRunningAndACommandInItsYieldsUsesTheTextSoFar)
{
    QStringList values;
    for (int i = 1; i <= 60; ++i)
        values << QStringLiteral("slow quarry row %1").arg(i);
    TdsServer::Options options = serving({textTable("dbo", "Slow", values), textTable("dbo", "Tail", {"quarry tail"})});
    options.rowDelayMs = 10;
    TdsWindow w(options);

    // Once a few rows have arrived, a second extraction runs inside the scan's yields.
    QString seenByNested;
    bool scanningThen = false;
    int nestedRuns = 0;
    QTimer nested;
    QObject::connect(&nested, &QTimer::timeout, [&] {
        const DatabaseTextState& database = w.env.context.database;
        if (nestedRuns > 0 || database.DatabaseText.count(u'\r') < 5)
            return;
        ++nestedRuns;
        seenByNested = database.DatabaseText;
        scanningThen = database.scanning;
        w.form.PushButton5->click();
    });
    nested.start(5);

    test::EventGaps gaps;
    w.extractLines("quarry");
    const QString all = w.env.context.database.DatabaseText;
    EXPECT_EQ(nestedRuns, 1);
    EXPECT_TRUE(scanningThen);
    EXPECT_TRUE(all.startsWith(seenByNested));
    EXPECT_EQ(w.items(), linesHolding(seenByNested, "quarry") + linesHolding(all, "quarry"));
    EXPECT_EQ(linesHolding(all, "quarry"), values + QStringList{"quarry tail"});
    EXPECT_EQ(w.server->accepted(), 1); // no second scan
    EXPECT_EQ(w.server->batches().filter("Slow").size(), 1);
    EXPECT_TRUE(w.env.messages.shown().isEmpty());
    EXPECT_EQ(w.form.pointer().value(), Default);
    EXPECT_GT(gaps.ticks, 10); // events ran all through the slow read, not once at its end
    gaps.log("slow server");
}

// Esc while the server stalls in the middle of a table: the driver is cancelled, the rows read so far are
// searched, the status line says the text is partial, and the next extraction does not read again.
TEST(FreeTdsScan, EscStopsAScanStalledInATableKeepingWhatWasRead)
{
    TdsTable stalled = textTable("dbo", "Second", {"quarry 1", "quarry 2", "quarry 3", "quarry 4", "never"});
    stalled.stallAfterRows = 3;
    TdsWindow w(serving({textTable("dbo", "First", {"first quarry"}), stalled, textTable("dbo", "Third", {"third"})}));
    w.form.show();
    QApplication::setActiveWindow(&w.form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.form));
    // Esc once the server has been silent a while: time enough for the driver to hand over the rows before.
    QString countsWhileStalled;
    QElapsedTimer silent;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (!countsWhileStalled.isEmpty() || w.server->stalls() == 0)
            return;
        if (!silent.isValid())
            silent.start();
        if (silent.elapsed() < 200)
            return;
        countsWhileStalled = w.form.Label5->text();
        QTest::keyClick(w.form.Text1, Qt::Key_Escape);
    });
    user.start(5);
    w.extractLines("quarry");
    EXPECT_TRUE(countsWhileStalled.startsWith("Table 2 of 3, ")) << countsWhileStalled.toStdString();
    EXPECT_TRUE(countsWhileStalled.endsWith(" s. Esc stops.")) << countsWhileStalled.toStdString();
    EXPECT_EQ(w.items(), (QStringList{"first quarry", "quarry 1", "quarry 2", "quarry 3"}));
    EXPECT_GE(w.server->attentions(), 1); // the driver was cancelled, not merely left waiting
    EXPECT_TRUE(w.form.Label1->text().startsWith("Stopped after 1 of 3 tables, 4 rows, "))
        << w.form.Label1->text().toStdString();
    EXPECT_TRUE(w.form.Label1->text().endsWith(", partial. 4 lines found.")) << w.form.Label1->text().toStdString();
    EXPECT_EQ(w.form.PushButton7->text(), "Read Again (F5)");
    EXPECT_EQ(w.form.Label5->text(), "");

    w.extractLines("quarry"); // the partial text serves until a new read is asked for
    EXPECT_EQ(w.items().size(), 8);
    EXPECT_EQ(w.server->accepted(), 1);
    EXPECT_TRUE(w.env.messages.shown().isEmpty());
    EXPECT_EQ(w.form.pointer().value(), Default);
}

TEST(FreeTdsScan, ClosingTheWindowDuringAStalledScanEndsTheProgramAtOnce)
{
    struct StallCase {
        const char* name;
        TdsServer::Fault fault;
        bool (*stalled)(const TdsServer&); // the driver is now waiting for an answer that never comes
    };
    const StallCase cases[] = {
        {"no answer after login", TdsServer::Fault::SilentAfterLogin,
         [](const TdsServer& s) { return !s.batches().isEmpty(); }},
        {"no answer to the login", TdsServer::Fault::NoLoginAnswer,
         [](const TdsServer& s) { return !s.logins().isEmpty(); }},
    };
    for (const StallCase& c : cases) {
        SCOPED_TRACE(c.name);
        TdsWindow w(serving({textTable("dbo", "T", {"never seen"})}, c.fault));
        // Closes the window once the driver waits, then after many more ticks drops the connection, which
        // ends the scan with a failure.
        int endCallsRightAfterClose = -1;
        int ticksSinceClose = 0;
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            if (!w.server)
                return;
            if (endCallsRightAfterClose < 0 && c.stalled(*w.server)) {
                w.form.close();
                endCallsRightAfterClose = w.env.endProgramCalls;
            } else if (endCallsRightAfterClose >= 0 && ++ticksSinceClose == 40) {
                w.server.reset();
            }
        });
        user.start(5);

        test::EventGaps gaps;
        w.extractLines("seen");
        EXPECT_EQ(endCallsRightAfterClose, 1);
        EXPECT_EQ(w.env.endProgramCalls, 1);
        EXPECT_FALSE(w.server); // the scan ended only when the connection dropped
        EXPECT_EQ(test::failureReports(w.env.messages).size(), 1);
        EXPECT_TRUE(w.items().isEmpty());
        EXPECT_FALSE(w.env.context.database.complete); // gathered again next time
        EXPECT_FALSE(w.env.context.database.scanning);
        EXPECT_EQ(w.form.pointer().value(), Default);
        EXPECT_GT(gaps.ticks, 20);
        gaps.log(c.name);
    }
}
