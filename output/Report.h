#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/classify/Sites.h"
#include "engine/read/FileSystem.h"
#include "engine/read/PageSniff.h"
#include "engine/tally/ScanTypes.h"
#include "engine/tally/WorkList.h"
#include "output/ExportPage.h"
#include "output/TextOutput.h"

namespace tallowby {

// The report: one self-contained HTML page of what a scan found, to read in
// any browser and to send on. No file, font or address outside it is
// needed; the chart is inline SVG; every table stands in the HTML, so it
// reads with scripts off; a small inline script only sorts the tables on a
// click on a heading. Its sections, in order, each a <section> with its id:
//   "summary"    the figures (table#figures), the options used
//                (table#options) and, with the referrer field read, what
//                its lines came to (ul#field-figures);
//   "sites"      the sites with most clicks as a bar chart
//                (figure#sites-chart) and every site (table#sites-table);
//   ReportInput::moreSections, in their order;
//   "referrers"  every referrer (table#referrers-table).
// A nav#contents before them links to each.

// The bytes a page starts with, and the tag within its first kilobyte
// that tells the pages this program writes: the scan's sniff knows them
// by the same constants (engine/read/PageSniff.h).
inline constexpr std::string_view kReportDoctype = kReportStart;
// Bars in the chart: the sites with most clicks. Every site is in the table.
inline constexpr std::size_t kReportChartBars = 20;

// The scan options a report names.
struct ReportOptions {
    std::string ownDomain;
    bool collapse = true;  // equal referrers made one row, with its clicks
    bool typeCodes = true;
    bool https = false;
    bool quoted = false;
    bool hideSpam = false;
    std::string spamList;  // the list's file; empty: the built-in list
    bool fields = false;   // the referrer field of known log formats
    bool noCrawlers = false;
    std::string crawlerList;  // the list's file; empty: the built-in list
};

// A section that a view adds to the report: `body` writes what follows its
// heading, through the pieces of output/ReportParts.h.
struct ReportSection {
    std::string id;     // the <section>'s id and the contents' anchor
    std::string title;  // its heading and its entry in the contents
    std::function<void(TextOutput&)> body;
};

// What a report is written from. `list` and `sites` must not change while
// it is written.
struct ReportInput {
    const WorkList& list;
    const std::vector<Site>& sites;  // GroupBySite(list)
    const ScanCounters& counters;
    ReportOptions options;
    // Written after "sites" and before "referrers", in this order.
    std::vector<ReportSection> moreSections = {};
    // Threads that format the rows of a long table, as WriteRowBlocks takes them.
    unsigned threads = 1;
};

// Appends the whole page to `out`. Sites and referrers come most clicks
// first (equal clicks in list order); a referrer is a link only when it
// starts with "http://" or "https://" (any letter case), its target taken
// as the export page takes it. Clicks are plain numbers, with their share
// of all clicks (AppendShare). Every text from a log goes through
// AppendReportText.
void AppendReport(TextOutput& out, const ReportInput& report);

// Writes the page to `path` as the export page is written: through a
// temporary file renamed over `path` only when all was written, so a failure
// leaves an earlier file whole. Never throws.
ExportResult WriteReport(FileSystem& fs, const std::string& path, const ReportInput& report);

}  // namespace tallowby
