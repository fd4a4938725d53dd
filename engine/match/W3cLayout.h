#pragma once

#include <string_view>

#include "LogFields.h"

namespace tallowby {

// True when `line` has the shape of a W3C directive: "#", a name of
// letters and "-", then ":".
bool IsW3cDirective(std::string_view line);

// The fields of a W3C extended line read by `fields` (count > 0). The
// line's values are separated by tabs when it holds a tab (as some content
// networks write them), by spaces otherwise, one separator between two
// values; a value that starts with a double quote runs to the next quote
// followed by a separator or the line's end, and is read without its
// quotes. True with `out` filled when the line has exactly `fields.count`
// values; false, `out` untouched, otherwise.
bool ReadW3c(std::string_view line, const W3cFields& fields, LineFields& out);

}  // namespace tallowby
