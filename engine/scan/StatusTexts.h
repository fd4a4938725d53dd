#pragma once

#include <string>
#include <string_view>

#include "engine/tally/ScanTypes.h"

namespace tallowby {

// The status texts and the statistics message of a scan, from its counters.
// "Finished F files : Scanned L lines : found K links", after each file.
std::string FinishedStatusText(const ScanCounters& c);
// "COMPLETE: " and the five statistics figures, joined by " : ".
std::string CompleteStatusText(const ScanCounters& c);
// The same five figures, one a line (CRLF between them), for the box.
std::string StatisticsMessageText(const ScanCounters& c);
// What the lines read by their fields came to, for a scan that read lines
// so (empty for one that did not): the lines of each layout seen, "L lines
// of no known layout", "N lines without a referrer", "S self-referrals",
// "C crawler lines" (with " (X left out)" when `crawlersLeftOut`), joined
// by `between`, then one "F: no line of a known layout" per such file.
std::string FieldStatisticsText(const FieldCounts& f, bool crawlersLeftOut,
                                std::string_view between);
inline constexpr const char* kStatisticsTitle = "Scan Finished";
inline constexpr const char* kCancelledStatus = "Cancelled";
inline constexpr const char* kCollapseStatus = "Removing Duplicates...  Please Wait.";

}  // namespace tallowby
