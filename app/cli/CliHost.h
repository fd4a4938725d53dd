#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/ProgressLine.h"
#include "engine/ScanHost.h"
#include "engine/ScanTypes.h"
#include "engine/SpamList.h"

namespace tallowby::cli {

// The scan's surroundings on the command line: the files given, in order and
// all selected, with their names used as paths; options from the command
// line; rows collected for printing; file problems reported on standard
// error. Status texts and the statistics box have no place here.
class CliHost final : public ScanHost {
public:
    // `progress` may be null (no terminal, or --quiet). `counters` are those
    // of the scanner that runs with this host (for the indicator's figures).
    CliHost(const ScanOptions& options, const ScanCounters& counters, std::FILE* err,
            ProgressLine* progress);

    std::string directoryPath() override { return {}; }
    std::int64_t fileCount() override { return static_cast<std::int64_t>(options_.files.size()); }
    std::string fileName(std::int64_t index) override;
    bool fileSelected(std::int64_t) override { return true; }

    std::string_view ownDomain() override { return options_.domain; }
    bool removeDupes() override { return options_.removeDupes; }
    bool getFileTypes() override { return options_.typeCodes; }
    bool displayStats() override { return false; }
    bool httpsReferrers() override { return options_.httpsReferrers; }
    bool quotedReferrers() override { return options_.quotedReferrers; }
    const SpamList* spamList() override { return spamList_; }
    // The spam list to hide with --hide-spam; unused otherwise. Must outlive the scan.
    void setSpamList(const SpamList* list) { spamList_ = options_.hideSpam ? list : nullptr; }

    void setStatusText(std::string_view) override {}
    void setProgressValue(double value) override { progressValue_ = value; }
    void setProgressMaximum(double maximum) override { progressMaximum_ = maximum; }
    void yield() override;
    void showStatistics(std::string_view, std::string_view) override {}

    bool resultsVisible() override { return true; }
    void toggleResultsView() override {}

    void clearResults() override { rows_.clear(); }
    void addResults(std::vector<ReferrerEntry> rows) override;
    // With --format none no rows are kept: nothing prints them.
    void addResultRows(const WorkList& list, std::size_t from, std::size_t count,
                       bool typeCodes) override {
        if (options_.format != OutputFormat::None) {
            ScanHost::addResultRows(list, from, count, typeCodes);
        }
    }

    // Lines are counted first only where a percentage is shown, and never on
    // standard input, which can be read only once.
    bool countsLines() override;
    void fileProblem(const std::string& path, FileProblem problem,
                     std::string_view reason) override;

    const std::vector<ReferrerEntry>& rows() const { return rows_; }
    bool hadFileProblem() const { return hadFileProblem_; }

    // How a file is named in messages: its path, or "(standard input)".
    static std::string DisplayName(const std::string& path);

private:
    void drawProgress();

    const ScanOptions& options_;
    const ScanCounters& counters_;
    std::FILE* err_;
    ProgressLine* progress_;
    std::vector<ReferrerEntry> rows_;
    std::string currentFile_;
    double progressValue_ = 0;
    double progressMaximum_ = 0;
    bool currentCounted_ = false;
    unsigned yieldsUntilClock_ = 0;
    bool hadFileProblem_ = false;
    const SpamList* spamList_ = nullptr;
};

}  // namespace tallowby::cli
