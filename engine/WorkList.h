#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Rules.h"

namespace tallowby {

// The count prefix the collapse writes in front of a referrer: the count in
// decimal, padded with "0" on the left to seven digits, then "|".
std::string CountPrefix(std::int64_t count);

// The work list of a scan: one entry per referring line, kept in ascending
// order of its text with ASCII letter case ignored (bytes compared unsigned
// after folding); an entry equal to earlier ones goes after them, so equal
// texts keep their arrival order. After collapse() it holds one entry per
// distinct referrer, each with its count.
//
// Storage grows with the distinct referrers plus eight bytes per entry: equal
// texts are stored once. Appending is O(1); the order is worked out when
// somebody reads the list after an append.
class WorkList {
public:
    // One entry as read in work-list order. `referrer` stays valid until
    // clear() or the list's destruction.
    struct Item {
        std::string_view referrer;
        std::int64_t count = 0;  // 0 before the collapse
        TypeCode type = TypeCode::HTM;  // code of the entry's line remainder
        bool bot = false;
        // The entry's text: the referrer, or after the collapse its count
        // prefix followed by the referrer.
        std::string text() const;
    };

    WorkList();
    ~WorkList();
    WorkList(const WorkList&) = delete;
    WorkList& operator=(const WorkList&) = delete;

    void clear();
    // Inserts an entry at its place in the order. After a collapse the new
    // entry has no count.
    void append(std::string_view referrer, TypeCode type, bool bot);
    // Appends an entry as a merge of partial results brings it: with the
    // arrival position it had, and, when `count` > 0, the lines it already
    // stands for (the list then reads as collapsed from then on; a collapse()
    // adds the counts of equal texts). A merge appends in work-list order,
    // and the list then stays in order without sorting; entries appended out
    // of that order are sorted as after append().
    // Makes room for `entries` more entries of as many distinct texts, so a
    // merge that knows its size grows nothing as it goes. Changes nothing else.
    void reserve(std::size_t entries);
    void appendMerged(std::string_view referrer, TypeCode type, bool bot, std::int64_t count,
                      std::int64_t arrival);

    std::size_t size() const { return entries_.size(); }
    // Bytes of all distinct texts together: after a collapse, of all referrers.
    std::size_t textBytes() const { return textBytes_; }
    bool empty() const { return entries_.empty(); }
    bool collapsed() const { return collapsed_; }
    // The entry at `index` in work-list order (0 <= index < size()).
    Item at(std::size_t index) const;
    // A hint for reading many entries in order: call it with the index a
    // dozen or so ahead of the one read next, and the memory is asked early
    // for what at() will need. Changes nothing; any index is allowed.
    void prefetch(std::size_t index) const;
    // The arrival position of the entry at `index`: how many entries were
    // appended before it since clear(). After a collapse, that of the first
    // entry of its text. An entry appended after a collapse, or after
    // appendMerged(), arrives one after the latest arrival so far.
    std::int64_t arrival(std::size_t index) const;

    // Leaves one entry per distinct text (exact bytes, letter case counts),
    // the one that stood first, with the number of entries that had its text.
    // Returns, for each survivor in order, how many entries were deleted for it.
    std::vector<std::int64_t> collapse();

private:
    struct Entry {
        std::uint32_t text;  // index into the distinct texts
        TypeCode type;
        bool bot;
    };
    std::uint32_t intern(std::string_view text);
    void rehash(std::size_t slots);  // a table of `slots` (a power of two) slots
    void ensureOrdered() const;
    std::vector<std::int64_t> collapseFresh();  // collapse() of a list never collapsed
    std::int64_t arrivalOf(std::uint32_t entry) const {
        return arrivalsKept_ ? arrivals_[entry] : static_cast<std::int64_t>(entry);
    }
    void keepArrivals();  // from here on, arrivals_ holds one position per entry

    std::vector<Entry> entries_;     // arrival order (after a collapse: work-list order)
    std::vector<std::int64_t> counts_;  // per entry, after a collapse
    std::vector<std::string_view> texts_;  // distinct texts, in the arena
    std::vector<std::uint64_t> hashes_;    // per distinct text, for growing the table
    // Open addressing: the hash's upper half, then the text index + 1 (0 =
    // free), so a probe touches a text only when its hash matches.
    std::vector<std::uint64_t> slots_;
    std::vector<std::unique_ptr<char[]>> arena_;
    std::size_t arenaUsed_ = 0;
    std::size_t textBytes_ = 0;
    std::size_t arenaCapacity_ = 0;
    bool collapsed_ = false;
    // Arrival positions per entry (in entries_ order), kept once a collapse
    // or appendMerged() has parted them from the entry index.
    std::vector<std::int64_t> arrivals_;
    bool arrivalsKept_ = false;
    std::int64_t nextArrival_ = 0;

    mutable std::vector<std::uint32_t> order_;  // entry indices in work-list order
    mutable bool ordered_ = true;
};

// One entry of the work list (its text and what the type code needs), as
// the list hands it out in order.
using WorkEntry = WorkList::Item;

}  // namespace tallowby
