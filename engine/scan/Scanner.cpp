#include "Scanner.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "ChunkedLines.h"
#include "DupeCollapse.h"
#include "PacedTurns.h"
#include "ScopedFlag.h"
#include "engine/classify/SpamList.h"
#include "engine/match/Rules.h"
#include "engine/read/Compression.h"
#include "engine/read/FilePaths.h"
#include "engine/read/LineCount.h"
#include "engine/read/LineReader.h"
#include "engine/read/PageSniff.h"
#include "engine/tally/Numbers.h"

namespace tallowby {

namespace {

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

// Why a file's reading ended when the work list could take no more.
std::string TooManyText(const WorkList& list) {
    return "too many referring lines for one scan (the list holds at most " +
           std::to_string(list.limit()) + ")";
}

}  // namespace

// A file's bytes as the scan reads them, giving the surroundings a turn
// after every megabyte: a line of many megabytes comes in many reads, and
// Stop must not wait for its end. After a Stop the source ends at once.
class Scanner::TurnTakingSource final : public ByteSource {
public:
    TurnTakingSource(ByteSource& inner, PacedTurns& turns, const ScanCounters& counters)
        : inner_(inner), turns_(turns), counters_(counters) {}
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
            turns_.giveEventLoopTurn();
        }
        return n;
    }

    static constexpr std::size_t kTurnBytes = 1 << 20;
    ByteSource& inner_;
    PacedTurns& turns_;
    const ScanCounters& counters_;
    std::size_t sinceTurn_ = 0;
    bool stopped_ = false;
};

// How a file's lines are read: the bytes read at a time, the threads that
// match them, and the options the helpers match ahead with.
struct Scanner::LinePlan {
    std::size_t block = 0;
    unsigned threads = 1;
    MatchOptions ahead;
};

Scanner::Scanner(FileSystem& fs) : fs_(fs) {}

ScanOutcome Scanner::run(ScanInput& input, ScanObserver& observer) {
    if (running_) {
        return ScanOutcome::Busy;
    }
    ScopedFlag running(running_);
    counters_ = ScanCounters{};
    workList_.clear();
    progress_ = ScanProgress{};
    PacedTurns turns(observer);
    scanSelectedFiles(input, turns);
    return counters_.cancelRequested ? ScanOutcome::Stopped : ScanOutcome::Finished;
}

void Scanner::scanSelectedFiles(ScanInput& input, PacedTurns& turns) {
    const std::int64_t count = input.fileCount();
    for (std::int64_t i = 0; i < count; ++i) {
        if (!input.fileSelected(i)) {
            continue;
        }
        const std::string path = JoinPath(input.directoryPath(), input.fileName(i));
        prepareFileProgress(input, turns, path);
        scanLogFile(input, turns, path);
    }
    if (input.removeDupes()) {
        ListKillDupes(workList_, counters_, turns, &collapsing_);
    }
}

void Scanner::prepareFileProgress(ScanInput& input, PacedTurns& turns, const std::string& path) {
    ScanObserver& observer = turns.observer();
    // The value goes first, so it never exceeds a new, smaller maximum.
    progress_.value = 0.01;
    progress_.done = 0;
    progress_.total = -1;
    observer.setProgressValue(progress_);
    ProgressMeasure measure;
    const bool counted = input.countsLines(path);
    if (counted) {
        measure = MeasureForProgress(path, fs_, [&turns] { turns.giveEventLoopTurn(); });
    }
    progressByBytes_ = measure.compressedBytes;
    progress_.total = counted ? measure.units : -1;
    progress_.maximum = static_cast<double>(measure.units) + 1.01;
    observer.setProgressMaximum(progress_);
    turns.step();
}

