#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace tallowby {

// A fast 64-bit hash of the bytes, eight at a time. Inlined: it runs once
// per referring line (the work list) or user agent (the crawler memory).

namespace text_hash {
// The high and low halves of the 128-bit product, folded together.
inline std::uint64_t FoldedProduct(std::uint64_t a, std::uint64_t b) {
    __extension__ using Wide = unsigned __int128;
    const Wide product = static_cast<Wide>(a) * b;
    return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
}

inline std::uint64_t Load8(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

}  // namespace text_hash

// Sixteen bytes per multiplication, each step folding the last one's value
// into the next (the length goes in first, so the last step's overlapping
// reads cannot make texts of other lengths alike), then a final mix so that
// both halves of the hash (the table index and the tag) depend on every byte.

inline __attribute__((always_inline)) std::uint64_t HashText(std::string_view text) {
    using text_hash::FoldedProduct;
    using text_hash::Load8;
    constexpr std::uint64_t k0 = 0xa0761d6478bd642full;
    constexpr std::uint64_t k1 = 0xe7037ed1a0b428dbull;
    constexpr std::uint64_t k2 = 0x8ebc6af09c88c6e3ull;
    const char* p = text.data();
    const std::size_t size = text.size();
    const char* const end = p + size;
    std::uint64_t h = k0 ^ (size * k1);
    for (; end - p > 16; p += 16) {
        h = FoldedProduct(Load8(p) ^ k1, Load8(p + 8) ^ h);
    }
    // The last 16 bytes (or the whole of a shorter text), read in fixed
    // sizes that may overlap what came before: no copy of a variable size.
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    if (size >= 16) {
        a = Load8(end - 16);
        b = Load8(end - 8);
    } else if (size >= 8) {
        a = Load8(text.data());
        b = Load8(end - 8);
    } else if (size >= 4) {
        std::uint32_t x;
        std::uint32_t y;
        std::memcpy(&x, text.data(), 4);
        std::memcpy(&y, end - 4, 4);
        a = x;
        b = y;
    } else if (size > 0) {
        const auto* u = reinterpret_cast<const unsigned char*>(text.data());
        a = (std::uint64_t{u[0]} << 16) | (std::uint64_t{u[size / 2]} << 8) | u[size - 1];
    }
    h = FoldedProduct(a ^ k1, b ^ h ^ k2);
    h ^= h >> 32;
    h *= 0x94d049bb133111ebull;
    return h ^ (h >> 29);
}

}  // namespace tallowby
