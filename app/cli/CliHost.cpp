#include "CliHost.h"

#include "cli/StdinFileSystem.h"
#include "engine/match/ShownText.h"
#include "engine/scan/FileProblemText.h"

namespace tallowby::cli {

namespace {
// The clock is read once per this many turns or lines, whichever come
// first: a turn comes after every chunk of lines (or single line, or step of
// the collapse), and reading the clock each time would cost more than the line.
constexpr unsigned kClockEvery = 4096;
}  // namespace

CliHost::CliHost(const ScanOptions& options, const ScanCounters& counters, const SpamList* spam,
                 std::FILE* err, ProgressLine* progress, const CrawlerCheck* crawlers,
                 const W3cFields& pieceW3c)
    : options_(options), counters_(counters), pieceW3c_(pieceW3c), err_(err), progress_(progress) {
    lineOptions_.ownDomain = options_.domain;
    lineOptions_.rules = ReferrerRules{options_.httpsReferrers, options_.quotedReferrers};
    lineOptions_.spam = options_.hideSpam ? spam : nullptr;
    if (options_.fields) {
        lineOptions_.fields = FieldRules{true, options_.noCrawlers, crawlers};
    }
}

std::string CliHost::fileName(std::int64_t index) {
    currentFile_ = options_.files.at(static_cast<std::size_t>(index));
    return currentFile_;
}

bool CliHost::countsLines(const std::string& path) {
    return progress_ != nullptr && path != kStdinName;
}

void CliHost::turnBetweenSteps() {
    if (progress_ == nullptr) {
        return;
    }
    if (clockReadAt_ >= 0 && ++turnsSinceClock_ < kClockEvery &&
        counters_.linesScanned - clockReadAt_ < kClockEvery) {
        return;
    }
    clockReadAt_ = counters_.linesScanned;
    turnsSinceClock_ = 0;
    const double percent = fraction_ < 0 ? -1 : 100.0 * fraction_;
    progress_->update(currentFile_, percent, counters_.linesScanned, ProgressLine::Clock::now());
}

void CliHost::fileProblem(const std::string& path, FileProblem problem, std::string_view reason) {
    hadFileProblem_ = true;
    if (progress_) {
        progress_->erase();
    }
    // Names and reasons come from the file system and may hold anything.
    std::string message = "tallowby-scan: " + EscapeControlBytes(DisplayName(path)) + ": ";
    message += FileProblemText(problem, EscapeControlBytes(reason));
    message += '\n';
    std::fputs(message.c_str(), err_);
    std::fflush(err_);
}

std::string CliHost::DisplayName(const std::string& path) {
    return path == kStdinName ? "(standard input)" : path;
}

}  // namespace tallowby::cli
