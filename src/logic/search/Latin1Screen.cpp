#include "Latin1Screen.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define RQ_HAVE_SSE2 1
#endif

namespace rq {

namespace {
// Up to this many ranges are compared sixteen characters at a time; more are looked up one by one.
constexpr std::size_t kMostRanges = 4;
} // namespace

Latin1Screen::Latin1Screen(const std::bitset<256>& characters) : screensCharacters_(true), characters_(characters)
{
    for (unsigned c = 0; c < 256; ++c) {
        if (!characters[c])
            continue;
        if (!ranges_.empty() && ranges_.back().second + 1u == c)
            ranges_.back().second = uchar(c);
        else
            ranges_.emplace_back(uchar(c), uchar(c));
    }
}

bool Latin1Screen::passes(QByteArrayView stretch) const
{
    if (literal_)
        return literal_->find(stretch) >= 0;
    return !screensCharacters_ || holdsOneOf(stretch);
}

bool Latin1Screen::holdsOneOf(QByteArrayView stretch) const
{
    const uchar* s = reinterpret_cast<const uchar*>(stretch.data());
    qsizetype p = 0;
#ifdef RQ_HAVE_SSE2
    if (ranges_.size() <= kMostRanges) {
        // c lies in [first, last] where min(max(c, first), last) is c itself: unsigned, as SSE2 compares bytes.
        __m128i first[kMostRanges];
        __m128i last[kMostRanges];
        for (std::size_t i = 0; i < ranges_.size(); ++i) {
            first[i] = _mm_set1_epi8(char(ranges_[i].first));
            last[i] = _mm_set1_epi8(char(ranges_[i].second));
        }
        for (; p + 16 <= stretch.size(); p += 16) {
            const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + p));
            __m128i in = _mm_setzero_si128();
            for (std::size_t i = 0; i < ranges_.size(); ++i)
                in = _mm_or_si128(in, _mm_cmpeq_epi8(_mm_min_epu8(_mm_max_epu8(chars, first[i]), last[i]), chars));
            if (_mm_movemask_epi8(in) != 0)
                return true;
        }
    }
#endif
    for (; p < stretch.size(); ++p) {
        if (characters_[s[p]])
            return true;
    }
    return false;
}

} // namespace rq
