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
        if (FoldByte(static_cast<unsigned char>(a[i])) != FoldByte(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

inline bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
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
