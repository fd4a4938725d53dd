#include "WorkList.h"

#include <algorithm>
#include <cstring>

#include "FoldedRanks.h"
#include "TextFold.h"

namespace tallowby {

namespace {
constexpr std::size_t kArenaChunk = 1 << 20;
constexpr std::uint32_t kUnseen = static_cast<std::uint32_t>(-1);

}  // namespace

std::string CountPrefix(std::int64_t count) {
    std::string digits = std::to_string(count);
    if (digits.size() < 7) {
        digits.insert(0, 7 - digits.size(), '0');
    }
    digits += '|';
    return digits;
}

std::string WorkList::Item::text() const {
    if (count <= 0) {
        return std::string(referrer);
    }
    std::string result = CountPrefix(count);
    result.append(referrer);
    return result;
}

WorkList::WorkList() = default;
WorkList::~WorkList() = default;

void WorkList::clear() {
    entries_.clear();
    counts_.clear();
    texts_.clear();
    hashes_.clear();
    slots_.clear();
    arena_.clear();
    arenaUsed_ = arenaCapacity_ = textBytes_ = 0;
    collapsed_ = false;
    arrivals_.clear();
    arrivalsKept_ = false;
    nextArrival_ = 0;
    order_.clear();
    ordered_ = true;
}

namespace {

// A fast 64-bit hash of the bytes, eight at a time.
std::uint64_t HashText(std::string_view text) {
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ (text.size() * 0xff51afd7ed558ccdull);
    auto mix = [&h](std::uint64_t word) {
        h = (h ^ word) * 0xbf58476d1ce4e5b9ull;
        h ^= h >> 29;
    };
    const char* p = text.data();
    std::size_t n = text.size();
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        mix(word);
    }
    if (n > 0) {
        std::uint64_t word = 0;
        std::memcpy(&word, p, n);
        mix(word);
    }
    h ^= h >> 32;
    h *= 0x94d049bb133111ebull;
    return h ^ (h >> 29);
}

constexpr std::uint64_t kTagMask = 0xffffffff00000000ull;

}  // namespace

std::uint32_t WorkList::intern(std::string_view text) {
    const std::uint64_t hash = HashText(text);
    if ((texts_.size() + 1) * 2 > slots_.size()) {
        // Keep the table at most half full.
        rehash(std::max<std::size_t>(1024, slots_.size() * 2));
    }
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = hash & mask;
    while (const std::uint64_t held = slots_[slot]) {
        if ((held & kTagMask) == (hash & kTagMask)) {
            const auto id = static_cast<std::uint32_t>(held) - 1;
            if (texts_[id] == text) {
                return id;
            }
        }
        slot = (slot + 1) & mask;
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
    texts_.emplace_back(stored, text.size());
    hashes_.push_back(hash);
    slots_[slot] = (hash & kTagMask) | (id + 1);
    return id;
}

void WorkList::append(std::string_view referrer, TypeCode type, bool bot) {
    entries_.push_back(Entry{intern(referrer), type, bot});
    if (collapsed_) {
        counts_.push_back(0);
    }
    if (arrivalsKept_) {
        arrivals_.push_back(nextArrival_);
    }
    ++nextArrival_;
    ordered_ = false;
}

void WorkList::reserve(std::size_t entries) {
    const std::size_t total = entries_.size() + entries;
    entries_.reserve(total);
    arrivals_.reserve(total);
    texts_.reserve(texts_.size() + entries);
    hashes_.reserve(texts_.size() + entries);
    // The table as intern() would have grown it for that many texts.
    std::size_t slots = std::max<std::size_t>(1024, slots_.size());
    while ((texts_.size() + entries + 1) * 2 > slots) {
        slots *= 2;
    }
    if (slots > slots_.size()) {
        rehash(slots);
    }
}

void WorkList::rehash(std::size_t slots) {
    std::vector<std::uint64_t> bigger(slots, 0);
    const std::size_t mask = slots - 1;
    for (std::uint32_t id = 0; id < texts_.size(); ++id) {
        std::size_t slot = hashes_[id] & mask;
        while (bigger[slot] != 0) {
            slot = (slot + 1) & mask;
        }
        bigger[slot] = (hashes_[id] & kTagMask) | (id + 1);
    }
    slots_.swap(bigger);
}

void WorkList::keepArrivals() {
    if (!arrivalsKept_) {
        arrivals_.resize(entries_.size());
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            arrivals_[i] = static_cast<std::int64_t>(i);
        }
        arrivalsKept_ = true;
    }
}

void WorkList::appendMerged(std::string_view referrer, TypeCode type, bool bot, std::int64_t count,
                            std::int64_t arrival) {
    keepArrivals();
    if (count > 0 && !collapsed_) {
        counts_.assign(entries_.size(), 0);
        collapsed_ = true;
    }
    const std::uint32_t text = intern(referrer);
    // Still in order when the list was (with no permutation held) and the
    // new entry goes after the last one.
    if (ordered_ && !entries_.empty()) {
        const int c = CompareIgnoringCase(texts_[entries_.back().text], texts_[text]);
        if (!order_.empty() || c > 0 || (c == 0 && arrivals_.back() >= arrival)) {
            ordered_ = false;
        }
    }
    entries_.push_back(Entry{text, type, bot});
    if (collapsed_) {
        counts_.push_back(count);
    }
    arrivals_.push_back(arrival);
    nextArrival_ = std::max(nextArrival_, arrival + 1);
}

