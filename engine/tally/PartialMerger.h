#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Partial.h"
#include "WorkList.h"

namespace tallowby {

// Merges partials given in the order of their inputs into one work list and
// one summary, exactly as one scan of all those inputs would have left them.
// The partials are kept until finish(), and then by the merged list, whose
// texts stay in their bytes; the merge is one pass over all of them, linear
// in their size (times the logarithm of their number).
class PartialMerger {
public:
    // Adds the next partial. The caller has checked that its options equal
    // the first one's. Returns false, adding nothing, when its entries are
    // collapsed and the first one's not (or the other way round), or when
    // the figures would add up beyond range, or when the entries of all
    // partials would not fit in one work list; `error` then says which.
    bool add(Partial partial, std::string& error);
    // The merged list, e.g. to lower its limit() before the partials are added.
    WorkList& list() { return list_; }
    // Merges what was added: equal referrers of different partials are
    // collapsed when the partials were. Call once, after the last add().
    void finish();

    const WorkList& workList() const { return list_; }
    const PartialSummary& summary() const { return summary_; }

private:
    WorkList list_;
    PartialSummary summary_;
    // Held apart, so the texts their entries point at never move; the merged
    // list keeps them when finish() is done.
    std::vector<std::shared_ptr<Partial>> partials_;
    std::vector<std::int64_t> offsets_;  // arrivals of the partials before each
    std::int64_t offset_ = 0;            // arrivals of all partials so far
    std::size_t entries_ = 0;            // entries of all partials so far
    bool first_ = true;
};

}  // namespace tallowby
