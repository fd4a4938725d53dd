#include "WorkList.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "BatchLookup.h"
#include "FoldedRanks.h"
#include "TextSlots.h"
#include "engine/match/TextFold.h"
#include "engine/match/TextHash.h"

namespace tallowby {

namespace {
constexpr std::size_t kArenaChunk = 1 << 20;
constexpr std::uint32_t kUnseen = static_cast<std::uint32_t>(-1);
constexpr std::uint32_t kNone = static_cast<std::uint32_t>(-1);
// An element of the entries with this bit set is a run mark; the rest of it
// counts the repeats.
constexpr std::uint32_t kMark = 0x80000000u;
constexpr std::uint32_t kMaxRepeats = kMark - 1;
static_assert(WorkList::kMaxElements < kMark, "variant ids must leave the run-mark bit free");

// A prefetch the compiler keeps. GCC 12 deletes a __builtin_prefetch
// whose address takes loads when nothing else around it has an effect (as
// in a reader's look-ahead, which only asks for memory): the empty asm that
// takes the address is an effect it must keep.
inline void PrefetchKept(const void* address) {
    __builtin_prefetch(address);
    asm volatile("" : : "r"(address));
}

}  // namespace

WorkList::WorkList() = default;
WorkList::~WorkList() = default;

void WorkList::clear() {
    entries_.clear();
    size_ = 0;
    lastVariant_ = 0;
    counts_.clear();
    variants_.clear();
    variantSlots_.clear();
    otherVariants_ = 0;
    runStart_.clear();
    texts_.clear();
    hashes_.clear();
    slots_.clear();
    arena_.clear();
    kept_.clear();
    arenaUsed_ = arenaCapacity_ = textBytes_ = 0;
    collapsed_ = false;
    arrivals_.clear();
    arrivalsKept_ = false;
    nextArrival_ = 0;
    elementArrival_.clear();
    order_.clear();
    ordered_ = true;
}

std::uint64_t WorkList::Hash(std::string_view text) {
    return HashText(text);
}

void WorkList::setLimit(std::size_t elements) {
    limit_ = std::min(elements, kMaxElements);
}

std::uint32_t WorkList::intern(std::string_view text, std::uint64_t hash) {
    if (hashes_.size() != texts_.size()) {
        hashNewTexts();
    }
    if (TextSlotsFull(slots_, texts_.size())) {
        rehash(std::max<std::size_t>(1024, slots_.size() * 2));
    }
    const TextPlace place =
        FindTextSlot(slots_, hash, text, [this](std::uint32_t id) { return texts_[id].bytes; });
    if (place.found) {
        return place.index;
    }
    if (texts_.size() >= limit_) {
        return kNoText;
    }
    // A new text: copy it into the arena, where it never moves. The first
    // text opens the arena even when it is empty, so `stored` always points
    // into a chunk.
    if (arena_.empty() || arenaUsed_ + text.size() > arenaCapacity_) {
        arenaCapacity_ = std::max(kArenaChunk, text.size());
        arena_.push_back(std::unique_ptr<char[]>(new char[arenaCapacity_]));  // not zeroed
        arenaUsed_ = 0;
    }
    char* stored = arena_.back().get() + arenaUsed_;
    if (!text.empty()) {
        std::memcpy(stored, text.data(), text.size());
    }
    arenaUsed_ += text.size();
    textBytes_ += text.size();
    const auto id = static_cast<std::uint32_t>(texts_.size());
    texts_.push_back(Text{std::string_view(stored, text.size()), kNone, TypeCode::HTM, false});
    hashes_.push_back(hash);
    slots_[place.slot] = TextSlot(hash, id);
    return id;
}

void WorkList::rehash(std::size_t slots) {
    RebuildTextSlots(slots_, slots, static_cast<std::uint32_t>(hashes_.size()),
                     [this](std::uint32_t id) { return hashes_[id]; });
}

void WorkList::hashNewTexts() {
    for (std::size_t id = hashes_.size(); id < texts_.size(); ++id) {
        hashes_.push_back(HashText(texts_[id].bytes));
    }
    std::size_t slots = std::max<std::size_t>(1024, slots_.size());
    while ((texts_.size() + 1) * 2 > slots) {
        slots *= 2;
    }
    rehash(slots);
}

std::uint32_t WorkList::variantOf(std::uint32_t text, TypeCode type, bool bot) {
    Text& t = texts_[text];
    if (t.firstVariant == kNone) {
        if (variants_.size() >= limit_) {
            return kNoVariant;
        }
        t.firstVariant = static_cast<std::uint32_t>(variants_.size());
        t.firstType = type;
        t.firstBot = bot;
        variants_.push_back(Variant{text, type, bot});
        return t.firstVariant;
    }
    if (t.firstType == type && t.firstBot == bot) {
        return t.firstVariant;
    }
    // Another code or flag for a known text: one probe, usually.
    const std::uint64_t key = OtherVariantKey(text, type, bot);
    GrowOtherVariants(variantSlots_, otherVariants_);
    const std::size_t slot = ProbeOtherVariants(variantSlots_, key);
    if (variantSlots_[slot].key == key) {
        return variantSlots_[slot].variant;
    }
    if (variants_.size() >= limit_) {
        return kNoVariant;
    }
    const auto id = static_cast<std::uint32_t>(variants_.size());
    variants_.push_back(Variant{text, type, bot});
    variantSlots_[slot] = OtherVariantSlot{key, id};
    ++otherVariants_;
    return id;
}

std::vector<std::string_view> WorkList::TextViews() const {
    std::vector<std::string_view> views;
    views.reserve(texts_.size());
    for (const Text& t : texts_) {
        views.push_back(t.bytes);
    }
    return views;
}

bool WorkList::append(std::string_view referrer, TypeCode type, bool bot) {
    VariantId v;
    return variantFor(referrer, HashText(referrer), type, bot, v) && appendVariant(v);
}

bool WorkList::variantFor(std::string_view text, std::uint64_t hash, TypeCode type, bool bot,
                          VariantId& id) {
    const std::uint32_t t = intern(text, hash);
    if (t == kNoText) {
        return false;
    }
    const std::uint32_t v = variantOf(t, type, bot);
    if (v == kNoVariant) {
        return false;
    }
    id = v;
    return true;
}

bool WorkList::variantOfText(TextId text, TypeCode type, bool bot, VariantId& id) {
    const std::uint32_t v = variantOf(text, type, bot);
    if (v == kNoVariant) {
        return false;
    }
    id = v;
    return true;
}

void WorkList::findTexts(const TextKey* keys, std::size_t count, TextId* ids) {
    if (hashes_.size() != texts_.size()) {
        hashNewTexts();  // texts a merge appended unhashed
    }
    LookUpAll(
        slots_.data(), slots_.size(),
        [this](std::uint32_t id) -> const std::string_view& { return texts_[id].bytes; }, keys,
        count, ids, kNoText);
}

void WorkList::findVariants(const VariantKey* keys, std::size_t count, VariantId* ids) const {
    // Two stages: fetch the text (its first variant is kept with it) and
    // the slot where another variant's probe starts; then look.
    constexpr std::size_t kAhead = 8;
    const std::size_t mask = variantSlots_.empty() ? 0 : variantSlots_.size() - 1;
    for (std::size_t i = 0; i < count + kAhead; ++i) {
        if (i < count && keys[i].text != kNoText) {
            __builtin_prefetch(&texts_[keys[i].text]);
            if (!variantSlots_.empty()) {
                const std::uint64_t key = OtherVariantKey(keys[i].text, keys[i].type, keys[i].bot);
                __builtin_prefetch(&variantSlots_[OtherVariantHash(key) & mask]);
            }
        }
        if (i < kAhead) {
            continue;
        }
        const std::size_t k = i - kAhead;
        const VariantKey& want = keys[k];
        ids[k] = kNoVariant;
        if (want.text == kNoText) {
            continue;
        }
        const Text& t = texts_[want.text];
        if (t.firstVariant == kNone) {
            continue;
        }
        if (t.firstType == want.type && t.firstBot == want.bot) {
            ids[k] = t.firstVariant;
            continue;
        }
        if (variantSlots_.empty()) {
            continue;
        }
        const std::uint64_t key = OtherVariantKey(want.text, want.type, want.bot);
        const OtherVariantSlot& held = variantSlots_[ProbeOtherVariants(variantSlots_, key)];
        if (held.key == key) {
            ids[k] = held.variant;
        }
    }
}

bool WorkList::appendVariant(VariantId v) {
    // A repeat of the entry before it costs nothing: it lengthens the run.
    // After a collapse every element keeps its own count, and once arrivals
    // are kept its own arrival, so no runs then.
    if (!collapsed_ && !arrivalsKept_ && !entries_.empty() && v == lastVariant_) {
        std::uint32_t& last = entries_.back();
        if ((last & kMark) != 0 && (last & ~kMark) < kMaxRepeats) {
            ++last;
        } else if (entries_.size() < limit_) {
            entries_.push_back(kMark | 1);
        } else {
            return false;
        }
        ++size_;
        ++nextArrival_;
        ordered_ = false;
        return true;
    }
    if (entries_.size() >= limit_) {
        return false;
    }
    ++size_;
    ++nextArrival_;
    ordered_ = false;
    entries_.push_back(v);
    lastVariant_ = v;
    if (collapsed_) {
        counts_.push_back(0);
    }
    if (arrivalsKept_) {
        arrivals_.push_back(nextArrival_ - 1);
    }
    return true;
}

void WorkList::reserve(std::size_t entries) {
    const std::size_t total = entries_.size() + entries;
    entries_.reserve(total);
    arrivals_.reserve(total);
    texts_.reserve(texts_.size() + entries);
    hashes_.reserve(texts_.size() + entries);
    variants_.reserve(variants_.size() + entries);
    // The table as intern() would have grown it for that many texts.
    std::size_t slots = std::max<std::size_t>(1024, slots_.size());
    while ((texts_.size() + entries + 1) * 2 > slots) {
        slots *= 2;
    }
    if (slots > slots_.size()) {
        rehash(slots);
    }
}

void WorkList::keepArrivals() {
    if (arrivalsKept_) {
        return;
    }
    if (size_ != entries_.size()) {
        // Spell the runs out: every entry its own element.
        std::vector<std::uint32_t> spelt;
        spelt.reserve(size_);
        for (const std::uint32_t e : entries_) {
            if ((e & kMark) == 0) {
                spelt.push_back(e);
            } else {
                const std::uint32_t repeated = spelt.back();
                spelt.insert(spelt.end(), e & ~kMark, repeated);
            }
        }
        entries_ = std::move(spelt);
        order_.clear();
        runStart_.clear();
        ordered_ = false;
    }
    arrivals_.resize(entries_.size());
    for (std::size_t k = 0; k < entries_.size(); ++k) {
        arrivals_[k] = static_cast<std::int64_t>(k);
    }
    elementArrival_.clear();
    arrivalsKept_ = true;
}

bool WorkList::appendMerged(std::string_view referrer, TypeCode type, bool bot, std::int64_t count,
                            std::int64_t arrival) {
    // Merged entries are never runs: each takes an element of its own.
    if (size_ >= limit_) {
        return false;
    }
    keepArrivals();
    const std::uint32_t text = intern(referrer, HashText(referrer));
    if (text == kNoText) {
        return false;
    }
    // Still in order when the list was (with no permutation held) and the
    // new entry goes after the last one.
    if (ordered_ && !entries_.empty()) {
        const int c =
            CompareIgnoringCase(texts_[variants_[entries_.back()].text].bytes, texts_[text].bytes);
        if (!order_.empty() || c > 0 || (c == 0 && arrivals_.back() >= arrival)) {
            ordered_ = false;
        }
    }
    return appendMergedText(text, type, bot, count, arrival);
}

std::size_t WorkList::appendMergedNew(std::string_view referrer, TypeCode type, bool bot,
                                      std::int64_t count, std::int64_t arrival) {
    const auto text = static_cast<std::uint32_t>(texts_.size());
    texts_.push_back(Text{referrer, kNone, TypeCode::HTM, false});
    textBytes_ += referrer.size();
    appendMergedText(text, type, bot, count, arrival);
    return text;
}

void WorkList::keep(std::shared_ptr<const void> owner) {
    kept_.push_back(std::move(owner));
}

void WorkList::reserveMerged(std::size_t entries) {
    const std::size_t total = entries_.size() + entries;
    entries_.reserve(total);
    arrivals_.reserve(total);
    counts_.reserve(total);
    texts_.reserve(texts_.size() + entries);
    variants_.reserve(variants_.size() + entries);
}

bool WorkList::appendMergedText(std::size_t textNumber, TypeCode type, bool bot, std::int64_t count,
                                std::int64_t arrival) {
    keepArrivals();
    if (count > 0 && !collapsed_) {
        counts_.assign(entries_.size(), 0);
        collapsed_ = true;
    }
    const std::uint32_t v = variantOf(static_cast<std::uint32_t>(textNumber), type, bot);
    if (v == kNoVariant) {
        return false;
    }
    // The entry comes in order (appendMerged() has checked that, the other
    // callers promise it): it goes last unless the list holds a permutation.
    if (!order_.empty()) {
        ordered_ = false;
    }
    entries_.push_back(v);
    lastVariant_ = v;
    ++size_;
    if (collapsed_) {
        counts_.push_back(count);
    }
    arrivals_.push_back(arrival);
    nextArrival_ = std::max(nextArrival_, arrival + 1);
    return true;
}

std::int64_t WorkList::arrival(std::size_t index) const {
    ensureOrdered();
    if (runStart_.empty()) {
        // Every element is one entry.
        const std::size_t k = order_.empty() ? index : order_[index];
        return arrivalsKept_ ? arrivals_[k] : static_cast<std::int64_t>(k);
    }
    // Runs (so no arrivals kept): the arrival of the run's first entry,
    // plus the place in the run.
    if (elementArrival_.size() != entries_.size()) {
        elementArrival_.assign(entries_.size(), 0);
        std::uint64_t at = 0;
        for (std::size_t k = 0; k < entries_.size(); ++k) {
            if ((entries_[k] & kMark) != 0) {
                at += entries_[k] & ~kMark;
            } else {
                elementArrival_[k] = at++;
            }
        }
    }
    const auto after = std::upper_bound(runStart_.begin(), runStart_.end(), index);
    const auto r = static_cast<std::size_t>(after - runStart_.begin()) - 1;
    return static_cast<std::int64_t>(elementArrival_[order_[r]] + (index - runStart_[r]));
}

std::uint64_t WorkList::runLength(std::size_t k) const {
    std::uint64_t n = 1;
    for (std::size_t j = k + 1; j < entries_.size() && (entries_[j] & kMark) != 0; ++j) {
        n += entries_[j] & ~kMark;
    }
    return n;
}

void WorkList::ensureOrdered() const {
    if (ordered_) {
        return;
    }
    // Rank the distinct texts in folded order, then place the runs by rank
    // with a stable counting sort, so equal texts keep their arrival order.
    const std::size_t distinct = texts_.size();
    const std::vector<std::uint32_t> rank = FoldedRanks(TextViews());
    auto rankAt = [&](std::size_t k) { return rank[variants_[entries_[k]].text]; };
    std::vector<std::uint32_t> start(distinct + 1, 0);
    std::size_t runs = 0;
    for (std::size_t k = 0; k < entries_.size(); ++k) {
        if ((entries_[k] & kMark) == 0) {
            ++start[rankAt(k) + 1];
            ++runs;
        }
    }
    for (std::size_t r = 1; r <= distinct; ++r) {
        start[r] += start[r - 1];
    }
    order_.assign(runs, 0);
    for (std::uint32_t k = 0; k < entries_.size(); ++k) {
        if ((entries_[k] & kMark) == 0) {
            order_[start[rankAt(k)]++] = k;
        }
    }
    runStart_.clear();
    if (runs != size_) {
        runStart_.resize(runs);
        std::uint64_t at = 0;
        for (std::size_t r = 0; r < runs; ++r) {
            runStart_[r] = at;
            at += runLength(order_[r]);
        }
    }
    ordered_ = true;
}

std::size_t WorkList::entryOf(std::size_t index) const {
    ensureOrdered();
    if (runStart_.empty()) {
        return order_.empty() ? index : order_[index];
    }
    const auto after = std::upper_bound(runStart_.begin(), runStart_.end(), index);
    return order_[static_cast<std::size_t>(after - runStart_.begin()) - 1];
}

WorkList::Item WorkList::itemOf(std::size_t k) const {
    const Variant& v = variants_[entries_[k]];
    return Item{texts_[v.text].bytes, collapsed_ ? counts_[k] : 0, v.type, v.bot};
}

WorkList::Item WorkList::at(std::size_t index) const {
    return itemOf(entryOf(index));
}

void WorkList::prefetch(std::size_t index) const {
    // Two steps: the text's place now, the text itself (whose place was
    // asked for eight calls ago) for the entry eight before.
    constexpr std::size_t kLag = 8;
    ensureOrdered();
    if (!runStart_.empty()) {
        return;  // runs: neighbours mostly share a text anyway
    }
    auto variantAt = [this](std::size_t k) -> const Variant& {
        return variants_[entries_[order_.empty() ? k : order_[k]]];
    };
    if (index < size_) {
        __builtin_prefetch(&texts_[variantAt(index).text]);
    }
    if (index >= kLag && index - kLag < size_) {
        __builtin_prefetch(texts_[variantAt(index - kLag).text].bytes.data());
    }
}

WorkList::Reader WorkList::reader(std::size_t from) const {
    ensureOrdered();
    Reader reader(*this, from);
    if (!runStart_.empty() && from < size_) {
        const auto after = std::upper_bound(runStart_.begin(), runStart_.end(), from);
        reader.run_ = static_cast<std::size_t>(after - runStart_.begin()) - 1;
    }
    prefetchSteps(runStart_.empty() ? from : reader.run_);
    return reader;
}

void WorkList::prefetchSteps(std::size_t step) const {
    // Each element is reached through four loads that depend on each other
    // (its place, its variant, its text, the text's bytes), all far apart
    // in memory: each is asked for a few steps after the one before it, so
    // by the time the reader gets there every load hits the cache.
    constexpr std::size_t kPlace = 24, kVariant = 16, kText = 8, kBytes = 4;
    const std::size_t steps = order_.empty() ? entries_.size() : order_.size();
    auto element = [&](std::size_t s) { return order_.empty() ? s : order_[s]; };
    if (step + kPlace < steps) {
        PrefetchKept(&entries_[element(step + kPlace)]);
    }
    if (step + kVariant < steps) {
        PrefetchKept(&variants_[entries_[element(step + kVariant)]]);
    }
    if (step + kText < steps) {
        PrefetchKept(&texts_[variants_[entries_[element(step + kText)]].text]);
    }
    if (step + kBytes < steps) {
        PrefetchKept(texts_[variants_[entries_[element(step + kBytes)]].text].bytes.data());
    }
}

WorkList::Item WorkList::Reader::next() {
    const WorkList& list = *list_;
    std::size_t k;
    if (list.runStart_.empty()) {
        list.prefetchSteps(index_ + 1);
        k = list.order_.empty() ? index_ : list.order_[index_];
    } else {
        // Every entry of a run is the same variant: the run moves on only
        // where the next one starts.
        if (run_ + 1 < list.runStart_.size() && list.runStart_[run_ + 1] <= index_) {
            ++run_;
            list.prefetchSteps(run_ + 1);
        }
        k = list.order_[run_];
    }
    ++index_;
    return list.itemOf(k);
}

std::vector<std::int64_t> WorkList::collapse() {
    if (!collapsed_) {
        return collapseFresh();
    }
    // After a collapse there are no runs: every element is one entry.
    ensureOrdered();
    std::vector<std::uint32_t> survivorOf(texts_.size(), kUnseen);
    std::vector<std::uint32_t> survivors;
    std::vector<std::int64_t> counts;    // lines per survivor
    std::vector<std::int64_t> removed;   // entries deleted for each survivor
    std::vector<std::int64_t> arrivals;  // the arrival of each survivor
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const std::size_t k = order_.empty() ? i : order_[i];
        const std::uint32_t v = entries_[k];
        // An entry that already went through a collapse stands for its count.
        const std::int64_t lines = counts_[k] > 0 ? counts_[k] : 1;
        std::uint32_t& s = survivorOf[variants_[v].text];
        if (s == kUnseen) {
            s = static_cast<std::uint32_t>(survivors.size());
            survivors.push_back(v);
            counts.push_back(lines);
            removed.push_back(0);
            arrivals.push_back(arrivals_[k]);
        } else {
            counts[s] += lines;
            ++removed[s];
        }
    }
    entries_ = std::move(survivors);
    size_ = entries_.size();
    counts_ = std::move(counts);
    arrivals_ = std::move(arrivals);
    order_.clear();  // identity: the survivors stand in work-list order
    runStart_.clear();
    ordered_ = true;
    return removed;
}

