#include "LineMasks.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define TALLOWBY_LINE_MASKS 1
#endif

namespace tallowby {

#if defined(TALLOWBY_LINE_MASKS)

bool LineMasks::Available() {
    return true;
}

namespace {

// The tests of one step of 16 bytes at `p` (which may be read up to 31
// bytes on), as six 16-bit masks.
struct Step {
    unsigned scheme, domain, dot, close, open, space;
};

inline Step ScanStep(const char* p, const LineMasks::Needle& n, bool https) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i colon = _mm_set1_epi8(':');
    __m128i colons =
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4)), colon);
    if (https) {
        colons = _mm_or_si128(
            colons,
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 5)), colon));
    }
    const __m128i other = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n.otherAt));
    // A dot counts only before a letter: a type pattern starts with one.
    const __m128i next = _mm_sub_epi8(
        _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1)), _mm_set1_epi8(0x20)),
        _mm_set1_epi8('a'));
    const __m128i letterNext = _mm_cmpeq_epi8(_mm_min_epu8(next, _mm_set1_epi8(25)), next);
    auto bits = [](__m128i m) { return static_cast<unsigned>(_mm_movemask_epi8(m)); };
    Step s;
    s.scheme = bits(_mm_and_si128(
        _mm_cmpeq_epi8(_mm_or_si128(a, _mm_set1_epi8(0x20)), _mm_set1_epi8('h')), colons));
    s.domain = bits(_mm_and_si128(
        _mm_cmpeq_epi8(_mm_or_si128(a, _mm_set1_epi8(static_cast<char>(n.first.fold))),
                       _mm_set1_epi8(static_cast<char>(n.first.value))),
        _mm_cmpeq_epi8(_mm_or_si128(other, _mm_set1_epi8(static_cast<char>(n.other.fold))),
                       _mm_set1_epi8(static_cast<char>(n.other.value)))));
    s.dot = bits(_mm_and_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8('.')), letterNext));
    s.close = bits(_mm_cmpeq_epi8(a, _mm_set1_epi8(')')));
    s.open = bits(_mm_cmpeq_epi8(a, _mm_set1_epi8('(')));
    s.space = bits(_mm_cmpeq_epi8(a, _mm_set1_epi8(' ')));
    return s;
}

}  // namespace

void LineMasks::scan(std::string_view line, const Needle& needle, bool https) {
    const std::size_t n = line.size();
    words_ = (n + 63) / 64;
    // Steps whose reads stay inside the line read it in place; the last
    // bytes (fewer than 32) are copied with zeros after them. A zero passes
    // no test but that of a domain starting with one; bits past the end are
    // cleared below.
    alignas(16) char pad[64];
    const std::size_t inPlace = n >= 32 ? (n - 32) / 16 * 16 + 16 : 0;  // steps [0, inPlace)
    if (inPlace < n) {
        std::memset(pad, 0, sizeof pad);
        std::memcpy(pad, line.data() + inPlace, n - inPlace);
    }
    for (std::size_t w = 0; w < words_; ++w) {
        std::uint64_t sc = 0, dm = 0, dt = 0, cl = 0, op = 0, sp = 0;
        for (unsigned k = 0; k < 4; ++k) {
            const std::size_t at = w * 64 + 16 * k;
            if (at >= n) {
                break;
            }
            const Step s =
                ScanStep(at < inPlace ? line.data() + at : pad + (at - inPlace), needle, https);
            const unsigned shift = 16 * k;
            sc |= std::uint64_t{s.scheme} << shift;
            dm |= std::uint64_t{s.domain} << shift;
            dt |= std::uint64_t{s.dot} << shift;
            cl |= std::uint64_t{s.close} << shift;
            op |= std::uint64_t{s.open} << shift;
            sp |= std::uint64_t{s.space} << shift;
        }
        scheme[w] = sc;
        domain[w] = dm;
        dot[w] = dt;
        close[w] = cl;
        open[w] = op;
        space[w] = sp;
    }
    if (n % 64 != 0) {
        const std::uint64_t keep = (std::uint64_t{1} << (n % 64)) - 1;
        const std::size_t last = words_ - 1;
        scheme[last] &= keep;
        domain[last] &= keep;
        dot[last] &= keep;
        close[last] &= keep;
        open[last] &= keep;
        space[last] &= keep;
    }
}

#else

bool LineMasks::Available() {
    return false;
}

void LineMasks::scan(std::string_view, const Needle&, bool) {
    words_ = 0;
}

#endif

}  // namespace tallowby
