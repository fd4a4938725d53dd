#include "LineMasks.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#define TALLOWBY_LINE_MASKS 1
#endif

namespace tallowby {

#if defined(TALLOWBY_LINE_MASKS)

bool LineMasks::Available() {
    return true;
}

namespace {

// The tests of one step, as bit masks (bit i for the step's byte i).
struct Step {
    unsigned scheme, domain, dot, close, open, space, ends;
};

// Hides the values of constants from the compiler, which would otherwise
// make them again at each step (three instructions each) rather than keep
// them in registers or read them from the stack.
template <typename Vector>
__attribute__((always_inline)) inline void OpaqueOne(Vector& v) {
    __asm__("" : "+m"(v));
}
template <typename... Vectors>
__attribute__((always_inline)) inline void Opaque(Vectors&... v) {
    (OpaqueOne(v), ...);
}

// The two widths of step: 16 bytes, which every x86-64 processor has, and
// 32 where it has AVX2. Each holds its tests' constants, made once per pass
// rather than once per step, and the way it zeroes a pad. A step at `p`
// reads up to kBytes + 15 bytes from p.
struct NarrowSteps {
    static constexpr std::size_t kBytes = 16;
    __m128i colon, lower, h, a, letters, dot, close, open, space, lf, cr, firstFold, firstValue,
        otherFold, otherValue;
    std::size_t otherAt;
    bool https;

    NarrowSteps(const LineMasks::Needle& n, bool withHttps)
        : colon(_mm_set1_epi8(':')),
          lower(_mm_set1_epi8(0x20)),
          h(_mm_set1_epi8('h')),
          a(_mm_set1_epi8('a')),
          letters(_mm_set1_epi8(25)),
          dot(_mm_set1_epi8('.')),
          close(_mm_set1_epi8(')')),
          open(_mm_set1_epi8('(')),
          space(_mm_set1_epi8(' ')),
          lf(_mm_set1_epi8('\n')),
          cr(_mm_set1_epi8('\r')),
          firstFold(_mm_set1_epi8(static_cast<char>(n.first.fold))),
          firstValue(_mm_set1_epi8(static_cast<char>(n.first.value))),
          otherFold(_mm_set1_epi8(static_cast<char>(n.other.fold))),
          otherValue(_mm_set1_epi8(static_cast<char>(n.other.value))),
          otherAt(n.otherAt),
          https(withHttps) {
        Opaque(colon, lower, h, a, letters, dot, close, open, space, lf, cr);
    }

    static __m128i load(const char* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    static unsigned bits(__m128i m) { return static_cast<unsigned>(_mm_movemask_epi8(m)); }

    Step step(const char* p) const {
        const __m128i b = load(p);
        __m128i colons = _mm_cmpeq_epi8(load(p + 4), colon);
        if (https) {
            colons = _mm_or_si128(colons, _mm_cmpeq_epi8(load(p + 5), colon));
        }
        // A dot counts only before a letter: a type pattern starts with one.
        const __m128i next = _mm_sub_epi8(_mm_or_si128(load(p + 1), lower), a);
        const __m128i letterNext = _mm_cmpeq_epi8(_mm_min_epu8(next, letters), next);
        Step s;
        s.scheme = bits(_mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(b, lower), h), colons));
        s.domain = bits(
            _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(b, firstFold), firstValue),
                          _mm_cmpeq_epi8(_mm_or_si128(load(p + otherAt), otherFold), otherValue)));
        s.dot = bits(_mm_and_si128(_mm_cmpeq_epi8(b, dot), letterNext));
        s.close = bits(_mm_cmpeq_epi8(b, close));
        s.open = bits(_mm_cmpeq_epi8(b, open));
        s.space = bits(_mm_cmpeq_epi8(b, space));
        s.ends = bits(_mm_or_si128(_mm_cmpeq_epi8(b, lf), _mm_cmpeq_epi8(b, cr)));
        return s;
    }
    static void zero(char* pad, int vectors) {
        for (int i = 0; i < vectors; ++i) {
            _mm_store_si128(reinterpret_cast<__m128i*>(pad) + i, _mm_setzero_si128());
        }
    }
};

struct WideSteps {
    static constexpr std::size_t kBytes = 32;
    __m256i colon, lower, h, a, letters, dot, close, open, space, lf, cr, firstFold, firstValue,
        otherFold, otherValue;
    std::size_t otherAt;
    bool https;

