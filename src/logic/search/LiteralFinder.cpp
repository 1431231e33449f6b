#include "LiteralFinder.h"

#include "logic/text/CaseFolding.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define RQ_HAVE_SSE2 1
#endif

namespace rq {

LiteralFinder::LiteralFinder(QStringView needle, Qt::CaseSensitivity sensitivity)
    : exact_(sensitivity == Qt::CaseSensitive),
      needle_(exact_ ? needle.toString() : CaseFolding::instance().folded(needle))
{
    // Letter case ignored, a pair is folded as one code point: checked position by position.
    hasSurrogates_ = !exact_ && std::any_of(needle.begin(), needle.end(), [](QChar c) { return c.isSurrogate(); });
    if (needle_.isEmpty() || hasSurrogates_)
        return;
    if (exact_) {
        firstUnits_ = QStringView(needle_).first(1);
        lastUnits_ = QStringView(needle_).last(1);
    } else {
        firstUnits_ = CaseFolding::instance().unitsFoldingTo(needle_.front().unicode());
        lastUnits_ = CaseFolding::instance().unitsFoldingTo(needle_.back().unicode());
    }
}

bool LiteralFinder::matchesAt(const char16_t* at) const
{
    const char16_t* needle = reinterpret_cast<const char16_t*>(needle_.utf16());
    if (exact_)
        return std::equal(needle, needle + needle_.size(), at);
    const CaseFolding& folding = CaseFolding::instance();
    for (qsizetype k = 0; k < needle_.size(); ++k) {
        if (folding.unit(at[k]) != needle[k])
            return false;
    }
    return true;
}

// A needle with surrogate pairs, letter case ignored: rare, so checked position by position.
qsizetype LiteralFinder::findWithPairs(QStringView text, qsizetype from, qsizetype to) const
{
    const CaseFolding& folding = CaseFolding::instance();
    for (qsizetype p = from; p < to; ++p) {
        qsizetype k = 0;
        while (k < needle_.size() && folding.unitAt(text, p + k) == needle_[k].unicode())
            ++k;
        if (k == needle_.size())
            return p;
    }
    return -1;
}

qsizetype LiteralFinder::find(QStringView text, qsizetype from, qsizetype to) const
{
    const qsizetype n = needle_.size();
    if (n == 0 || from < 0)
        return -1;
    to = std::min(to, text.size() - n + 1);
    if (from >= to)
        return -1;
    if (hasSurrogates_)
        return findWithPairs(text, from, to);

    const char16_t* s = reinterpret_cast<const char16_t*>(text.utf16());
    const auto isFirst = [&](char16_t u) { return firstUnits_.contains(QChar(u)); };
    const auto isLast = [&](char16_t u) { return lastUnits_.contains(QChar(u)); };
    qsizetype p = from;
#ifdef RQ_HAVE_SSE2
    // Most needles' first and last units have two or three cases; compare against each.
    constexpr int kMaxCases = 4;
    if (firstUnits_.size() <= kMaxCases && lastUnits_.size() <= kMaxCases) {
        __m128i first[kMaxCases];
        __m128i last[kMaxCases];
        const int firstCount = static_cast<int>(firstUnits_.size());
        const int lastCount = static_cast<int>(lastUnits_.size());
        for (int i = 0; i < firstCount; ++i)
            first[i] = _mm_set1_epi16(static_cast<short>(firstUnits_[i].unicode()));
        for (int i = 0; i < lastCount; ++i)
            last[i] = _mm_set1_epi16(static_cast<short>(lastUnits_[i].unicode()));
        for (; p + 8 <= to; p += 8) {
            const __m128i headBlock = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + p));
            const __m128i tailBlock = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + p + n - 1));
            __m128i heads = _mm_cmpeq_epi16(headBlock, first[0]);
            for (int i = 1; i < firstCount; ++i)
                heads = _mm_or_si128(heads, _mm_cmpeq_epi16(headBlock, first[i]));
            __m128i tails = _mm_cmpeq_epi16(tailBlock, last[0]);
            for (int i = 1; i < lastCount; ++i)
                tails = _mm_or_si128(tails, _mm_cmpeq_epi16(tailBlock, last[i]));
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(heads, tails)));
            while (mask) {
                const int bit = std::countr_zero(mask);
                const qsizetype candidate = p + bit / 2;
                if (matchesAt(s + candidate))
                    return candidate;
                mask &= ~(3u << bit);
            }
        }
    }
#endif
    for (; p < to; ++p) {
        if (isFirst(s[p]) && isLast(s[p + n - 1]) && matchesAt(s + p))
            return p;
    }
    return -1;
}

} // namespace rq
