#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "TextSlots.h"
#include "WorkList.h"
#include "engine/match/Rules.h"

namespace tallowby {

// A thread's copy of the ids the work list gave to texts and their variants,
// learned from the scanning thread after it added them. A thread matching a
// chunk finds most referrers here, so the scanning thread looks up in the
// list only those new to the list or to this copy. The texts are views into
// the list's storage, which keeps them in place until the list is cleared.
class KnownIds {
public:
    // One variant the list added: its text (a view into the list), the
    // text's hash and id, the code and flag, and the variant's id.
    struct Learned {
        std::string_view bytes;
        std::uint64_t hash;
        WorkList::TextId text;
        TypeCode type;
        bool bot;
        WorkList::VariantId variant;
    };
    // How many variants a copy holds at most: past that it learns no more
    // (a log of millions of distinct referrers), and the scanning thread
    // looks up the rest.
    static constexpr std::size_t kMaxVariants = std::size_t{1} << 20;

    void learn(const Learned* learned, std::size_t count);

    // The entries of `count` texts, kUnknown for those not learned (many
    // at once, as WorkList::findTexts).
    static constexpr std::uint32_t kUnknown = static_cast<std::uint32_t>(-1);
    void findAll(const WorkList::TextKey* keys, std::size_t count, std::uint32_t* entries) const;
    WorkList::TextId textOf(std::uint32_t entry) const { return texts_[entry].id; }
    // The variant's id in the list, or WorkList::kNoVariant when not learned.
    WorkList::VariantId variantOf(std::uint32_t entry, TypeCode type, bool bot) const;

private:
    // A text with the first variant learned for it: a text's lines nearly
    // always share one code and flag, and then no other table is looked at.
    struct Text {
        std::string_view bytes;
        std::uint64_t hash;
        WorkList::TextId id;
        WorkList::VariantId firstVariant;
        TypeCode firstType;
        bool firstBot;
    };
    std::uint32_t findOrAdd(const Learned& learned);  // kUnknown when new: then added
    void addOther(const Learned& learned);

    std::vector<Text> texts_;
    std::size_t variants_ = 0;
    // Open addressing: the hash's upper half, then the entry + 1 (0 = free).
    std::vector<std::uint64_t> slots_;
    // The other variants, keyed by (text id, code, flag).
    std::vector<OtherVariantSlot> others_;
    std::size_t otherCount_ = 0;
};

}  // namespace tallowby
