#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tallowby {

// ASCII letter-case folding: A-Z become a-z, every other byte stays as it is.
// Letters beyond ASCII are compared exactly, whatever their encoding.
inline unsigned char FoldByte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

// True when `a` and `b` have the same length and equal bytes after folding.
inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldByte(static_cast<unsigned char>(a[i])) !=
            FoldByte(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

inline bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// The eight bytes of `word` folded at once, whatever their order: a byte
// below 0x80 in 'A'..'Z' gains 0x20, every other byte stays.
inline std::uint64_t FoldedWord(std::uint64_t x) {
    constexpr std::uint64_t kLow7 = 0x7f7f7f7f7f7f7f7full;
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    const std::uint64_t seven = x & kLow7;
    const std::uint64_t atLeastA = seven + 0x3f3f3f3f3f3f3f3full;  // 0x80 - 'A'
    const std::uint64_t aboveZ = seven + 0x2525252525252525ull;    // 0x80 - 'Z' - 1
    const std::uint64_t upper = (atLeastA & ~aboveZ) & ~x & kHigh;
    return x | (upper >> 2);
}

// The folded bytes [from, from + 8) of `text` as a big-endian number, zero
// beyond its end: comparing two keys compares those bytes, so keys order
// texts as CompareIgnoringCase does as far as they reach.
inline std::uint64_t FoldedKey(std::string_view text, std::size_t from) {
    unsigned char bytes[8] = {};
    if (from < text.size()) {
        const std::size_t n = text.size() - from < 8 ? text.size() - from : 8;
        std::memcpy(bytes, text.data() + from, n);
    }
    std::uint64_t x = 0;
    for (unsigned char b : bytes) {
        x = (x << 8) | b;
    }
    return FoldedWord(x);
}

// Three-way comparison of the folded bytes, compared unsigned (the order of
// strcasecmp in the C locale): negative, zero or positive.
inline int CompareIgnoringCase(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    std::size_t i = 0;
    // Runs of identical bytes are equal folded too: skip them eight at a time.
    while (i + 8 <= n) {
        std::uint64_t x;
        std::uint64_t y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y) {
            break;
        }
        i += 8;
    }
    for (; i < n; ++i) {
        int x = FoldByte(static_cast<unsigned char>(a[i]));
        int y = FoldByte(static_cast<unsigned char>(b[i]));
        if (x != y) {
            return x - y;
        }
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

}  // namespace tallowby
