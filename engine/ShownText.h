#pragma once

#include <string>
#include <string_view>

namespace tallowby {

// `text` made safe to show in a message: control bytes (C0, DEL and the C1
// controls U+0080..U+009F written in UTF-8) and bytes that are not UTF-8 are
// written as \xNN (lower-case hex), so a file name or a log's text can never
// move the cursor, retitle or clear a terminal. Everything else, valid UTF-8
// included, stays as it is.
std::string EscapeControlBytes(std::string_view text);

}  // namespace tallowby
