#include "PartialMerger.h"

#include <memory>
#include <unordered_map>
#include <utility>

#include "LoserTree.h"

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
        {&c.fields.noReferrer, p.counters.fields.noReferrer},
        {&c.fields.selfReferrals, p.counters.fields.selfReferrals},
        {&c.fields.crawlers, p.counters.fields.crawlers},
        {&c.fields.crawlersLeftOut, p.counters.fields.crawlersLeftOut},
    };
    for (std::size_t i = 0; i < c.fields.layouts.size(); ++i) {
        if (c.fields.layouts[i] > kMaxTotal - p.counters.fields.layouts[i]) {
            return Fail(error, "the partials' counters add up beyond range");
        }
    }
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
    for (std::size_t i = 0; i < c.fields.layouts.size(); ++i) {
        c.fields.layouts[i] += p.counters.fields.layouts[i];
    }
    // The pieces of one file come one after the other: one that names the
    // file the piece before it named does not name it again.
    std::vector<std::string>& files = c.fields.filesOfNoKnownLayout;
    for (const std::string& file : p.counters.fields.filesOfNoKnownLayout) {
        if (files.empty() || files.back() != file) {
            files.push_back(file);
        }
    }
    summary_.inputsIncomplete = summary_.inputsIncomplete || p.inputsIncomplete;
    partials_.push_back(std::make_shared<Partial>(std::move(partial)));
    return true;
}

namespace {

// The distinct exact texts of one run of texts equal but for letter case,
// numbered in the order they were first seen. Runs are short; a long one (a
// text in many letter cases) finds its texts through a table.
class RunTexts {
public:
    // The number of `text` in the run, and whether it was first seen now.
    std::pair<std::size_t, bool> find(std::string_view text) {
        if (texts_.size() < kLinearLimit) {
            for (std::size_t i = 0; i < texts_.size(); ++i) {
                if (texts_[i] == text) {
                    return {i, false};
                }
            }
        } else {
            if (index_.empty()) {
                for (std::size_t i = 0; i < texts_.size(); ++i) {
                    index_.emplace(texts_[i], i);
                }
            }
            const auto [it, fresh] = index_.emplace(text, texts_.size());
            if (!fresh) {
                return {it->second, false};
            }
        }
        texts_.push_back(text);
        return {texts_.size() - 1, true};
    }
    std::size_t size() const { return texts_.size(); }
    void clear() {
        texts_.clear();
        index_.clear();
    }

private:
    static constexpr std::size_t kLinearLimit = 16;
    std::vector<std::string_view> texts_;
    std::unordered_map<std::string_view, std::size_t> index_;
};

}  // namespace

void PartialMerger::finish() {
    // Each partial is in work-list order already: one pass over all of them
    // side by side, always taking the smallest text (equal ones by arrival),
    // leaves the merged list in order with nothing to sort.
    std::vector<LoserTree::Run> runs;
    std::size_t total = 0;
    for (std::size_t p = 0; p < partials_.size(); ++p) {
        const std::vector<PartialEntry>& entries = partials_[p]->entries;
        runs.push_back(
            LoserTree::Run{entries.data(), entries.data() + entries.size(), offsets_[p]});
        total += entries.size();
    }
    // The merged list holds no copy of the texts: they stay in the partials'
    // bytes, which the list keeps. Texts equal but for letter case come out
    // together, and only among them can a text come again, so the merge
    // tells the new ones itself and the list looks none up.
    list_.reserveMerged(total);
    LoserTree tree(runs);
    RunTexts run;
    std::vector<std::size_t> numbers;  // without the collapse: each text's in the list
    struct Survivor {
        const PartialEntry* first;
        std::int64_t arrival;
        std::int64_t count;
    };
    std::vector<Survivor> survivors;  // with the collapse: one per text of the run
    std::size_t runLength = 0;
    std::int64_t removed = 0;
    auto endRun = [&] {
        for (const Survivor& s : survivors) {
            list_.appendMergedNew(s.first->referrer, s.first->type, s.first->bot, s.count,
                                  s.arrival);
        }
        removed += static_cast<std::int64_t>(runLength - run.size());
        survivors.clear();
        numbers.clear();
        run.clear();
        runLength = 0;
    };
    for (; !tree.done(); tree.pop()) {
        const PartialEntry& e = tree.top();
        if (!tree.topRepeatsText()) {
            endRun();
        }
        ++runLength;
        const auto [i, fresh] = run.find(e.referrer);
        if (summary_.collapsed) {
            if (fresh) {
                survivors.push_back(Survivor{&e, tree.topArrival(), e.count});
            } else {
                survivors[i].count += e.count;
            }
        } else if (fresh) {
            numbers.push_back(
                list_.appendMergedNew(e.referrer, e.type, e.bot, 0, tree.topArrival()));
        } else {
            list_.appendMergedText(numbers[i], e.type, e.bot, 0, tree.topArrival());
        }
    }
    endRun();
    if (summary_.collapsed) {
        summary_.counters.duplicatesRemoved += removed;
    }
    if (summary_.collapsed && list_.empty()) {
        list_.collapse();  // an empty list still reads as collapsed
    }
    // The list needs the partials' bytes from now on, not their entries.
    for (std::shared_ptr<Partial>& p : partials_) {
        std::vector<PartialEntry>().swap(p->entries);
        list_.keep(std::move(p));
    }
    partials_.clear();
}

}  // namespace tallowby
