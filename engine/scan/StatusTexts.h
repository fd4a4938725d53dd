#pragma once

#include <string>

#include "engine/tally/ScanTypes.h"

namespace tallowby {

// The status texts and the statistics message of a scan, from its counters.
// "Finished F files : Scanned L lines : found K links", after each file.
std::string FinishedStatusText(const ScanCounters& c);
// "COMPLETE: " and the five statistics figures, joined by " : ".
std::string CompleteStatusText(const ScanCounters& c);
// The same five figures, one a line (CRLF between them), for the box.
std::string StatisticsMessageText(const ScanCounters& c);
inline constexpr const char* kStatisticsTitle = "Scan Finished";
inline constexpr const char* kCancelledStatus = "Cancelled";
inline constexpr const char* kCollapseStatus = "Removing Duplicates...  Please Wait.";

}  // namespace tallowby
