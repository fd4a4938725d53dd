#include "KnownIds.h"

#include <algorithm>

#include "BatchLookup.h"

namespace tallowby {

namespace {

constexpr std::uint64_t kTagMask = 0xffffffff00000000ull;

std::uint64_t OtherKey(WorkList::TextId text, TypeCode type, bool bot) {
    return ((std::uint64_t{text} << 7) | (std::uint64_t(type) << 1) | (bot ? 1 : 0)) + 1;
}
std::size_t OtherHash(std::uint64_t key) {
    return key * 0x9E3779B97F4A7C15ull >> 20;
}

}  // namespace

void KnownIds::findAll(const WorkList::TextKey* keys, std::size_t count,
                       std::uint32_t* entries) const {
    LookUpAll(
        slots_.data(), slots_.size(),
        [this](std::uint32_t entry) -> const std::string_view& { return texts_[entry].bytes; },
        keys, count, entries, kUnknown);
}

WorkList::VariantId KnownIds::variantOf(std::uint32_t entry, TypeCode type, bool bot) const {
    const Text& t = texts_[entry];
    if (t.firstType == type && t.firstBot == bot) {
        return t.firstVariant;
    }
    if (others_.empty()) {
        return WorkList::kNoVariant;
    }
    const std::uint64_t key = OtherKey(t.id, type, bot);
    const std::size_t mask = others_.size() - 1;
    for (std::size_t slot = OtherHash(key) & mask; others_[slot].key != 0;
         slot = (slot + 1) & mask) {
        if (others_[slot].key == key) {
            return others_[slot].variant;
        }
    }
    return WorkList::kNoVariant;
}

std::uint32_t KnownIds::findOrAdd(const Learned& learned) {
    if ((texts_.size() + 1) * 2 > slots_.size()) {
        std::vector<std::uint64_t> bigger(std::max<std::size_t>(1024, slots_.size() * 2), 0);
        const std::size_t mask = bigger.size() - 1;
        for (std::uint32_t entry = 0; entry < texts_.size(); ++entry) {
            std::size_t slot = texts_[entry].hash & mask;
            while (bigger[slot] != 0) {
                slot = (slot + 1) & mask;
            }
            bigger[slot] = (texts_[entry].hash & kTagMask) | (entry + 1);
        }
        slots_.swap(bigger);
    }
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = learned.hash & mask;
    // The list gives a text one id, so the id tells a text apart.
    for (; const std::uint64_t held = slots_[slot]; slot = (slot + 1) & mask) {
        const auto entry = static_cast<std::uint32_t>(held) - 1;
        if (texts_[entry].id == learned.text) {
            return entry;
        }
    }
    const auto entry = static_cast<std::uint32_t>(texts_.size());
    texts_.push_back(Text{learned.bytes, learned.hash, learned.text, learned.variant, learned.type,
                          learned.bot});
    slots_[slot] = (learned.hash & kTagMask) | (entry + 1);
    return kUnknown;
}

void KnownIds::addOther(const Learned& learned) {
    if ((otherCount_ + 1) * 2 > others_.size()) {
        std::vector<OtherSlot> bigger(std::max<std::size_t>(256, others_.size() * 2));
        const std::size_t mask = bigger.size() - 1;
        for (const OtherSlot& held : others_) {
            if (held.key != 0) {
                std::size_t slot = OtherHash(held.key) & mask;
                while (bigger[slot].key != 0) {
                    slot = (slot + 1) & mask;
                }
                bigger[slot] = held;
            }
        }
        others_.swap(bigger);
    }
    const std::uint64_t key = OtherKey(learned.text, learned.type, learned.bot);
    const std::size_t mask = others_.size() - 1;
    std::size_t slot = OtherHash(key) & mask;
    while (others_[slot].key != 0) {
        slot = (slot + 1) & mask;
    }
    others_[slot] = OtherSlot{key, learned.variant};
    ++otherCount_;
}

void KnownIds::learn(const Learned* learned, std::size_t count) {
    // The list adds each variant once, so none is learned twice.
    for (std::size_t i = 0; i < count && variants_ < kMaxVariants; ++i, ++variants_) {
        if (i + 8 < count && !slots_.empty()) {
            __builtin_prefetch(&slots_[learned[i + 8].hash & (slots_.size() - 1)]);
        }
        if (findOrAdd(learned[i]) != kUnknown) {
            addOther(learned[i]);
        }
    }
}

}  // namespace tallowby
