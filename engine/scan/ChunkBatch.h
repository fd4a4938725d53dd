#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/match/LineMatch.h"
#include "engine/match/Rules.h"
#include "engine/tally/KnownIds.h"
#include "engine/tally/WorkList.h"

namespace tallowby {

// The lines of one chunk of a file, matched on whatever thread has time,
// for the scanning thread to take in line order. Referrers are interned
// here already (distinct texts with their work-list hashes, and distinct
// (text, code, flag) variants), so the scanning thread looks each up in the
// work list once per chunk instead of once per line. Views point into the
// chunk's bytes, which must outlive the batch's use.
class ChunkBatch {
public:
    using Text = WorkList::TextKey;  // the text and its work-list hash
    struct Variant {
        std::uint32_t text;
        TypeCode type;
        bool bot;
    };

    // Splits `bytes` into lines by LineReader's rule (with its line limit)
    // and matches each with `options`. Replaces what the batch held. A line
    // over the limit ends the batch there, failed(). The work-list ids of
    // the texts and variants `known` holds are noted with them. Options that
    // read lines by their fields read them with `fields`, from the W3C
    // fields `w3c` in force where `bytes` start.
    void match(std::string_view bytes, std::size_t maxLine, const MatchOptions& options,
               std::string& scratch, const KnownIds& known, FieldScratch& fields,
               const W3cFields& w3c);
    // Drops the lines: an empty, failed batch with `reason` (no memory).
    void fail(std::string reason);

    std::size_t lines() const { return outcomes_.size(); }
    LineKind kind(std::size_t line) const {
        const std::uint32_t o = outcomes_[line];
        return o == kNoLink ? LineKind::None : o == kSpam ? LineKind::Spam : LineKind::Link;
    }
    // The line's note (field_note): 0 unless it was read by its fields.
    std::uint8_t note(std::size_t line) const { return notes_.empty() ? 0 : notes_[line]; }
    // The variant of a line whose kind is Link.
    std::uint32_t variantOf(std::size_t line) const { return outcomes_[line]; }
    const Variant& variant(std::uint32_t id) const { return variants_[id]; }
    const Text& text(std::uint32_t id) const { return texts_[id]; }
    std::size_t texts() const { return texts_.size(); }
    // The work-list ids known when the batch was matched: kNoText, kNoVariant when none.
    WorkList::TextId listText(std::uint32_t text) const { return listTexts_[text]; }
    WorkList::VariantId listVariant(std::uint32_t variant) const { return listVariants_[variant]; }
    const Text* textData() const { return texts_.data(); }
    std::size_t variants() const { return variants_.size(); }

    bool failed() const { return failed_; }
    const std::string& error() const { return error_; }

private:
    static constexpr std::uint32_t kNoLink = static_cast<std::uint32_t>(-1);
    static constexpr std::uint32_t kSpam = kNoLink - 1;
    // The text's id; a new text is kept as a copy of its own when `copy`
    // (a decoded field lives only until the next line is read).
    std::uint32_t intern(std::string_view text, bool copy = false);
    std::uint32_t variantFor(std::uint32_t text, TypeCode type, bool bot);

    std::vector<std::uint32_t> outcomes_;  // per line: kNoLink, kSpam or a variant
    std::vector<std::uint8_t> notes_;      // per line, when read by their fields
    std::deque<std::string> copies_;       // the texts intern() copied; they stay in place
    std::vector<Text> texts_;
    // Per text, its first variant; further variants of a text are chained.
    std::vector<std::uint32_t> firstVariant_;
    std::vector<std::uint32_t> nextVariant_;  // per variant: the next of its text, or kNoLink
    std::vector<Variant> variants_;
    std::vector<std::uint32_t> knownEntries_;  // per text, its entry in the KnownIds
    std::vector<WorkList::TextId> listTexts_;
    std::vector<WorkList::VariantId> listVariants_;
    // Open addressing: the hash's upper half, then the text index + 1 (0 = free).
    std::vector<std::uint64_t> slots_;
    std::unique_ptr<BlockMasks> masks_;  // the marks of a stretch of lines, kept for the next
    bool failed_ = false;
    std::string error_;
};

}  // namespace tallowby
