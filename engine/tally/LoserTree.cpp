#include "LoserTree.h"

#include <utility>

#include "OffsetValueCode.h"

namespace tallowby {

namespace {
constexpr std::ptrdiff_t kAhead = 4;  // entries, two cache lines
}  // namespace

LoserTree::LoserTree(const std::vector<Run>& runs) {
    while (leaves_ < runs.size()) {
        leaves_ *= 2;
    }
    heads_.assign(leaves_, Head{nullptr, nullptr, 0, 0, kDone});
    for (std::size_t r = 0; r < runs.size(); ++r) {
        Head& h = heads_[r];
        h = Head{runs[r].begin, runs[r].end, runs[r].offset, 0, kDone};
        if (h.entry != h.end) {
            // Coded against an empty text, which goes before every other.
            h.arrival = h.offset + h.entry->position;
            h.code = h.entry->code;
        }
    }
    losers_.assign(leaves_, 0);
    losers_[0] = build(1);
}

std::size_t LoserTree::build(std::size_t node) {
    if (node >= leaves_) {
        return node - leaves_;
    }
    const std::size_t left = build(2 * node);
    const std::size_t right = build(2 * node + 1);
    if (beats(heads_[left], heads_[right])) {
        losers_[node] = right;
        return left;
    }
    losers_[node] = left;
    return right;
}

bool LoserTree::beats(Head& a, Head& b) {
    // Both are coded against one base. Unequal codes decide, and the loser's
    // code against the winner is its code against the base.
    if (a.code != b.code) {
        return a.code < b.code;
    }
    if (a.code == kDone) {
        return true;
    }
    if (a.code != kEqual) {
        // Both leave the base at one place with one byte: read on after it.
        const std::string_view x = a.entry->referrer;
        const std::string_view y = b.entry->referrer;
        const std::size_t at = ovc::FirstDifference(x, y, ovc::OffsetOf(a.code) + 1);
        const unsigned sx = ovc::Symbol(x, at);
        const unsigned sy = ovc::Symbol(y, at);
        if (sx != sy) {
            if (sx < sy) {
                b.code = ovc::Code(at, sy);
                return true;
            }
            a.code = ovc::Code(at, sx);
            return false;
        }
    }
    // Equal texts, letter case ignored: the earlier arrival first.
    if (a.arrival <= b.arrival) {
        b.code = kEqual;
        return true;
    }
    a.code = kEqual;
    return false;
}

void LoserTree::advance(Head& head) {
    if (++head.entry == head.end) {
        head.code = kDone;
        return;
    }
    // Its code against the entry before it in its run, the one just taken,
    // came with the partial. A match whose codes tie reads the texts: ask
    // for the next one's now, and for the entries a few ahead, so that they
    // are in the cache when this run comes round again.
    if (head.end - head.entry > kAhead) {
        __builtin_prefetch(head.entry + kAhead);
        __builtin_prefetch(head.entry[1].referrer.data());
    }
    head.arrival = head.offset + head.entry->position;
    head.code = head.entry->code;
}

void LoserTree::pop() {
    std::size_t candidate = winner();
    if (heads_[candidate].code == kDone) {
        return;
    }
    advance(heads_[candidate]);
    // Every loser on the path lost to the entry just taken, so its code is
    // against that entry, as the new head's is.
    for (std::size_t node = (candidate + leaves_) / 2; node > 0; node /= 2) {
        std::size_t& loser = losers_[node];
        const std::uint64_t mine = heads_[candidate].code;
        const std::uint64_t theirs = heads_[loser].code;
        if (mine != theirs) {
            // Nearly every match ends here, with no way to guess its outcome:
            // choose without a jump.
            const std::size_t both = candidate ^ loser;
            const std::size_t change = theirs < mine ? both : 0;
            candidate ^= change;
            loser ^= change;
        } else if (!beats(heads_[candidate], heads_[loser])) {
            std::swap(candidate, loser);
        }
    }
    losers_[0] = candidate;
    taken_ = true;
}

}  // namespace tallowby
