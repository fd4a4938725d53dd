#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tallowby {

// Exact byte search in time linear in the haystack, whatever the needle and
// the haystack hold (the two-way method: the needle is split at a critical
// point, the right part is matched left to right, the left part right to
// left, and a periodic needle remembers how much of its period matched).
// No table grows with the needle: a needle of megabytes costs only its copy.
class TwoWaySearch {
public:
    explicit TwoWaySearch(std::string_view needle);

    // Position of the first occurrence of the needle in `haystack` at or
    // after `from`, or npos. An empty needle is found at `from` (npos past
    // the end).
    std::size_t findIn(std::string_view haystack, std::size_t from = 0);

    // Bytes compared and positions tried so far, setup included: the work
    // the searches cost, for checks that it stays linear.
    std::size_t steps() const { return steps_; }

private:
    std::size_t MaximalSuffix(bool reversed, std::size_t& period);

    std::string needle_;
    std::size_t split_ = 0;  // the right part starts at split_ + 1 (wraps for -1)
    std::size_t period_ = 1;
    bool periodic_ = false;
    std::size_t steps_ = 0;
};

}  // namespace tallowby
