#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "TextSlots.h"

namespace tallowby {

// Looks up `count` texts in an open-addressing table of texts (TextSlots.h),
// `bytesOf(index)` naming the text at an index. found[i] = the index of keys[i]'s text, or
// `none`. The tables are far larger than the caches and each lookup waits
// on memory two or three times (the slot, the entry, the text), so the
// lookups run in stages some keys apart, each asking ahead for the memory
// the next stage needs. Key: anything with `bytes` and `hash` members.
template <typename Key, typename BytesOf, typename Index>
void LookUpAll(const std::uint64_t* slots, std::size_t slotCount, BytesOf bytesOf, const Key* keys,
               std::size_t count, Index* found, Index none) {
    constexpr std::size_t kAhead = 8;
    constexpr std::size_t kRing = 4 * kAhead;
    if (slotCount == 0) {
        for (std::size_t i = 0; i < count; ++i) {
            found[i] = none;
        }
        return;
    }
    const std::size_t mask = slotCount - 1;
    std::uint32_t named[kRing];  // per key in flight: the index its first slot names, + 1
    for (std::size_t i = 0; i < count + 3 * kAhead; ++i) {
        if (i < count) {
            __builtin_prefetch(&slots[keys[i].hash & mask]);
        }
        if (i >= kAhead && i - kAhead < count) {
            const Key& key = keys[i - kAhead];
            const std::uint64_t held = slots[key.hash & mask];
            const bool match = TextSlotMayHold(held, key.hash);
            named[(i - kAhead) % kRing] = match ? static_cast<std::uint32_t>(held) : 0;
            if (match) {
                __builtin_prefetch(&bytesOf(static_cast<std::uint32_t>(held) - 1));
            }
        }
        if (i >= 2 * kAhead && i - 2 * kAhead < count) {
            if (const std::uint32_t n = named[(i - 2 * kAhead) % kRing]) {
                // Referrers run to a hundred bytes or so: their first two lines.
                const char* bytes = bytesOf(n - 1).data();
                __builtin_prefetch(bytes);
                __builtin_prefetch(bytes + 64);
            }
        }
        if (i >= 3 * kAhead) {
            const std::size_t k = i - 3 * kAhead;
            const Key& key = keys[k];
            Index result = none;
            for (std::size_t slot = key.hash & mask; const std::uint64_t held = slots[slot];
                 slot = (slot + 1) & mask) {
                if (TextSlotMayHold(held, key.hash)) {
                    const auto index = static_cast<std::uint32_t>(held) - 1;
                    if (bytesOf(index) == key.bytes) {
                        result = static_cast<Index>(index);
                        break;
                    }
                }
            }
            found[k] = result;
        }
    }
}

}  // namespace tallowby
