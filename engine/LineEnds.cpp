#include "LineEnds.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tallowby {

std::int64_t CountLineEnds(const char* p, const char* end, bool previousCr) {
    std::int64_t lines = 0;
    if (p < end) {
        lines += EndsLine(*p, previousCr);
        ++p;
    }
#if defined(__SSE2__)
    // Sixteen bytes at a time, each compared with the byte before it too.
    const __m128i cr = _mm_set1_epi8(kCr);
    const __m128i lf = _mm_set1_epi8(kLf);
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto crs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, cr)));
        const auto lfs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf)));
        if ((crs | lfs) == 0) {
            continue;
        }
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p - 1));
        const auto pairs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(before, cr)));
        lines += __builtin_popcount(crs) + __builtin_popcount(lfs & ~pairs);
    }
#endif
    for (; p < end; ++p) {
        lines += EndsLine(*p, p[-1] == kCr);
    }
    return lines;
}

}  // namespace tallowby
