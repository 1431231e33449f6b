// rowquarry-cli through FreeTDS over a slow network, as whole processes, against our TDS server holding each
// answer for a round-trip time:
//  1. 300 small tables through a 40 ms round trip, `lines WORD --count` and `--format tsv`, against the same on
//     the loopback (the round trips are what the network adds) and against freebcp + grep at the same delay;
//     the requests per table the server received;
//  2. 20,000 empty tables through a 40 ms round trip;
//  3. ten databases of 100,000 rows, `--all-databases` against the sum of ten single-database runs, and what
//     reading two databases, or two halves of one database's tables, at a time would gain (two processes at
//     once against one after the other);
//  4. a locked table, read with a lock time-out of 1 s;
//  5. with --old-cli PATH: the 1,000,000-row loopback read of this rowquarry-cli against another build's,
//     taking turns.
//   bench_network [runs] [--only tables|empty|lock|databases] [--old-cli PATH]
#include "BenchSupport.h"
#include "ChildProcess.h"
#include "FreeTdsRegistration.h"
#include "ShopTables.h"
#include "ToolRoute.h"

#include "support/TdsServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <thread>

using namespace rq;
using bench::ChildRun;
using bench::runChild;
using test::TdsDatabase;
using test::TdsTable;
using test::TdsType;
using test::TdsValue;

namespace {

const char* const kWord = "invoice";
constexpr int kRoundTripMs = 40;

struct Serving {
    test::TdsServer server;
    Serving(QList<TdsDatabase> databases, int roundTripMs) : server(options(std::move(databases), roundTripMs))
    {
        if (!server.listening()) {
            std::fprintf(stderr, "the TDS server could not listen\n");
            std::exit(1);
        }
    }
    static test::TdsServer::Options options(QList<TdsDatabase> databases, int roundTripMs)
    {
        test::TdsServer::Options options;
        options.user = QStringLiteral("user");
        options.password = QStringLiteral("password");
        options.databases = std::move(databases);
        options.roundTripMs = roundTripMs;
        return options;
    }
};

// `count` tables of `rows` rows each, one row in a hundred holding the word.
QList<TdsTable> smallTables(int count, int rows, const QString& prefix = QStringLiteral("T"))
{
    QList<TdsTable> tables;
    for (int t = 0; t < count; ++t)
        tables << bench::generatedTable(
            QStringLiteral("%1%2").arg(prefix).arg(t, 5, 10, QLatin1Char('0')), rows,
            {{"Id", TdsType::Int}, {"Name", TdsType::NVarChar, 60}, {"Note", TdsType::NVarChar, 200}}, [](int i) {
                return QList<TdsValue>{qint64(i), QStringLiteral("Customer number %1").arg(i),
                                       i % 100 ? QStringLiteral("paid on time") : QStringLiteral("an invoice is open")};
            });
    return tables;
}

bool knowsOption(const char* executable, const char* option)
{
    QProcess help;
    help.start(QString::fromLocal8Bit(executable), {QStringLiteral("--help")});
    help.waitForFinished();
    return help.readAllStandardOutput().contains(option);
}

// rowquarry-cli `lines WORD` with `options` against the server, encrypting the login alone as freebcp does.
ChildRun runCommandLine(const char* executable, const test::TdsServer& server, const QTemporaryDir& scratch,
                        const QStringList& options, int worstStatus = 1)
{
    QStringList arguments = {
        executable, "lines", kWord,        "--server",       "127.0.0.1", "--port", QString::number(server.port()),
        "--user",   "user",  "--no-local", "--no-encryption"};
    // A build from before the encryption options encrypts the login alone anyway.
    if (!knowsOption(executable, "--no-encryption"))
        arguments.removeOne(QStringLiteral("--no-encryption"));
    arguments << options;
    const ChildRun run =
        runChild(arguments, {"ROWQUARRY_PASSWORD=password", "XDG_CONFIG_HOME=" + scratch.filePath("config")},
                 scratch.filePath("out.txt"), scratch.filePath("err.txt"));
    if (run.status < 0 || run.status > worstStatus) {
        QFile errors(scratch.filePath("err.txt"));
        errors.open(QIODevice::ReadOnly);
        std::fprintf(stderr, "rowquarry-cli failed (status %d): %s\n", run.status, errors.readAll().constData());
        std::exit(1);
    }
    return run;
}

ChildRun runCommandLine(const test::TdsServer& server, const QTemporaryDir& scratch, const QStringList& options,
                        int worstStatus = 1)
{
    return runCommandLine(ROWQUARRY_CLI_EXECUTABLE, server, scratch, options, worstStatus);
}

template <class Run> double medianOf(int runs, Run&& run)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(run());
    return bench::median(std::move(times));
}

