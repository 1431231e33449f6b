#include "TrigramSet.h"

#include "CaseFolding.h"

#include <QChar>
#include <algorithm>

namespace rq {

template <typename FoldedUnitAt> void TrigramSet::addUnits(qsizetype size, FoldedUnitAt unitAt)
{
    constexpr quint64 kThreeUnits = (quint64(1) << 48) - 1;
    const auto record = [this](quint64 run) {
        const std::size_t at = slot(run);
        words_[at / 64] |= quint64(1) << (at % 64);
    };
    // Two runs side by side, the second over the second half and the two units before it: the processor sets one
    // run's bit while it works out the other's, a third faster than one run.
    const qsizetype half = size / 2;
    const qsizetype secondFrom = std::max<qsizetype>(0, half - 2);
    quint64 first = 0, second = 0;
    qsizetype i = 0;
    for (; i < half; ++i) {
        first = (first << 16 | unitAt(i)) & kThreeUnits;
        second = (second << 16 | unitAt(secondFrom + i)) & kThreeUnits;
        if (i >= 2) {
            record(first);
            record(second);
        }
    }
    for (qsizetype at = secondFrom + i; at < size; ++at) {
        second = (second << 16 | unitAt(at)) & kThreeUnits;
        if (at - secondFrom >= 2)
            record(second);
    }
}

void TrigramSet::add(QStringView text)
{
    // Unit by unit, as the plain search compares a needle without surrogate pairs.
    const CaseFolding& folding = CaseFolding::instance();
    addUnits(text.size(), [&](qsizetype i) { return folding.unit(text[i].unicode()); });
}

void TrigramSet::addLatin1(const char* text, qsizetype size)
{
    static const std::array<char16_t, 256> folded = [] {
        std::array<char16_t, 256> table{};
        for (unsigned u = 0; u < 256; ++u)
            table[u] = CaseFolding::instance().unit(char16_t(u));
        return table;
    }();
    addUnits(size, [&](qsizetype i) { return folded[uchar(text[i])]; });
}

bool TrigramSet::mayHold(QStringView text) const
{
    const CaseFolding& folding = CaseFolding::instance();
    for (qsizetype i = 0; i + 2 < text.size(); ++i) {
        if (text[i].isSurrogate() || text[i + 1].isSurrogate() || text[i + 2].isSurrogate())
            return true;
    }
    for (qsizetype i = 0; i + 2 < text.size(); ++i) {
        const std::size_t at = slot(key(folding.unit(text[i].unicode()), folding.unit(text[i + 1].unicode()),
                                        folding.unit(text[i + 2].unicode())));
        if (!(words_[at / 64] >> (at % 64) & 1))
            return false;
    }
    return true;
}

} // namespace rq
