#pragma once

// The cells of the results rows: how what a scan counted reads in the list,
// on the command line and in the files written. The engine hands over its
// entries (the work list, the sites); their texts are made here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/classify/Sites.h"
#include "engine/match/Rules.h"
#include "engine/tally/WorkList.h"

namespace tallowby {

// The code's display text ("JPG", "RM", ..., "HTM", "BOT"). Never null.
const char* TypeCodeName(TypeCode code);

// Room for any count's digits.
using CountBuffer = std::array<char, 24>;

// A count as the "Clicks" (and "Pages") cells show it: decimal, padded with
// "0" on the left to seven digits; a longer count keeps all its digits. The
// view points into `buffer` and stays valid while it does. A negative count
// (which no list holds) is written as AppendNumber writes it.
std::string_view CountDigits(std::int64_t count, CountBuffer& buffer);
std::string CountDigits(std::int64_t count);

// The count prefix a collapsed entry's text starts with: CountDigits, then "|".
std::string CountPrefix(std::int64_t count);

// The text of a work-list entry as the list showed it: the referrer, or
// after the collapse its count prefix followed by the referrer.
std::string EntryText(const WorkList::Item& item);

// One row of the results list: the "Type", "Clicks" and "Referrer" cells.
// `referrer` holds the bytes exactly as read from the log.
struct ReferrerEntry {
    std::string typeCode;  // a type code, "BOT", or empty while type codes are off
    std::string clicks;    // seven-digit count after the collapse, else empty
    std::string referrer;  // the referring address as cut from the line
};

// The three cells of a results row as views, for filling a list without
// building a ReferrerEntry per row. How long they stay valid is said where
// they are handed out. A row of sites holds its "Pages", "Clicks" and "Site"
// cells in the same three places.
struct ResultCells {
    std::string_view typeCode;
    std::string_view clicks;
    std::string_view referrer;
};

// The cells of the row of `item`: the type code (empty with `typeCodes`
// off), the count as seven digits (empty before a collapse) and the
// referrer. `clicks` is written into `buffer`; the views stay valid while
// `buffer` and the list stay unchanged.
using ClicksBuffer = CountBuffer;
ResultCells ResultCellsOf(const WorkList::Item& item, bool typeCodes, ClicksBuffer& buffer);

// The cells of the row of `site`: its entries as "Pages", its clicks, its
// host. The counts are written into the buffers; the views stay valid while
// they and `site` stay unchanged.
ResultCells SiteCellsOf(const Site& site, CountBuffer& pages, CountBuffer& clicks);

// The results rows of the work list, in its order. With `typeCodes` off the
// "Type" cells stay empty.
std::vector<ReferrerEntry> BuildResultRows(const WorkList& list, bool typeCodes);
// The rows of the entries [from, from + count), clipped to the list.
std::vector<ReferrerEntry> BuildResultRows(const WorkList& list, bool typeCodes, std::size_t from,
                                           std::size_t count);

}  // namespace tallowby
