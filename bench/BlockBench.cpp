// The window's text in packed blocks against the one string it replaced:
//  1. peak memory above the start of a read through FreeTDS and our TDS server (served from this process), the
//     read's own time beside it: the benchmark's 1,000,000 rows and as many rows shaped like business data;
//  2. the line extraction over 100 M units on the search threads (both cores, then one) against the one string;
//  3. a database whose packed text is twice the budget: read, searched and searched again, and the peak.
//   bench_blocks [runs]
#include "BenchSupport.h"
#include "FreeTdsRegistration.h"
#include "GeneratedText.h"
#include "ShopTables.h"

#include "logic/scan/DatabaseText.h"
#include "logic/search/ExtractionSession.h"
#include "platform/EventYield.h"
#include "platform/LargeAllocations.h"
#include "support/TdsServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>
#include <cstdlib>

using namespace rq;
using test::TdsTable;
using test::TdsType;
using test::TdsValue;

namespace {

// The process's resident memory and its peak since the last reset, in bytes.
qint64 statusBytes(const char* field)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return 0;
}
void resetPeak()
{
    QFile clear("/proc/self/clear_refs");
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// Rows like a business's: names, e-mail addresses, phone numbers, dates, amounts, GUIDs and free text.
QList<TdsTable> businessTables(int rows)
{
    static const char* first[] = {"James",   "Mary",  "John",    "Patricia",  "Robert", "Jennifer",
                                  "Michael", "Linda", "William", "Elizabeth", "David",  "Barbara",
                                  "Richard", "Susan", "Hans",    "Ana"};
    static const char* last[] = {"Smith",  "Johnson",   "Williams", "Brown",    "Jones",  "Garcia",   "Miller", "Davis",
                                 "Fuller", "Leverling", "Peacock",  "Martinez", "Wilson", "Anderson", "Lee",    "King"};
    static const char* words[] = {"ordered",  "the",   "product", "again", "please",   "ship", "before", "friday",
                                  "customer", "asked", "for",     "a",     "discount", "on",   "next",   "invoice"};
    const auto table = [&](const QString& name) {
        return bench::generatedTable(
            name, rows / 2,
            {{"Id", TdsType::Int},
             {"FirstName", TdsType::NVarChar, 50},
             {"LastName", TdsType::NVarChar, 50},
             {"Email", TdsType::NVarChar, 100},
             {"Phone", TdsType::VarChar, 30},
             {"Since", TdsType::DateTime},
             {"Balance", TdsType::Decimal, 0, 10, 2},
             {"Guid", TdsType::UniqueIdentifier},
             {"Note", TdsType::NVarChar, 400}},
            [](int i) {
                QRandomGenerator random{quint32(i)};
                const QString f = QLatin1String(first[random.bounded(16)]);
                const QString l = QLatin1String(last[random.bounded(16)]);
                QString note;
                for (int w = random.bounded(15); w > 0; --w)
                    note += QLatin1String(words[random.bounded(16)]) + QLatin1Char(' ');
                QUuid guid(random.generate(), quint16(random.generate()), quint16(random.generate()), uchar(i),
                           uchar(i >> 8), uchar(random.generate()), 1, 2, 3, 4, 5);
                return QList<TdsValue>{
                    qint64(i),
                    f,
                    l,
                    f.toLower() + QLatin1Char('.') + l.toLower() + QStringLiteral("@example.com"),
                    QStringLiteral("(%1) %2-%3")
                        .arg(random.bounded(200, 999))
                        .arg(random.bounded(100, 999))
                        .arg(random.bounded(1000, 9999)),
                    QDateTime(QDate(1990 + random.bounded(35), 1 + random.bounded(12), 1 + random.bounded(28)),
                              QTime(0, 0)),
                    QStringLiteral("%1.%2").arg(random.bounded(100000)).arg(random.bounded(10, 99)),
                    guid,
                    note};
            });
    };
    return {table(QStringLiteral("Contacts")), table(QStringLiteral("Suppliers"))};
}

QList<TdsTable> tablesOf(const QString& set)
{
    return set == "shop" ? bench::shopTables(250'000) : businessTables(1'000'000);
}

// One read in this process: "seconds peak-bytes-above-start units", as blocks or as the one string.
// The reader alone, as the window is: the server runs in the parent process.
int readOnce(const QString& port, const QString& way, qint64 budget)
{
    const ConnectionFields fields{"127.0.0.1", port, "user", "password", "bench", false};
    const qint64 start = statusBytes("VmRSS:");
    resetPeak();
    qsizetype units = 0;
    const double seconds = bench::seconds([&] {
        if (way == "string") {
            QString text;
            TextOrigins origins;
            ScanDatabase(
                fields, text, origins, [](const QString&) {}, platform::yieldToEvents);
            units = text.size();
            return;
        }
        DatabaseTextState state;
        state.budgetBytes = budget;
        gatherDatabaseText(state, ScanPlan::of(fields), ScanView{[](const QString&) {}, {}, {}, {}},
                           platform::yieldToEvents);
        for (const TextBlockPtr& block : state.DatabaseText)
            units += block->size();
        if (way == "budget") { // searched twice, the tables not kept read again each time
            for (int i = 0; i < 2; ++i) {
                struct Count final : ItemSink {
                    bool holds(const QString&) const override { return false; }
                    void add(const QString&, const Origin&) override {}
                    void addPlace(const QString&) override {}
                } sink;
                ExtractionRequest request;
                request.searchText = QStringLiteral("discount on next");
                ExtractionSession session(request, sink);
                session.run(state.DatabaseText, platform::yieldToEvents);
                searchTablesNotKept(state, session, [](const QString&) {}, platform::yieldToEvents, {});
            }
            units = state.keptBytes->load();
        }
    });
    std::printf("%f %lld %lld\n", seconds, static_cast<long long>(statusBytes("VmHWM:") - start),
                static_cast<long long>(units));
    return 0;
}

struct Measured {
    std::vector<double> seconds, peaks;
    qsizetype units = 0;
};

void measureOnce(Measured& into, const test::TdsServer& server, const QString& way, qint64 budget = 0)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {"--read", QString::number(server.port()), way, QString::number(budget), QString()});
    child.waitForFinished(-1);
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    if (fields.size() != 3) {
        std::fprintf(stderr, "the %s read failed\n", qPrintable(way));
        std::exit(1);
    }
    into.seconds.push_back(fields[0].toDouble());
    into.peaks.push_back(fields[1].toDouble() / 1e6);
    into.units = fields[2].toLongLong();
}

