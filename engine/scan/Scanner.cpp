#include "Scanner.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>
#include <utility>

#include "ChunkedLines.h"
#include "engine/classify/SpamList.h"
#include "engine/match/Rules.h"
#include "engine/read/Compression.h"
#include "engine/read/FilePaths.h"
#include "engine/read/LineCount.h"
#include "engine/read/LineReader.h"
#include "engine/tally/Numbers.h"

namespace tallowby {

namespace {

// Clears the running flag however the run is left.
struct RunningGuard {
    bool& flag;
    explicit RunningGuard(bool& f) : flag(f) { flag = true; }
    ~RunningGuard() { flag = false; }
};

// Why `path` is not an ordinary file, or empty when it is one.
std::string NotOrdinaryReason(FileSystem& fs, const std::string& path) {
    if (!FileExists(path, fs)) {
        FileStatus st = fs.status(path);
        switch (st.kind) {
            case FileKind::Missing:
                return st.error.empty() ? "No such file or directory" : st.error;
            case FileKind::Directory:
                return "Is a directory";
            case FileKind::Other:
                return "Not a regular file";
            case FileKind::Regular:
                return "Hidden file";
        }
    }
    return {};
}

// A file's bytes as the scan reads them, giving the surroundings a turn
// after every megabyte: a line of many megabytes comes in many reads, and
// Stop must not wait for its end. After a Stop the source ends at once.
class TurnTakingSource final : public ByteSource {
public:
    TurnTakingSource(ByteSource& inner, ScanObserver& observer, const ScanCounters& counters)
        : inner_(inner), observer_(observer), counters_(counters) {}
    std::ptrdiff_t read(char* buffer, std::size_t capacity) override {
        return step([&] { return inner_.read(buffer, capacity); });
    }
    std::string error() const override { return inner_.error(); }
    std::ptrdiff_t take(const char*& at, std::size_t want) override {
        return step([&] { return inner_.take(at, want); });
    }
    void release(const char* upTo) override { inner_.release(upTo); }
    std::uint64_t cutAt() const override { return inner_.cutAt(); }
    std::uint64_t skipZeros(std::uint64_t atMost) override {
        return counters_.cancelRequested ? 0 : inner_.skipZeros(atMost);
    }
    // True once a Stop cut the file short.
    bool stopped() const { return stopped_; }

private:
    // One read or take of the inner source, unless a Stop came first.
    template <typename Step>
    std::ptrdiff_t step(Step inner) {
        if (counters_.cancelRequested) {
            stopped_ = true;
            return 0;
        }
        const std::ptrdiff_t n = inner();
        if (n > 0 && (sinceTurn_ += static_cast<std::size_t>(n)) >= kTurnBytes) {
            sinceTurn_ = 0;
            observer_.keepAlive();
        }
        return n;
    }

