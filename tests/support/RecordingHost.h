#pragma once

// A scan input and observer that records every call in order, for checking
// the exact sequence of status texts, progress values and turns between
// steps (recorded as "yield") of a scan; or, quiet, only the status texts and
// file problems, for scans of millions of lines.

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/scan/ScanSeam.h"
#include "engine/scan/Scanner.h"
#include "output/RowCells.h"

namespace tallowby::testing {

class RecordingHost : public ScanInput, public ScanObserver {
public:
    // Quiet: no event per line (progress values, maxima, yields); the last
    // progress value and maximum are kept either way.
    enum class Events { All, Quiet };
    explicit RecordingHost(Events kept = Events::All) : quiet_(kept == Events::Quiet) {}

    std::string directory = "/logs";
    std::vector<std::string> names;
    std::vector<bool> selected;
    std::string domain = "mysite.com";
    bool https = false;
    bool quoted = false;
    FieldRules fields;
    const SpamList* spam = nullptr;
    bool dupes = true;
    bool types = true;  // read by RunScan at the fill
    bool counting = true;
    bool batches = false;            // let the scan take lines a chunk at a time
    bool turns = true;               // turns during long work are wanted (a window)
    int collapseEventLoopTurns = 0;  // giveEventLoopTurn() calls while the collapse status showed
    std::function<void()> onYield;   // runs inside each turn between steps, like an event handler
    // Above 0: like a window, a turn between steps does something only every
    // turnEvery-th time: it records "turn:<progress value> <status text>" and
    // runs onYield; the others are only counted, and no progress values,
    // status texts or turns are recorded as they come (`status` holds the
    // last). With tellsQuietLines the host asks the scan for that pace
    // (ScanPace::EveryNthStep) instead of counting the turns itself.
    int turnEvery = 0;
    bool tellsQuietLines = false;

    std::vector<std::string> events;
    std::vector<ReferrerEntry> rows;
    int yields = 0;      // steps, with or without a turn; counted before onYield runs
    std::string status;  // the last status text
    double value = 0;
    double maximum = 0;
    bool valueAboveMaximum = false;

    void select(std::vector<std::string> files) {
        names = std::move(files);
        selected.assign(names.size(), true);
    }
    // The status texts, and the file problems as "path|kind|reason", in order.
    std::vector<std::string> statuses() const { return EventsOf("status:"); }
    std::vector<std::string> problems() const { return EventsOf("problem:"); }

    std::string directoryPath() override { return directory; }
    std::int64_t fileCount() override { return static_cast<std::int64_t>(names.size()); }
    std::string fileName(std::int64_t i) override { return names[static_cast<std::size_t>(i)]; }
    bool fileSelected(std::int64_t i) override { return selected[static_cast<std::size_t>(i)]; }
    LineOptions lineOptions() override {
        return {domain, ReferrerRules{https, quoted}, spam, fields};
    }
    bool removeDupes() override { return dupes; }
    bool countsLines(const std::string&) override { return counting; }

    void setStatusText(std::string_view text) override {
        status.assign(text);
        if (turnEvery == 0)
            events.push_back("status:" + std::string(text));
        collapsing = text.substr(0, std::string_view(kCollapseStatus).size()) == kCollapseStatus;
    }
    void setProgressValue(const ScanProgress& p) override {
        value = p.value;
        // The 0.01 of a new file comes before its maximum, by design.
        valueAboveMaximum = valueAboveMaximum || (value > 0.02 && value > maximum + 1e-9);
        if (!quiet_ && turnEvery == 0)
            events.push_back("value:" + Format(p.value));
    }
    void setProgressMaximum(const ScanProgress& p) override {
        maximum = p.maximum;
        if (!quiet_)
            events.push_back("max:" + Format(p.maximum));
    }
    ScanPace pace() const override {
        ScanPace pace;
        if (batches) {
            pace.turns = ScanPace::Turns::EveryBatch;
        } else if (tellsQuietLines && turnEvery > 0) {
            pace.turns = ScanPace::Turns::EveryNthStep;
            pace.every = static_cast<std::size_t>(turnEvery);
        }
        pace.turnsDuringLongWork = turns;
        return pace;
    }
    void giveEventLoopTurn() override {
        if (collapsing)
            ++collapseEventLoopTurns;
    }
    void stepsWithoutTurn(std::size_t steps) override { yields += static_cast<int>(steps); }
    void turnBetweenSteps() override {
        ++yields;
        if (turnEvery > 0) {
            if (!tellsQuietLines && ++sinceTurn_ < turnEvery)
                return;
            sinceTurn_ = 0;
            events.push_back("turn:" + Format(value) + " " + status);
            if (onYield)
                onYield();
            return;
        }
        if (!quiet_)
            events.push_back("yield");
        if (onYield)
            onYield();
    }
    void fileProblem(const std::string& path, FileProblem problem,
                     std::string_view reason) override {
        static const char* kinds[] = {"missing", "unreadable", "readfailed", "ownpage"};
        events.push_back("problem:" + path + "|" + kinds[static_cast<int>(problem)] + "|" +
                         std::string(reason));
    }

    static std::string Format(double v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.2f", v);
        return buf;
    }

private:
    bool collapsing = false;
    int sinceTurn_ = 0;
    std::vector<std::string> EventsOf(std::string_view kind) const {
        std::vector<std::string> out;
        for (const auto& e : events) {
            if (e.rfind(kind, 0) == 0)
                out.push_back(e.substr(kind.size()));
        }
        return out;
    }

    bool quiet_;
};

// A scan as its callers run one: the run, then (unless refused) the rows read
// from the work list into host.rows. False when refused (a scan was running).
inline bool RunScan(Scanner& scanner, RecordingHost& host) {
    if (scanner.run(host, host) == ScanOutcome::Busy) {
        return false;
    }
    host.rows = BuildResultRows(scanner.workList(), host.types);
    return true;
}

}  // namespace tallowby::testing
