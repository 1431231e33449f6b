#include "Latin1Finder.h"

#include "logic/text/CaseFolding.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define RQ_HAVE_SSE2 1
#endif

namespace rq {

Latin1Finder::Latin1Finder(QStringView needle, Qt::CaseSensitivity sensitivity)
{
    const CaseFolding& folding = CaseFolding::instance();
    const bool exact = sensitivity == Qt::CaseSensitive;
    needle_ = exact ? needle.toString() : folding.folded(needle);
    for (unsigned b = 0; b < 256; ++b)
        compared_[b] = exact ? char16_t(b) : folding.unit(char16_t(b));
    if (needle_.isEmpty())
        return;
    for (unsigned b = 0; b < 256; ++b) {
        if (compared_[b] == needle_.front().unicode())
            firstBytes_.append(char(b));
        if (compared_[b] == needle_.back().unicode())
            lastBytes_.append(char(b));
    }
}

bool Latin1Finder::matchesAt(const uchar* at) const
{
    for (qsizetype k = 0; k < needle_.size(); ++k) {
        if (compared_[at[k]] != needle_[k].unicode())
            return false;
    }
    return true;
}

qsizetype Latin1Finder::find(QByteArrayView text, qsizetype from) const
{
    const qsizetype n = needle_.size();
    if (firstBytes_.isEmpty() || lastBytes_.isEmpty() || from < 0)
        return -1; // some character of the needle is none that Latin-1 text holds
    const qsizetype to = text.size() - n + 1;
    const uchar* s = reinterpret_cast<const uchar*>(text.data());
    qsizetype p = from;
#ifdef RQ_HAVE_SSE2
    constexpr int kMaxBytes = 4;
    if (firstBytes_.size() <= kMaxBytes && lastBytes_.size() <= kMaxBytes) {
        __m128i first[kMaxBytes];
        __m128i last[kMaxBytes];
        for (int i = 0; i < firstBytes_.size(); ++i)
            first[i] = _mm_set1_epi8(firstBytes_[i]);
        for (int i = 0; i < lastBytes_.size(); ++i)
            last[i] = _mm_set1_epi8(lastBytes_[i]);
        for (; p + 16 <= to; p += 16) {
            const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + p));
            const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + p + n - 1));
            __m128i isFirst = _mm_cmpeq_epi8(heads, first[0]);
            for (int i = 1; i < firstBytes_.size(); ++i)
                isFirst = _mm_or_si128(isFirst, _mm_cmpeq_epi8(heads, first[i]));
            __m128i isLast = _mm_cmpeq_epi8(tails, last[0]);
            for (int i = 1; i < lastBytes_.size(); ++i)
                isLast = _mm_or_si128(isLast, _mm_cmpeq_epi8(tails, last[i]));
            for (unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(isFirst, isLast))); mask; mask &= mask - 1) {
                const qsizetype candidate = p + std::countr_zero(mask);
                if (matchesAt(s + candidate))
                    return candidate;
            }
        }
    }
#endif
    for (; p < to; ++p) {
        if (matchesAt(s + p))
            return p;
    }
    return -1;
}

} // namespace rq
