#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "TextSlots.h"
#include "engine/match/Rules.h"

namespace tallowby {

// The work list of a scan: one entry per referring line, kept in ascending
// order of its text with ASCII letter case ignored (bytes compared unsigned
// after folding); an entry equal to earlier ones goes after them, so equal
// texts keep their arrival order. After collapse() it holds one entry per
// distinct referrer, each with its count.
//
// Storage grows with the distinct referrers plus at most four bytes per
// entry, and nothing for an entry equal (text, type code and BOT flag) to the
// one before it: equal texts are stored once, each distinct (text, code,
// flag) once, and a run of repeats as a count. Appending is O(1); the order
// is worked out when somebody reads the list after an append. Arrival
// positions are not stored while scanning: only for the survivors of a
// collapse, and for the entries of a merge of partial results.
class WorkList {
public:
    // One entry as read in work-list order. `referrer` stays valid until
    // clear() or the list's destruction.
    struct Item {
        std::string_view referrer;
        std::int64_t count = 0;         // 0 before the collapse
        TypeCode type = TypeCode::HTM;  // code of the entry's line remainder
        bool bot = false;
    };

    WorkList();
    ~WorkList();
    WorkList(const WorkList&) = delete;
    WorkList& operator=(const WorkList&) = delete;

    void clear();
    // Inserts an entry at its place in the order. After a collapse the new
    // entry has no count. Returns false, changing nothing, when the list is
    // full (see limit()).
    bool append(std::string_view referrer, TypeCode type, bool bot);

    // Appending in two steps, for entries prepared away from the list (on
    // other threads, a batch at a time): the hash of a text, computed
    // anywhere; then, once per distinct (text, code, flag) of a batch, its
    // id in this list; then one appendVariant() per entry. append(t, c, b)
    // is appendVariant of variantFor(t, Hash(t), c, b).
    using VariantId = std::uint32_t;
    static std::uint64_t Hash(std::string_view text);
    // The id of (text, type, bot), `hash` being Hash(text). Adds the text
    // and the variant when new. Returns false, setting nothing, when they
    // are new and the list is full.
    bool variantFor(std::string_view text, std::uint64_t hash, TypeCode type, bool bot,
                    VariantId& id);
    // The same for a text already looked up with findTexts().
    using TextId = std::uint32_t;
    static constexpr TextId kNoText = static_cast<TextId>(-1);
    bool variantOfText(TextId text, TypeCode type, bool bot, VariantId& id);
    // The text of a variant, and the bytes of a text: a view that stays
    // valid, in place, until clear() (so other threads may read it once told of it).
    TextId textOf(VariantId id) const { return variants_[id].text; }
    std::string_view textBytes(TextId id) const { return texts_[id].bytes; }
    // Looks up `count` texts, adding none: ids[i] is the id of keys[i]'s
    // text, or kNoText when the list does not hold it (yet). Many at once,
    // the memory of later lookups asked for ahead of the earlier ones'
    // compares: a lookup alone waits on memory two or three times.
    struct TextKey {
        std::string_view bytes;
        std::uint64_t hash;  // Hash(bytes)
    };
    void findTexts(const TextKey* keys, std::size_t count, TextId* ids);
    // The same for variants of texts found so: ids[i] is the id of
    // (keys[i].text, type, bot), or kNoVariant when the list has none (or
    // keys[i].text is kNoText).
    struct VariantKey {
        TextId text;
        TypeCode type;
        bool bot;
    };
    static constexpr VariantId kNoVariant = static_cast<VariantId>(-1);
    void findVariants(const VariantKey* keys, std::size_t count, VariantId* ids) const;
    // Appends an entry of a variant variantFor() gave since the last
    // clear(). Returns false, changing nothing, when the list is full.
    bool appendVariant(VariantId id);

