#pragma once

// How the engine writes its figures: every figure in its status texts,
// statistics and notes goes through here.

#include <cstdint>
#include <string>

namespace tallowby {

// Appends `value` in decimal ("-" first when negative).
void AppendNumber(std::string& out, std::int64_t value);

}  // namespace tallowby
