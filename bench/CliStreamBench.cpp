// rowquarry-cli through FreeTDS against our TDS server, run as whole processes as a script would run them:
//  1. its peak memory over two database sizes (the text the database holds, two bytes a unit), which must not
//     grow with the database: the command line searches each batch of rows and keeps nothing of it;
//  2. its time for `lines WORD --count` against what a power user does with FreeTDS's own tools, freebcp each
//     table out to a file and `grep -i -c` each file, on the same server and the same 1,000,000 rows, the
//     two routes taking turns; rowquarry-cli with --no-encryption, so that both encrypt the login alone.
// The server runs in this process (threads of its own), so its work counts for both routes.
//   bench_cli_stream [runs]
//   bench_cli_stream --serve    serves the 1,000,000 rows until stopped, for trying other tools by hand
#include "BenchSupport.h"
#include "ChildProcess.h"
#include "FreeTdsRegistration.h"
#include "ShopTables.h"
#include "ToolRoute.h"

#include "support/TdsServer.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <unistd.h>

using namespace rq;
using bench::ChildRun;
using bench::runChild;
using test::TdsColumn;
using test::TdsTable;
using test::TdsType;
using test::TdsValue;

namespace {

const char* const kWord = "invoice";

// Eight tables of rows of about 1,000 units each, `megabytes` of text in all (as the program holds it).
QList<TdsTable> bulkTables(int megabytes)
{
    const int rows = megabytes * 1'000'000 / 2 / 1000 / 8;
    const QString filler(960, QLatin1Char('x'));
    QList<TdsTable> tables;
    for (int t = 0; t < 8; ++t)
        tables << bench::generatedTable(
            QStringLiteral("Bulk%1").arg(t), rows,
            {{"Id", TdsType::Int}, {"Body", TdsType::NVarCharMax}, {"Tag", TdsType::NVarChar, 40}}, [filler](int i) {
                return QList<TdsValue>{qint64(i), filler,
                                       i % 1000 ? QStringLiteral("plain row") : QStringLiteral("an invoice row")};
            });
    return tables;
}

struct Serving {
    test::TdsServer server;
    explicit Serving(QList<TdsTable> tables) : server(options(std::move(tables)))
    {
        if (!server.listening()) {
            std::fprintf(stderr, "the TDS server could not listen\n");
            std::exit(1);
        }
    }
    static test::TdsServer::Options options(QList<TdsTable> tables)
    {
        test::TdsServer::Options options;
        options.user = QStringLiteral("user");
        options.password = QStringLiteral("password");
        options.databases = {test::TdsDatabase{QStringLiteral("bench"), std::move(tables)}};
        return options;
    }
};

ChildRun runCommandLine(const test::TdsServer& server, const QTemporaryDir& scratch)
{
    // --no-encryption: freebcp, the anchor, encrypts the login alone, as FreeTDS does unless told otherwise.
    return runChild({ROWQUARRY_CLI_EXECUTABLE, "lines", kWord, "--count", "--stats", "--server", "127.0.0.1", "--port",
                     QString::number(server.port()), "--user", "user", "--database", "bench", "--no-local",
                     "--no-encryption"},
                    {"ROWQUARRY_PASSWORD=password", "XDG_CONFIG_HOME=" + scratch.filePath("config")},
                    scratch.filePath("count.txt"), scratch.filePath("stats.txt"));
}

// What the last run of the command line said it read.
QByteArray lastStats(const QTemporaryDir& scratch)
{
    QFile file(scratch.filePath("stats.txt"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir registration;
    QTemporaryDir scratch;
    if (!registration.isValid() || !scratch.isValid() || !bench::registerFreeTds(registration))
        return 1;
    if (argc > 1 && QByteArray(argv[1]) == "--serve") {
        Serving serving(bench::shopTables(250'000));
        std::printf("serving database \"bench\" (user \"user\", password \"password\") on 127.0.0.1:%d\n",
                    serving.server.port());
        std::fflush(stdout);
        for (;;)
            ::pause();
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    for (const int megabytes : {250, 1000}) {
        Serving serving(bulkTables(megabytes));
        const ChildRun run = runCommandLine(serving.server, scratch);
        if (run.status != 0) {
            std::fprintf(stderr, "rowquarry-cli failed (status %d)\n", run.status);
            return 1;
        }
        std::printf("%-58s %8.0f MB  in %6.1f s  (target < 100 MB)            %s\n    %s\n",
                    qPrintable(QStringLiteral("rowquarry-cli lines, %1 MB of text, peak memory").arg(megabytes)),
                    run.peakMb, run.seconds, run.peakMb < 100 ? "ok" : "MISSED", lastStats(scratch).constData());
    }

    const QList<TdsTable> tables = bench::shopTables(250'000);
    Serving serving(tables);
    runCommandLine(serving.server, scratch); // once each to warm up
    bench::runToolRoute(serving.server, tables, "bench", kWord, scratch);
    std::vector<double> commandTimes, toolTimes;
    for (int i = 0; i < runs; ++i) {
        commandTimes.push_back(runCommandLine(serving.server, scratch).seconds);
        toolTimes.push_back(bench::runToolRoute(serving.server, tables, "bench", kWord, scratch));
    }
    bench::report("rowquarry-cli lines WORD --count, 1,000,000 rows", bench::median(commandTimes),
                  bench::median(toolTimes), "freebcp + grep -i -c", 0.9);
    return 0;
}
