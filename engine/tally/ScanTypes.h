#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/match/LogFields.h"

namespace tallowby {

// What the lines read by their fields came to (the referrer field of known
// log layouts): all 0 when no line was read so.
struct FieldCounts {
    // Lines of each layout, by LogLayout (Unknown: of no known layout).
    std::array<std::int64_t, kLogLayoutCount> layouts{};
    std::int64_t noReferrer = 0;       // lines of a known layout without a referrer
    std::int64_t selfReferrals = 0;    // lines whose referrer is of the own domain
    std::int64_t crawlers = 0;         // lines whose user agent is a crawler's
    std::int64_t crawlersLeftOut = 0;  // of those, left out of the list
    // Files read to their end in which no line was of a known layout.
    std::vector<std::string> filesOfNoKnownLayout;

    // Lines read by their fields.
    std::int64_t lines() const {
        std::int64_t n = 0;
        for (std::int64_t k : layouts) {
            n += k;
        }
        return n;
    }
    std::int64_t knownLayoutLines() const {
        return lines() - layouts[static_cast<int>(LogLayout::Unknown)];
    }
    // One line's note (field_note in LineMatch.h); a note of 0 counts nowhere.
    void add(std::uint8_t note);
    bool operator==(const FieldCounts&) const = default;
};

// Counters of one scan, reset when a scan starts. All 64-bit: logs of any
// size are counted exactly.
struct ScanCounters {
    std::int64_t filesDone = 0;          // selected files read to their end
    std::int64_t linesScanned = 0;       // lines read, over all files
    std::int64_t linksFound = 0;         // lines that yielded a referrer
    std::int64_t duplicatesRemoved = 0;  // entries deleted by the collapse
    std::int64_t spamHidden = 0;         // referring lines left out as known referrer spam
    bool cancelRequested = false;        // set by Stop, tested before each line
    FieldCounts fields;                  // lines read by their fields

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
