#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ScanTypes.h"
#include "WorkList.h"
#include "engine/match/Rules.h"

namespace tallowby {

// A partial result: what the scan of some inputs leaves for a later merge
// with the scans of other inputs. The file layout is described in
// docs/partial-format.md; nothing else reads or writes it.

// The format version this program writes and reads.
inline constexpr std::uint32_t kPartialVersion = 1;

// Everything of a partial but its entries.
struct PartialSummary {
    // The options the scan ran with, "key=value" each, in a fixed order.
    // Partials merge only when these are equal; keys unknown to a reader are
    // compared like any other.
    std::vector<std::string> options;
    bool collapsed = false;         // entries carry click counts
    bool inputsIncomplete = false;  // an input could not be (fully) read
    ScanCounters counters;          // cancelRequested is not kept
    std::int64_t spamHidden = 0;    // lines left out as spam (0 where nothing is)
};

// One work-list entry of a partial, in work-list order.
struct PartialEntry {
    std::string_view referrer;  // into Partial::bytes
    std::int64_t position = 0;  // arrival position in the partial's own scan
    std::int64_t count = 0;     // lines it stands for; 0 when not collapsed
    TypeCode type = TypeCode::HTM;
    bool bot = false;
    // Where the referrer follows the one before it (the first: an empty
    // text), as CodeAgainst() (OffsetValueCode.h) gives it: worked out
    // while the order is checked, so a merge need not compare them again.
    std::uint64_t code = 0;
};

// A partial as read and checked: the texts of its entries and the entries
// that point into them, in work-list order (ascending text, letter case
// ignored; equal texts in ascending position).
struct Partial {
    Partial() = default;
    // A copy's entries point into its own bytes, so it outlives the original.
    Partial(const Partial& other);
    Partial& operator=(const Partial& other);
    Partial(Partial&&) noexcept = default;
    Partial& operator=(Partial&&) noexcept = default;

    PartialSummary summary;
    std::vector<char> bytes;  // the texts, one after the other; moved, they stay in place
    std::vector<PartialEntry> entries;
    // How many entries its scan appended: the positions lie below it.
    std::int64_t arrivals = 0;
};

// The bytes of a partial of `list` (in any state, collapsed or not) with
// `summary` (whose `collapsed` must match the list's).
std::string EncodePartial(const PartialSummary& summary, const WorkList& list);

// Checks and parses `bytes`: the head (magic, version) and the tail (end
// mark) first, then the checksum of the body, then its content: the
// entries, and that the counters agree with each other and with the
// entries. On failure returns false with `error` saying why ("not a partial
// result", "truncated", "corrupt (...)", "format version N ..."); `out` is
// then unspecified.
bool DecodePartial(std::string bytes, Partial& out, std::string& error);

// Hands the bytes of a partial of `list` to `write` piece by piece, as
// EncodePartial gives them; stops and returns false when `write` does.
bool EncodePartialTo(const PartialSummary& summary, const WorkList& list,
                     const std::function<bool(std::string_view piece)>& write);

// Where a partial's bytes are read from: up to `capacity` bytes from
// `offset` into `to`; the number read, 0 at the end, or -1 with the reason in
// `error`.
using PartialReadAt = std::function<std::ptrdiff_t(char* to, std::size_t capacity,
                                                   std::uint64_t offset, std::string& error)>;
// DecodePartial() of the `size` bytes `readAt` reads, reading their ends
// before their body and keeping nothing of the body until its checksum is
// right: bytes of any size that are no partial cost neither time nor
// memory, and a partial about its own size. Never throws.
bool DecodePartialAt(const PartialReadAt& readAt, std::uint64_t size, Partial& out,
                     std::string& error);

}  // namespace tallowby
