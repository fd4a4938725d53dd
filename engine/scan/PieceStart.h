#pragma once

#include <cstdint>
#include <string>

#include "engine/match/LogFields.h"

namespace tallowby {

// The W3C fields in force where the piece of the file at `path` that starts
// at byte `start` begins (RangeSource.h): those of the last "#Fields:"
// directive on a line that begins before the piece. Only a file whose first
// line is a directive (a "#", after a byte-order mark or not) is read for
// them; any other file, a piece from 0 and a file that cannot be read have
// none.
W3cFields W3cFieldsBeforePiece(const std::string& path, std::uint64_t start);

}  // namespace tallowby
