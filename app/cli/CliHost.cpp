#include "CliHost.h"

#include <iterator>

#include "cli/StdinFileSystem.h"
#include "engine/ShownText.h"

namespace tallowby::cli {

namespace {
// The clock is read once per this many yields: a yield comes after every
// line, and reading the clock each time would cost more than the line.
constexpr unsigned kYieldsPerClockRead = 4096;
}  // namespace

CliHost::CliHost(const ScanOptions& options, const ScanCounters& counters, std::FILE* err,
                 ProgressLine* progress)
    : options_(options), counters_(counters), err_(err), progress_(progress) {}

std::string CliHost::fileName(std::int64_t index) {
    currentFile_ = options_.files.at(static_cast<std::size_t>(index));
    return currentFile_;
}

bool CliHost::countsLines() {
    // Asked once per file, right after its name.
    currentCounted_ = progress_ != nullptr && currentFile_ != kStdinName;
    return currentCounted_;
}

void CliHost::yield() {
    if (progress_ == nullptr) {
        return;
    }
    if (yieldsUntilClock_ > 0) {
        --yieldsUntilClock_;
        return;
    }
    yieldsUntilClock_ = kYieldsPerClockRead;
    drawProgress();
}

void CliHost::drawProgress() {
    double percent = -1;
    if (currentCounted_ && progressMaximum_ > 0) {
        // The bar ends one unit short of its maximum (the engine's 1.01 margin).
        const double lines = progressMaximum_ - 1.01;
        percent = lines > 0 ? 100.0 * progressValue_ / lines : 100.0;
    }
    progress_->update(currentFile_, percent, counters_.linesScanned, ProgressLine::Clock::now());
}

void CliHost::addResults(std::vector<ReferrerEntry> rows) {
    if (rows_.empty()) {
        rows_ = std::move(rows);
    } else {
        rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()),
                     std::make_move_iterator(rows.end()));
    }
}

void CliHost::fileProblem(const std::string& path, FileProblem problem, std::string_view reason) {
    hadFileProblem_ = true;
    if (progress_) {
        progress_->erase();
    }
    // Names and reasons come from the file system and may hold anything.
    std::string message = "tallowby-scan: " + EscapeControlBytes(DisplayName(path)) + ": ";
    switch (problem) {
        case FileProblem::Missing:
            break;
        case FileProblem::Unreadable:
            message += "cannot open: ";
            break;
        case FileProblem::ReadFailed:
            message += "read error: ";
            break;
    }
    message += EscapeControlBytes(reason);
    message += '\n';
    std::fputs(message.c_str(), err_);
    std::fflush(err_);
}

std::string CliHost::DisplayName(const std::string& path) {
    return path == kStdinName ? "(standard input)" : path;
}

}  // namespace tallowby::cli
