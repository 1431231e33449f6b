// The database scan against a minimal ODBC reader, both through the real FreeTDS driver and the same TDS
// server of our own, serving 400,000 generated rows over four tables. The two readers take turns in one
// run; the medians are compared. The server runs in this process, so its own work (making and sending
// the rows) counts for both.
//   bench_freetds_scan [runs]
#include "BenchSupport.h"
#include "FreeTdsRegistration.h"
#include "MinimalReader.h"

#include "logic/DatabaseScan.h"
#include "platform/EventYield.h"
#include "support/TdsServer.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdlib>

using namespace rq;
using test::TdsColumn;
using test::TdsTable;
using test::TdsType;
using test::TdsValue;

namespace {

constexpr int kRowsPerTable = 100'000;

TdsTable generatedTable(const char* name, QList<TdsColumn> columns, std::function<QList<TdsValue>(int)> generate)
{
    TdsTable table;
    table.name = QString::fromLatin1(name);
    table.columns = std::move(columns);
    table.generatedRows = kRowsPerTable;
    table.generate = std::move(generate);
    return table;
}

// Rows like a small shop's: names, notes with line breaks, a few long notes, Nulls, numbers and dates.
QList<TdsTable> shopTables()
{
    const QDate day(2026, 11, 30);
    const QString longNote(20000, QLatin1Char('L'));
    return {
        generatedTable("Customers",
                       {{"Id", TdsType::Int},
                        {"Name", TdsType::NVarChar, 100},
                        {"Email", TdsType::NVarChar, 100},
                        {"City", TdsType::VarChar, 50},
                        {"Balance", TdsType::Float}},
                       [](int i) {
                           return QList<TdsValue>{qint64(i), QStringLiteral("Customer number %1").arg(i),
                                                  QStringLiteral("customer%1@example.com").arg(i),
                                                  i % 7 ? TdsValue(QStringLiteral("Springfield")) : std::nullopt,
                                                  i * 1.25};
                       }),
        generatedTable("Measurements",
                       {{"Id", TdsType::BigInt},
                        {"A", TdsType::Float},
                        {"B", TdsType::Float},
                        {"Label", TdsType::NVarChar, 50},
                        {"Extra", TdsType::NVarChar, 50}},
                       [](int i) {
                           return QList<TdsValue>{qint64(i), i / 3.0, -i * 0.5, QStringLiteral("sensor"), std::nullopt};
                       }),
        generatedTable("Notes",
                       {{"Id", TdsType::Int},
                        {"Body", TdsType::NVarCharMax},
                        {"Author", TdsType::VarChar, 50},
                        {"Created", TdsType::DateTime},
                        {"Flag", TdsType::Bit}},
                       [longNote, day](int i) {
                           // A few long values, read in several pieces.
                           const QString body = i % 10000 ? QStringLiteral("Called about the invoice;\r\nwill call "
                                                                           "back on Monday.")
                                                          : longNote;
                           return QList<TdsValue>{qint64(i), body, QStringLiteral("support"),
                                                  QDateTime(day, QTime(10, 0)), i % 2 == 1};
                       }),
        generatedTable("Orders",
                       {{"Id", TdsType::Int},
                        {"Customer", TdsType::Int},
                        {"Note", TdsType::NVarChar, 200},
                        {"Total", TdsType::Decimal, 0, 10, 2},
                        {"Shipped", TdsType::Date}},
                       [day](int i) {
                           return QList<TdsValue>{
                               qint64(i), qint64(i % 1000), QStringLiteral("Leave at the <b>back door</b>, ring twice"),
                               QStringLiteral("%1.99").arg(19 + i % 100), i % 3 ? TdsValue(day) : std::nullopt};
                       }),
    };
}

// The minimal reader, with the same text size as the scan, so that both read long values whole.
qsizetype readMinimal(const ConnectionFields& fields, const QList<TdsTable>& tables)
{
    QStringList queries;
    for (const TdsTable& table : tables)
        queries << QStringLiteral("SELECT * FROM [%1].[%2]").arg(table.schema, table.name);
    return bench::readMinimal(connectionString(fields), {QStringLiteral("SET TEXTSIZE 2147483647")}, queries);
}

qsizetype readWithScan(const ConnectionFields& fields)
{
    QString text;
    TextOrigins origins;
    const ScanOutcome outcome = ScanDatabase(
        fields, text, origins, [](const QString&) {}, platform::yieldToEvents);
    if (!outcome.passedOver.isEmpty()) {
        std::fprintf(stderr, "the scan passed over tables: %s\n", qPrintable(outcome.report()));
        std::exit(3);
    }
    return text.size();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir registration;
    if (!registration.isValid() || !bench::registerFreeTds(registration))
        return 1;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;

    test::TdsServer::Options options;
    options.user = QStringLiteral("user");
    options.password = QStringLiteral("password");
    const QList<TdsTable> tables = shopTables();
    options.databases = {test::TdsDatabase{QStringLiteral("bench"), tables}};
    test::TdsServer server(options);
    if (!server.listening()) {
        std::fprintf(stderr, "the TDS server could not listen\n");
        return 1;
    }
    const ConnectionFields fields{"127.0.0.1", QString::number(server.port()), "user", "password", "bench", false};

    // Once each to warm up and to check that both gather the same text.
    const qsizetype scanned = readWithScan(fields);
    const qsizetype minimal = readMinimal(fields, tables);
    if (scanned != minimal)
        std::printf("WARNING: the readers gathered different amounts of text (%lld vs %lld units)\n",
                    static_cast<long long>(scanned), static_cast<long long>(minimal));

    // Taking turns, so that a busy spell on this machine falls on both.
    std::vector<double> scanTimes, minimalTimes;
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        readWithScan(fields);
        scanTimes.push_back(timer.nsecsElapsed() / 1e9);
        timer.start();
        readMinimal(fields, tables);
        minimalTimes.push_back(timer.nsecsElapsed() / 1e9);
    }
    std::printf("scanned %lld UTF-16 units from %d rows through FreeTDS, median of %d runs\n",
                static_cast<long long>(scanned), static_cast<int>(tables.size()) * kRowsPerTable, runs);
    bench::report("ScanDatabase through FreeTDS, wall time", bench::median(scanTimes), bench::median(minimalTimes),
                  "minimal ODBC reader", 1.2);
    return 0;
}
