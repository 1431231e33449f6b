#include "logic/BetweenExtraction.h"
#include "logic/CaseFolding.h"
#include "logic/LineExtraction.h"

#include <QRandomGenerator>
#include <QStringList>
#include <gtest/gtest.h>

using namespace rq;

namespace {

QStringList lines(const QString& text, const QString& searchText)
{
    QStringList found;
    extractLines(
        text, {[&] { return searchText; }, [&](QStringView line) { found << line.toString(); }, [] { return false; }});
    return found;
}

QStringList between(const QString& text, const QString& start, const QString& end)
{
    QStringList found;
    extractBetween(
        text, start, end, [&](QStringView item) { found << item.toString(); }, [] { return false; });
    return found;
}

// The rules written out plainly: each piece, each occurrence of the start marker, the first end marker
// after the whole start marker, the current text cut after the start marker. Slow and obviously right.
QStringList plainBetween(const QString& text, const QString& start, const QString& end)
{
    const CaseFolding& folding = CaseFolding::instance();
    QStringList found;
    if (text.isEmpty())
        return found;
    const QString lowStart = folding.lowered(start), lowEnd = folding.lowered(end);
    for (const QString& piece : text.split('\r')) {
        QString current = piece;
        while (folding.lowered(current).contains(lowStart) && folding.lowered(current).contains(lowEnd)) {
            const QString low = folding.lowered(current);
            const qsizetype s = low.indexOf(lowStart);
            const qsizetype e = low.indexOf(lowEnd, s + start.size());
            const QString item = e >= 0 ? current.mid(s + start.size(), e - s - start.size()) : QString();
            current = current.mid(s + start.size());
            if (!item.isEmpty())
                found << item;
        }
    }
    return found;
}

} // namespace

TEST(LineExtraction, MatchesPiecesIgnoringCaseAndKeepsThemUnchanged)
{
    const QString text = "xxabcxx\rAbc\r\rnothing\rfirst\r\nsecond row\r\r";
    EXPECT_EQ(lines(text, "ABC"), (QStringList{"xxabcxx", "Abc"}));
    EXPECT_EQ(lines(text, "second"), (QStringList{"\nsecond row"}));
    EXPECT_EQ(lines(text, " "), (QStringList{"\nsecond row"}));
    EXPECT_EQ(lines("same\rsame\r", "same"), (QStringList{"same", "same"}));
    EXPECT_EQ(lines("", "a"), QStringList());
    EXPECT_EQ(lines("no end", "end"), QStringList{"no end"});
    EXPECT_EQ(lines("a\rb\r", "a\rb"), QStringList()); // a line never holds a carriage return
    EXPECT_EQ(lines("abc\r", ""), QStringList());
}

TEST(LineExtraction, EveryLineOfALongTextIsExamined)
{
    QString text;
    for (int i = 0; i < 40000; ++i)
        text += QStringLiteral("row %1 %2\r").arg(i).arg(i % 1000 == 999 ? "MATCH" : "-");
    const QStringList found = lines(text, "match");
    ASSERT_EQ(found.size(), 40);
    EXPECT_EQ(found.last(), "row 39999 MATCH");
}

TEST(LineExtraction, ReadsTheSearchTextAgainAfterEventsHaveRun)
{
    const QString text = "apple\rbanana\rapple\rbanana\r";
    QString searchText = "apple";
    int yields = 0;
    QStringList found;
    extractLines(text, {[&] { return searchText; }, [&](QStringView line) { found << line.toString(); },
                        [&] {
                            if (++yields == 2)
                                searchText = "banana"; // typed during the run
                            return true;
                        }});
    EXPECT_EQ(found, (QStringList{"apple", "banana", "banana"}));
}

TEST(BetweenExtraction, WorkedExamples)
{
    struct Example {
        const char* name;
        QString text, start, end;
        QStringList expected;
    };
    const Example examples[] = {
        {"each start marker used", "|a| |b|", "|", "|", {"a", " ", "b"}},
        {"nested starts", "(a(b)c)", "(", ")", {"a(b", "b"}},
        {"empty stretches skipped", "x<>y", "<", ">", {}},
        {"end marker only before the start", ">x<", "<", ">", {}},
        {"markers ignore letter case", "<B>Bold</b> and <b>more</B>", "<b>", "</B>", {"Bold", "more"}},
        {"CR LF separates pieces", "<b>one\r\ntwo</b>", "<b>", "</b>", {}},
        {"a lone LF does not", "<b>one\ntwo</b>", "<b>", "</b>", {"one\ntwo"}},
        {"end searched after the whole start", "name=\"bob\" name=\"amy\"", "name=\"", "\"", {"bob", "amy"}},
        {"empty text", "", "a", "b", {}},
        {"a marker holding CR matches nothing", "a\rb", "a\r", "b", {}},
    };
    for (const Example& e : examples)
        EXPECT_EQ(between(e.text, e.start, e.end), e.expected) << e.name;
}

TEST(BetweenExtraction, AgreesWithThePlainRulesOnRandomTexts)
{
    QRandomGenerator random(8122026);
    const QString alphabet = "abAB\r\n";
    const auto randomText = [&](int minLength, int maxLength) {
        QString s;
        const int length = random.bounded(minLength, maxLength + 1);
        for (int i = 0; i < length; ++i)
            s += alphabet[random.bounded(alphabet.size() - (minLength > 0 ? 2 : 0))];
        return s;
    };
    for (int round = 0; round < 20000; ++round) {
        const QString text = randomText(0, 40);
        const QString start = randomText(1, 3), end = randomText(1, 3);
        ASSERT_EQ(between(text, start, end), plainBetween(text, start, end))
            << "text " << qPrintable(QString(text).replace('\r', "<CR>").replace('\n', "<LF>")) << " start "
            << qPrintable(start) << " end " << qPrintable(end);
    }
}

// The text is searched in stretches between yields: a match may straddle any boundary.
TEST(Extraction, MatchesAcrossTheStretchesOfALongText)
{
    const QString filler = QString(1 << 21, 'x');
    for (const qsizetype boundary : {qsizetype(1) << 12, qsizetype(1) << 16, qsizetype(1) << 20}) {
        for (qsizetype at = boundary - 4; at <= boundary + 1; ++at) {
            QString text = filler;
            text.replace(at, 5, "[NeE]");
            text.append('\r');
            ASSERT_EQ(lines(text, "nee").size(), 1) << at;
            ASSERT_EQ(between(text, "[", "]"), QStringList{"NeE"}) << at;
        }
    }
}

TEST(BetweenExtraction, PositionsPastSixteenBitsWork)
{
    const QString text = QString(70000, 'x') + "[far]" + QString(40000, 'y') + "[away]\r";
    EXPECT_EQ(between(text, "[", "]"), (QStringList{"far", "away"}));
}
