#include "ReportSources.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>
#include <string>

#include "engine/tally/Numbers.h"
#include "output/ReportParts.h"

namespace tallowby {

namespace {

// The indexes of `rows`, most clicks first, equal clicks in the rows' order.
template <typename Row>
std::vector<std::size_t> ByClicks(const std::vector<Row>& rows) {
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&rows](std::size_t a, std::size_t b) {
        return rows[a].clicks > rows[b].clicks;
    });
    return order;
}

template <typename Row>
std::int64_t ClicksOf(const std::vector<Row>& rows) {
    std::int64_t clicks = 0;
    for (const Row& row : rows) {
        clicks += row.clicks;
    }
    return clicks;
}

// A row's cells: text cells, then number cells (clicks last, then its share).
void AppendRow(TextOutput& out, std::initializer_list<std::string_view> texts,
               std::initializer_list<std::int64_t> numbers, std::int64_t clicks,
               std::int64_t allClicks) {
    std::string& s = out.buffer();
    s += "<tr>";
    for (const std::string_view text : texts) {
        s += "<td>";
        AppendReportText(out, text);
        out.buffer() += "</td>";
    }
    for (const std::int64_t number : numbers) {
        out.buffer() += "<td class=\"num\">";
        AppendNumber(out.buffer(), number);
        out.buffer() += "</td>";
    }
    out.buffer() += "<td class=\"num\">";
    AppendShare(out.buffer(), clicks, allClicks);
    out.buffer() += "</td></tr>\n";
    out.spill();
}

void AppendSources(TextOutput& out, const std::vector<SourceRow>& sources) {
    constexpr std::array<SourceClass, 5> kClasses = {SourceClass::Search, SourceClass::Social,
                                                     SourceClass::Ai, SourceClass::Website,
                                                     SourceClass::Spam};
    std::array<std::int64_t, kClasses.size()> byClass{};
    for (const SourceRow& row : sources) {
        for (std::size_t c = 0; c < kClasses.size(); ++c) {
            byClass[c] += row.sourceClass == kClasses[c] ? row.clicks : 0;
        }
    }
    std::vector<ChartBar> bars;
    for (std::size_t c = 0; c < kClasses.size(); ++c) {
        if (byClass[c] > 0) {
            bars.push_back({SourceClassName(kClasses[c]), byClass[c]});
        }
    }
    if (!bars.empty()) {
        out.buffer() += "<figure id=\"classes-chart\">\n";
        AppendBarChart(out, "Clicks by class of source", bars);
        out.buffer() += "<figcaption>Clicks by class of source.</figcaption>\n</figure>\n";
    }
    const std::int64_t clicks = ClicksOf(sources);
    AppendTableStart(out, "sources-table",
                     {{"Class"}, {"Source"}, {"Pages", true}, {"Clicks", true}, {"Share", true}},
                     3);
    for (const std::size_t i : ByClicks(sources)) {
        const SourceRow& row = sources[i];
        AppendRow(out, {SourceClassName(row.sourceClass), row.source}, {row.pages, row.clicks},
                  row.clicks, clicks);
    }
    AppendTableEnd(out);
}

void AppendKeywords(TextOutput& out, const std::vector<KeywordRow>& keywords) {
    const std::int64_t clicks = ClicksOf(keywords);
    AppendTableStart(out, "keywords-table",
                     {{"Engine"}, {"Keyword"}, {"Clicks", true}, {"Share", true}}, 2);
    for (const std::size_t i : ByClicks(keywords)) {
        const KeywordRow& row = keywords[i];
        AppendRow(out, {row.engine, row.keyword}, {row.clicks}, row.clicks, clicks);
    }
    AppendTableEnd(out);
}

}  // namespace

std::vector<ReportSection> SourceSections(const std::vector<SourceRow>& sources,
                                          const std::vector<KeywordRow>& keywords) {
    std::vector<ReportSection> sections;
    sections.push_back(
        {"sources", "Sources", [&sources](TextOutput& out) { AppendSources(out, sources); }});
    if (!keywords.empty()) {
        sections.push_back({"keywords", "Search keywords",
                            [&keywords](TextOutput& out) { AppendKeywords(out, keywords); }});
    }
    return sections;
}

}  // namespace tallowby