    __attribute__((target("avx2"))) WideSteps(const LineMasks::Needle& n, bool withHttps)
        : colon(_mm256_set1_epi8(':')),
          lower(_mm256_set1_epi8(0x20)),
          h(_mm256_set1_epi8('h')),
          a(_mm256_set1_epi8('a')),
          letters(_mm256_set1_epi8(25)),
          dot(_mm256_set1_epi8('.')),
          close(_mm256_set1_epi8(')')),
          open(_mm256_set1_epi8('(')),
          space(_mm256_set1_epi8(' ')),
          lf(_mm256_set1_epi8('\n')),
          cr(_mm256_set1_epi8('\r')),
          firstFold(_mm256_set1_epi8(static_cast<char>(n.first.fold))),
          firstValue(_mm256_set1_epi8(static_cast<char>(n.first.value))),
          otherFold(_mm256_set1_epi8(static_cast<char>(n.other.fold))),
          otherValue(_mm256_set1_epi8(static_cast<char>(n.other.value))),
          otherAt(n.otherAt),
          https(withHttps) {
        Opaque(colon, lower, h, a, letters, dot, close, open, space, lf, cr);
    }

    __attribute__((target("avx2"))) static __m256i load(const char* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    __attribute__((target("avx2"))) static unsigned bits(__m256i m) {
        return static_cast<unsigned>(_mm256_movemask_epi8(m));
    }

    __attribute__((target("avx2"))) Step step(const char* p) const {
        const __m256i b = load(p);
        __m256i colons = _mm256_cmpeq_epi8(load(p + 4), colon);
        if (https) {
            colons = _mm256_or_si256(colons, _mm256_cmpeq_epi8(load(p + 5), colon));
        }
        const __m256i next = _mm256_sub_epi8(_mm256_or_si256(load(p + 1), lower), a);
        const __m256i letterNext = _mm256_cmpeq_epi8(_mm256_min_epu8(next, letters), next);
        Step s;
        s.scheme = bits(_mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(b, lower), h), colons));
        s.domain = bits(_mm256_and_si256(
            _mm256_cmpeq_epi8(_mm256_or_si256(b, firstFold), firstValue),
            _mm256_cmpeq_epi8(_mm256_or_si256(load(p + otherAt), otherFold), otherValue)));
        s.dot = bits(_mm256_and_si256(_mm256_cmpeq_epi8(b, dot), letterNext));
        s.close = bits(_mm256_cmpeq_epi8(b, close));
        s.open = bits(_mm256_cmpeq_epi8(b, open));
        s.space = bits(_mm256_cmpeq_epi8(b, space));
        s.ends = bits(_mm256_or_si256(_mm256_cmpeq_epi8(b, lf), _mm256_cmpeq_epi8(b, cr)));
        return s;
    }
    __attribute__((target("avx2"))) static void zero(char* pad, int vectors) {
        for (int i = 0; i < vectors; ++i) {
            _mm256_store_si256(reinterpret_cast<__m256i*>(pad) + i, _mm256_setzero_si256());
        }
    }
};

// Where a pass puts its masks: one word per 64 bytes each.
struct MaskRows {
    std::uint64_t* scheme;
    std::uint64_t* domain;
    std::uint64_t* dot;
    std::uint64_t* close;
    std::uint64_t* open;
    std::uint64_t* space;
    std::uint64_t* ends;
};

