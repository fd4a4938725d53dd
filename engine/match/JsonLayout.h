#pragma once

#include <simdjson.h>

#include <string>
#include <string_view>
#include <vector>

#include "LogFields.h"

namespace tallowby {

// The fields of JSON log lines, read with simdjson's On-Demand parser from
// a padded copy of the line that the reader keeps from one line to the next.
class JsonLayout {
public:
    JsonLayout();

    // The fields of `text` (a line from its "{", of at most
    // FieldReader::kMaxJsonLine bytes, else rejected). True with `out` filled
    // (layout Json) when the parser accepts the line as one object with
    // nothing after it; false, `out` untouched, otherwise. Values that are
    // read are checked; the parser skips the others without judging them.
    // A line whose bytes are not UTF-8 is read with each byte from 0x80 up
    // standing for itself. Decoded strings live in the parser or in this
    // object until the next read.
    bool read(std::string_view text, LineFields& out);

private:
    enum class Parse { Read, Rejected, NotUtf8 };
    // The fields of the `size` bytes copied, their high bytes mapped or not.
    Parse parse(std::size_t size, bool bytesMapped, LineFields& out);
    // The padded copy of `text`, each byte from 0x80 up as a character of
    // its own where `mapBytes` says so.
    void copy(std::string_view text, bool mapBytes);
    // A decoded string with those characters back as the bytes they stand for.
    std::string_view unmapped(std::string_view decoded, std::string& into);

    simdjson::ondemand::parser parser_;
    std::vector<char> padded_;
    std::string referrer_, agent_;  // the unmapped strings
};

}  // namespace tallowby