    static constexpr std::size_t kTurnBytes = 1 << 20;
    ByteSource& inner_;
    ScanObserver& observer_;
    const ScanCounters& counters_;
    std::size_t sinceTurn_ = 0;
    bool stopped_ = false;
};

// Why a file's reading ended when the work list could take no more.
std::string TooManyText(const WorkList& list) {
    return "too many referring lines for one scan (the list holds at most " +
           std::to_string(list.limit()) + ")";
}

}  // namespace

Scanner::Scanner(FileSystem& fs) : fs_(fs) {}

ScanOutcome Scanner::run(ScanInput& input, ScanObserver& observer) {
    if (running_) {
        return ScanOutcome::Busy;
    }
    RunningGuard guard(running_);
    counters_ = ScanCounters{};
    workList_.clear();
    progress_ = ScanProgress{};
    scanSelectedFiles(input, observer);
    return counters_.cancelRequested ? ScanOutcome::Stopped : ScanOutcome::Finished;
}

void Scanner::scanSelectedFiles(ScanInput& input, ScanObserver& observer) {
    const std::int64_t count = input.fileCount();
    for (std::int64_t i = 0; i < count; ++i) {
        if (!input.fileSelected(i)) {
            continue;
        }
        const std::string path = JoinPath(input.directoryPath(), input.fileName(i));
        prepareFileProgress(input, observer, path);
        scanLogFile(input, observer, path);
    }
    if (input.removeDupes()) {
        ListKillDupes(workList_, counters_, observer, &collapsing_);
    }
}

void Scanner::prepareFileProgress(ScanInput& input, ScanObserver& observer,
                                  const std::string& path) {
    // The value goes first, so it never exceeds a new, smaller maximum.
    progress_.value = 0.01;
    progress_.done = 0;
    progress_.total = -1;
    observer.setProgressValue(progress_);
    ProgressMeasure measure;
    const bool counted = input.countsLines(path);
    if (counted) {
        measure = MeasureForProgress(path, fs_, [&observer] { observer.keepAlive(); });
    }
    progressByBytes_ = measure.compressedBytes;
    progress_.total = counted ? measure.units : -1;
    progress_.maximum = static_cast<double>(measure.units) + 1.01;
    observer.setProgressMaximum(progress_);
    observer.yield();
}

void Scanner::scanLogFile(ScanInput& input, ScanObserver& observer, const std::string& path) {
    if (std::string reason = NotOrdinaryReason(fs_, path); !reason.empty()) {
        observer.fileProblem(path, FileProblem::Missing, reason);
        return;
    }
    std::string error;
    std::unique_ptr<ByteSource> source = fs_.openRead(path, error);
    if (!source) {
        observer.fileProblem(path, FileProblem::Unreadable, error);
        return;
    }
    // A compressed file is decompressed while it is read. Each decoded block
    // gives the window a turn and a look at Stop, so a line that inflates
    // without end (up to the line limit) cannot hold the scan.
    bool stoppedReading = false;
    Compression kind = Compression::None;
    compressedRead_ = 0;
    source = OpenDecoded(std::move(source), kind, [&](std::uint64_t compressed) {
        compressedRead_ = compressed;
        observer.keepAlive();
        stoppedReading = counters_.cancelRequested;
        return !stoppedReading;
    });
    if (!source) {
        observer.fileProblem(path, FileProblem::Unreadable, "Not enough memory");
        return;
    }
    if (kind == Compression::None) {
        progressByBytes_ = false;
    }
    // The block follows the file's size; a compressed file's size says
    // little about its lines, so it gets the default block.
    // Long lines give the window a turn too, and a Stop there ends the file.
    TurnTakingSource turns(*source, observer, counters_);
    const std::uint64_t size = fs_.status(path).size;
    const std::size_t block = chunkBytes_ > 0             ? chunkBytes_
                              : kind == Compression::None ? LineReader::BlockFor(size)
                                                          : LineReader::kDefaultBlock;
    // Other threads match lines ahead with the options as they stand now;
    // each line is still taken with the options of its own turn. A plain
    // file of one block (a size of 0 says nothing: standard input) is read
    // and matched line by line: helpers would have nothing to share.
    const bool oneBlock = chunkBytes_ == 0 && kind == Compression::None && size > 0 &&
                          size < LineReader::kDefaultBlock;
    const unsigned threads = oneBlock ? 1 : ThreadsFor(threads_);
    MatchOptions ahead;
    if (threads > 1) {
        const LineOptions now = input.lineOptions();
        ahead = MatchOptions(now.ownDomain, now.rules, now.spam);
    }
    ChunkedLines lines(turns, threads, block, LineReader::kMaxLine, ahead, &compressedRead_);
    const bool batches = observer.takesLinesInBatches();
    for (;;) {
        // The end test comes before the Stop test: an empty file still
        // counts as done after a Stop. A file that a Stop cut short in the
        // middle of a line is not done.
        if (lines.atEnd() && !stoppedReading && !turns.stopped()) {
            if (lines.failed()) {
                observer.fileProblem(path, FileProblem::ReadFailed, lines.error());
                return;
            }
            ++counters_.filesDone;
            observer.setStatusText(FinishedStatusText(counters_));
            return;
        }
        if (counters_.cancelRequested) {
            observer.setStatusText(kCancelledStatus);
            progress_.value = 0.01;
            progress_.done = 0;
            observer.setProgressValue(progress_);
            return;
        }
        // The rest of a chunk matched ahead at once, with one turn after it;
        // or, for surroundings that would only count the next lines' yields,
        // as many of them as that, with no turn.
        const std::size_t quiet = batches ? 0 : observer.quietYields();
        if ((batches || quiet > 0) && !turns.stopped()) {
            const LineOptions options = input.lineOptions();
            const ChunkedLines::Taken taken =
                lines.takeRest(options.ownDomain, options.rules, options.spam, workList_,
                               batches ? SIZE_MAX : quiet);
            if (taken.lines > 0) {
                counters_.linesScanned += static_cast<std::int64_t>(taken.lines);
                counters_.spamHidden += static_cast<std::int64_t>(taken.spam);
                counters_.linksFound += static_cast<std::int64_t>(taken.links);
                if (taken.full) {
                    observer.fileProblem(path, FileProblem::ReadFailed, TooManyText(workList_));
                    return;
                }
                compressedShown_ = lines.mark();
                advanceProgress(observer, static_cast<std::int64_t>(taken.lines));
                if (batches) {
                    observer.yield();
                } else {
                    observer.passedQuietly(taken.lines);
                }
                continue;
            }
        }
        if (!lines.next() || turns.stopped()) {
            continue;  // a read error (the end test reports it) or a Stop
        }
        ++counters_.linesScanned;
        const LineOptions options = input.lineOptions();
        switch (lines.kindWith(options.ownDomain, options.rules, options.spam)) {
            case LineKind::None:
                break;
            case LineKind::Spam:
                ++counters_.spamHidden;
                break;
            case LineKind::Link:
                if (!lines.appendTo(workList_)) {
                    observer.fileProblem(path, FileProblem::ReadFailed, TooManyText(workList_));
                    return;
                }
                ++counters_.linksFound;
                break;
        }
        compressedShown_ = lines.mark();
        stepProgress(observer);
    }
}

void Scanner::stepProgress(ScanObserver& observer, std::int64_t lines) {
    advanceProgress(observer, lines);
    observer.yield();
}

void Scanner::advanceProgress(ScanObserver& observer, std::int64_t lines) {
    if (progressByBytes_) {
        progress_.done = static_cast<std::int64_t>(compressedShown_);
        progress_.value = std::min(0.01 + static_cast<double>(compressedShown_), progress_.maximum);
    } else {
        progress_.done += lines;
        const auto step = static_cast<double>(lines);
        if (progress_.maximum > progress_.value + step) {
            progress_.value += step;
        } else {
            progress_.value = progress_.maximum;
        }
    }
    observer.setProgressValue(progress_);
}

namespace {

// The collapse of a long list runs on a second thread, so that the window
// keeps turning while it works; a short one is over before a turn is due,
// and surroundings that want no turns have it on the calling thread.
constexpr std::size_t kCollapseOnThreadFrom = std::size_t{1} << 16;
constexpr auto kCollapseTurnEvery = std::chrono::milliseconds(5);

std::vector<std::int64_t> Collapse(WorkList& list, ScanObserver& observer, bool* onThread) {
    if (list.size() < kCollapseOnThreadFrom || !observer.wantsTurns()) {
        return list.collapse();
    }
    bool unused = false;
    RunningGuard busy(onThread != nullptr ? *onThread : unused);
    std::future<std::vector<std::int64_t>> done =
        std::async(std::launch::async, [&list] { return list.collapse(); });
    // A turn as the collapse starts (however soon it ends), then every 5 ms.
    do {
        observer.keepAlive();
    } while (done.wait_for(kCollapseTurnEvery) != std::future_status::ready);
    return done.get();
}

}  // namespace

void ListKillDupes(WorkList& list, ScanCounters& counters, ScanObserver& observer, bool* onThread) {
    observer.setStatusText(kCollapseStatus);
    ScanProgress zero;
    zero.value = 0;
    observer.setProgressValue(zero);
    observer.yield();
    const std::size_t positions = list.size();
    const std::vector<std::int64_t> removed = Collapse(list, observer, onThread);
    std::string status = std::string(kCollapseStatus) + "  (";
    const std::size_t fixed = status.size();
    // Surroundings that show nothing per step (the command line) get the
    // final figure once: half a million refreshes and turns of a long list
    // would cost them more than the collapse itself.
    if (observer.takesLinesInBatches()) {
        if (positions == 0) {
            return;
        }
        for (const std::int64_t n : removed) {
            counters.duplicatesRemoved += n;
        }
        AppendNumber(status, counters.duplicatesRemoved);
        status += " removed)";
        observer.setStatusText(status);
        observer.yield();
        return;
    }
    // The status line is refreshed once per position of the list as it was:
    // the first positions each remove the duplicates of one survivor, the
    // rest find no entry left and only refresh. Positions whose yields the
    // surroundings would only count go at once: their texts are never seen.
    std::int64_t shown = -1;
    for (std::size_t i = 0; i < positions;) {
        const std::size_t quiet = std::min(observer.quietYields(), positions - i);
        const std::size_t end = i + std::max<std::size_t>(quiet, 1);
        for (; i < end; ++i) {
            if (i < removed.size()) {
                counters.duplicatesRemoved += removed[i];
            }
        }
        if (counters.duplicatesRemoved != shown) {  // format only when the figure changes
            shown = counters.duplicatesRemoved;
            status.resize(fixed);
            AppendNumber(status, shown);
            status += " removed)";
        }
        observer.setStatusText(status);
        if (quiet > 0) {
            observer.passedQuietly(quiet);
        } else {
            observer.yield();
        }
    }
}

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

unsigned ThreadsFor(unsigned asked) {
    if (asked > 0) {
        return asked;
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace tallowby
