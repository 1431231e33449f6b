// The database scan against a minimal ODBC reader through the same driver and connection string, on a
// generated SQLite database of 1,000,000 rows. Each reader runs in a process of its own, so that its
// peak memory can be read; the parent prints medians and ratios.
//   bench_scan [folder]          generate the database there (once) and compare
//   bench_scan --read MODE DB    read DB once as MODE: scan | window (the scan as the extraction window runs it,
//                                counts shown) | minimal | scan-search (seconds, peak KB, units or items) |
//                                origins (look-up times); also for comparing builds of two revisions
//                                (bench/compare-revisions.sh)
#include "BenchSupport.h"
#include "MinimalReader.h"

#include "logic/scan/DatabaseText.h"
#include "logic/search/LineExtraction.h"
#include "platform/EventYield.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <numeric>
#include <sqlite3.h>
#include <sys/resource.h>

using namespace rq;

namespace {

constexpr int kRowsPerTable = 250'000;
const char* kTables[] = {"Customers", "Orders", "Notes", "Measurements"};

void exec(sqlite3* db, const char* sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s\n", error);
        std::exit(1);
    }
}

void generate(const QString& path)
{
    QFile::remove(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN");
    exec(db, "CREATE TABLE Customers(id INTEGER PRIMARY KEY, name TEXT, email TEXT, city TEXT, balance REAL)");
    exec(db, "CREATE TABLE Orders(id INTEGER PRIMARY KEY, customer INTEGER, note TEXT, total REAL, shipped TEXT)");
    exec(db, "CREATE TABLE Notes(id INTEGER PRIMARY KEY, body TEXT, author TEXT, created TEXT, flag INTEGER)");
    exec(db, "CREATE TABLE Measurements(id INTEGER PRIMARY KEY, a REAL, b REAL, label TEXT, extra TEXT)");
    sqlite3_stmt* insert[4];
    for (int t = 0; t < 4; ++t) {
        const QByteArray sql = QByteArray("INSERT INTO ") + kTables[t] + " VALUES (?, ?, ?, ?, ?)";
        sqlite3_prepare_v2(db, sql.constData(), -1, &insert[t], nullptr);
    }
    const QByteArray longValue = QByteArray(20000, 'L');
    for (int i = 0; i < kRowsPerTable; ++i) {
        const QByteArray name = "Customer number " + QByteArray::number(i);
        const QByteArray email = "customer" + QByteArray::number(i) + "@example.com";
        sqlite3_stmt* s = insert[0];
        sqlite3_bind_int(s, 1, i);
        sqlite3_bind_text(s, 2, name.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s, 3, email.constData(), -1, SQLITE_TRANSIENT);
        i % 7 ? sqlite3_bind_text(s, 4, "Springfield", -1, SQLITE_STATIC) : sqlite3_bind_null(s, 4);
        sqlite3_bind_double(s, 5, i * 1.25);
        sqlite3_step(s);
        sqlite3_reset(s);

        s = insert[1];
        sqlite3_bind_int(s, 1, i);
        sqlite3_bind_int(s, 2, i % 1000);
        sqlite3_bind_text(s, 3, "Leave at the <b>back door</b>, ring twice", -1, SQLITE_STATIC);
        sqlite3_bind_double(s, 4, 19.99 + i % 100);
        i % 3 ? sqlite3_bind_text(s, 5, "2026-11-30", -1, SQLITE_STATIC) : sqlite3_bind_null(s, 5);
        sqlite3_step(s);
        sqlite3_reset(s);

        s = insert[2];
        sqlite3_bind_int(s, 1, i);
        if (i % 50000 == 0) // a few long values, read in several pieces
            sqlite3_bind_text(s, 2, longValue.constData(), -1, SQLITE_STATIC);
        else
            sqlite3_bind_text(s, 2, "Called about the invoice;\r\nwill call back on Monday.", -1, SQLITE_STATIC);
        sqlite3_bind_text(s, 3, "support", -1, SQLITE_STATIC);
        sqlite3_bind_text(s, 4, "2026-12-01 10:00:00", -1, SQLITE_STATIC);
        sqlite3_bind_int(s, 5, i % 2);
        sqlite3_step(s);
        sqlite3_reset(s);

        s = insert[3];
        sqlite3_bind_int(s, 1, i);
        sqlite3_bind_double(s, 2, i / 3.0);
        sqlite3_bind_double(s, 3, -i * 0.5);
        sqlite3_bind_text(s, 4, "sensor", -1, SQLITE_STATIC);
        sqlite3_bind_null(s, 5);
        sqlite3_step(s);
        sqlite3_reset(s);
    }
    for (sqlite3_stmt* s : insert)
        sqlite3_finalize(s);
    exec(db, "COMMIT");
    sqlite3_close(db);
}

ConnectionFields fieldsFor(const QString& path)
{
    ConnectionFields fields;
    fields.server = "bench";
    fields.port = "1433";
    fields.user = "u";
    fields.password = "p";
    fields.database = path;
    return fields;
}

qsizetype readMinimal(const QString& path)
{
    QStringList queries;
    for (const char* table : kTables)
        queries << QStringLiteral("SELECT * FROM [%1]").arg(QLatin1String(table));
    return bench::readMinimal(connectionString(fieldsFor(path)), {}, queries);
}

// The place of 10,000 positions spread over the text, each timed: prints the 99.9th percentile, the
// slowest (on a busy machine, a preempted one) and the mean, in microseconds.
int lookUpOrigins(const QString& text, const TextOrigins& origins)
{
    constexpr int kLookUps = 10'000;
    std::vector<double> micros;
    for (int i = 0; i < kLookUps; ++i) {
        const qsizetype position = qsizetype((text.size() - 1) * ((i * 7919LL) % kLookUps) / double(kLookUps));
        QElapsedTimer timer;
        timer.start();
        if (!origins.at(text, position).known())
            return 1;
        micros.push_back(timer.nsecsElapsed() / 1e3);
    }
    const double mean = std::accumulate(micros.begin(), micros.end(), 0.0) / kLookUps;
    std::sort(micros.begin(), micros.end());
    std::printf("%f %f %f\n", micros[kLookUps * 999 / 1000], micros.back(), mean);
    return 0;
}

int readOnce(const QString& mode, const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    qsizetype units = 0;
    if (mode == "window") {
        DatabaseTextState state;
        QString shown; // what the status line and the counts would show
        const ScanView view{[&](const QString& status) { shown = status; },
                            [&](const ScanCounts& counts) { shown = scanProgressText(counts); },
                            [&] { shown.clear(); },
                            {}};
        gatherDatabaseText(state, ScanPlan::of(fieldsFor(path)), view, platform::yieldToEvents);
        units = 0;
        for (const TextBlockPtr& block : state.DatabaseText)
            units += block->size();
    } else if (mode == "scan" || mode == "origins" || mode == "scan-search") {
        QString text;
        TextOrigins origins;
        ScanDatabase(
            fieldsFor(path), text, origins, [](const QString&) {}, platform::yieldToEvents);
        units = text.size();
        if (mode == "origins")
            return lookUpOrigins(text, origins);
        if (mode == "scan-search") { // what `rowquarry-cli lines` does, in this process
            qsizetype found = 0;
            extractLines(
                text, Matcher(QStringLiteral("number 99999"), {}), [&](QStringView) { ++found; }, [](QStringView) {},
                [] { return false; });
            units = found;
        }
    } else {
        units = readMinimal(path);
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%f %ld %lld\n", seconds, usage.ru_maxrss, static_cast<long long>(units));
    return 0;
}

struct Measured {
    double seconds;
    double peakMb;
    qsizetype units;
};

Measured measure(const QString& mode, const QString& path, int runs)
{
    std::vector<double> times, peaks;
    qsizetype units = 0;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--read", mode, path});
        child.waitForFinished(-1);
        const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
        if (fields.size() != 3) {
            std::fprintf(stderr, "%s run failed: %s\n", qPrintable(mode), child.readAllStandardError().constData());
            std::exit(1);
        }
        times.push_back(fields[0].toDouble());
        peaks.push_back(fields[1].toDouble() / 1024.0);
        units = fields[2].toLongLong();
    }
    return {rq::bench::median(times), rq::bench::median(peaks), units};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == "--read")
        return readOnce(args[2], args[3]);

    const QString folder = args.size() > 1 ? args[1] : QDir::tempPath();
    // Every table with a primary key, so that the origins name rows by their keys.
    const QString path = QDir(folder).filePath("rowquarry-bench-scan-keys.db");
    if (!QFile::exists(path)) {
        std::printf("Generating %d rows in %s...\n", 4 * kRowsPerTable, qPrintable(path));
        generate(path);
    }
    const int runs = 5;
    const Measured scan = measure("scan", path, runs);
    const Measured minimal = measure("minimal", path, runs);
    if (scan.units != minimal.units)
        std::printf("WARNING: the readers gathered different amounts of text (%lld vs %lld units)\n",
                    static_cast<long long>(scan.units), static_cast<long long>(minimal.units));
    const double sqliteCli = rq::bench::medianSeconds(runs, [&] {
        QProcess sqlite;
        sqlite.setStandardOutputFile(QProcess::nullDevice());
        QStringList queries;
        for (const char* table : kTables)
            queries << QStringLiteral("SELECT * FROM %1;").arg(table);
        sqlite.start("sqlite3", {path, queries.join(' ')});
        sqlite.waitForFinished(-1);
    });
    {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--read", "origins", path});
        child.waitForFinished(-1);
        const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
        if (fields.size() == 3)
            std::printf("%-58s %8.1f us  slowest %6.0f us  mean %5.2f us  (target < 1000 us) %s\n",
                        "origin of a position, 99.9% of 10,000 within", fields[0].toDouble(), fields[1].toDouble(),
                        fields[2].toDouble(), fields[0].toDouble() < 1000 ? "ok" : "MISSED");
    }
    // The command line: the same scan and one line search, as a whole process started from a shell. Both
    // are timed from outside, so that each includes starting a process and loading its libraries, and they
    // take turns, so that a busy spell on this machine falls on both.
    std::vector<double> searchTimes, commandTimes;
    for (int i = 0; i < runs; ++i) {
        searchTimes.push_back(rq::bench::seconds([&] {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {"--read", "scan-search", path});
            child.waitForFinished(-1);
        }));
        commandTimes.push_back(rq::bench::seconds([&] {
            QProcess cli;
            cli.setStandardOutputFile(QProcess::nullDevice());
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("ROWQUARRY_PASSWORD", "p");
            cli.setProcessEnvironment(environment);
            cli.start(ROWQUARRY_CLI_EXECUTABLE,
                      {"lines", "number 99999", "--server", "bench", "--user", "u", "--database", path, "--count"});
            cli.waitForFinished(-1);
        }));
    }
    const double search = rq::bench::median(searchTimes);
    const double command = rq::bench::median(commandTimes);
    std::printf("scanned %lld UTF-16 units from %d rows\n", static_cast<long long>(scan.units), 4 * kRowsPerTable);
    rq::bench::report("ScanDatabase, wall time", scan.seconds, minimal.seconds, "minimal ODBC reader", 1.2);
    // The minimal reader keeps the text only; the scan keeps where every field came from as well (targets
    // 1.1 for the text and 1.1 more for its origins).
    std::printf("%-58s %8.0f MB  %-28s %8.0f MB  ratio %5.2f  (target <= 1.21) %s\n",
                "ScanDatabase with origins, peak memory", scan.peakMb, "minimal ODBC reader, text only", minimal.peakMb,
                scan.peakMb / minimal.peakMb, scan.peakMb / minimal.peakMb <= 1.21 ? "ok" : "MISSED");
    std::printf("%-58s %8.3f s  %-28s %8.3f s  ratio %5.2f  (for information)\n", "ScanDatabase, wall time",
                scan.seconds, "sqlite3 CLI", sqliteCli, scan.seconds / sqliteCli);
    rq::bench::report("rowquarry-cli lines TEXT --count, whole process", command, search, "scan and one search", 1.1);
    return 0;
}