void line(const char* what, double seconds, const QString& beside)
{
    std::printf("%-66s %8.2f s  %s\n", what, seconds, qPrintable(beside));
    std::fflush(stdout);
}

void manySmallTables(int runs, const QTemporaryDir& scratch)
{
    const QList<TdsTable> tables = smallTables(300, 20);
    const QList<TdsDatabase> databases = {TdsDatabase{QStringLiteral("bench"), tables}};
    Serving loopback(databases, 0);
    Serving distant(databases, kRoundTripMs);
    const QStringList count = {"--database", "bench", "--count"};
    const QStringList tsv = {"--database", "bench", "--format", "tsv"};
    runCommandLine(loopback.server, scratch, count); // warm up
    const double loopbackCount =
        medianOf(runs, [&] { return runCommandLine(loopback.server, scratch, count).seconds; });
    const double loopbackTsv = medianOf(runs, [&] { return runCommandLine(loopback.server, scratch, tsv).seconds; });
    const int requestsBefore = distant.server.requests();
    const double distantCount = medianOf(runs, [&] { return runCommandLine(distant.server, scratch, count).seconds; });
    const double requestsPerTable = (distant.server.requests() - requestsBefore) / double(runs) / tables.size();
    const int tsvRequestsBefore = distant.server.requests();
    const double distantTsv = medianOf(runs, [&] { return runCommandLine(distant.server, scratch, tsv).seconds; });
    const double tsvRequests = (distant.server.requests() - tsvRequestsBefore) / double(runs);
    const double trip = kRoundTripMs / 1000.0;
    line("300 tables, 40 ms round trip: lines WORD --count", distantCount,
         QStringLiteral("loopback %1 s: +%2 round trips (target 30); %3 requests a table")
             .arg(loopbackCount, 0, 'f', 2)
             .arg((distantCount - loopbackCount) / trip, 0, 'f', 1)
             .arg(requestsPerTable, 0, 'f', 3));
    line("300 tables, 40 ms round trip: --format tsv", distantTsv,
         QStringLiteral("loopback %1 s: +%2 round trips (target 40); %3 requests")
             .arg(loopbackTsv, 0, 'f', 2)
             .arg((distantTsv - loopbackTsv) / trip, 0, 'f', 1)
             .arg(tsvRequests));
    line("300 tables, 40 ms round trip: freebcp + grep -i -c, once",
         bench::runToolRoute(distant.server, tables, "bench", kWord, scratch), QString());
}

