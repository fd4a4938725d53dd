#include "StatusTexts.h"

#include <string_view>
#include <utility>

#include "engine/tally/Numbers.h"

namespace tallowby {

std::string FinishedStatusText(const ScanCounters& c) {
    std::string s = "Finished ";
    AppendNumber(s, c.filesDone);
    s += " files : Scanned ";
    AppendNumber(s, c.linesScanned);
    s += " lines : found ";
    AppendNumber(s, c.linksFound);
    s += " links";
    return s;
}

namespace {

// The five statistics figures, each followed by its label, joined by
// `between`: the same figures end the status line and fill the message box.
std::string FiguresText(const ScanCounters& c, std::string_view before, std::string_view between) {
    std::string s(before);
    bool first = true;
    for (const StatisticsFigure& figure : StatisticsFigures(c)) {
        if (!first) {
            s += between;
        }
        first = false;
        AppendNumber(s, figure.value);
        s += figure.label;
    }
    return s;
}

}  // namespace

std::string CompleteStatusText(const ScanCounters& c) {
    return FiguresText(c, "COMPLETE: ", " : ");
}

std::string StatisticsMessageText(const ScanCounters& c) {
    return FiguresText(c, "", "\r\n");
}

}  // namespace tallowby

namespace tallowby {

std::string FieldStatisticsText(const FieldCounts& f, bool crawlersLeftOut,
                                std::string_view between) {
    if (f.lines() == 0 && f.filesOfNoKnownLayout.empty()) {
        return {};
    }
    std::string s;
    auto figure = [&](std::int64_t value, std::string_view label) {
        if (!s.empty()) {
            s += between;
        }
        AppendNumber(s, value);
        s += label;
    };
    static constexpr std::pair<LogLayout, std::string_view> kLayouts[] = {
        {LogLayout::Combined, " combined lines"},
        {LogLayout::VhostCombined, " vhost combined lines"},
        {LogLayout::S3, " s3 lines"},
        {LogLayout::Common, " common lines"},
        {LogLayout::W3c, " w3c lines"},
        {LogLayout::Json, " json lines"},
        {LogLayout::Directive, " w3c directives"},
    };
    for (const auto& [layout, label] : kLayouts) {
        if (const std::int64_t n = f.layouts[static_cast<std::size_t>(layout)]; n > 0) {
            figure(n, label);
        }
    }
    figure(f.layouts[static_cast<std::size_t>(LogLayout::Unknown)], " lines of no known layout");
    figure(f.noReferrer, " lines without a referrer");
    figure(f.selfReferrals, " self-referrals");
    figure(f.crawlers, " crawler lines");
    if (crawlersLeftOut) {
        s += " (";
        AppendNumber(s, f.crawlersLeftOut);
        s += " left out)";
    }
    for (const std::string& file : f.filesOfNoKnownLayout) {
        s += between;
        s += file;
        s += ": no line of a known layout";
    }
    return s;
}

}  // namespace tallowby
