#pragma once

#include <string_view>

#include "LogFields.h"

namespace tallowby {

// The fields of a line of the combined family: NCSA combined (fields after
// the user agent allowed), the same with a virtual host in front, an object
// store's server access log, and NCSA common. True with `out` filled when
// the line is one of them; false, `out` untouched, otherwise. The line has
// no line end, CR or byte-order mark.
bool ReadCombined(std::string_view line, LineFields& out);

}  // namespace tallowby
