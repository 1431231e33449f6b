// The two extraction commands' algorithms on a generated text of about 200 MB (UTF-16), each measured
// side by side with its anchor in one run.
#include "BenchSupport.h"
#include "GeneratedText.h"

#include "logic/results/ResultsList.h"
#include "logic/search/BetweenExtraction.h"
#include "logic/search/LineExtraction.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace rq;
using rq::bench::generateText;
using rq::bench::kUnits;
using rq::bench::medianSeconds;
using rq::bench::report;

namespace {

qsizetype countLines(const QString& text, const QString& word, MatchOptions options = {})
{
    qsizetype found = 0;
    extractLines(
        text, Matcher(word, options), [&](QStringView) { ++found; }, [](QStringView) {}, [] { return false; });
    return found;
}

qsizetype countBetween(const QString& text, const QString& start, const QString& end)
{
    qsizetype found = 0;
    extractBetween(
        text, start, end, [&](QStringView) { ++found; }, [] { return false; });
    return found;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = 5;
    std::printf("Generating %lld UTF-16 units...\n", static_cast<long long>(kUnits));
    const QString text = generateText(8, 250'000, 4); // a handful of hits, 1,000,000 <b> pairs

    // Anchor: grep over the same text as UTF-8 with LF line ends.
    QTemporaryDir dir;
    const QString utf8Path = dir.filePath("text.txt");
    {
        QFile file(utf8Path);
        file.open(QIODevice::WriteOnly);
        file.write(QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')).toUtf8());
    }
    QString grepCount;
    const double grep = medianSeconds(runs, [&] {
        QProcess process;
        process.setProcessEnvironment([] {
            auto env = QProcessEnvironment::systemEnvironment();
            env.insert("LC_ALL", "C.UTF-8");
            return env;
        }());
        process.start("grep", {"-F", "-i", "-c", "needleword", utf8Path});
        process.waitForFinished(-1);
        grepCount = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    });
    qsizetype lineHits = 0;
    const double lines = medianSeconds(runs, [&] { lineHits = countLines(text, "NEEDLEword"); });
    std::printf("line extraction found %lld lines, grep counted %s\n", static_cast<long long>(lineHits),
                qPrintable(grepCount));
    report("line extraction, 100 M units, few hits", lines, grep, "grep -F -i -c (UTF-8, LF)", 1.5);

    // The matching options against the plain search of the same text.
    const MatchOptions regex{true, false, false};
    const double literalRegex = medianSeconds(runs, [&] { countLines(text, "NEEDLEword", regex); });
    report("line extraction, regular expression of a literal", literalRegex, lines, "plain search", 3.0);
    qsizetype classHits = 0;
    const double classRegex = medianSeconds(runs, [&] { classHits = countLines(text, "\\d{3}-\\d{4}", regex); });
    std::printf("%-58s %8.3f s  %-28s %8.3f s  ratio %5.2f  (for information, %lld hits)\n",
                "line extraction, regular expression \\d{3}-\\d{4}", classRegex, "plain search", lines,
                classRegex / lines, static_cast<long long>(classHits));
    const double wholeWord = medianSeconds(runs, [&] { countLines(text, "NEEDLEword", {false, false, true}); });
    report("line extraction, whole word", wholeWord, lines, "plain search", 1.2);
    const double matchCase = medianSeconds(runs, [&] { countLines(text, "needleWORD", {false, true, false}); });
    report("line extraction, match case", matchCase, lines, "plain search", 1.2);

    qsizetype pairs = 0;
    const double between = medianSeconds(runs, [&] { pairs = countBetween(text, "<b>", "</b>"); });
    const double linesSame = medianSeconds(runs, [&] { countLines(text, "<b>item"); });
    std::printf("between extraction found %lld items\n", static_cast<long long>(pairs));
    report("between extraction, 1,000,000 <b> pairs", between, linesSame, "line extraction, same text", 2.0);

    // Linear growth: ten times the occurrences on a text of the same size.
    const QString fewer = generateText(0, 25'000, 4);
    const QString more = generateText(0, 250'000, 4);
    const double betweenFew = medianSeconds(runs, [&] { countBetween(fewer, "<b>", "</b>"); });
    const double betweenMany = medianSeconds(runs, [&] { countBetween(more, "<b>", "</b>"); });
    std::printf("between extraction: 100,000 pairs %.3f s, 1,000,000 pairs %.3f s (x%.1f for 10x the pairs)\n",
                betweenFew, betweenMany, betweenMany / betweenFew);

    // Keep Duplicates off: 1,000,000 candidates, 90% of them repeats, each asked of the list's index.
    QStringList candidates;
    for (int i = 0; i < 1'000'000; ++i)
        candidates << QStringLiteral("candidate %1").arg(i % 100'000);
    const double dedupe = medianSeconds(3, [&] {
        ResultsList list;
        for (const QString& candidate : candidates) {
            if (!list.contains(candidate))
                list.append(candidate);
        }
    });
    std::printf("%-58s %8.3f s  (target < 1 s) %s\n", "Keep Duplicates off, 1,000,000 candidates, 90% repeats", dedupe,
                dedupe < 1.0 ? "ok" : "MISSED");
    return 0;
}
