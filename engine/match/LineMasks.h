#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tallowby {

// One line's marks, as the bits [base, base + size) of masks that may
// cover more than the line (bit i of word i / 64 stands for byte i of what
// was scanned). Queries see the line's bits only.
class LineBits {
public:
    const std::uint64_t* scheme = nullptr;
    const std::uint64_t* domain = nullptr;
    const std::uint64_t* dot = nullptr;
    const std::uint64_t* close = nullptr;
    const std::uint64_t* open = nullptr;
    const std::uint64_t* space = nullptr;
    std::size_t base = 0;
    std::size_t size = 0;

    // The first set bit of `mask` at or after the line's byte `from`, as a
    // place in the line, or npos.
    // Inlined: a line asks it ten times or so, and a call costs more than its work.
    __attribute__((always_inline)) std::size_t firstFrom(const std::uint64_t* mask,
                                                         std::size_t from) const {
        if (from >= size) {
            return std::string_view::npos;
        }
        const std::size_t at = base + from;
        const std::size_t last = (base + size - 1) / 64;
        std::size_t w = at / 64;
        std::uint64_t bits = mask[w] & (~std::uint64_t{0} << (at % 64));
        while (bits == 0) {
            if (++w > last) {
                return std::string_view::npos;
            }
            bits = mask[w];
        }
        const std::size_t found = w * 64 + static_cast<std::size_t>(__builtin_ctzll(bits));
        return found < base + size ? found - base : std::string_view::npos;
    }
    // How many bits of `mask` stand in the line before its byte `end`.
    std::size_t countBefore(const std::uint64_t* mask, std::size_t end) const {
        std::size_t n = 0;
        for (std::size_t at = base, stop = base + std::min(end, size); at < stop;) {
            const std::size_t w = at / 64;
            const std::size_t to = std::min(stop, (w + 1) * 64);
            const unsigned from = static_cast<unsigned>(at % 64);
            const unsigned width = static_cast<unsigned>(to - at);
            const std::uint64_t keep =
                width == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << width) - 1) << from;
            n += static_cast<std::size_t>(__builtin_popcountll(mask[w] & keep));
            at = to;
        }
        return n;
    }
};

// The masks a pass fills, `Words` words each: see LineMasks::scan() for
// where each has its bits, and `ends` for CR and LF.
template <std::size_t Words>
struct LineMaskArrays {
    std::uint64_t scheme[Words];
    std::uint64_t domain[Words];
    std::uint64_t dot[Words];
    std::uint64_t close[Words];
    std::uint64_t open[Words];
    std::uint64_t space[Words];
    std::uint64_t ends[Words];
};

// The bytes that the referrer rules look at, found in one pass and kept as
// bit masks, so that the address, the own domain, the end of the cut, the
// comment parentheses and the dots of the type code cost one read of a
// line instead of one each. LineMasks covers one line of up to kMaxLine
// bytes; BlockMasks a stretch of up to kBytes bytes holding many lines,
// with their line ends, so that a chunk of lines is read in long runs.
class LineMasks {
public:
    static constexpr std::size_t kMaxLine = 2048;
    static constexpr std::size_t kWords = kMaxLine / 64;

    // What a pass looks for beyond the fixed bytes: the test for the first
    // byte of the own domain and for one more of its bytes, at most 15
    // bytes further on (a byte c passes when (c | fold) == value).
    struct ByteTest {
        unsigned char value = 0;
        unsigned char fold = 0;
    };
    struct Needle {
        ByteTest first;
        ByteTest other;
        std::size_t otherAt = 0;  // 0 .. 15
    };

    // Where each mask has its bits: (ASCII case ignored for letters)
    //   scheme: "h" with ":" four bytes on, or (https) five bytes on: where
    //           an address may start (to be confirmed);
    //   domain: where the own domain may start (to be confirmed);
    //   dot, close, open, space: ".", ")", "(", " ".
    // `line` must be at most kMaxLine bytes. Of the bytes from its start,
    // `readable` (at least the line's size; less means the line's size) may
    // be read; where more than the line may be, the last steps read in
    // place rather than from a copy, and a test that looks a few bytes on
    // (scheme, domain, dot) sees those bytes near the line's end, zeros
    // otherwise. Such marks are candidates, confirmed within the line.
    // The widest steps the processor has are taken, unless `steps` says
    // otherwise (for tests of each width; Wide only where WideAvailable()).
    enum class Steps { Widest, Narrow, Wide };
    void scan(std::string_view line, const Needle& domain, bool https, std::size_t readable = 0,
              Steps steps = Steps::Widest);

    std::size_t words() const { return words_; }
    LineBits bits() const {
        const Arrays& m = masks;
        return {m.scheme, m.domain, m.dot, m.close, m.open, m.space, 0, size_};
    }
    using Arrays = LineMaskArrays<kWords>;
    Arrays masks;  // (no line end in a line: `ends` stays clear)

    // True where the machine can run the pass (x86-64; elsewhere the plain
    // searches do the work); WideAvailable(): with 32-byte steps.
    static bool Available();
    static bool WideAvailable();

private:
    std::size_t words_ = 0;
    std::size_t size_ = 0;
};

// The masks of LineMasks over a stretch of lines, plus their ends (CR, LF).
class BlockMasks {
public:
    static constexpr std::size_t kBytes = 16384;
    static constexpr std::size_t kWords = kBytes / 64;

    // The masks of the `limit` (at most kBytes) bytes from `data`, of which
    // `readable` (at least `limit`) may be read; as LineMasks::scan() for a
    // line, but for every line that starts there. Bits past `limit` are clear.
    void scan(const char* data, std::size_t limit, std::size_t readable,
              const LineMasks::Needle& domain, bool https,
              LineMasks::Steps steps = LineMasks::Steps::Widest);
    // The first CR or LF at or after `from`, or npos when none is before the limit.
    std::size_t endFrom(std::size_t from) const { return whole().firstFrom(masks.ends, from); }
    // The line of `size` bytes from `start` (it ends before the limit).
    LineBits line(std::size_t start, std::size_t size) const {
        const Arrays& m = masks;
        return {m.scheme, m.domain, m.dot, m.close, m.open, m.space, start, size};
    }

    using Arrays = LineMaskArrays<kWords>;
    Arrays masks;

private:
    LineBits whole() const { return line(0, limit_); }
    std::size_t limit_ = 0;
};

}  // namespace tallowby
