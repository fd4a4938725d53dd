#include "StatusTexts.h"

#include <string_view>

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
