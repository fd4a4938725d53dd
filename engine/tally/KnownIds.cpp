#include "KnownIds.h"

#include <algorithm>

#include "BatchLookup.h"
#include "TextSlots.h"

namespace tallowby {

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
    const std::uint64_t key = OtherVariantKey(t.id, type, bot);
    const OtherVariantSlot& held = others_[ProbeOtherVariants(others_, key)];
    return held.key == key ? held.variant : WorkList::kNoVariant;
}

std::uint32_t KnownIds::findOrAdd(const Learned& learned) {
    if (TextSlotsFull(slots_, texts_.size())) {
        RebuildTextSlots(slots_, std::max<std::size_t>(1024, slots_.size() * 2),
                         static_cast<std::uint32_t>(texts_.size()),
                         [this](std::uint32_t entry) { return texts_[entry].hash; });
    }
    // The list gives a text one id, so the id tells a text apart.
    const TextPlace place = ProbeTextSlots(slots_, learned.hash, [&](std::uint32_t entry) {
        return texts_[entry].id == learned.text;
    });
    if (place.found) {
        return place.index;
    }
    const auto entry = static_cast<std::uint32_t>(texts_.size());
    texts_.push_back(Text{learned.bytes, learned.hash, learned.text, learned.variant, learned.type,
                          learned.bot});
    slots_[place.slot] = TextSlot(learned.hash, entry);
    return kUnknown;
}

void KnownIds::addOther(const Learned& learned) {
    GrowOtherVariants(others_, otherCount_);
    const std::uint64_t key = OtherVariantKey(learned.text, learned.type, learned.bot);
    others_[ProbeOtherVariants(others_, key)] = OtherVariantSlot{key, learned.variant};
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
