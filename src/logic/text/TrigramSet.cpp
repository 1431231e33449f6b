#include "TrigramSet.h"

#include "CaseFolding.h"

#include <QChar>
#include <array>

namespace rq {

void TrigramSet::add(QStringView text)
{
    // Unit by unit, as the plain search compares a needle without surrogate pairs.
    const CaseFolding& folding = CaseFolding::instance();
    char16_t a = 0, b = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = folding.unit(text[i].unicode());
        if (i >= 2)
            bits_.set(slot(a, b, c));
        a = b;
        b = c;
    }
}

void TrigramSet::addLatin1(const char* text, qsizetype size)
{
    static const std::array<char16_t, 256> folded = [] {
        std::array<char16_t, 256> table{};
        for (unsigned u = 0; u < 256; ++u)
            table[u] = CaseFolding::instance().unit(char16_t(u));
        return table;
    }();
    char16_t a = 0, b = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = folded[uchar(text[i])];
        if (i >= 2)
            bits_.set(slot(a, b, c));
        a = b;
        b = c;
    }
}

bool TrigramSet::mayHold(QStringView text) const
{
    const CaseFolding& folding = CaseFolding::instance();
    for (qsizetype i = 0; i + 2 < text.size(); ++i) {
        if (text[i].isSurrogate() || text[i + 1].isSurrogate() || text[i + 2].isSurrogate())
            return true;
    }
    for (qsizetype i = 0; i + 2 < text.size(); ++i) {
        if (!bits_.test(slot(folding.unit(text[i].unicode()), folding.unit(text[i + 1].unicode()),
                             folding.unit(text[i + 2].unicode()))))
            return false;
    }
    return true;
}

} // namespace rq