// The benchmark's text in blocks as the window keeps them, each line a row of one table, packed.
std::vector<TextBlockPtr> blocksOf(const QString& text, QString& whole, TextOrigins& origins)
{
    std::vector<TextBlockPtr> blocks;
    origins.beginTable({QString(), QStringLiteral("T")}, {QStringLiteral("v")});
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = std::min(text.size(), start + kTextBlockUnits);
        end = end == text.size() ? end : text.indexOf(QLatin1Char('\r'), end) + 1;
        if (end <= 0)
            end = text.size();
        auto blockOrigins = std::make_shared<TextOrigins>();
        blockOrigins->beginTable({QString(), QStringLiteral("T")}, {QStringLiteral("v")}, origins.rows());
        for (qsizetype row = start; row < end; row = text.indexOf(QLatin1Char('\r'), row) + 1) {
            blockOrigins->beginRow(row - start);
            origins.beginRow(row);
            if (text.indexOf(QLatin1Char('\r'), row) + 1 >= end)
                break;
        }
        blocks.push_back(std::make_shared<TextBlock>(text.sliced(start, end - start), blockOrigins));
        blocks.back()->pack();
        start = end;
    }
    whole = text;
    return blocks;
}

struct Counted final : ItemSink {
    qsizetype count = 0;
    bool holds(const QString&) const override { return false; }
    void add(const QString&, const Origin&) override { ++count; }
    void addPlace(const QString&) override {}
};

