#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/match/SpamCheck.h"

namespace tallowby {

// A list of referrer-spam hosts. A host matches when it is a listed host or
// a subdomain of one ("www.spam.example" matches "spam.example";
// "notspam.example" does not), ASCII letter case ignored. A lookup hashes the
// host once, right to left, and probes a small table at each label boundary:
// a few probes per referrer however long the list is.
class SpamList final : public SpamCheck {
public:
    // The longest host name there is, in bytes; a list line with a longer
    // host names none and is skipped.
    static constexpr std::size_t kLongestHost = 253;

    // An empty list: matches nothing.
    SpamList();

    // One host per line (LF, CR LF or CR); blanks around a host are ignored,
    // and so are empty lines and lines starting with "#". A line is taken as
    // written, lower-cased, trailing dots dropped; one whose host is longer
    // than kLongestHost bytes is skipped and counted in skippedLines().
    static SpamList FromText(std::string_view text);
    // The list built into the program (resources/referrer-spam.hosts).
    static const SpamList& Builtin();
    // Where a list's bytes come from, a block at a time: the bytes read
    // into `to` (at most `capacity`), 0 at the end, or -1 with the reason
    // in `error`.
    using BlockSource =
        std::function<std::ptrdiff_t(char* to, std::size_t capacity, std::string& error)>;
    // Reads the list from `next`, as FromText reads its text, in blocks of
    // bounded size: a line costs at most kLongestHost bytes however long it
    // is, and the list about its own size. On failure returns nullopt and
    // sets `error` to the reason (the source's, or that the list holds more
    // hosts than one list can). A source with no host in it gives a valid,
    // empty list.
    static std::optional<SpamList> FromBlocks(const BlockSource& next, std::string& error);

    // True when `host` (any letter case) is listed or a subdomain of a
    // listed host. An empty host never matches.
    bool matchesHost(std::string_view host) const;
    // The listed host that `host` is or is under, as the end of `host`
    // (a view into it); the shortest when several are; empty when none is.
    std::string_view listedHostOf(std::string_view host) const;
    // matchesHost of the host a browser opens for `referrer` (BrowserHost).
    bool matchesReferrer(std::string_view referrer) const override;

    // The number of distinct hosts listed.
    std::size_t size() const { return count_; }
    // The lines skipped for a host longer than kLongestHost bytes.
    std::uint64_t skippedLines() const { return skipped_; }

private:
    class Reading;

    // Lists `host` (lower case, 1 to kLongestHost bytes) unless it is
    // listed. False when the list cannot hold it.
    bool add(std::string_view host);
    void grow();
    void place(std::uint64_t hash, std::uint32_t id);
    std::string_view hostAt(std::uint32_t id) const;
    bool listed(std::uint64_t hash, std::string_view host, std::size_t from) const;
    // Where in `host` the listed host it is or is under starts; npos: none.
    std::size_t listedFrom(std::string_view host) const;

    // The hosts, each as one byte of length and its bytes, packed in blocks
    // of kBlock bytes; a host is known by its place, block * kBlock + offset.
    static constexpr std::size_t kBlock = std::size_t{1} << 16;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t blockUsed_ = kBlock;  // bytes taken in the last block
    std::size_t count_ = 0;
    std::uint64_t skipped_ = 0;
    // Open addressing, at most half full: the high half of the host's hash,
    // and its place (kFree = none).
    static constexpr std::uint32_t kFree = ~std::uint32_t{0};
    struct Slot {
        std::uint32_t tag = 0;
        std::uint32_t id = kFree;
    };
    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    unsigned shift_ = 64;  // 64 - log2 of the number of slots
    // The slot a hash is looked for from: its bits spread over all of the
    // table, since the low bits of the hash alone cluster similar hosts.
    std::size_t home(std::uint64_t hash) const {
        return static_cast<std::size_t>((hash * 0x9e3779b97f4a7c15ull) >> shift_);
    }
    // One bit per value of 16 bits of a listed host's hash: a suffix whose
    // bit is clear is not listed, found without leaving the first-level
    // cache (the table is looked at for few suffixes but listed ones).
    std::vector<std::uint64_t> filter_;
    // The same for a quicker hash of the last two labels of every listed
    // host ("spam.example" of "a.spam.example"): a host whose last two
    // labels are not there matches no listed host of two labels or more, so
    // most hosts are settled by one hash of a dozen bytes. Lists with a
    // one-label host skip this test.
    std::vector<std::uint64_t> pairFilter_;
    bool oneLabelHosts_ = false;
};

// What a scan's summary says after its figures of the lines `list` skipped:
// " : N spam-list lines skipped (longer than 253 bytes)"; empty when `list`
// is null or skipped none.
std::string SkippedLinesNote(const SpamList* list);

}  // namespace tallowby
