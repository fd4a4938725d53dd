#include "LineEnds.h"

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace tallowby {

std::int64_t CountLineEnds(const char* p, const char* end, bool previousCr) {
    std::int64_t lines = 0;
    if (p < end) {
        lines += EndsLine(*p, previousCr);
        ++p;
    }
#if defined(__SSE2__) && defined(__x86_64__)
    // Sixteen bytes at a time, each compared with the byte before it too: a
    // byte ends a line when it is a CR, or an LF whose byte before is not a
    // CR. The ends are summed per byte lane (each lane gains at most one per
    // step, so 255 steps fit in a byte) and the lanes added up after that:
    // no per-step mask count, which the default target has no instruction for.
    const __m128i cr = _mm_set1_epi8(kCr);
    const __m128i lf = _mm_set1_epi8(kLf);
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 16) {
        __m128i lanes = zero;
        for (int step = 0; step < 255 && end - p >= 16; ++step, p += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p - 1));
            const __m128i lone =
                _mm_andnot_si128(_mm_cmpeq_epi8(before, cr), _mm_cmpeq_epi8(bytes, lf));
            // A matching byte compares as 0xFF, that is -1: subtracting adds one.
            lanes = _mm_sub_epi8(lanes, _mm_or_si128(_mm_cmpeq_epi8(bytes, cr), lone));
        }
        const __m128i sums = _mm_sad_epu8(lanes, zero);  // two 64-bit halves
        lines += _mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums));
    }
#endif
    for (; p < end; ++p) {
        lines += EndsLine(*p, p[-1] == kCr);
    }
    return lines;
}

}  // namespace tallowby
