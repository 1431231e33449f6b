// The database scan against a minimal ODBC reader, both through the real FreeTDS driver and the same TDS
// server of our own, serving 400,000 generated rows over four tables, both with the whole session encrypted and
// the certificate checked (the program's default). The two readers take turns in one run; the medians are
// compared. The server runs in this process, so its own work (making, encrypting and sending the rows) counts for
// both. For information, what the encryption costs: the minimal reader encrypted against the same reader with
// "Allow an unencrypted connection" (the login alone encrypted, as before).
//   bench_freetds_scan [runs]
#include "BenchSupport.h"
#include "FreeTdsRegistration.h"
#include "MinimalReader.h"
#include "ShopTables.h"

#include "logic/scan/DatabaseScan.h"
#include "platform/EventYield.h"
#include "support/TdsServer.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QTemporaryDir>
#include <cstdlib>

using namespace rq;
using test::TdsColumn;
using test::TdsTable;
using test::TdsType;
using test::TdsValue;

namespace {

constexpr int kRowsPerTable = 100'000;

// The minimal reader, with the same text size as the scan, so that both read long values whole.
qsizetype readMinimal(const ConnectionFields& fields, const QList<TdsTable>& tables,
                      const ConnectionSecurity& security = {})
{
    QStringList queries;
    for (const TdsTable& table : tables)
        queries << QStringLiteral("SELECT * FROM [%1].[%2]").arg(table.schema, table.name);
    return bench::readMinimal(connectionString(fields, security), {QStringLiteral("SET TEXTSIZE 2147483647")}, queries);
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
    bench::connectAsByDefault(registration);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;

    test::TdsServer::Options options;
    options.user = QStringLiteral("user");
    options.password = QStringLiteral("password");
    const QList<TdsTable> tables = bench::shopTables(kRowsPerTable);
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
    const ConnectionSecurity loginAlone{.trustServerCertificate = false, .allowUnencrypted = true};
    std::vector<double> scanTimes, minimalTimes, loginAloneTimes;
    for (int i = 0; i < runs; ++i) {
        scanTimes.push_back(bench::seconds([&] { readWithScan(fields); }));
        minimalTimes.push_back(bench::seconds([&] { readMinimal(fields, tables); }));
        loginAloneTimes.push_back(bench::seconds([&] { readMinimal(fields, tables, loginAlone); }));
    }
    std::printf("scanned %lld UTF-16 units from %d rows through FreeTDS, median of %d runs\n",
                static_cast<long long>(scanned), static_cast<int>(tables.size()) * kRowsPerTable, runs);
    bench::report("ScanDatabase through FreeTDS, wall time", bench::median(scanTimes), bench::median(minimalTimes),
                  "minimal ODBC reader", 1.2);
    std::printf("for information: the minimal reader, the whole session encrypted %.3f s, the login alone %.3f s, "
                "ratio %.2f\n",
                bench::median(minimalTimes), bench::median(loginAloneTimes),
                bench::median(minimalTimes) / bench::median(loginAloneTimes));
    return 0;
}