void Scanner::scanLogFile(ScanInput& input, PacedTurns& turns, const std::string& path) {
    Compression kind = Compression::None;
    const std::unique_ptr<ByteSource> source = openLog(turns, path, kind);
    if (!source) {
        return;
    }
    // Long lines give the window a turn too, and a Stop there ends the file.
    TurnTakingSource bytes(*source, turns, counters_);
    const LinePlan plan = planLines(input, path, kind);
    // Directives are followed where lines are read by their fields, or may
    // be after a turn changes the options; a host that takes lines in
    // batches changes none during a scan.
    const bool followW3c = plan.ahead.readsFields() || !turns.linesInBatches();
    ChunkedLines lines(bytes, plan.threads, plan.block, LineReader::kMaxLine, plan.ahead,
                       &compressedRead_, input.w3cFieldsAtStart(path), followW3c);
    fieldLinesAtStart_ = counters_.fields.lines();
    knownLinesAtStart_ = counters_.fields.knownLayoutLines();
    readAndMatch(input, turns, path, lines, bytes);
}

std::unique_ptr<ByteSource> Scanner::openLog(PacedTurns& turns, const std::string& path,
                                             Compression& kind) {
    ScanObserver& observer = turns.observer();
    if (std::string reason = NotOrdinaryReason(fs_, path); !reason.empty()) {
        observer.fileProblem(path, FileProblem::Missing, reason);
        return nullptr;
    }
    std::string error;
    std::unique_ptr<ByteSource> source = fs_.openRead(path, error);
    if (!source) {
        observer.fileProblem(path, FileProblem::Unreadable, error);
        return nullptr;
    }
    // A compressed file is decompressed while it is read. Each decoded block
    // gives the window a turn and a look at Stop, so a line that inflates
    // without end (up to the line limit) cannot hold the scan.
    decodeStopped_ = false;
    compressedRead_ = 0;
    std::string head;
    source = OpenDecoded(
        std::move(source), kind,
        [this, &turns](std::uint64_t compressed) {
            compressedRead_ = compressed;
            turns.giveEventLoopTurn();
            decodeStopped_ = counters_.cancelRequested;
            return !decodeStopped_;
        },
        &head, kPageSniffBytes, MayBeginReport);
    if (!source) {
        observer.fileProblem(path, FileProblem::Unreadable, "Not enough memory");
        return nullptr;
    }
    // An export page or report picked up with the logs around it: read as a
    // log, each of its links would come back as a referrer of its own.
    if (kind == Compression::None && LooksLikeOwnPage(head)) {
        observer.fileProblem(path, FileProblem::OwnPage, kOwnPageReason);
        return nullptr;
    }
    if (kind == Compression::None) {
        progressByBytes_ = false;
    }
    return source;
}

Scanner::LinePlan Scanner::planLines(ScanInput& input, const std::string& path, Compression kind) {
    LinePlan plan;
    // The block follows the file's size; a compressed file's size says
    // little about its lines, so it gets the default block.
    const std::uint64_t size = fs_.status(path).size;
    plan.block = chunkBytes_ > 0             ? chunkBytes_
                 : kind == Compression::None ? LineReader::BlockFor(size)
                                             : LineReader::kDefaultBlock;
    // Other threads match lines ahead with the options as they stand now;
    // each line is still taken with the options of its own turn. A plain
    // file of one block (a size of 0 says nothing: standard input) is read
    // and matched line by line: helpers would have nothing to share.
    const bool oneBlock = chunkBytes_ == 0 && kind == Compression::None && size > 0 &&
                          size < LineReader::kDefaultBlock;
    plan.threads = oneBlock ? 1 : ThreadsFor(threads_);
    if (plan.threads > 1) {
        const LineOptions now = input.lineOptions();
        plan.ahead = MatchOptions(now.ownDomain, now.rules, now.spam, now.fields);
    }
    return plan;
}

