#pragma once

#include <cstddef>
#include <string_view>

namespace tallowby {

// How many first bytes of a file LooksLikeOwnPage looks at: a report names
// its generator within them.
inline constexpr std::size_t kPageSniffBytes = 1024;

// How a report this program writes begins, and the tag that says who wrote
// it, somewhere in its first kPageSniffBytes bytes. The report's writer
// takes them from here, so the two stay one rule.
inline constexpr std::string_view kReportStart = "<!DOCTYPE html>";
inline constexpr std::string_view kReportGeneratorTag =
    "<meta name=\"generator\" content=\"Tallowby\">";

// Whether `head`, the first kPageSniffBytes bytes of a file (all of a
// shorter one), begins a page this program writes rather than a log: the
// export page and the sites page start with "<a href='"; a report starts
// with kReportStart and holds kReportGeneratorTag within `head`. False for
// anything else, an empty `head` included. Letter case counts: the program
// writes these bytes exactly so.
bool LooksLikeOwnPage(std::string_view head);

// Whether `first`, the first bytes of a file, may begin a report: they are
// the start of kReportStart. Only such a file is read further for its head.
inline bool MayBeginReport(std::string_view first) {
    return !first.empty() &&
           kReportStart.substr(0, first.size()) == first.substr(0, kReportStart.size());
}

}  // namespace tallowby
