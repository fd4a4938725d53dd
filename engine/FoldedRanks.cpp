#include "FoldedRanks.h"

#include <algorithm>
#include <climits>

#include "TextFold.h"

namespace tallowby {

namespace {
// Runs of at most this many texts are sorted by comparing them.
constexpr std::size_t kSmallRun = 4;
// How many texts ahead a pass asks the memory for.
constexpr std::ptrdiff_t kAhead = 16;
}  // namespace

// Sorts sixteen folded bytes at a time: a first pass on the bytes after the
// prefix all texts share, then each run of equal keys again on the next
// sixteen bytes, as long as some of its texts go on; a short run is sorted
// by comparing its texts from where they start to differ. Each long pass
// reads every text of its run once and then sorts plain integers.
std::vector<std::uint32_t> FoldedRanks(const std::vector<std::string_view>& texts) {
    const std::size_t count = texts.size();
    std::vector<std::uint32_t> rank(count);
    if (count == 0) {
        return rank;
    }
    std::size_t skip = texts[0].size();  // folded prefix common to all
    for (std::size_t id = 1; id < count && skip > 0; ++id) {
        const std::string_view t = texts[id];
        const std::size_t n = std::min(skip, t.size());
        std::size_t i = 0;
        while (i < n && FoldByte(static_cast<unsigned char>(t[i])) ==
                            FoldByte(static_cast<unsigned char>(texts[0][i]))) {
            ++i;
        }
        skip = i;
    }
    struct Keyed {
        std::uint64_t high;  // folded bytes [from, from + 8)
        std::uint64_t low;   // folded bytes [from + 8, from + 16)
        const char* data;    // the text, kept here so a pass reads no other array
        std::uint32_t size;
        std::uint32_t rest;  // bytes from `from` on, at most 17: 17 = the text goes on
        std::uint32_t id;
    };
    std::vector<Keyed> items(count);
    for (std::uint32_t id = 0; id < count; ++id) {
        items[id].data = texts[id].data();
        items[id].size =
            static_cast<std::uint32_t>(std::min<std::size_t>(texts[id].size(), UINT32_MAX));
        items[id].id = id;
    }
    // first[i]: items[i] differs from items[i - 1] when folded.
    std::vector<bool> first(count, false);
    first[0] = true;
    struct Run {
        std::size_t begin;
        std::size_t end;
        std::size_t from;  // all texts of the run are folded-equal before this
    };
    auto tail = [](const Keyed& k, std::size_t from) {
        return std::string_view(k.data, k.size).substr(std::min<std::size_t>(from, k.size));
    };
    std::vector<Run> runs{{0, count, skip}};
    while (!runs.empty()) {
        const Run run = runs.back();
        runs.pop_back();
        const auto begin = items.begin() + static_cast<std::ptrdiff_t>(run.begin);
        const auto end = items.begin() + static_cast<std::ptrdiff_t>(run.end);
        if (run.end - run.begin <= kSmallRun) {
            // A few texts: compared whole, they stay in the cache.
            std::sort(begin, end, [&](const Keyed& a, const Keyed& b) {
                return CompareIgnoringCase(tail(a, run.from), tail(b, run.from)) < 0;
            });
            for (std::size_t i = run.begin + 1; i < run.end; ++i) {
                first[i] = CompareIgnoringCase(tail(items[i - 1], run.from),
                                               tail(items[i], run.from)) != 0;
            }
            continue;
        }
        for (auto it = begin; it != end; ++it) {
            // The texts of a run lie scattered in memory: ask for them early.
            if (end - it > kAhead) {
                const Keyed& later = it[kAhead];
                __builtin_prefetch(later.data + std::min<std::size_t>(run.from, later.size));
            }
            const std::string_view t(it->data, it->size);
            it->high = FoldedKey(t, run.from);
            it->low = FoldedKey(t, run.from + 8);
            const std::size_t rest = t.size() > run.from ? t.size() - run.from : 0;
            it->rest = static_cast<std::uint32_t>(std::min<std::size_t>(rest, 17));
        }
        // A text that ends inside the key is a folded prefix of every text
        // with the same key that is longer: shorter texts go first.
        std::sort(begin, end, [](const Keyed& a, const Keyed& b) {
            if (a.high != b.high)
                return a.high < b.high;
            if (a.low != b.low)
                return a.low < b.low;
            return a.rest < b.rest;
        });
        std::size_t group = run.begin;
        for (std::size_t i = run.begin + 1; i <= run.end; ++i) {
            if (i < run.end && items[i].high == items[group].high &&
                items[i].low == items[group].low && items[i].rest == items[group].rest) {
                continue;
            }
            if (i < run.end) {
                first[i] = true;
            }
            if (i - group > 1 && items[group].rest == 17) {
                runs.push_back({group, i, run.from + 16});
            }
            group = i;
        }
    }
    std::uint32_t next = 0;
    for (std::size_t i = 0; i < count; ++i) {
        next += (i > 0 && first[i]) ? 1 : 0;
        rank[items[i].id] = next;
    }
    return rank;
}

}  // namespace tallowby
