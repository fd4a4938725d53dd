#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tallowby {

// Counters of one scan, reset when a scan starts. All 64-bit: logs of any
// size are counted exactly.
struct ScanCounters {
    std::int64_t filesDone = 0;          // selected files read to their end
    std::int64_t linesScanned = 0;       // lines read, over all files
    std::int64_t linksFound = 0;         // lines that yielded a referrer
    std::int64_t duplicatesRemoved = 0;  // entries deleted by the collapse
    std::int64_t spamHidden = 0;         // referring lines left out as known referrer spam
    bool cancelRequested = false;        // set by Stop, tested before each line

    // The "unique links" figure: entries of the work list after the scan.
    std::int64_t uniqueLinks() const { return linksFound - duplicatesRemoved; }
};

// One of the statistics figures of a scan: its value, the label that follows
// it in texts (" files done") and its key in structured output ("filesDone").
struct StatisticsFigure {
    std::int64_t value;
    std::string_view label;
    std::string_view key;
};

// The five statistics figures, in the order every text and output gives them.
inline std::array<StatisticsFigure, 5> StatisticsFigures(const ScanCounters& c) {
    return {{
        {c.filesDone, " files done", "filesDone"},
        {c.linesScanned, " lines scanned", "linesScanned"},
        {c.linksFound, " links found", "linksFound"},
        {c.duplicatesRemoved, " duplicates removed", "duplicatesRemoved"},
        {c.uniqueLinks(), " unique links", "uniqueLinks"},
    }};
}

}  // namespace tallowby
