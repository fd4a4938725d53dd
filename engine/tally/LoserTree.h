#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "OffsetValueCode.h"
#include "Partial.h"

namespace tallowby {

// Merges runs of partial entries, each in work-list order (ascending text,
// letter case ignored, then ascending arrival), into one sequence in that
// order. A tree of losers: taking the smallest entry replays one path of
// log2(runs) matches. Each entry in the tree carries an offset-value code
// against the entry that beat it (OffsetValueCode.h), starting from the one
// it has against the entry before it in its run, so a match compares two
// integers and reads text only where the codes tie.
class LoserTree {
public:
    struct Run {
        const PartialEntry* begin;
        const PartialEntry* end;
        std::int64_t offset;  // added to each entry's position: its arrival
    };
    // The runs must stay valid while the tree is used; any may be empty.
    explicit LoserTree(const std::vector<Run>& runs);

    bool done() const { return heads_[winner()].code == kDone; }
    // The next entry (not when done()), and its arrival in all runs.
    const PartialEntry& top() const { return *heads_[winner()].entry; }
    std::int64_t topArrival() const { return heads_[winner()].arrival; }
    // True when top()'s text equals the text taken before it, letter case
    // ignored (false for the first).
    bool topRepeatsText() const { return heads_[winner()].code == kEqual && taken_; }
    // Takes top(); the next smallest becomes top().
    void pop();

private:
    // Offset-value codes: a smaller code is a smaller key, among keys coded
    // against one base key no greater than they are.
    static constexpr std::uint64_t kEqual = kCodeEqual;        // the base's text
    static constexpr std::uint64_t kDone = ~std::uint64_t{0};  // a run used up
    struct Head {
        const PartialEntry* entry;
        const PartialEntry* end;
        std::int64_t offset;
        std::int64_t arrival;
        std::uint64_t code;
    };
    std::size_t winner() const { return losers_[0]; }
    // Plays the heads of runs `a` and `b` against each other: true when `a`
    // goes first. The loser's code is made relative to the winner.
    bool beats(Head& a, Head& b);
    // Moves `head` to its run's next entry, coded against the one before.
    void advance(Head& head);
    std::size_t build(std::size_t node);

    std::vector<Head> heads_;          // per leaf; unused leaves are done
    std::vector<std::size_t> losers_;  // per node; [0] holds the winner
    std::size_t leaves_ = 1;           // a power of two
    bool taken_ = false;
};

}  // namespace tallowby
