#pragma once

// The line and referrer rules written out the plain way, one step at a time,
// as the yardstick every test, fuzz target and benchmark checks the engine's
// fast versions against. Nothing here calls the engine's rule code: a rule
// that is wrong there shows up as a difference.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/match/Rules.h"

namespace tallowby::testing {

// --- Lines: a line ends at CR LF, CR or LF; a last piece without an end is a line.

// The lines of `text` without their ends. With `complete` set, a last piece
// without a line end is left out (it was not read to its end).
std::vector<std::string> SplitLines(std::string_view text, bool complete = false);
// How many lines `text` holds.
std::int64_t CountLines(std::string_view text);
// The offsets at which the lines of `text` begin.
std::vector<std::size_t> LineStarts(std::string_view text);

// --- Searches, ASCII letter case ignored, bytes above ASCII compared exactly.

std::string Lowered(std::string_view text);
// The first place of `needle` in `haystack`, or npos; an empty needle is at 0.
std::size_t ReferenceFind(std::string_view haystack, std::string_view needle);
// `text` with every occurrence of `part` deleted, left to right, no overlap.
std::string DeleteAll(std::string_view text, std::string_view part, bool ignoreCase = false);

// --- The referrer rules.

// Where the line's address begins: the first "http://" (or, with rules.https,
// also "https://"), or npos.
std::size_t ReferenceAddress(std::string_view line, const ReferrerRules& rules = {});
// The line has an address and does not contain `domain` (an empty domain is
// in every line).
bool ReferenceHasReferrer(std::string_view line, std::string_view domain,
                          const ReferrerRules& rules = {});

struct ReferenceCut {
    std::size_t position = std::string_view::npos;  // npos: no address
    std::size_t length = 0;
    bool bot = false;
};
// The referrer's place: to the first ")" after the address (left out), else
// to and including the first space, else to the end; with rules.quoted, an
// address right after a quote runs to the next quote without a backslash
// before it. Bot: cut at ")" with more "(" than ")" before the address.
ReferenceCut ReferenceCutOf(std::string_view line, const ReferrerRules& rules = {});

struct ReferenceExtraction {
    std::string referrer;
    std::string remainder;  // the line without every occurrence of the referrer
    bool bot = false;
};
ReferenceExtraction ReferenceExtract(std::string_view line, const ReferrerRules& rules = {});

// The type-code table as written, paired spellings and all: the first row
// with a pattern in `remainder` (letter case ignored), else HTM.
TypeCode ReferenceTypeCode(std::string_view remainder);

// `text` without the five type tags (each pass over the last one's result,
// letter case ignored), then without its first space.
std::string ReferenceStripTags(std::string_view text);

}  // namespace tallowby::testing