void manyEmptyTables(const QTemporaryDir& scratch)
{
    const QList<TdsDatabase> databases = {TdsDatabase{QStringLiteral("bench"), smallTables(20'000, 0)}};
    const QStringList count = {"--database", "bench", "--count"};
    Serving loopback(databases, 0);
    const double onLoopback = runCommandLine(loopback.server, scratch, count).seconds;
    Serving distant(databases, kRoundTripMs);
    const int requestsBefore = distant.server.requests();
    const double seconds = runCommandLine(distant.server, scratch, count).seconds;
    line("20,000 empty tables, 40 ms round trip: lines WORD --count", seconds,
         QStringLiteral("loopback %1 s; %2 requests in all (target < 15 s)")
             .arg(onLoopback, 0, 'f', 2)
             .arg(distant.server.requests() - requestsBefore));
}

// Two processes at once, each with its own options, and the time until both have ended.
double together(const test::TdsServer& server, const QTemporaryDir& first, const QTemporaryDir& second,
                const QStringList& firstOptions, const QStringList& secondOptions)
{
    return bench::seconds([&] {
        std::thread other([&] { runCommandLine(server, second, secondOptions); });
        runCommandLine(server, first, firstOptions);
        other.join();
    });
}

// "--database Db0 ... --database Db4 --count", from `first` on.
QStringList databasesFrom(int first)
{
    QStringList options;
    for (int d = first; d < first + 5; ++d)
        options << "--database" << QStringLiteral("Db%1").arg(d);
    return options << "--count";
}

void severalDatabases(int runs, const QTemporaryDir& scratch)
{
    QList<TdsDatabase> databases;
    for (int d = 0; d < 10; ++d)
        databases << TdsDatabase{QStringLiteral("Db%1").arg(d), bench::shopTables(25'000)};
    Serving serving(databases, 0);
    QTemporaryDir second;
    const auto one = [&](int d) { return QStringList{"--database", QStringLiteral("Db%1").arg(d), "--count"}; };
    runCommandLine(serving.server, scratch, {"--all-databases", "--count"}); // warm up
    std::vector<double> all, sums, pairs, halves;
    for (int i = 0; i < runs; ++i) {
        all.push_back(runCommandLine(serving.server, scratch, {"--all-databases", "--count"}).seconds);
        double sum = 0;
        for (int d = 0; d < 10; ++d)
            sum += runCommandLine(serving.server, scratch, one(d)).seconds;
        sums.push_back(sum);
        // Two databases at a time over two connections, as two processes of five databases each.
        pairs.push_back(together(serving.server, scratch, second, databasesFrom(0), databasesFrom(5)));
        // Two tables of one database at a time: two processes, two tables each.
        halves.push_back(together(
            serving.server, scratch, second,
            {"--database", "Db0", "--count", "--table", "Customers", "--table", "Measurements"},
            {"--database", "Db0", "--count", "--exclude-table", "Customers", "--exclude-table", "Measurements"}));
    }
    bench::report("10 databases of 100,000 rows: --all-databases --count", bench::median(all), bench::median(sums),
                  "ten single-database runs", 1.05);
    line("the same as two processes of five databases each, at once", bench::median(pairs),
         QStringLiteral("(a gain of %1% over --all-databases)")
             .arg(100 * (1 - bench::median(pairs) / bench::median(all)), 0, 'f', 0));
    const double oneDatabase = medianOf(runs, [&] { return runCommandLine(serving.server, scratch, one(0)).seconds; });
    line("one database as two processes of two tables each, at once", bench::median(halves),
         QStringLiteral("one process: %1 s (a gain of %2%)")
             .arg(oneDatabase, 0, 'f', 2)
             .arg(100 * (1 - bench::median(halves) / oneDatabase), 0, 'f', 0));
}

// A table another session keeps locked, before an ordinary one: the time-out and no more.
void lockedTable(const QTemporaryDir& scratch)
{
    QList<TdsTable> tables = smallTables(2, 1000);
    tables[0].locked = true;
    Serving serving({TdsDatabase{QStringLiteral("bench"), tables}}, 0);
    const QStringList options = {"--database", "bench", "--count", "--lock-timeout", "1"};
    // Status 2: the locked table is passed over and named.
    const double withLock = runCommandLine(serving.server, scratch, options, 2).seconds;
    const double without =
        runCommandLine(serving.server, scratch, QStringList(options) << "--exclude-table" << tables[0].name).seconds;
    line("a locked table before another, --lock-timeout 1", withLock,
         QStringLiteral("without the locked table %1 s: the lock cost %2 s (target: the time-out, 1 s, plus < 1 s)")
             .arg(without, 0, 'f', 2)
             .arg(withLock - without, 0, 'f', 2));
}

void againstAnotherBuild(int runs, const char* oldExecutable, const QTemporaryDir& scratch)
{
    Serving serving({TdsDatabase{QStringLiteral("bench"), bench::shopTables(250'000)}}, 0);
    const QStringList count = {"--database", "bench", "--count"};
    runCommandLine(serving.server, scratch, count);
    runCommandLine(oldExecutable, serving.server, scratch, count);
    std::vector<double> now, before;
    for (int i = 0; i < runs; ++i) {
        now.push_back(runCommandLine(serving.server, scratch, count).seconds);
        before.push_back(runCommandLine(oldExecutable, serving.server, scratch, count).seconds);
    }
    bench::report("1,000,000 rows on the loopback: lines WORD --count", bench::median(now), bench::median(before),
                  "the other build", 1.02);
    const QList<TdsTable> tables = smallTables(300, 20);
    Serving distant({TdsDatabase{QStringLiteral("bench"), tables}}, kRoundTripMs);
    for (const QStringList& options : {count, QStringList{"--database", "bench", "--format", "tsv"}}) {
        const int requestsBefore = distant.server.requests();
        const double seconds = runCommandLine(oldExecutable, distant.server, scratch, options).seconds;
        line(qPrintable("the other build: 300 tables, 40 ms round trip, " + options.mid(2).join(u' ')), seconds,
             QStringLiteral("%1 requests").arg(distant.server.requests() - requestsBefore));
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir registration;
    QTemporaryDir scratch;
    if (!registration.isValid() || !scratch.isValid() || !bench::registerFreeTds(registration))
        return 1;
    int runs = 3;
    const char* oldExecutable = nullptr;
    QByteArray only;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--old-cli" && i + 1 < argc)
            oldExecutable = argv[++i];
        else if (QByteArray(argv[i]) == "--only" && i + 1 < argc)
            only = argv[++i];
        else
            runs = std::max(1, std::atoi(argv[i]));
    }
    if (oldExecutable) {
        againstAnotherBuild(runs, oldExecutable, scratch);
        return 0;
    }
    const auto wanted = [&](const char* part) { return only.isEmpty() || only == part; };
    if (wanted("tables"))
        manySmallTables(runs, scratch);
    if (wanted("empty"))
        manyEmptyTables(scratch);
    if (wanted("lock"))
        lockedTable(scratch);
    if (wanted("databases"))
        severalDatabases(runs, scratch);
    return 0;
}
