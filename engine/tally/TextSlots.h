#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/match/Rules.h"

namespace tallowby {

// The open-addressing tables of distinct texts: the work list's, each
// chunk's in a parallel scan, and the matching threads' copies of the
// list's ids. A slot holds the upper half of the text's hash and its index
// + 1 (0 = free), so a probe reads a text only when the halves agree.
// Tables are powers of two in size and kept at most half full.
inline constexpr std::uint64_t kTextTagMask = 0xffffffff00000000ull;

inline std::uint64_t TextSlot(std::uint64_t hash, std::uint32_t index) {
    return (hash & kTextTagMask) | (index + 1);
}

// True when `held` may hold a text of `hash` (it is taken, and the upper
// halves agree); its index is then static_cast<std::uint32_t>(held) - 1.
inline bool TextSlotMayHold(std::uint64_t held, std::uint64_t hash) {
    return held != 0 && (held & kTextTagMask) == (hash & kTextTagMask);
}

// True when a table holding `held` texts must grow before it takes one
// more: it is kept at most half full.
inline bool TextSlotsFull(const std::vector<std::uint64_t>& table, std::size_t held) {
    return (held + 1) * 2 > table.size();
}

// Where a probe of a table ends: the text's slot and index when `found`;
// else the free slot where the text goes.
struct TextPlace {
    std::size_t slot = 0;
    std::uint32_t index = 0;
    bool found = false;
};

// The place of the text of `hash` for which `isIt(index)` holds.
template <typename IsIt>
inline TextPlace ProbeTextSlots(const std::vector<std::uint64_t>& table, std::uint64_t hash,
                                IsIt isIt) {
    const std::size_t mask = table.size() - 1;
    std::size_t slot = hash & mask;
    while (const std::uint64_t held = table[slot]) {
        if ((held & kTextTagMask) == (hash & kTextTagMask)) {
            const auto at = static_cast<std::uint32_t>(held) - 1;
            if (isIt(at)) {
                return {slot, at, true};
            }
        }
        slot = (slot + 1) & mask;
    }
    return {slot, 0, false};
}

// The place of `text`, of `hash`, in a table whose texts are told apart by
// their bytes: `bytesOf(index)` gives the bytes of the text at an index.
template <typename BytesOf>
inline TextPlace FindTextSlot(const std::vector<std::uint64_t>& table, std::uint64_t hash,
                              std::string_view text, BytesOf bytesOf) {
    return ProbeTextSlots(table, hash, [&](std::uint32_t index) { return bytesOf(index) == text; });
}

// `table` rebuilt with `size` slots for the texts 0 .. count - 1, whose
// hashes `hashOf(index)` gives.
template <typename HashOf>
inline void RebuildTextSlots(std::vector<std::uint64_t>& table, std::size_t size,
                             std::uint32_t count, HashOf hashOf) {
    std::vector<std::uint64_t> bigger(size, 0);
    const std::size_t mask = size - 1;
    for (std::uint32_t index = 0; index < count; ++index) {
        const std::uint64_t hash = hashOf(index);
        std::size_t slot = hash & mask;
        while (bigger[slot] != 0) {
            slot = (slot + 1) & mask;
        }
        bigger[slot] = TextSlot(hash, index);
    }
    table.swap(bigger);
}

// A variant other than its text's first (text, type code, BOT flag), as
// the tables of such variants key it (never 0, which marks a free slot),
// and where the key's probe starts.
inline std::uint64_t OtherVariantKey(std::uint32_t text, TypeCode type, bool bot) {
    return ((std::uint64_t{text} << 7) | (std::uint64_t(type) << 1) | (bot ? 1 : 0)) + 1;
}
inline std::uint64_t OtherVariantHash(std::uint64_t key) {
    return key * 0x9E3779B97F4A7C15ull >> 20;
}

// One slot of such a table: the key (0 = free) and the variant's id.
struct OtherVariantSlot {
    std::uint64_t key = 0;
    std::uint32_t variant = 0;
};

// The slot holding `key`, or the free slot where it goes. The table must
// not be empty.
inline std::size_t ProbeOtherVariants(const std::vector<OtherVariantSlot>& table,
                                      std::uint64_t key) {
    const std::size_t mask = table.size() - 1;
    std::size_t slot = OtherVariantHash(key) & mask;
    while (table[slot].key != 0 && table[slot].key != key) {
        slot = (slot + 1) & mask;
    }
    return slot;
}

// Makes room for one more variant in a table holding `held` of them.
inline void GrowOtherVariants(std::vector<OtherVariantSlot>& table, std::size_t held) {
    if ((held + 1) * 2 <= table.size()) {
        return;
    }
    std::vector<OtherVariantSlot> bigger(std::max<std::size_t>(256, table.size() * 2));
    for (const OtherVariantSlot& s : table) {
        if (s.key != 0) {
            bigger[ProbeOtherVariants(bigger, s.key)] = s;
        }
    }
    table.swap(bigger);
}

}  // namespace tallowby
