#include "Report.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <memory>
#include <numeric>

#include "engine/match/Rules.h"
#include "engine/scan/StatusTexts.h"
#include "engine/tally/Numbers.h"
#include "output/ReportParts.h"
#include "output/RowBlocks.h"
#include "output/RowCells.h"

namespace tallowby {

namespace {

constexpr std::string_view kStyle =
    "body{font-family:system-ui,sans-serif;margin:2em auto;max-width:60em;padding:0 1em;"
    "color:#1d1d1f;background:#fff;line-height:1.4}\n"
    "h1{font-size:1.6em;margin-bottom:0}h2{margin-top:2em;border-bottom:1px solid #ccc}\n"
    "nav ul{padding:0;list-style:none}nav li{display:inline;margin-right:1.5em}\n"
    "table{border-collapse:collapse;margin:1em 0}\n"
    "th,td{padding:.2em .6em;text-align:left;vertical-align:top;border-bottom:1px solid #e4e4e4}\n"
    "thead th{background:#f2f2f2;cursor:pointer;white-space:nowrap}\n"
    "th[aria-sort=ascending]::after{content:\" \\25B2\"}"
    "th[aria-sort=descending]::after{content:\" \\25BC\"}\n"
    ".num{text-align:right;font-variant-numeric:tabular-nums}\n"
    "#referrers-table td:last-child,#sites-table td:first-child{word-break:break-all}\n"
    "figure{margin:1em 0}svg.chart{max-width:100%;height:auto}.chart .bar{fill:#3b6ea5}\n"
    ".chart text{font:12px system-ui,sans-serif;fill:#1d1d1f}\n";

// Sorts a table on a click on (or Enter on) one of its headings: numbers
// most first, text A to Z; again, the other way round.
constexpr std::string_view kScript =
    "document.querySelectorAll(\"table.sortable\").forEach(function (table) {\n"
    "  var heads = Array.prototype.slice.call(table.tHead.rows[0].cells);\n"
    "  heads.forEach(function (th, column) {\n"
    "    var number = th.classList.contains(\"num\");\n"
    "    function sort() {\n"
    "      var now = th.getAttribute(\"aria-sort\");\n"
    "      var next = now === \"descending\" ? \"ascending\" : now === \"ascending\" ?\n"
    "          \"descending\" : number ? \"descending\" : \"ascending\";\n"
    "      var sign = next === \"ascending\" ? 1 : -1;\n"
    "      var body = table.tBodies[0];\n"
    "      var rows = Array.prototype.map.call(body.rows, function (row, at) {\n"
    "        var text = row.cells[column].textContent;\n"
    "        return {row: row, at: at, key: number ? parseFloat(text) || 0 : text.toLowerCase()};\n"
    "      });\n"
    "      rows.sort(function (a, b) {\n"
    "        return a.key < b.key ? -sign : a.key > b.key ? sign : a.at - b.at;\n"
    "      });\n"
    "      var sorted = document.createDocumentFragment();\n"
    "      rows.forEach(function (r) { sorted.appendChild(r.row); });\n"
    "      body.appendChild(sorted);\n"
    "      heads.forEach(function (h) { h.removeAttribute(\"aria-sort\"); });\n"
    "      th.setAttribute(\"aria-sort\", next);\n"
    "    }\n"
    "    th.tabIndex = 0;\n"
    "    th.addEventListener(\"click\", sort);\n"
    "    th.addEventListener(\"keydown\", function (e) {\n"
    "      if (e.key === \"Enter\" || e.key === \" \") { e.preventDefault(); sort(); }\n"
    "    });\n"
    "  });\n"
    "});\n";

constexpr std::string_view kNoHost = "(no host)";

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           FindIgnoringCase(text.substr(0, prefix.size()), prefix) == 0;
}

// A referrer a browser may follow from the page: no javascript: or data:
// address from a log ever becomes a link.
bool IsWebAddress(std::string_view referrer) {
    return StartsWithIgnoringCase(referrer, "http://") ||
           StartsWithIgnoringCase(referrer, "https://");
}

// A row of a two-column table of the summary.
void AppendPair(TextOutput& out, std::string_view name, std::string_view value) {
    out.buffer() += "<tr><th scope=\"row\">";
    AppendReportText(out, name);
    out.buffer() += "</th><td>";
    AppendReportText(out, value);
    out.buffer() += "</td></tr>\n";
}

void AppendFigure(TextOutput& out, std::string_view name, std::int64_t value) {
    out.buffer() += "<tr><th scope=\"row\">";
    AppendReportText(out, name);
    out.buffer() += "</th><td class=\"num\">";
    AppendNumber(out.buffer(), value);
    out.buffer() += "</td></tr>\n";
}

// The list a filter used: its file, or the built-in one.
std::string ListName(std::string_view file) {
    return file.empty() ? std::string("the built-in list") : "the list " + std::string(file);
}

void AppendSummary(TextOutput& out, const ReportInput& report) {
    const ReportOptions& o = report.options;
    out.buffer() += "<table id=\"figures\"><tbody>\n";
    for (const StatisticsFigure& figure : StatisticsFigures(report.counters)) {
        // " files done" names the figure "Files done".
        std::string name(figure.label.substr(1));
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
        AppendFigure(out, name, figure.value);
    }
    if (o.hideSpam) {
        AppendFigure(out, "Referring lines left out as spam", report.counters.spamHidden);
    }
    out.buffer() += "</tbody></table>\n<h3>Options</h3>\n<table id=\"options\"><tbody>\n";
    AppendPair(out, "Own domain", o.ownDomain);
    AppendPair(out, "Duplicates",
               o.collapse ? "collapsed: one row per referrer, with its clicks"
                          : "kept: one row per referring line");
    AppendPair(out, "Type codes", o.typeCodes ? "shown" : "left out");
    AppendPair(out, "Referrers read from",
               o.fields ? "the referrer field of known log formats (--fields)"
                        : "any line with an address, by the written rules");
    const std::string_view writtenOnly = o.fields ? " (no effect with the referrer field)" : "";
    AppendPair(out, "https:// referrers",
               std::string(o.https ? "found too" : "not found") + std::string(writtenOnly));
    AppendPair(out, "Quoted referrers",
               std::string(o.quoted ? "end at their closing quote" : "cut by the default rule") +
                   std::string(writtenOnly));
    AppendPair(out, "Referrer spam", o.hideSpam ? "hidden, by " + ListName(o.spamList) : "listed");
    AppendPair(out, "Crawlers",
               !o.fields      ? std::string("told apart only with the referrer field")
               : o.noCrawlers ? "left out, by " + ListName(o.crawlerList)
                              : std::string("listed, their lines counted"));
    out.buffer() += "</tbody></table>\n";
    if (!o.fields) {
        return;
    }
    out.buffer() += "<h3>Referrer field</h3>\n<ul id=\"field-figures\">\n";
    const std::string text = FieldStatisticsText(report.counters.fields, o.noCrawlers, "\n");
    for (std::size_t from = 0; from < text.size();) {
        const std::size_t end = std::min(text.find('\n', from), text.size());
        out.buffer() += "<li>";
        AppendReportText(out, std::string_view(text).substr(from, end - from));
        out.buffer() += "</li>\n";
        from = end + 1;
    }
    out.buffer() += "</ul>\n";
}

// Indices of `count` rows with the figures `value(i)`, most first, equal
// figures in their order. A list holds fewer than 2^31 entries, so an index
// takes four bytes.
using RowOrder = std::vector<std::uint32_t>;
template <typename Value>
RowOrder MostFirst(std::size_t count, Value value) {
    RowOrder order(count);
    std::iota(order.begin(), order.end(), std::uint32_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&value](std::uint32_t a, std::uint32_t b) { return value(a) > value(b); });
    return order;
}