void Scanner::readAndMatch(ScanInput& input, PacedTurns& turns, const std::string& path,
                           ChunkedLines& lines, const TurnTakingSource& bytes) {
    for (;;) {
        // The end test comes before the Stop test: an empty file still
        // counts as done after a Stop. A file that a Stop cut short in the
        // middle of a line is not done.
        if (lines.atEnd() && !decodeStopped_ && !bytes.stopped()) {
            endFile(turns.observer(), path, lines);
            return;
        }
        if (counters_.cancelRequested) {
            cancelFile(turns.observer());
            return;
        }
        Took took = bytes.stopped() ? Took::Nothing : takeMatchedAhead(input, turns, lines);
        if (took == Took::Nothing) {
            took = takeNextLine(input, turns, lines, bytes);
        }
        if (took == Took::ListFull) {
            turns.observer().fileProblem(path, FileProblem::ReadFailed, TooManyText(workList_));
            return;
        }
    }
}

// The rest of a chunk matched ahead, with one turn after it; or, at a pace
// of a turn every so many steps, as many lines as pass before the next turn,
// with none. Nothing where the helpers matched nothing ahead with the
// options of now.
Scanner::Took Scanner::takeMatchedAhead(ScanInput& input, PacedTurns& turns, ChunkedLines& lines) {
    const bool batch = turns.linesInBatches();
    const std::size_t most = batch ? SIZE_MAX : turns.quietSteps();
    if (most == 0) {
        return Took::Nothing;
    }
    const LineOptions options = input.lineOptions();
    const ChunkedLines::Taken taken =
        lines.takeRest(options.ownDomain, options.rules, options.spam, options.fields, workList_,
                       counters_.fields, most);
    if (taken.lines == 0) {
        return Took::Nothing;
    }
    counters_.linesScanned += static_cast<std::int64_t>(taken.lines);
    counters_.spamHidden += static_cast<std::int64_t>(taken.spam);
    counters_.linksFound += static_cast<std::int64_t>(taken.links);
    if (taken.full) {
        return Took::ListFull;
    }
    compressedShown_ = lines.mark();
    advanceProgress(turns.observer(), static_cast<std::int64_t>(taken.lines));
    if (batch) {
        turns.step();
    } else {
        turns.passQuietly(taken.lines);
    }
    return Took::Lines;
}

// One line, matched with the options of its turn.
Scanner::Took Scanner::takeNextLine(ScanInput& input, PacedTurns& turns, ChunkedLines& lines,
                                    const TurnTakingSource& bytes) {
    if (!lines.next() || bytes.stopped()) {
        return Took::Nothing;  // a read error (the end test reports it) or a Stop
    }
    ++counters_.linesScanned;
    const LineOptions options = input.lineOptions();
    const LineKind kind =
        lines.kindWith(options.ownDomain, options.rules, options.spam, options.fields);
    if (const std::uint8_t note = lines.note()) {
        counters_.fields.add(note);
    }
    switch (kind) {
        case LineKind::None:
            break;
        case LineKind::Spam:
            ++counters_.spamHidden;
            break;
        case LineKind::Link:
            if (!lines.appendTo(workList_)) {
                return Took::ListFull;
            }
            ++counters_.linksFound;
            break;
    }
    compressedShown_ = lines.mark();
    stepProgress(turns);
    return Took::Lines;
}

void Scanner::endFile(ScanObserver& observer, const std::string& path, const ChunkedLines& lines) {
    if (lines.failed()) {
        observer.fileProblem(path, FileProblem::ReadFailed, lines.error());
        return;
    }
    ++counters_.filesDone;
    // A file whose lines were read by their fields and none was of a known
    // layout is named in the statistics: its format is not one read so.
    if (counters_.fields.lines() > fieldLinesAtStart_ &&
        counters_.fields.knownLayoutLines() == knownLinesAtStart_) {
        counters_.fields.filesOfNoKnownLayout.push_back(path);
    }
    observer.setStatusText(FinishedStatusText(counters_));
}

void Scanner::cancelFile(ScanObserver& observer) {
    observer.setStatusText(kCancelledStatus);
    progress_.value = 0.01;
    progress_.done = 0;
    observer.setProgressValue(progress_);
}

void Scanner::stepProgress(PacedTurns& turns) {
    advanceProgress(turns.observer(), 1);
    turns.step();
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

}  // namespace tallowby
