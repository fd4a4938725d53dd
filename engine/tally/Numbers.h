#pragma once

// How the program writes numbers: every figure and count in texts, rows and
// files goes through here.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tallowby {

// Appends `value` in decimal ("-" first when negative).
void AppendNumber(std::string& out, std::int64_t value);

// Room for any count's digits.
using CountBuffer = std::array<char, 24>;

// A count as the "Clicks" (and "Pages") cells show it: decimal, padded with
// "0" on the left to seven digits; a longer count keeps all its digits. The
// view points into `buffer` and stays valid while it does. A negative count
// (which no list holds) is written as AppendNumber writes it.
std::string_view CountDigits(std::int64_t count, CountBuffer& buffer);
std::string CountDigits(std::int64_t count);

}  // namespace tallowby
