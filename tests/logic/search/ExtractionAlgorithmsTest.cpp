#include "logic/search/BetweenExtraction.h"
#include "logic/search/LineExtraction.h"
#include "logic/text/CaseFolding.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

using namespace rq;

namespace {

struct Extracted {
    QStringList found;
    QStringList undecided; // lines the matcher could not decide
};

Extracted extracted(const QString& text, const QString& searchText, MatchOptions options = {})
{
    Extracted lines;
    extractLines(
        text, Matcher(searchText, options), [&](QStringView line) { lines.found << line.toString(); },
        [&](QStringView line) { lines.undecided << line.toString(); }, [] { return false; });
    return lines;
}

QStringList lines(const QString& text, const QString& searchText, MatchOptions options = {})
{
    const Extracted lines = extracted(text, searchText, options);
    EXPECT_EQ(lines.undecided, QStringList());
    return lines.found;
}

// Whether one line matches, worked out on the line alone: the independent reference for the options.
bool referenceMatch(const QString& line, const QString& pattern, MatchOptions options)
{
    if (options.regularExpression) {
        QRegularExpression::PatternOptions flags = QRegularExpression::UseUnicodePropertiesOption;
        if (!options.matchCase)
            flags |= QRegularExpression::CaseInsensitiveOption;
        const QString wrapped = options.wholeWord ? "(?<![\\w\\p{M}])(?:" + pattern + ")(?![\\w\\p{M}])" : pattern;
        return QRegularExpression(wrapped, flags).match(line).hasMatch();
    }
    const auto word = [&](qsizetype i) {
        return i >= 0 && i < line.size() && (line[i].isLetterOrNumber() || line[i].isMark() || line[i] == u'_');
    };
    for (qsizetype at = line.indexOf(pattern, 0, options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive); at >= 0;
         at = line.indexOf(pattern, at + 1, options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive)) {
        if (!options.wholeWord || (!word(at - 1) && !word(at + pattern.size())))
            return true;
    }
    return false;
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
    const QString lowStart = folding.folded(start), lowEnd = folding.folded(end);
    for (const QString& piece : text.split('\r')) {
        QString current = piece;
        while (folding.folded(current).contains(lowStart) && folding.folded(current).contains(lowEnd)) {
            const QString low = folding.folded(current);
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
    EXPECT_EQ(lines(u"σας\rΣΑΣ\rσασ\r"_qs, u"σας"_qs), (QStringList{u"σας"_qs, u"ΣΑΣ"_qs, u"σασ"_qs}));
    const MatchOptions word{false, false, true}; // the accent written as a combining mark is part of the word
    EXPECT_EQ(lines(u"Ame\u0301lie\rAme lie\r"_qs, "Ame", word), QStringList{"Ame lie"});
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

// Every option alone and combined, on random lines, against a search of each line alone. Patterns that could
// match across a line's end (\\s, [^x], a+ over "a\\ra") never do. The plain search folds letter case as the
// regular expression does (σ, ς and Σ are one letter), and a combining mark belongs to the word it is in.
TEST(LineExtraction, MatchingOptionsAgreeWithASearchOfEachLineAlone)
{
    const QString alphabet = u"aAb_ \r1\u00E9\u00C9x\u03C3\u03C2\u03A3\u0301"_qs;
    const QStringList literals = {"a", "ab", "A b", "\u00E9", "b_", "1", "\u03C2", "a\u03C3"};
    const QStringList expressions = {"a+b",      "^a",         "b$", "a\\sb",   "[^x]b",        "\\d",
                                     "\u00C9|x", "(a|b)_?\\1", "^$", "\u03C3+", "\u03A3|\u03C2"};
    QRandomGenerator random(20261208);
    for (int round = 0; round < 400; ++round) {
        QString text;
        for (int i = random.bounded(0, 40); i > 0; --i)
            text += alphabet[random.bounded(alphabet.size())];
        text += u'\r';
        for (int combination = 0; combination < 8; ++combination) {
            MatchOptions options;
            options.regularExpression = combination & 1;
            options.matchCase = combination & 2;
            options.wholeWord = combination & 4;
            const QStringList& patterns = options.regularExpression ? expressions : literals;
            const QString pattern = patterns[random.bounded(patterns.size())];
            QStringList expected;
            const QStringList pieces = text.split(u'\r');
            for (qsizetype i = 0; i + 1 < pieces.size(); ++i) // the last, empty piece follows the last line
                if (referenceMatch(pieces[i], pattern, options))
                    expected << pieces[i];
            ASSERT_EQ(lines(text, pattern, options), expected)
                << qPrintable(QString(text).replace(u'\r', u'|')) << " / " << qPrintable(pattern) << " options "
                << combination;
        }
    }
    // Invalid: the message says where.
    try {
        Matcher("a(b", {true, false, false});
        ADD_FAILURE() << "an unclosed group compiled";
    } catch (const InvalidPattern& invalid) {
        EXPECT_EQ(invalid.description(), "The regular expression is not valid at its end: missing closing "
                                         "parenthesis.");
    }
    EXPECT_THROW(Matcher("x{2,1}", {true, true, true}), InvalidPattern);
    try { // whole word does not hide the pattern's own faults
        Matcher("a)|(b", {true, false, true});
        ADD_FAILURE() << "an unmatched parenthesis compiled";
    } catch (const InvalidPattern& invalid) {
        EXPECT_EQ(invalid.description(),
                  "The regular expression is not valid at character 2: unmatched closing parenthesis.");
    }
}

// Regular expressions where the engine meets its limits, text it cannot read, and what whole word wraps around.
TEST(LineExtraction, RegularExpressionsAtTheEdges)
{
    struct Case {
        const char* name;
        QString pattern;
        bool wholeWord;
        QStringList lines;
        QStringList found;
        QStringList undecided;
    };
    const QString hard = QString(40, 'a') + "cb"; // (a+)+b backtracks there past the engine's match limit
    QString longLine;
    for (int i = 0; i < 200'000; ++i)
        longLine += "ab";
    longLine += 'c'; // (a|b)*c keeps frames for every unit: more stack than a small one holds
    const QString loneHigh = QString("x") + QChar(0xD800) + " hello";
    const QString loneLow = QString("hello") + QChar(0xDC00);
    const Case cases[] = {
        {"a line the engine gives up on costs no other its matches",
         "(a+)+b",
         false,
         {"ab", hard, "aab"},
         {"ab", "aab"},
         {hard}},
        {"a hard line that cannot match is decided alone",
         "(a+)+b",
         false,
         {QString(40, 'a') + "c", "ab", "ab"},
         {"ab", "ab"},
         {}},
        {"a long line gets a larger stack", "(a|b)*c", false, {longLine, "x", "c"}, {longLine, "c"}, {}},
        {"lone surrogates hide no match",
         "hello",
         false,
         {"hello 1", loneHigh, loneLow, "hello 2"},
         {"hello 1", loneHigh, loneLow, "hello 2"},
         {}},
        {"whole word around \\Q without \\E", "\\Qa.b", true, {"x a.b y", "xa.b", "a.bc", "axb"}, {"x a.b y"}, {}},
        {"whole word around a pattern ending in a comment",
         "(?x) word # the word",
         true,
         {"a word here", "words", "sword"},
         {"a word here"},
         {}},
        {"whole word after start settings", "(*LIMIT_MATCH=100000)cat", true, {"a cat", "cats"}, {"a cat"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Extracted lines = extracted(c.lines.join('\r') + '\r', c.pattern, {true, false, c.wholeWord});
        EXPECT_EQ(lines.found, c.found);
        EXPECT_EQ(lines.undecided, c.undecided);
    }
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
