#include "logic/text/TrigramSet.h"

#include <QByteArray>
#include <QString>
#include <gtest/gtest.h>

using namespace rq;

// Whether a text can occur: every run of three, letter case folded, recorded alike from UTF-16 and Latin-1.
TEST(TrigramSet, HoldsEveryRunOfWhatWasAddedWhateverItsCase)
{
    const QString text = u"Ann Quarry, 5 \u00B5g cr\u00E8me \u00FF\r\nWORLD"_qs;
    TrigramSet wide, narrow;
    wide.add(text);
    const QByteArray latin1 = text.toLatin1();
    narrow.addLatin1(latin1.constData(), latin1.size());
    const struct {
        const char16_t* probe;
        bool held;
    } rows[] = {
        {u"quarry", true},
        {u"ANN QUARRY, 5", true},
        {u"\u039CG CR\u00C8ME", true}, // capital mu folds as the micro sign does
        {u"\r\nworld", true},
        {u"\u0178\r\nW", true},  // Ÿ folds to ÿ
        {u"qu", true},           // too short to tell
        {u"\U00010400ab", true}, // a surrogate pair: not told
        {u"quarries", false},
        {u"world!", false},
        {u"ann  quarry", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(wide.mayHold(row.probe), row.held) << QStringView(row.probe).toString().toStdString();
        EXPECT_EQ(narrow.mayHold(row.probe), row.held)
            << QStringView(row.probe).toString().toStdString() << " from Latin-1";
    }
}
