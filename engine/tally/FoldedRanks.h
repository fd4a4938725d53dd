#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace tallowby {

// The rank of each text in ascending CompareIgnoringCase order: 0 for the
// smallest, texts equal when folded share a rank, ranks without gaps. The
// result has one rank per text, in the order given; the texts are only read.
//
// A long list is ranked on two threads when there are two cores. A caller
// with other work that does not need the ranks may pass it as `alongside`:
// it runs on the calling thread while the ranking starts on the other one,
// and the calling thread then joins the ranking. An exception from
// `alongside` is passed on once the ranking is over.
std::vector<std::uint32_t> FoldedRanks(const std::vector<std::string_view>& texts,
                                       const std::function<void()>& alongside = {});

}  // namespace tallowby
