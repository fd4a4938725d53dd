// The report page of a tiny scan, its figures, shares and rows written out
// by hand. The hostile texts run through it in ExportPageTest, and a real
// browser reads the sample's report in report_browser_test.py.
#include "output/Report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MemoryFileSystem.h"
#include "output/ReportParts.h"

namespace tallowby {
namespace {

using testing::MemoryFileSystem;

struct Line {
    const char* referrer;
    TypeCode type;
    bool bot;
};

// b.example three times, q.example (a crawler's) twice, a.example and an
// address no browser should follow once each: 7 clicks in 4 rows.
const std::vector<Line> kLines = {
    {"http://b.example/ ", TypeCode::HTM, false},
    {"http://q.example/?a=1&b=<2>\"'", TypeCode::PHP, true},
    {"http://a.example/x.jpg", TypeCode::JPG, false},
    {"http://b.example/ ", TypeCode::HTM, false},
    {"javascript:alert(1)", TypeCode::HTM, false},
    {"http://q.example/?a=1&b=<2>\"'", TypeCode::PHP, true},
    {"http://b.example/ ", TypeCode::HTM, false},
};

struct Scanned {
    WorkList list;
    std::vector<Site> sites;
    ScanCounters counters;
};

void Scan(Scanned& s, bool collapse) {
    for (const Line& line : kLines) {
        s.list.append(line.referrer, line.type, line.bot);
    }
    s.counters.filesDone = 1;
    s.counters.linesScanned = 10;
    s.counters.linksFound = 7;
    if (collapse) {
        s.list.collapse();
        s.counters.duplicatesRemoved = 3;
    }
    s.sites = GroupBySite(s.list);
}

std::string Page(const ReportInput& input) {
    MemoryFileSystem mem;
    const ExportResult result = WriteReport(mem, "/out/report.html", input);
    EXPECT_TRUE(result.ok) << result.error;
    return mem.file("/out/report.html").content;
}

void ExpectHolds(const std::string& page, const std::vector<std::string>& fragments) {
    for (const std::string& fragment : fragments) {
        EXPECT_NE(page.find(fragment), std::string::npos) << fragment;
    }
}

TEST(Report, SummaryRowsAndSharesOfATinyScan) {
    Scanned s;
    Scan(s, true);
    ReportOptions options;
    options.ownDomain = "my<site>.example";
    options.hideSpam = true;
    options.spamList = "/lists/spam & ham.txt";
    s.counters.spamHidden = 2;
    const std::string page = Page({s.list, s.sites, s.counters, options});

    EXPECT_EQ(page.rfind("<!DOCTYPE html>\n", 0), 0u);
    EXPECT_LT(page.find("<meta name=\"generator\" content=\"Tallowby\">"), 1024u);
    ExpectHolds(page,
                {
                    "<title>Referrers of my&lt;site&gt;.example</title>",
                    "<tr><th scope=\"row\">Files done</th><td class=\"num\">1</td></tr>\n"
                    "<tr><th scope=\"row\">Lines scanned</th><td class=\"num\">10</td></tr>\n"
                    "<tr><th scope=\"row\">Links found</th><td class=\"num\">7</td></tr>\n"
                    "<tr><th scope=\"row\">Duplicates removed</th><td class=\"num\">3</td></tr>\n"
                    "<tr><th scope=\"row\">Unique links</th><td class=\"num\">4</td></tr>\n"
                    "<tr><th scope=\"row\">Referring lines left out as spam</th><td "
                    "class=\"num\">2</td></tr>",
                    "<td>hidden, by the list /lists/spam &amp; ham.txt</td>",
                    // Most clicks first; equal clicks in list order; shares of 7 clicks.
                    "<tbody>\n"
                    "<tr><td>HTM</td><td class=\"num\">3</td><td class=\"num\">42.9%</td>"
                    "<td><a href=\"http://b.example/\">http://b.example/ </a></td></tr>\n"
                    "<tr><td>BOT</td><td class=\"num\">2</td><td class=\"num\">28.6%</td>"
                    "<td><a href=\"http://q.example/?a=1&amp;b=&lt;2&gt;&quot;&#39;\">"
                    "http://q.example/?a=1&amp;b=&lt;2&gt;&quot;&#39;</a></td></tr>\n"
                    "<tr><td>JPG</td><td class=\"num\">1</td><td class=\"num\">14.3%</td>"
                    "<td><a href=\"http://a.example/x.jpg\">http://a.example/x.jpg</a></td></tr>\n"
                    "<tr><td>HTM</td><td class=\"num\">1</td><td class=\"num\">14.3%</td>"
                    "<td>javascript:alert(1)</td></tr>\n"
                    "</tbody>",
                    "<tr><td>b.example</td><td class=\"num\">1</td><td class=\"num\">3</td>"
                    "<td class=\"num\">42.9%</td></tr>\n"
                    "<tr><td>q.example</td><td class=\"num\">1</td><td class=\"num\">2</td>"
                    "<td class=\"num\">28.6%</td></tr>\n"
                    "<tr><td>a.example</td><td class=\"num\">1</td><td class=\"num\">1</td>"
                    "<td class=\"num\">14.3%</td></tr>\n"
                    "<tr><td>javascript</td>",
                    // The longest bar is 380 units; the others in proportion, cut down.
                    "<text class=\"label\" x=\"252\" y=\"18\" text-anchor=\"end\">b.example</text>"
                    "<rect class=\"bar\" x=\"260\" y=\"6\" width=\"380\" height=\"16\"></rect>"
                    "<text class=\"value\" x=\"646\" y=\"18\">3</text>",
                    "<rect class=\"bar\" x=\"260\" y=\"30\" width=\"253\" height=\"16\">",
                    "<rect class=\"bar\" x=\"260\" y=\"78\" width=\"126\" height=\"16\">",
                });
    EXPECT_EQ(page.find("href=\"javascript"), std::string::npos);
}

TEST(Report, WithoutCollapseOrTypesEachLineIsOneClickAndTheTypeColumnGoes) {
    Scanned s;
    Scan(s, false);
    ReportOptions options;
    options.collapse = false;
    options.typeCodes = false;
    const std::string page = Page({s.list, s.sites, s.counters, options});
    ExpectHolds(
        page, {
                  "<thead><tr><th scope=\"col\" class=\"num\" aria-sort=\"descending\">Clicks</th>",
                  "<tbody>\n<tr><td class=\"num\">1</td><td class=\"num\">14.3%</td>"
                  "<td><a href=\"http://a.example/x.jpg\">",
                  "<td>kept: one row per referring line</td>",
                  "<tr><td>b.example</td><td class=\"num\">3</td><td class=\"num\">3</td>",
              });
    EXPECT_EQ(page.find("<td>HTM</td>"), std::string::npos);
}

TEST(Report, SectionsOfOtherViewsStandBetweenSitesAndReferrers) {
    Scanned s;
    Scan(s, true);
    ReportInput input{s.list, s.sites, s.counters, {}};
    input.moreSections.push_back(
        {"sources", "Sources", [](TextOutput& out) { out.buffer() += "<p>from here</p>\n"; }});
    const std::string page = Page(input);
    ExpectHolds(page, {"<li><a href=\"#sites\">Referring sites</a></li>\n"
                       "<li><a href=\"#sources\">Sources</a></li>\n"
                       "<li><a href=\"#referrers\">Referrers</a></li>",
                       "</section>\n<section id=\"sources\">\n<h2>Sources</h2>\n"
                       "<p>from here</p>\n</section>\n<section id=\"referrers\">"});
}

TEST(ReportParts, SharesAreRoundedHalfUpInWholeNumbers) {
    struct Case {
        std::int64_t part, whole;
        const char* share;
    };
    const Case cases[] = {{1, 8, "12.5%"},   {1, 16, "6.3%"},
                          {2, 3, "66.7%"},   {7, 7, "100.0%"},
                          {1, 2000, "0.1%"}, {1, 2001, "0.0%"},
                          {0, 5, "0.0%"},    {5, 0, "0.0%"},
                          {1, 3, "33.3%"},   {3000000000LL, 4000000000LL, "75.0%"}};
    for (const Case& c : cases) {
        std::string out;
        AppendShare(out, c.part, c.whole);
        EXPECT_EQ(out, c.share) << c.part << " of " << c.whole;
    }
}

TEST(ReportParts, ChartLabelsAreEscapedAndCutWithinACharacter) {
    // 39 letters and an "é" across the 40-byte mark: cut before the "é".
    const std::string longLabel = std::string(39, 'x') + "\xC3\xA9tc";
    std::string page;
    TextOutput out(page);
    AppendBarChart(out, "<chart>", {{"<b>&\"'", 4}, {longLabel, 1}, {"", 0}});
    ExpectHolds(page,
                {"<title>&lt;chart&gt;</title>", "<g><title>&lt;b&gt;&amp;&quot;&#39;: 4</title>",
                 "text-anchor=\"end\">&lt;b&gt;&amp;&quot;&#39;</text>",
                 "<g><title>" + longLabel + ": 1</title>",
                 "text-anchor=\"end\">" + std::string(39, 'x') + "\xE2\x80\xA6</text>",
                 "width=\"95\"", "width=\"0\""});
    std::string none;
    TextOutput empty(none);
    AppendBarChart(empty, "t", {});
    EXPECT_EQ(none, "");
}

}  // namespace
}  // namespace tallowby