// The masks of the bytes [0, limit) from `data`, of which `readable` may be
// read, in steps of Steps::kBytes. A step reads up to 15 bytes past its
// own: steps whose reads end by `readable` read in place, the rest read a
// copy with zeros after it (a pad: a zero passes no test but that of a
// domain starting with one). Bits past `limit` in the last word are cleared.
template <typename Steps>
__attribute__((always_inline)) inline void ScanWords(const MaskRows& rows, const char* data,
                                                     std::size_t limit, std::size_t readable,
                                                     const LineMasks::Needle& needle, bool https) {
    constexpr std::size_t kStep = Steps::kBytes;
    constexpr std::size_t kReach = kStep + 16;  // a step in place needs this many bytes
    alignas(32) char pad[3 * kStep];            // what is left (< kReach) and the last reads
    const std::size_t inPlace = readable >= limit + kReach - 1 ? limit
                                : readable >= kReach ? (readable - kReach) / kStep * kStep + kStep
                                                     : 0;
    if (inPlace < limit) {
        Steps::zero(pad, 3);  // a memset of this size costs more than a step
        std::memcpy(pad, data + inPlace, std::min(readable - inPlace, sizeof pad));
    }
    const Steps steps(needle, https);
    const std::size_t words = (limit + 63) / 64;
    // The steps of word w; in the last word (`last`) only those before the limit.
    auto word = [&](std::size_t w, bool last) __attribute__((always_inline)) {
        std::uint64_t sc = 0, dm = 0, dt = 0, cl = 0, op = 0, sp = 0, en = 0;
#pragma GCC unroll 4
        for (unsigned k = 0; k < 64 / kStep; ++k) {
            const std::size_t at = w * 64 + kStep * k;
            if (last && at >= limit) {
                break;
            }
            const Step s = steps.step(at < inPlace ? data + at : pad + (at - inPlace));
            const unsigned shift = kStep * k;
            sc |= std::uint64_t{s.scheme} << shift;
            dm |= std::uint64_t{s.domain} << shift;
            dt |= std::uint64_t{s.dot} << shift;
            cl |= std::uint64_t{s.close} << shift;
            op |= std::uint64_t{s.open} << shift;
            sp |= std::uint64_t{s.space} << shift;
            en |= std::uint64_t{s.ends} << shift;
        }
        if (last && limit % 64 != 0) {
            const std::uint64_t keep = (std::uint64_t{1} << (limit % 64)) - 1;
            sc &= keep;
            dm &= keep;
            dt &= keep;
            cl &= keep;
            op &= keep;
            sp &= keep;
            en &= keep;
        }
        rows.scheme[w] = sc;
        rows.domain[w] = dm;
        rows.dot[w] = dt;
        rows.close[w] = cl;
        rows.open[w] = op;
        rows.space[w] = sp;
        rows.ends[w] = en;
    };
    for (std::size_t w = 0; w + 1 < words; ++w) {
        word(w, false);
    }
    if (words > 0) {
        word(words - 1, true);
    }
}

void ScanSse2(const MaskRows& rows, const char* data, std::size_t limit, std::size_t readable,
              const LineMasks::Needle& needle, bool https) {
    ScanWords<NarrowSteps>(rows, data, limit, readable, needle, https);
}

__attribute__((target("avx2"))) void ScanAvx2(const MaskRows& rows, const char* data,
                                              std::size_t limit, std::size_t readable,
                                              const LineMasks::Needle& needle, bool https) {
    ScanWords<WideSteps>(rows, data, limit, readable, needle, https);
}

bool HasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

void Scan(const MaskRows& rows, const char* data, std::size_t limit, std::size_t readable,
          const LineMasks::Needle& needle, bool https, LineMasks::Steps steps) {
    if (steps == LineMasks::Steps::Wide ||
        (steps == LineMasks::Steps::Widest && LineMasks::WideAvailable())) {
        ScanAvx2(rows, data, limit, readable, needle, https);
    } else {
        ScanSse2(rows, data, limit, readable, needle, https);
    }
}

}  // namespace

bool LineMasks::WideAvailable() {
    static const bool wide = HasAvx2();
    return wide;
}

void LineMasks::scan(std::string_view line, const Needle& needle, bool https, std::size_t readable,
                     Steps steps) {
    Scan({masks.scheme, masks.domain, masks.dot, masks.close, masks.open, masks.space, masks.ends},
         line.data(), line.size(), std::max(readable, line.size()), needle, https, steps);
    words_ = (line.size() + 63) / 64;
    size_ = line.size();
}

void BlockMasks::scan(const char* data, std::size_t limit, std::size_t readable,
                      const LineMasks::Needle& needle, bool https, LineMasks::Steps steps) {
    Scan({masks.scheme, masks.domain, masks.dot, masks.close, masks.open, masks.space, masks.ends},
         data, limit, std::max(readable, limit), needle, https, steps);
    limit_ = limit;
}

#else

bool LineMasks::Available() {
    return false;
}

bool LineMasks::WideAvailable() {
    return false;
}

void LineMasks::scan(std::string_view, const Needle&, bool, std::size_t, Steps) {
    words_ = 0;
    size_ = 0;
}

void BlockMasks::scan(const char*, std::size_t, std::size_t, const LineMasks::Needle&, bool,
                      LineMasks::Steps) {
    limit_ = 0;
}

#endif

}  // namespace tallowby
