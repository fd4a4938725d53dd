#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tallowby {

// `text` made safe to show in a message: control bytes (C0, DEL and the C1
// controls U+0080..U+009F written in UTF-8) and bytes that are not UTF-8 are
// written as \xNN (lower-case hex), so a file name or a log's text can never
// move the cursor, retitle or clear a terminal. Everything else, valid UTF-8
// included, stays as it is.
std::string EscapeControlBytes(std::string_view text);

// Length of the well-formed UTF-8 sequence at the start of `s` (not empty),
// or 0 when it starts ill-formed; `invalid` then receives the length of the
// maximal ill-formed subpart (at least 1), which a writer replaces by one
// U+FFFD. The message escapes and the JSON writer share this one reading.
std::size_t Utf8Sequence(std::string_view s, std::size_t& invalid);

}  // namespace tallowby
