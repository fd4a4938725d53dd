#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tallowby {

// The bytes of one line that the referrer rules look at, found in one pass
// and kept as bit masks (bit i of word i / 64 stands for the line's byte i),
// so that the address, the own domain, the end of the cut, the comment
// parentheses and the dots of the type code cost one read of the line
// instead of one each. For lines up to kMaxLine bytes; longer ones are
// searched the plain way.
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
    // The same for the line that starts at `data`, of which `readable`
    // bytes may be read: it ends before its first CR or LF, or with the
    // readable bytes. Returns its length; npos when it holds kMaxLine bytes
    // or more (no masks then).
    std::size_t scanLine(const char* data, std::size_t readable, const Needle& domain, bool https,
                         Steps steps = Steps::Widest);

    std::size_t words() const { return words_; }
    std::uint64_t scheme[kWords];
    std::uint64_t domain[kWords];
    std::uint64_t dot[kWords];
    std::uint64_t close[kWords];
    std::uint64_t open[kWords];
    std::uint64_t space[kWords];

    // The first set bit at or after `from` in `mask`, or npos.
    std::size_t firstFrom(const std::uint64_t* mask, std::size_t from) const {
        std::size_t w = from / 64;
        if (w >= words_) {
            return std::string_view::npos;
        }
        std::uint64_t bits = mask[w] & (~std::uint64_t{0} << (from % 64));
        while (bits == 0) {
            if (++w == words_) {
                return std::string_view::npos;
            }
            bits = mask[w];
        }
        return w * 64 + static_cast<std::size_t>(__builtin_ctzll(bits));
    }
    // How many bits of `mask` stand before `end`.
    std::size_t countBefore(const std::uint64_t* mask, std::size_t end) const {
        std::size_t n = 0;
        std::size_t w = 0;
        for (; (w + 1) * 64 <= end; ++w) {
            n += static_cast<std::size_t>(__builtin_popcountll(mask[w]));
        }
        if (end % 64 != 0) {
            n += static_cast<std::size_t>(
                __builtin_popcountll(mask[w] & ((std::uint64_t{1} << (end % 64)) - 1)));
        }
        return n;
    }

    // True where the machine can run the pass (x86-64; elsewhere the plain
    // searches do the work); WideAvailable(): with 32-byte steps.
    static bool Available();
    static bool WideAvailable();

private:
    std::size_t scanWords(const char* data, std::size_t limit, std::size_t readable,
                          const Needle& needle, bool https, bool findEnd, Steps steps);
    void cut(std::size_t n);  // the masks of a line of n bytes: later bits cleared

    std::size_t words_ = 0;
};

}  // namespace tallowby
