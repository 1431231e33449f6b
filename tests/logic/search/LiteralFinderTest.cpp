#include "logic/search/LiteralFinder.h"
#include "logic/search/Latin1Finder.h"
#include "logic/search/Latin1Screen.h"
#include "logic/text/CaseFolding.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace rq;

TEST(CaseFolding, OneUnitForOneUnit)
{
    const CaseFolding& folding = CaseFolding::instance();
    EXPECT_EQ(folding.folded(u"ABC xyz ÄÖÜ"), "abc xyz äöü");
    // Folded, not lowered: the final sigma is the same letter as the other two, as the regular expression sees it.
    EXPECT_EQ(folding.folded(u"σας ΣΑΣ σασ"), u"σασ σασ σασ");
    // U+0130 folds to two units in full case folding; here it stays one unit.
    EXPECT_EQ(folding.folded(u"\u0130x").size(), 2);
    EXPECT_EQ(folding.unit(u'\u212A'), u'k'); // the Kelvin sign
    const QString deseret = QString::fromUcs4(U"\U00010400A");
    EXPECT_EQ(folding.folded(deseret), QString::fromUcs4(U"\U00010428a"));
    EXPECT_EQ(folding.folded(QStringView(deseret).first(1)), QStringView(deseret).first(1)); // lone surrogate
    EXPECT_TRUE(folding.unitsFoldingTo(u'k').contains(QChar(0x212A)));
    EXPECT_TRUE(folding.unitsFoldingTo(u'k').contains(QChar('K')));
}

TEST(LiteralFinder, FindsTheFirstOccurrenceInRange)
{
    const QString text = "xxAbCxx abc\rABC";
    LiteralFinder abc(u"aBc");
    EXPECT_EQ(abc.find(text), 2);
    EXPECT_EQ(abc.find(text, 3), 8);
    EXPECT_EQ(abc.find(text, 9), 12);
    EXPECT_EQ(abc.find(text, 3, 8), -1); // must start before `to`
    EXPECT_EQ(abc.find(text, 13), -1);
    EXPECT_EQ(LiteralFinder(u"").find(text), -1);
    EXPECT_EQ(LiteralFinder(u"k").find(u"ab\u212A"), 2);
    EXPECT_EQ(LiteralFinder(QString::fromUcs4(U"\U00010428")).find(QString::fromUcs4(U"ab\U00010400")), 2);
    EXPECT_EQ(LiteralFinder(u"abcd").find(u"abc"), -1);
}

namespace {
// From `shortest` to fewer than `longest` characters of `alphabet`.
QString randomText(QRandomGenerator& random, const QString& alphabet, int shortest, int longest)
{
    QString text;
    for (int i = random.bounded(shortest, longest); i > 0; --i)
        text += alphabet[random.bounded(alphabet.size())];
    return text;
}
} // namespace

// The vectorised scan against a plain one, at every alignment and near the end of the text.
TEST(LiteralFinder, AgreesWithAPlainSearchOnRandomTexts)
{
    QRandomGenerator random(20261208);
    const QString alphabet = u"aAbB\u212Akä\u00C4 \r\u03C3\u03C2\u03A3"_qs;
    const CaseFolding& folding = CaseFolding::instance();
    for (int round = 0; round < 3000; ++round) {
        const QString text = randomText(random, alphabet, 0, 60);
        const QString needle = randomText(random, alphabet, 1, 4);
        const QString loweredText = folding.folded(text);
        const QString loweredNeedle = folding.folded(needle);
        const qsizetype from = random.bounded(0, int(text.size()) + 1);
        LiteralFinder finder(needle);
        ASSERT_EQ(finder.find(text, from), loweredText.indexOf(loweredNeedle, from))
            << qPrintable(text) << " / " << qPrintable(needle) << " from " << from;
        LiteralFinder exact(needle, Qt::CaseSensitive);
        ASSERT_EQ(exact.find(text, from), text.indexOf(needle, from, Qt::CaseSensitive))
            << qPrintable(text) << " / " << qPrintable(needle) << " from " << from << ", match case";
    }
}

// Latin-1 bytes searched as the same text widened: letter case as CaseFolding has it (µ is μ, ÿ is Ÿ), needles with
// characters beyond Latin-1, at every alignment of the sixteen-at-a-time scan.
TEST(Latin1Finder, AgreesWithLiteralFinderOnTheWidenedText)
{
    QRandomGenerator random(20261209);
    const QString alphabet = u"aAkK \r\u00B5\u00E9\u00C9\u00FF\u00DF\u00E4"_qs;
    const QString needleAlphabet = alphabet + u"\u03BC\u03BC\u0178\u212A\u1E9E"_qs;
    for (int round = 0; round < 3000; ++round) {
        const QString text = randomText(random, alphabet, 0, 60);
        const QString needle = randomText(random, needleAlphabet, 1, 4);
        const QByteArray latin1 = text.toLatin1();
        const qsizetype from = random.bounded(0, int(text.size()) + 1);
        for (const Qt::CaseSensitivity sensitivity : {Qt::CaseInsensitive, Qt::CaseSensitive}) {
            ASSERT_EQ(Latin1Finder(needle, sensitivity).find(latin1, from),
                      LiteralFinder(needle, sensitivity).find(text, from))
                << qPrintable(text) << " / " << qPrintable(needle) << " from " << from << ", " << sensitivity;
        }
    }
}

// A screen of characters lets a stretch through exactly when it holds one of them: a few ranges compared sixteen
// at a time, many looked up one by one, at every length around sixteen.
TEST(Latin1Screen, PassesAStretchExactlyWhenItHoldsOneOfItsCharacters)
{
    QRandomGenerator random(20261210);
    for (int round = 0; round < 2000; ++round) {
        std::bitset<256> characters;
        for (int ranges = random.bounded(1, 8); ranges > 0; --ranges) {
            const int first = random.bounded(256);
            for (int c = first, last = std::min(255, first + random.bounded(4)); c <= last; ++c)
                characters[std::size_t(c)] = true;
        }
        QByteArray stretch;
        for (int i = random.bounded(0, 40); i > 0; --i)
            stretch += char(random.bounded(256));
        const bool holds =
            std::any_of(stretch.begin(), stretch.end(), [&](char c) { return characters[std::size_t(uchar(c))]; });
        ASSERT_EQ(Latin1Screen(characters).passes(stretch), holds) << stretch.toHex().toStdString();
    }
    EXPECT_TRUE(Latin1Screen().passes("anything"));
    EXPECT_TRUE(Latin1Screen(u"\u00C9COLE", Qt::CaseInsensitive)
                    .passes("une \xE9"
                            "cole"));
    EXPECT_FALSE(Latin1Screen(u"\u00C9COLE", Qt::CaseSensitive)
                     .passes("une \xE9"
                             "cole"));
}
