#include "Latin1Text.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define RQ_HAVE_SSE2 1
#endif

namespace rq {

// Sixteen at a time where the processor can.
void widenLatin1(const char* from, char16_t* into, qsizetype count)
{
    qsizetype i = 0;
#ifdef RQ_HAVE_SSE2
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= count; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(into + i), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(into + i + 8), _mm_unpackhi_epi8(bytes, zero));
    }
#endif
    for (; i < count; ++i)
        into[i] = char16_t(uchar(from[i]));
}

void narrowToLatin1(const char16_t* from, char* into, qsizetype count)
{
    qsizetype i = 0;
#ifdef RQ_HAVE_SSE2
    for (; i + 16 <= count; i += 16) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(into + i), _mm_packus_epi16(low, high));
    }
#endif
    for (; i < count; ++i)
        into[i] = char(from[i]);
}

} // namespace rq
