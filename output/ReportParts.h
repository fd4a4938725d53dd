#pragma once

// The pieces a report page is built of: its text escaping, the share of a
// figure, sortable tables and a horizontal bar chart drawn as inline SVG.
// Every section of the report writes through these, so a section added
// later looks and sorts like the others.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "output/TextOutput.h"

namespace tallowby {

// `text` as HTML text or as the value of a double- or single-quoted
// attribute, in the page or inside its SVG: & < > " ' as &amp; &lt; &gt;
// &quot; &#39;; valid UTF-8 copied; each ill-formed UTF-8 sequence (each
// maximal invalid subpart) and each control character but tab, LF and CR
// (C0, DEL and C1) written as U+FFFD, so the page is valid UTF-8 whatever a
// log held. Long texts are handed on in pieces as they are escaped.
void AppendReportText(TextOutput& out, std::string_view text);
void AppendReportText(std::string& out, std::string_view text);

// `part` as a share of `whole` in percent with one decimal, rounded half
// up, and "%": 1 of 8 is "12.5%", 1 of 16 "6.3%", 2 of 3 "66.7%". Worked out
// in whole numbers, so no locale changes it. A `whole` of 0 or less gives "0.0%".
void AppendShare(std::string& out, std::int64_t part, std::int64_t whole);

// A column of a report table: its heading and whether it holds numbers
// (right-aligned, and sorted most first on the first click).
struct ReportColumn {
    std::string_view heading;
    bool number = false;
};

// Opens a table that the page's script sorts by a click on (or Enter on) a
// heading: `<table id="ID" class="sortable">`, its headings and `<tbody>`.
// The column `sortedBy` (or none, when past the last) is marked as sorted
// the way the rows come: descending for a number column, else ascending.
// Rows follow as `<tr><td>…</td>…</tr>`, each cell written with
// AppendReportText, a number cell with class "num".
void AppendTableStart(TextOutput& out, std::string_view id,
                      const std::vector<ReportColumn>& columns, std::size_t sortedBy);
// Closes what AppendTableStart opened.
void AppendTableEnd(TextOutput& out);

// One bar of a chart: what it stands for, and its figure.
struct ChartBar {
    std::string_view label;
    std::int64_t value = 0;
};

// A horizontal bar chart as inline SVG, one bar per entry in the order
// given (the first on top), each bar's length in proportion to the largest
// value, its label on the left (cut with "…" past 40 bytes, whole in the
// bar's tooltip) and its figure beyond its end. `title` names the chart for
// assistive technology. Each bar is a `<rect class="bar">`. No bars: nothing.
void AppendBarChart(TextOutput& out, std::string_view title, const std::vector<ChartBar>& bars);

}  // namespace tallowby