void searchFigures(int runs)
{
    QString whole;
    TextOrigins origins;
    const std::vector<TextBlockPtr> blocks = blocksOf(bench::generateText(8, 250'000, 4), whole, origins);
    qint64 packed = 0;
    for (const TextBlockPtr& block : blocks)
        packed += block->keptBytes();
    std::printf("search text: %lld units in %zu blocks, packed %.1f MB (%.3fx of its UTF-16)\n",
                static_cast<long long>(whole.size()), blocks.size(), packed / 1e6, packed / (whole.size() * 2.0));
    const auto noYield = [] { return false; };
    struct Case {
        const char* what;
        const char* text;
        MatchOptions options;
    };
    const Case cases[] = {{"line extraction, 100 M units, 7 hits", "NEEDLEword", {}},
                          {"  the same, a regular expression", "\\d{3}-\\d{4}", {true, false, false}},
                          {"  the same, whole word", "NEEDLEword", {false, false, true}},
                          {"  the same, match case", "needleWORD", {false, true, false}}};
    for (const Case& c : cases) {
        ExtractionRequest request;
        request.searchText = QString::fromLatin1(c.text);
        request.options = c.options;
        qsizetype oneCount = 0, blockCount = 0;
        const auto onString = [&] {
            Counted sink;
            ExtractionSession session(request, sink);
            session.run(whole, origins, noYield);
            oneCount = sink.count;
        };
        const auto onBlocks = [&] {
            Counted sink;
            ExtractionSession session(request, sink);
            session.run(blocks, noYield);
            blockCount = sink.count;
        };
        std::vector<double> one, two, single;
        for (int i = 0; i < runs; ++i) {
            one.push_back(bench::seconds(onString));
            qputenv("ROWQUARRY_SEARCH_THREADS", "2");
            two.push_back(bench::seconds(onBlocks));
            qputenv("ROWQUARRY_SEARCH_THREADS", "1");
            single.push_back(bench::seconds(onBlocks));
        }
        if (oneCount != blockCount)
            std::printf("WARNING: %lld items from the string, %lld from the blocks\n", static_cast<long long>(oneCount),
                        static_cast<long long>(blockCount));
        bench::report((std::string(c.what) + ", blocks, 2 threads").c_str(), bench::median(two), bench::median(one),
                      "one string", 1.0);
        std::printf("%-58s %8.3f s  (one thread; %lld items)\n", (std::string(c.what) + ", blocks, 1 thread").c_str(),
                    bench::median(single), static_cast<long long>(blockCount));
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 6 && args[1] == "--read") {
        platform::mapLargeAllocationsApart(); // as the window does
        return readOnce(args[2], args[3], args[4].toLongLong());
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    searchFigures(runs * 2 + 1);

    QTemporaryDir registration; // inherited by the readers
    if (!registration.isValid() || !bench::registerFreeTds(registration))
        return 1;
    bench::connectAsByDefault(registration);
    for (const QString set : {"shop", "business"}) {
        test::TdsServer::Options options;
        options.user = QStringLiteral("user");
        options.password = QStringLiteral("password");
        options.databases = {test::TdsDatabase{QStringLiteral("bench"), tablesOf(set)}};
        test::TdsServer server(options);
        Measured blocks, string;
        for (int i = 0; i < runs; ++i) { // taking turns
            measureOnce(blocks, server, "blocks");
            measureOnce(string, server, "string");
        }
        const double textMb = string.units * 2 / 1e6;
        std::printf("%s: %lld UTF-16 units (%.0f MB) through FreeTDS, median of %d\n", qPrintable(set),
                    static_cast<long long>(string.units), textMb, runs);
        std::printf("%-58s %8.1f MB  %.3fx of the text (target <= 0.35) %s; one string: %.1f MB, %.3fx\n",
                    "  peak memory above the start, blocks", bench::median(blocks.peaks),
                    bench::median(blocks.peaks) / textMb,
                    bench::median(blocks.peaks) / textMb <= 0.35 ? "ok" : "MISSED", bench::median(string.peaks),
                    bench::median(string.peaks) / textMb);
        bench::report("  the read's time, blocks packed beside it", bench::median(blocks.seconds),
                      bench::median(string.seconds), "one string", 1.05);
        if (set == "business") {
            // Twice the budget: the packed text measured above, halved.
            Measured whole;
            measureOnce(whole, server, "budget", 0);
            const qint64 packed = whole.units;
            Measured over;
            measureOnce(over, server, "budget", packed / 2);
            std::printf("%-58s %8.1f MB  budget %.1f MB of %.1f MB packed: peak %.1f MB above it (target < 100 MB), "
                        "%.2f s; kept %.1f MB\n",
                        "  past the budget: read, searched twice", over.peaks[0], packed / 2 / 1e6, packed / 1e6,
                        over.peaks[0] - packed / 2 / 1e6, over.seconds[0], over.units / 1e6);
        }
    }
    return 0;
}
