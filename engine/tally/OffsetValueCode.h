#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "engine/match/TextFold.h"

namespace tallowby {

// Offset-value codes of texts in work-list order (bytes compared unsigned
// after ASCII letter-case folding, a text before the longer texts it
// begins). A text's code against a base text no greater than it names where
// it first differs from the base and its byte there, so that among texts
// coded against one base, a smaller code is a smaller text, and equal codes
// leave only the bytes after that place to compare. A merge of sorted runs
// then mostly compares integers.

// The code of a text equal to its base, letter case ignored.
inline constexpr std::uint64_t kCodeEqual = 0;

namespace ovc {

// A code is (kFar - offset) << 9 | symbol: a text that leaves the base later
// is nearer to it, so smaller; at one offset the symbol decides. A symbol is
// a folded byte plus one, or 0 where the text has ended.
inline constexpr std::uint64_t kFar = (std::uint64_t{1} << 54) - 1;

inline std::uint64_t Code(std::size_t offset, unsigned symbol) {
    return (kFar - offset) << 9 | symbol;
}

inline std::size_t OffsetOf(std::uint64_t code) {
    return static_cast<std::size_t>(kFar - (code >> 9));
}

inline unsigned Symbol(std::string_view text, std::size_t at) {
    return at < text.size() ? FoldByte(static_cast<unsigned char>(text[at])) + 1u : 0u;
}

// The first place from `from` on where `a` and `b` differ, letter case
// ignored, or the length of the shorter when one begins the other.
inline std::size_t FirstDifference(std::string_view a, std::string_view b, std::size_t from) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    std::size_t i = from < n ? from : n;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x;
        std::uint64_t y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y) {
            const std::uint64_t differ = FoldedWord(x) ^ FoldedWord(y);
            if (differ != 0) {
                if constexpr (std::endian::native == std::endian::little) {
                    // The first byte in memory is the lowest: count up to it.
                    return i + static_cast<std::size_t>(std::countr_zero(differ) / 8);
                }
                break;
            }
        }
    }
    for (; i < n; ++i) {
        if (FoldByte(static_cast<unsigned char>(a[i])) !=
            FoldByte(static_cast<unsigned char>(b[i]))) {
            break;
        }
    }
    return i;
}

}  // namespace ovc

// Sets `code` to the code of `text` against `base` and returns true, or
// returns false when `text` goes before `base` in work-list order. Texts
// are never longer than 2^54 bytes.
inline bool CodeAgainst(std::string_view base, std::string_view text, std::uint64_t& code) {
    const std::size_t at = ovc::FirstDifference(base, text, 0);
    const unsigned mine = ovc::Symbol(text, at);
    const unsigned theirs = ovc::Symbol(base, at);
    code = mine == theirs ? kCodeEqual : ovc::Code(at, mine);
    return mine >= theirs;
}

}  // namespace tallowby