    // The list holds ids and positions in 32 bits (4 bytes per referring
    // line): at most limit() elements (entries, or runs of repeated ones)
    // and as many distinct (text, code, flag). An append beyond that is
    // refused, so a scan can stop with a clear error. The limit may be
    // lowered (tests) but not raised; clear() keeps it.
    static constexpr std::size_t kMaxElements = 0x7fffffff;
    std::size_t limit() const { return limit_; }
    void setLimit(std::size_t elements);
    // Makes room for `entries` more entries of as many distinct texts, so a
    // merge that knows its size grows nothing as it goes. Changes nothing else.
    void reserve(std::size_t entries);
    // Appends an entry as a merge of partial results brings it: with the
    // arrival position it had, and, when `count` > 0, the lines it already
    // stands for (the list then reads as collapsed from then on; a collapse()
    // adds the counts of equal texts). A merge appends in work-list order,
    // and the list then stays in order without sorting; entries appended out
    // of that order are sorted as after append(). Returns false, adding
    // nothing, when the list is full (see limit()).
    bool appendMerged(std::string_view referrer, TypeCode type, bool bot, std::int64_t count,
                      std::int64_t arrival);
    // For a merge that can tell which texts are new, two ways of appending
    // as appendMerged() does without looking the text up, for entries that
    // come in work-list order after every entry in the list (out of order,
    // the list would read out of order). appendMergedNew() takes a referrer
    // that differs, byte for byte, from every text in the list, and does not
    // copy it: its bytes must stay valid and unchanged until clear() or the
    // list's end (keep() can hold them). It returns the text's number, which
    // appendMergedText() takes for another entry with the same text. Later
    // append() and appendMerged() calls find these texts.
    std::size_t appendMergedNew(std::string_view referrer, TypeCode type, bool bot,
                                std::int64_t count, std::int64_t arrival);
    // appendMergedText() returns false, appending nothing, once the list is
    // full. A merge checks its size against limit() before it starts, so
    // appendMergedNew() never meets a full list.
    bool appendMergedText(std::size_t text, TypeCode type, bool bot, std::int64_t count,
                          std::int64_t arrival);
    // Holds `owner` (say, the bytes that texts of appendMergedNew() point
    // into) until clear() or the list's end.
    void keep(std::shared_ptr<const void> owner);
    // reserve() for entries of appendMergedNew(): room for their entries and
    // texts, but not for the lookup table they do not enter.
    void reserveMerged(std::size_t entries);

    std::size_t size() const { return size_; }
    // Bytes of all distinct texts together: after a collapse, of all referrers.
    std::size_t textBytes() const { return textBytes_; }
    bool empty() const { return size_ == 0; }
    bool collapsed() const { return collapsed_; }
    // The entry at `index` in work-list order (0 <= index < size()).
    Item at(std::size_t index) const;
    // A hint for reading many entries in order: call it with the index a
    // dozen or so ahead of the one read next, and the memory is asked early
    // for what at() will need. Changes nothing; any index is allowed.
    void prefetch(std::size_t index) const;
    // Reads the entries from `from` on in work-list order, each as at()
    // gives it, at a small fixed cost per entry: at() finds an entry's place
    // afresh on every call (a search among the runs of repeats before a
    // collapse), and a reader keeps its place, asking early for the memory
    // of the entries ahead. The list must not change while it is in use.
    class Reader {
    public:
        // The entry at index(), then moves on. Only while index() < size().
        Item next();
        std::size_t index() const { return index_; }