std::vector<std::int64_t> WorkList::collapseFresh() {
    // Every entry stands for one line, and entries of one text stand in
    // arrival order: the survivor of a text is its first arrival. One pass
    // in arrival order finds it and counts the text's entries (a run mark
    // counts its repeats); the survivors then take the work-list order by
    // rank, equal ranks (texts that differ only in letter case) in order of
    // first arrival. No entry is placed.
    const std::size_t distinct = texts_.size();
    std::vector<std::uint32_t> firstVariant(distinct, kUnseen);
    std::vector<std::int64_t> lines(distinct, 0);
    std::vector<std::int64_t> firstArrival(distinct, 0);  // of each text's survivor
    std::vector<std::uint32_t> arrival;                   // texts in order of their first entry
    arrival.reserve(distinct);
    // The pass does not need the ranks: it runs while they are worked out.
    // It counts per variant first, in an array small enough for the cache
    // (the texts' tables are not), noting the variants in the order of
    // their first entries; the texts then take their counts and firsts
    // from the variants in that order.
    auto countEntries = [&] {
        std::vector<std::int64_t> perVariant(variants_.size(), 0);
        std::vector<std::uint32_t> seen;        // variants in order of their first entry
        std::vector<std::int64_t> seenArrival;  // the arrival of that entry
        std::uint32_t v = 0;
        std::int64_t at = 0;  // the arrival of the element, when none are kept
        for (std::size_t k = 0; k < entries_.size(); ++k) {
            const std::uint32_t e = entries_[k];
            if ((e & kMark) != 0) {
                perVariant[v] += e & ~kMark;
                at += e & ~kMark;
                continue;
            }
            v = e;
            if (perVariant[v]++ == 0) {
                seen.push_back(v);
                seenArrival.push_back(arrivalsKept_ ? arrivals_[k] : at);
            }
            ++at;
        }
        for (std::size_t i = 0; i < seen.size(); ++i) {
            const std::uint32_t text = variants_[seen[i]].text;
            if (firstVariant[text] == kUnseen) {
                firstVariant[text] = seen[i];
                firstArrival[text] = seenArrival[i];
                arrival.push_back(text);
            }
            lines[text] += perVariant[seen[i]];
        }
    };
    const std::vector<std::uint32_t> rank = FoldedRanks(TextViews(), countEntries);
    std::vector<std::uint32_t> start(distinct + 1, 0);
    for (const std::uint32_t id : arrival) {
        ++start[rank[id] + 1];
    }
    for (std::size_t r = 1; r <= distinct; ++r) {
        start[r] += start[r - 1];
    }
    std::vector<std::uint32_t> sorted(arrival.size());
    for (const std::uint32_t id : arrival) {
        sorted[start[rank[id]]++] = id;
    }
    std::vector<std::uint32_t> survivors;
    survivors.reserve(sorted.size());
    std::vector<std::int64_t> counts;
    counts.reserve(sorted.size());
    std::vector<std::int64_t> removed;
    removed.reserve(sorted.size());
    std::vector<std::int64_t> arrivals;
    arrivals.reserve(sorted.size());
    for (const std::uint32_t id : sorted) {
        survivors.push_back(firstVariant[id]);
        counts.push_back(lines[id]);
        removed.push_back(lines[id] - 1);
        arrivals.push_back(firstArrival[id]);
    }
    entries_ = std::move(survivors);
    entries_.shrink_to_fit();
    size_ = entries_.size();
    counts_ = std::move(counts);
    arrivals_ = std::move(arrivals);
    arrivalsKept_ = true;
    elementArrival_.clear();
    elementArrival_.shrink_to_fit();
    collapsed_ = true;
    order_.clear();  // identity: the survivors stand in work-list order
    order_.shrink_to_fit();
    runStart_.clear();
    runStart_.shrink_to_fit();
    ordered_ = true;
    return removed;
}

}  // namespace tallowby