std::int64_t WorkList::arrival(std::size_t index) const {
    ensureOrdered();
    return arrivalOf(order_.empty() ? static_cast<std::uint32_t>(index) : order_[index]);
}

void WorkList::ensureOrdered() const {
    if (ordered_) {
        return;
    }
    // Rank the distinct texts in folded order, then place the entries by
    // rank with a stable counting sort, so equal texts keep their arrival
    // order.
    const std::size_t distinct = texts_.size();
    const std::vector<std::uint32_t> rank = FoldedRanks(texts_);
    std::vector<std::uint32_t> start(distinct + 1, 0);
    for (const Entry& e : entries_) {
        ++start[rank[e.text] + 1];
    }
    for (std::size_t r = 1; r <= distinct; ++r) {
        start[r] += start[r - 1];
    }
    order_.assign(entries_.size(), 0);
    for (std::uint32_t i = 0; i < entries_.size(); ++i) {
        order_[start[rank[entries_[i].text]]++] = i;
    }
    ordered_ = true;
}

WorkList::Item WorkList::at(std::size_t index) const {
    ensureOrdered();
    const std::uint32_t i = order_.empty() ? static_cast<std::uint32_t>(index) : order_[index];
    const Entry& e = entries_[i];
    return Item{texts_[e.text], collapsed_ ? counts_[i] : 0, e.type, e.bot};
}

void WorkList::prefetch(std::size_t index) const {
    // Two steps: the text's place now, the text itself (whose place was
    // asked for eight calls ago) for the entry eight before.
    constexpr std::size_t kLag = 8;
    ensureOrdered();
    auto entryAt = [this](std::size_t k) -> const Entry& {
        return entries_[order_.empty() ? k : order_[k]];
    };
    if (index < entries_.size()) {
        __builtin_prefetch(&texts_[entryAt(index).text]);
    }
    if (index >= kLag && index - kLag < entries_.size()) {
        __builtin_prefetch(texts_[entryAt(index - kLag).text].data());
    }
}

std::vector<std::int64_t> WorkList::collapse() {
    if (!collapsed_) {
        return collapseFresh();
    }
    ensureOrdered();
    std::vector<std::uint32_t> survivorOf(texts_.size(), kUnseen);
    std::vector<Entry> survivors;
    std::vector<std::int64_t> counts;   // lines per survivor
    std::vector<std::int64_t> removed;  // entries deleted for each survivor
    std::vector<std::int64_t> arrivals;
    for (std::size_t k = 0; k < entries_.size(); ++k) {
        const std::uint32_t i = order_.empty() ? static_cast<std::uint32_t>(k) : order_[k];
        const Entry& e = entries_[i];
        // An entry that already went through a collapse stands for its count.
        const std::int64_t lines = collapsed_ && counts_[i] > 0 ? counts_[i] : 1;
        std::uint32_t& s = survivorOf[e.text];
        if (s == kUnseen) {
            s = static_cast<std::uint32_t>(survivors.size());
            survivors.push_back(e);
            counts.push_back(lines);
            removed.push_back(0);
            arrivals.push_back(arrivalOf(i));
        } else {
            counts[s] += lines;
            ++removed[s];
        }
    }
    entries_ = std::move(survivors);
    counts_ = std::move(counts);
    arrivals_ = std::move(arrivals);
    arrivalsKept_ = true;
    collapsed_ = true;
    order_.clear();  // identity: the survivors stand in work-list order
    ordered_ = true;
    return removed;
}

std::vector<std::int64_t> WorkList::collapseFresh() {
    // Every entry stands for one line, and entries of one text stand in
    // arrival order: the survivor of a text is its first arrival. One pass
    // in arrival order finds it and counts the text's entries; the survivors
    // then take the work-list order by rank, equal ranks (texts that differ
    // only in letter case) in order of first arrival. No entry is placed.
    const std::size_t distinct = texts_.size();
    std::vector<std::uint32_t> firstAt(distinct, kUnseen);
    std::vector<std::int64_t> lines(distinct, 0);
    std::vector<std::uint32_t> arrival;  // texts in order of their first entry
    arrival.reserve(distinct);
    for (std::uint32_t i = 0; i < entries_.size(); ++i) {
        const std::uint32_t id = entries_[i].text;
        if (firstAt[id] == kUnseen) {
            firstAt[id] = i;
            arrival.push_back(id);
        }
        ++lines[id];
    }
    const std::vector<std::uint32_t> rank = FoldedRanks(texts_);
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
    std::vector<Entry> survivors;
    survivors.reserve(sorted.size());
    std::vector<std::int64_t> counts;
    counts.reserve(sorted.size());
    std::vector<std::int64_t> removed;
    removed.reserve(sorted.size());
    std::vector<std::int64_t> arrivals;
    arrivals.reserve(sorted.size());
    for (const std::uint32_t id : sorted) {
        survivors.push_back(entries_[firstAt[id]]);
        counts.push_back(lines[id]);
        removed.push_back(lines[id] - 1);
        arrivals.push_back(arrivalOf(firstAt[id]));
    }
    entries_ = std::move(survivors);
    counts_ = std::move(counts);
    arrivals_ = std::move(arrivals);
    arrivalsKept_ = true;
    collapsed_ = true;
    order_.clear();  // identity: the survivors stand in work-list order
    order_.shrink_to_fit();
    ordered_ = true;
    return removed;
}

}  // namespace tallowby
