#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/CommandLine.h"
#include "cli/ProgressLine.h"
#include "engine/scan/ScanSeam.h"
#include "engine/tally/ScanTypes.h"

namespace tallowby::cli {

// The scan's surroundings on the command line: the files given, in order and
// all selected, with their names used as paths; options from the command
// line; the progress indicator and file problems on standard error.
class CliHost final : public ScanInput, public ScanObserver {
public:
    // `progress` may be null (no terminal, or --quiet). `counters` are those
    // of the scanner that runs with this host (for the indicator's figures).
    // `spam` is the list to hide with --hide-spam (unused otherwise, and may
    // then be null); so must `crawlers`, the crawler list of --fields (null:
    // none). `pieceW3c`: the W3C fields in force where a --range piece starts.
    CliHost(const ScanOptions& options, const ScanCounters& counters, const SpamList* spam,
            std::FILE* err, ProgressLine* progress, const CrawlerCheck* crawlers = nullptr,
            const W3cFields& pieceW3c = {});

    std::int64_t fileCount() override { return static_cast<std::int64_t>(options_.files.size()); }
    std::string fileName(std::int64_t index) override;
    LineOptions lineOptions() override { return lineOptions_; }
    bool removeDupes() override { return options_.removeDupes; }
    // Lines are counted first only where a percentage is shown, and never on
    // standard input, which can be read only once.
    bool countsLines(const std::string& path) override;
    W3cFields w3cFieldsAtStart(const std::string& /*path*/) override { return pieceW3c_; }

    // Nothing shows a line on its own, the options are those of the command
    // line, and there is no event loop to turn.
    ScanPace pace() const override {
        return {.turns = ScanPace::Turns::EveryBatch, .turnsDuringLongWork = false};
    }
    void setProgressValue(const ScanProgress& progress) override {
        fraction_ = progress.fraction();
    }
    // The progress indicator, redrawn when the clock says so.
    void turnBetweenSteps() override;
    void fileProblem(const std::string& path, FileProblem problem,
                     std::string_view reason) override;

    bool hadFileProblem() const { return hadFileProblem_; }

    // How a file is named in messages: its path, or "(standard input)".
    static std::string DisplayName(const std::string& path);

private:
    const ScanOptions& options_;
    const ScanCounters& counters_;
    LineOptions lineOptions_;
    W3cFields pieceW3c_;
    std::FILE* err_;
    ProgressLine* progress_;
    std::string currentFile_;
    double fraction_ = -1;
    std::int64_t clockReadAt_ = -1;  // lines scanned when the clock was last read
    unsigned turnsSinceClock_ = 0;
    bool hadFileProblem_ = false;
};

}  // namespace tallowby::cli