void AppendSites(TextOutput& out, const ReportInput& report, std::int64_t clicks) {
    const std::vector<Site>& sites = report.sites;
    const RowOrder order =
        MostFirst(sites.size(), [&sites](std::uint32_t i) { return sites[i].clicks; });
    if (sites.empty()) {
        out.buffer() += "<p>No referring sites.</p>\n";
    } else {
        std::vector<ChartBar> bars;
        for (std::size_t k = 0; k < order.size() && k < kReportChartBars; ++k) {
            const Site& site = sites[order[k]];
            bars.push_back(
                {site.host.empty() ? kNoHost : std::string_view(site.host), site.clicks});
        }
        out.buffer() += "<figure id=\"sites-chart\">\n";
        AppendBarChart(out, "Referring sites with most clicks", bars);
        out.buffer() += "<figcaption>The ";
        AppendNumber(out.buffer(), static_cast<std::int64_t>(bars.size()));
        out.buffer() += " sites with most clicks, of ";
        AppendNumber(out.buffer(), static_cast<std::int64_t>(sites.size()));
        out.buffer() += ".</figcaption>\n</figure>\n";
    }
    AppendTableStart(out, "sites-table",
                     {{"Site"}, {"Pages", true}, {"Clicks", true}, {"Share", true}}, 2);
    for (const std::uint32_t i : order) {
        const Site& site = sites[i];
        std::string& s = out.buffer();
        s += "<tr><td>";
        AppendReportText(out, site.host.empty() ? kNoHost : std::string_view(site.host));
        s += "</td><td class=\"num\">";
        AppendNumber(s, site.entries);
        s += "</td><td class=\"num\">";
        AppendNumber(s, site.clicks);
        s += "</td><td class=\"num\">";
        AppendShare(s, site.clicks, clicks);
        s += "</td></tr>\n";
        out.spill();
    }
    AppendTableEnd(out);
}

