#include "WorkList.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "TextFold.h"

namespace tallowby {

namespace {
constexpr std::size_t kArenaChunk = 1 << 20;
constexpr std::uint32_t kUnseen = static_cast<std::uint32_t>(-1);

// The folded bytes [from, from + 8) of `text` as a big-endian number, zero
// beyond its end: comparing two keys compares those bytes.
std::uint64_t FoldedKey(std::string_view text, std::size_t from) {
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        std::size_t at = from + i;
        unsigned char c = at < text.size() ? FoldByte(static_cast<unsigned char>(text[at])) : 0;
        key = (key << 8) | c;
    }
    return key;
}
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
    arenaUsed_ = arenaCapacity_ = 0;
    collapsed_ = false;
    order_.clear();
    ordered_ = true;
}

std::uint32_t WorkList::intern(std::string_view text) {
    const std::uint64_t hash = std::hash<std::string_view>{}(text);
    if ((texts_.size() + 1) * 2 > slots_.size()) {
        // Keep the table at most half full.
        std::vector<std::uint32_t> bigger(std::max<std::size_t>(1024, slots_.size() * 2), 0);
        const std::size_t mask = bigger.size() - 1;
        for (std::uint32_t id = 0; id < texts_.size(); ++id) {
            std::size_t slot = hashes_[id] & mask;
            while (bigger[slot] != 0) {
                slot = (slot + 1) & mask;
            }
            bigger[slot] = id + 1;
        }
        slots_.swap(bigger);
    }
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = hash & mask;
    while (std::uint32_t held = slots_[slot]) {
        const std::uint32_t id = held - 1;
        if (hashes_[id] == hash && texts_[id] == text) {
            return id;
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
    const auto id = static_cast<std::uint32_t>(texts_.size());
    texts_.emplace_back(stored, text.size());
    hashes_.push_back(hash);
    slots_[slot] = id + 1;
    return id;
}

void WorkList::append(std::string_view referrer, TypeCode type, bool bot) {
    entries_.push_back(Entry{intern(referrer), type, bot});
    if (collapsed_) {
        counts_.push_back(0);
    }
    ordered_ = false;
}

void WorkList::ensureOrdered() const {
    if (ordered_) {
        return;
    }
    // Rank the distinct texts in folded order (texts equal when folded share
    // a rank), then place the entries by rank with a stable counting sort, so
    // equal texts keep their arrival order.
    const std::size_t distinct = texts_.size();
    std::size_t skip = distinct ? texts_[0].size() : 0;  // folded prefix common to all
    for (std::size_t id = 1; id < distinct && skip > 0; ++id) {
        std::string_view t = texts_[id];
        std::size_t n = std::min(skip, t.size());
        std::size_t i = 0;
        while (i < n && FoldByte(static_cast<unsigned char>(t[i])) ==
                            FoldByte(static_cast<unsigned char>(texts_[0][i]))) {
            ++i;
        }
        skip = i;
    }
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed(distinct);
    for (std::uint32_t id = 0; id < distinct; ++id) {
        keyed[id] = {FoldedKey(texts_[id], skip), id};
    }
    std::sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
        if (a.first != b.first) {
            return a.first < b.first;
        }
        // Equal keys: the next eight bytes are equal too, unless a text
        // ended inside them (then compare those bytes again).
        const std::string_view x = texts_[a.second];
        const std::string_view y = texts_[b.second];
        const std::size_t from = (x.size() >= skip + 8 && y.size() >= skip + 8) ? skip + 8 : skip;
        return CompareIgnoringCase(x.substr(from), y.substr(from)) < 0;
    });
    std::vector<std::uint32_t> rank(distinct);
    std::uint32_t next = 0;
    for (std::size_t i = 0; i < distinct; ++i) {
        if (i > 0 && (keyed[i].first != keyed[i - 1].first ||
                      CompareIgnoringCase(texts_[keyed[i].second], texts_[keyed[i - 1].second]) != 0)) {
            ++next;
        }
        rank[keyed[i].second] = next;
    }
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

std::vector<std::int64_t> WorkList::collapse() {
    ensureOrdered();
    std::vector<std::uint32_t> survivorOf(texts_.size(), kUnseen);
    std::vector<Entry> survivors;
    std::vector<std::int64_t> counts;   // lines per survivor
    std::vector<std::int64_t> removed;  // entries deleted for each survivor
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
        } else {
            counts[s] += lines;
            ++removed[s];
        }
    }
    entries_ = std::move(survivors);
    counts_ = std::move(counts);
    collapsed_ = true;
    order_.clear();  // identity: the survivors stand in work-list order
    ordered_ = true;
    return removed;
}

}  // namespace tallowby
