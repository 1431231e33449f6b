#include "TrigramSet.h"

#include "CaseFolding.h"

#include <QChar>

namespace rq {

template <typename FoldedUnitAt> void TrigramSet::addUnits(qsizetype size, FoldedUnitAt unitAt)
{
    constexpr quint64 kThreeUnits = (quint64(1) << 48) - 1;
    quint64 run = 0;
    for (qsizetype i = 0; i < size; ++i) {
        run = (run << 16 | unitAt(i)) & kThreeUnits;
        if (i >= 2) {
            const std::size_t at = slot(run);
            words_[at / 64] |= quint64(1) << (at % 64);
        }
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