    private:
        friend class WorkList;
        explicit Reader(const WorkList& list, std::size_t from) : list_(&list), index_(from) {}
        const WorkList* list_;
        std::size_t index_;
        std::size_t run_ = 0;  // with runs: the run that holds index_
    };
    Reader reader(std::size_t from = 0) const;
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
    // One distinct (text, type code, BOT flag); entries name it by index.
    struct Variant {
        std::uint32_t text;  // index into the distinct texts
        TypeCode type;
        bool bot;
    };
    // The id of the text, added when new; kNoText when new and the list is full.
    std::uint32_t intern(std::string_view text, std::uint64_t hash);
    void rehash(std::size_t slots);  // a table of `slots` (a power of two) slots
    // Enters the texts of appendMergedNew() (those past hashes_) in the table.
    void hashNewTexts();
    // kNoVariant when new and the list is full.
    std::uint32_t variantOf(std::uint32_t text, TypeCode type, bool bot);
    // The run that starts at entries_[k]: its variant and its length.
    std::uint64_t runLength(std::size_t k) const;
    void ensureOrdered() const;
    std::size_t entryOf(std::size_t index) const;  // work-list index -> entries_ position
    std::vector<std::int64_t> collapseFresh();     // collapse() of a list never collapsed
    // From here on, arrivals_ holds one position per element, and the list
    // holds no run marks (runs already there are spelt out).
    void keepArrivals();
    // The entry of entries_[k].
    Item itemOf(std::size_t k) const;
    // Asks for the memory of the elements a reader takes at `step` and
    // after: position `step` of order_ (or of entries_ when order_ is empty).
    void prefetchSteps(std::size_t step) const;

    // Arrival order (after a collapse: work-list order). Each element is a
    // variant index, or (top bit set) a run mark: the entry before it is
    // repeated that many more times. Marks appear only before a collapse.
    std::vector<std::uint32_t> entries_;
    std::size_t size_ = 0;              // entries, runs counted out
    std::uint32_t lastVariant_ = 0;     // the variant of the last run
    std::vector<std::int64_t> counts_;  // per element, after a collapse
    std::vector<Variant> variants_;
    // Open addressing over the variants other than each text's first.
    std::vector<OtherVariantSlot> variantSlots_;
    std::size_t otherVariants_ = 0;  // variants in variantSlots_
    // A distinct text, in the arena, with the variant it came with first
    // (whose code and flag are copied here: a text's entries nearly always
    // share them, and then no variant needs to be looked at).
    struct Text {
        std::string_view bytes;
        std::uint32_t firstVariant;
        TypeCode firstType;
        bool firstBot;
    };
    std::vector<Text> texts_;
    std::vector<std::string_view> TextViews() const;  // for ranking
    // Per distinct text, for growing the table; the texts of
    // appendMergedNew() have none until the table is next needed.
    std::vector<std::uint64_t> hashes_;
    // Open addressing: the hash's upper half, then the text index + 1 (0 =
    // free), so a probe touches a text only when its hash matches.
    std::vector<std::uint64_t> slots_;
    std::vector<std::unique_ptr<char[]>> arena_;
    std::vector<std::shared_ptr<const void>> kept_;  // see keep()
    std::size_t arenaUsed_ = 0;
    std::size_t textBytes_ = 0;
    std::size_t arenaCapacity_ = 0;
    bool collapsed_ = false;
    // Arrival positions per element of entries_, kept once a collapse or
    // appendMerged() has parted them from the position in arrival order;
    // until then none are stored (an element's arrival is the entries
    // before it, runs counted out). No run marks while they are kept.
    std::vector<std::int64_t> arrivals_;
    bool arrivalsKept_ = false;
    std::int64_t nextArrival_ = 0;  // entries appended so far, runs counted out
    // Until arrivals are kept: where each element's first entry arrived,
    // worked out only when arrival() is asked while there are runs.
    mutable std::vector<std::uint64_t> elementArrival_;

    // Positions in entries_ of the runs' first elements, in work-list order
    // (empty: the identity), and where each of them starts in work-list
    // indices (empty: every run is one entry).
    mutable std::vector<std::uint32_t> order_;
    mutable std::vector<std::uint64_t> runStart_;
    mutable bool ordered_ = true;
    std::size_t limit_ = kMaxElements;
};

// One entry of the work list (its text and what the type code needs), as
// the list hands it out in order.
using WorkEntry = WorkList::Item;

}  // namespace tallowby
