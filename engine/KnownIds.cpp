#include "KnownIds.h"

namespace tallowby {

namespace {
constexpr std::uint64_t kTagMask = 0xffffffff00000000ull;
}

std::uint32_t KnownIds::find(std::string_view bytes, std::uint64_t hash) const {
    if (slots_.empty()) {
        return kUnknown;
    }
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask; const std::uint64_t held = slots_[slot];
         slot = (slot + 1) & mask) {
        if ((held & kTagMask) == (hash & kTagMask)) {
            const auto entry = static_cast<std::uint32_t>(held) - 1;
            if (texts_[entry].bytes == bytes) {
                return entry;
            }
        }
    }
    return kUnknown;
}

WorkList::VariantId KnownIds::variantOf(std::uint32_t entry, TypeCode type, bool bot) const {
    for (std::uint32_t v = texts_[entry].firstVariant; v != kUnknown; v = variants_[v].next) {
        if (variants_[v].type == type && variants_[v].bot == bot) {
            return variants_[v].id;
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
    texts_.push_back(Text{learned.bytes, learned.hash, learned.text, kUnknown});
    slots_[slot] = (learned.hash & kTagMask) | (entry + 1);
    return entry;
}

void KnownIds::learn(const Learned* learned, std::size_t count) {
    for (std::size_t i = 0; i < count && variants_.size() < kMaxVariants; ++i) {
        const std::uint32_t entry = findOrAdd(learned[i]);
        const auto v = static_cast<std::uint32_t>(variants_.size());
        variants_.push_back(Variant{learned[i].type, learned[i].bot, learned[i].variant,
                                    texts_[entry].firstVariant});
        texts_[entry].firstVariant = v;
    }
}

}  // namespace tallowby
