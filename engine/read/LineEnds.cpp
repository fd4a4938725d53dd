#include "LineEnds.h"

#if defined(__SSE2__) && defined(__x86_64__)
#include <immintrin.h>
#define TALLOWBY_COUNT_STEPS 1
#endif

namespace tallowby {

namespace {

#if defined(TALLOWBY_COUNT_STEPS)

// Steps of 16 bytes (every x86-64 processor) or 32 (where it has AVX2),
// each byte compared with the byte before it too: a byte ends a line when it
// is a CR, or an LF whose byte before is not a CR. The ends are summed per
// byte lane (each lane gains at most one per step, so 255 steps fit in a
// byte) and the lanes added up after that: no per-step mask count. Each
// width holds its constants and its lanes; only numbers leave it.
struct NarrowSteps {
    static constexpr std::ptrdiff_t kBytes = 16;
    const __m128i cr = _mm_set1_epi8(kCr);
    const __m128i lf = _mm_set1_epi8(kLf);
    __m128i lanes = _mm_setzero_si128();

    // Counts the step at p (p[-1] may be read) into the lanes.
    void add(const char* p) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p - 1));
        const __m128i lone =
            _mm_andnot_si128(_mm_cmpeq_epi8(before, cr), _mm_cmpeq_epi8(bytes, lf));
        // A matching byte compares as 0xFF, that is -1: subtracting adds one.
        lanes = _mm_sub_epi8(lanes, _mm_or_si128(_mm_cmpeq_epi8(bytes, cr), lone));
    }
    // The ends counted since the last take, the lanes cleared.
    std::int64_t take() {
        const std::int64_t n = Halves(_mm_sad_epu8(lanes, _mm_setzero_si128()));
        lanes = _mm_setzero_si128();
        return n;
    }
    // The sum of the two 64-bit halves.
    static std::int64_t Halves(__m128i sums) {
        return _mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums));
    }
};

struct WideSteps {
    static constexpr std::ptrdiff_t kBytes = 32;
    __m256i cr, lf, lanes;

    __attribute__((target("avx2"))) WideSteps()
        : cr(_mm256_set1_epi8(kCr)), lf(_mm256_set1_epi8(kLf)), lanes(_mm256_setzero_si256()) {}
    __attribute__((target("avx2"))) void add(const char* p) {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i before = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p - 1));
        const __m256i lone =
            _mm256_andnot_si256(_mm256_cmpeq_epi8(before, cr), _mm256_cmpeq_epi8(bytes, lf));
        lanes = _mm256_sub_epi8(lanes, _mm256_or_si256(_mm256_cmpeq_epi8(bytes, cr), lone));
    }
    __attribute__((target("avx2"))) std::int64_t take() {
        const __m256i sums = _mm256_sad_epu8(lanes, _mm256_setzero_si256());  // four quarters
        lanes = _mm256_setzero_si256();
        return NarrowSteps::Halves(
            _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1)));
    }
};

// Counts from p in whole steps; returns where it stopped.
template <typename Steps>
__attribute__((always_inline)) inline const char* CountInSteps(const char* p, const char* end,
                                                               std::int64_t& lines) {
    Steps steps;
    while (end - p >= Steps::kBytes) {
        for (int step = 0; step < 255 && end - p >= Steps::kBytes; ++step, p += Steps::kBytes) {
            steps.add(p);
        }
        lines += steps.take();
    }
    return p;
}

const char* CountNarrow(const char* p, const char* end, std::int64_t& lines) {
    return CountInSteps<NarrowSteps>(p, end, lines);
}

__attribute__((target("avx2"))) const char* CountWide(const char* p, const char* end,
                                                      std::int64_t& lines) {
    return CountInSteps<WideSteps>(p, end, lines);
}

bool HasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

#endif

}  // namespace

std::int64_t CountLineEnds(const char* p, const char* end, bool previousCr, CountSteps steps) {
    std::int64_t lines = 0;
    if (p < end) {
        lines += EndsLine(*p, previousCr);
        ++p;
    }
#if defined(TALLOWBY_COUNT_STEPS)
    static const bool wide = HasAvx2();
    if (steps == CountSteps::Wide || (steps == CountSteps::Widest && wide)) {
        p = CountWide(p, end, lines);
    }
    if (steps != CountSteps::Plain) {
        p = CountNarrow(p, end, lines);
    }
#else
    (void)steps;
#endif
    for (; p < end; ++p) {
        lines += EndsLine(*p, p[-1] == kCr);
    }
    return lines;
}

}  // namespace tallowby