// One row of the referrers table.
void AppendReferrerRow(TextOutput& out, const WorkList::Item& item, bool typeCodes,
                       std::int64_t clicks) {
    std::string& s = out.buffer();
    s += "<tr>";
    if (typeCodes) {
        s += "<td>";
        s += TypeCodeName(item.bot ? TypeCode::BOT : item.type);
        s += "</td>";
    }
    const std::int64_t count = std::max<std::int64_t>(item.count, 1);
    s += "<td class=\"num\">";
    AppendNumber(s, count);
    s += "</td><td class=\"num\">";
    AppendShare(s, count, clicks);
    s += "</td><td>";
    const bool link = IsWebAddress(item.referrer);
    if (link) {
        s += "<a href=\"";
        AppendLinkTarget(out, item.referrer, AppendReportText);
        out.buffer() += "\">";
    }
    AppendReportText(out, item.referrer);
    out.buffer() += link ? "</a></td></tr>\n" : "</td></tr>\n";
    out.spill();
}

void AppendReferrers(TextOutput& out, const ReportInput& report, const RowOrder& order,
                     std::int64_t clicks) {
    const WorkList& list = report.list;
    const bool typeCodes = report.options.typeCodes;
    std::vector<ReportColumn> columns;
    if (typeCodes) {
        columns.push_back({"Type"});
    }
    columns.insert(columns.end(), {{"Clicks", true}, {"Share", true}, {"Referrer"}});
    AppendTableStart(out, "referrers-table", columns, typeCodes ? 1 : 0);
    // Rows far from each other in the list may be formatted on several
    // threads at once; each row's cells are escaped into its block.
    WriteRowBlocks(out, order.size(), report.threads, [&](TextOutput& to, const RowBlock& block) {
        const std::size_t end = std::min(block.to, order.size());
        for (std::size_t k = block.from; k < end; ++k) {
            const WorkList::Item item = list.at(order[k]);
            // The referrer stands twice: as the link and as its text.
            if (block.budget != RowBlock::kUnbounded &&
                to.held() + 2 * item.referrer.size() > block.budget) {
                return k;
            }
            AppendReferrerRow(to, item, typeCodes, clicks);
        }
        return end;
    });
    AppendTableEnd(out);
}

void AppendSectionStart(TextOutput& out, std::string_view id, std::string_view title) {
    out.buffer() += "<section id=\"";
    AppendReportText(out, id);
    out.buffer() += "\">\n<h2>";
    AppendReportText(out, title);
    out.buffer() += "</h2>\n";
}

}  // namespace

void AppendReport(TextOutput& out, const ReportInput& report) {
    const WorkList& list = report.list;
    // The rows in report order, and every click of them: taking each entry
    // once here also works out the list's order before any thread reads it.
    std::vector<std::int64_t> counts(list.size());
    std::int64_t clicks = 0;
    for (WorkList::Reader reader = list.reader(); reader.index() < list.size();) {
        const std::size_t at = reader.index();
        counts[at] = std::max<std::int64_t>(reader.next().count, 1);
        clicks += counts[at];
    }
    RowOrder order = MostFirst(counts.size(), [&counts](std::uint32_t i) { return counts[i]; });
    counts = {};

    std::vector<ReportSection> sections = {
        {"summary", "Summary", [&](TextOutput& to) { AppendSummary(to, report); }},
        {"sites", "Referring sites", [&](TextOutput& to) { AppendSites(to, report, clicks); }}};
    sections.insert(sections.end(), report.moreSections.begin(), report.moreSections.end());
    sections.push_back({"referrers", "Referrers", [&](TextOutput& to) {
                            to.buffer() +=
                                "<p>Every referrer, most clicks first; a click on a heading "
                                "sorts the table.</p>\n";
                            AppendReferrers(to, report, order, clicks);
                        }});

    out.buffer() += kReportDoctype;
    out.buffer() += "\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    out.buffer() += kReportGeneratorTag;
    out.buffer() +=
        "\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    const std::string& domain = report.options.ownDomain;
    out.buffer() += "Referrers";
    if (!domain.empty()) {
        out.buffer() += " of ";
        AppendReportText(out, domain);
    }
    out.buffer() += "</title>\n<style>\n";
    out.buffer() += kStyle;
    out.buffer() += "</style>\n</head>\n<body>\n<header>\n<h1>Referrers";
    if (!domain.empty()) {
        out.buffer() += " of ";
        AppendReportText(out, domain);
    }
    out.buffer() += "</h1>\n<p>A report by Tallowby</p>\n</header>\n<nav id=\"contents\"><ul>\n";
    for (const ReportSection& section : sections) {
        out.buffer() += "<li><a href=\"#";
        AppendReportText(out, section.id);
        out.buffer() += "\">";
        AppendReportText(out, section.title);
        out.buffer() += "</a></li>\n";
    }
    out.buffer() += "</ul></nav>\n";
    for (const ReportSection& section : sections) {
        AppendSectionStart(out, section.id, section.title);
        if (section.body) {
            section.body(out);
        }
        out.buffer() += "</section>\n";
        out.spill();
    }
    out.buffer() += "<script>\n";
    out.buffer() += kScript;
    out.buffer() += "</script>\n</body>\n</html>\n";
    out.spill();
}

ExportResult WriteReport(FileSystem& fs, const std::string& path, const ReportInput& report) {
    return WriteReplacing(fs, path, [&report](TextOutput& out) { AppendReport(out, report); });
}

}  // namespace tallowby
