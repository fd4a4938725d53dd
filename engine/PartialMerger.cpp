#include "PartialMerger.h"

#include <queue>
#include <unordered_map>
#include <utility>

#include "TextFold.h"

namespace tallowby {

namespace {

// Merged figures stay below this, so positions and sums never overflow.
constexpr std::int64_t kMaxTotal = std::int64_t{1} << 62;

bool Fail(std::string& error, std::string why) {
    error = std::move(why);
    return false;
}

}  // namespace

bool PartialMerger::add(Partial partial, std::string& error) {
    const PartialSummary& p = partial.summary;
    if (first_) {
        summary_.options = p.options;
        summary_.collapsed = p.collapsed;
        first_ = false;
    } else if (p.collapsed != summary_.collapsed) {
        return Fail(error,
                    "its entries are collapsed where the first partial's are not, or the "
                    "other way round");
    }
    ScanCounters& c = summary_.counters;
    const std::pair<std::int64_t*, std::int64_t> sums[] = {
        {&c.filesDone, p.counters.filesDone},
        {&c.linesScanned, p.counters.linesScanned},
        {&c.linksFound, p.counters.linksFound},
        {&c.duplicatesRemoved, p.counters.duplicatesRemoved},
        {&summary_.spamHidden, p.spamHidden},
        {&offset_, partial.arrivals},
    };
    for (const auto& [total, more] : sums) {
        if (*total > kMaxTotal - more) {
            return Fail(error, "the partials' counters add up beyond range");
        }
    }
    // The merged list takes every entry as one of its own: more than it
    // holds would be lost.
    if (partial.entries.size() > list_.limit() - entries_) {
        return Fail(error, "too many entries for one merged list (it holds at most " +
                               std::to_string(list_.limit()) + ")");
    }
    entries_ += partial.entries.size();
    offsets_.push_back(offset_);
    for (const auto& [total, more] : sums) {
        *total += more;
    }
    summary_.inputsIncomplete = summary_.inputsIncomplete || p.inputsIncomplete;
    partials_.push_back(std::move(partial));
    return true;
}

namespace {

// One entry on its way into the merged list, at its position in all inputs.
struct Merging {
    const PartialEntry* entry;
    std::int64_t arrival;
};

// The entries of one run of texts equal but for letter case, in arrival
// order, collapsed: one survivor per exact text, the first to arrive, with
// the lines of all. Runs are short; a long one (a text in many letter cases)
// finds its survivors through a table.
class RunCollapser {
public:
    void add(const Merging& m) {
        if (survivors_.size() < kLinearLimit) {
            for (Survivor& s : survivors_) {
                if (s.first.entry->referrer == m.entry->referrer) {
                    s.count += m.entry->count;
                    return;
                }
            }
        } else {
            if (index_.empty()) {
                for (std::size_t i = 0; i < survivors_.size(); ++i) {
                    index_.emplace(survivors_[i].first.entry->referrer, i);
                }
            }
            const auto [it, fresh] = index_.emplace(m.entry->referrer, survivors_.size());
            if (!fresh) {
                survivors_[it->second].count += m.entry->count;
                return;
            }
        }
        survivors_.push_back(Survivor{m, m.entry->count});
    }
    // Appends the survivors to `list`; returns how many entries went.
    std::int64_t flush(WorkList& list, std::size_t runLength) {
        for (const Survivor& s : survivors_) {
            const PartialEntry& e = *s.first.entry;
            list.appendMerged(e.referrer, e.type, e.bot, s.count, s.first.arrival);
        }
        const auto removed = static_cast<std::int64_t>(runLength - survivors_.size());
        survivors_.clear();
        index_.clear();
        return removed;
    }

private:
    static constexpr std::size_t kLinearLimit = 16;
    struct Survivor {
        Merging first;
        std::int64_t count;
    };
    std::vector<Survivor> survivors_;
    std::unordered_map<std::string_view, std::size_t> index_;
};

}  // namespace

void PartialMerger::finish() {
    // Each partial is in work-list order already: one pass over all of them
    // side by side, always taking the smallest text (equal ones by arrival),
    // leaves the merged list in order with nothing to sort.
    struct Cursor {
        std::size_t partial;
        std::size_t next;
        Merging head;
    };
    auto later = [](const Cursor& a, const Cursor& b) {
        const int c = CompareIgnoringCase(a.head.entry->referrer, b.head.entry->referrer);
        return c != 0 ? c > 0 : a.head.arrival > b.head.arrival;
    };
    std::priority_queue<Cursor, std::vector<Cursor>, decltype(later)> heads(later);
    auto push = [&](std::size_t p, std::size_t next) {
        if (next < partials_[p].entries.size()) {
            const PartialEntry& e = partials_[p].entries[next];
            heads.push(Cursor{p, next + 1, Merging{&e, offsets_[p] + e.position}});
        }
    };
    for (std::size_t p = 0; p < partials_.size(); ++p) {
        push(p, 0);
    }
    std::size_t total = 0;
    for (const Partial& p : partials_) {
        total += p.entries.size();
    }
    list_.reserve(total);
    RunCollapser run;
    std::string_view runText;
    std::size_t runLength = 0;
    std::int64_t removed = 0;
    while (!heads.empty()) {
        const Cursor top = heads.top();
        heads.pop();
        push(top.partial, top.next);
        const PartialEntry& e = *top.head.entry;
        if (!summary_.collapsed) {
            list_.appendMerged(e.referrer, e.type, e.bot, 0, top.head.arrival);
            continue;
        }
        if (runLength > 0 && !EqualsIgnoringCase(runText, e.referrer)) {
            removed += run.flush(list_, runLength);
            runLength = 0;
        }
        runText = e.referrer;
        ++runLength;
        run.add(top.head);
    }
    removed += run.flush(list_, runLength);
    summary_.counters.duplicatesRemoved += removed;
    if (summary_.collapsed && list_.empty()) {
        list_.collapse();  // an empty list still reads as collapsed
    }
    partials_.clear();
}

}  // namespace tallowby
