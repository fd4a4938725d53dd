#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tallowby {

// The rank of each text in ascending CompareIgnoringCase order: 0 for the
// smallest, texts equal when folded share a rank, ranks without gaps. The
// result has one rank per text, in the order given; the texts are only read.
std::vector<std::uint32_t> FoldedRanks(const std::vector<std::string_view>& texts);

}  // namespace tallowby
