#include "TwoWaySearch.h"

#include <algorithm>

namespace tallowby {

// Positions are unsigned: the critical point may be "before the first byte",
// written as SIZE_MAX, and split_ + 1 then wraps to 0 as intended.
std::size_t TwoWaySearch::MaximalSuffix(bool reversed, std::size_t& period) {
    const auto* n = reinterpret_cast<const unsigned char*>(needle_.data());
    const std::size_t length = needle_.size();
    std::size_t best = static_cast<std::size_t>(-1);
    std::size_t candidate = 0;
    std::size_t k = 1;
    period = 1;
    while (candidate + k < length) {
        ++steps_;
        const unsigned char a = n[best + k];
        const unsigned char b = n[candidate + k];
        if (a == b) {
            if (k == period) {
                candidate += period;
                k = 1;
            } else {
                ++k;
            }
        } else if (reversed ? a < b : a > b) {
            candidate += k;
            k = 1;
            period = candidate - best;
        } else {
            best = candidate++;
            k = period = 1;
        }
    }
    return best;
}

TwoWaySearch::TwoWaySearch(std::string_view needle) : needle_(needle) {
    if (needle_.empty()) {
        return;
    }
    std::size_t period = 1;
    std::size_t reversedPeriod = 1;
    const std::size_t split = MaximalSuffix(false, period);
    const std::size_t reversedSplit = MaximalSuffix(true, reversedPeriod);
    // The later of the two splits is a critical factorisation.
    if (reversedSplit + 1 > split + 1) {
        split_ = reversedSplit;
        period_ = reversedPeriod;
    } else {
        split_ = split;
        period_ = period;
    }
    // The needle is periodic when its left part recurs one period on.
    const std::size_t left = split_ + 1;
    periodic_ =
        period_ + left <= needle_.size() && needle_.compare(0, left, needle_, period_, left) == 0;
    steps_ += left;
    if (!periodic_) {
        // Never reached with the split before the first byte: an empty left
        // part always recurs.
        period_ = std::max(split_, needle_.size() - left) + 1;
    }
}

std::size_t TwoWaySearch::findIn(std::string_view haystack, std::size_t from) {
    const std::size_t m = needle_.size();
    if (from > haystack.size()) {
        return std::string_view::npos;
    }
    if (m == 0) {
        return from;
    }
    const auto* n = reinterpret_cast<const unsigned char*>(needle_.data());
    const auto* h = reinterpret_cast<const unsigned char*>(haystack.data());
    const std::size_t right = split_ + 1;
    // Bytes of the needle known to match at the current position (periodic
    // needles only): the prefix a shift by one period kept in place.
    std::size_t memory = 0;
    for (std::size_t at = from; haystack.size() - at >= m;) {
        ++steps_;
        std::size_t k = std::max(right, memory);
        while (k < m && n[k] == h[at + k]) {
            ++k;
            ++steps_;
        }
        if (k < m) {
            at += k - split_;  // k - (right - 1): past the mismatch
            memory = 0;
            continue;
        }
        k = right;
        while (k > memory && n[k - 1] == h[at + k - 1]) {
            --k;
            ++steps_;
        }
        if (k <= memory) {
            return at;
        }
        at += period_;
        memory = periodic_ ? m - period_ : 0;
    }
    return std::string_view::npos;
}

}  // namespace tallowby
