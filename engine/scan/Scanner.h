#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ScanSeam.h"
#include "StatusTexts.h"  // the texts a scan's callers show, with the scan
#include "Threads.h"
#include "engine/read/CompressionKind.h"
#include "engine/read/FileSystem.h"
#include "engine/tally/ScanTypes.h"
#include "engine/tally/WorkList.h"

namespace tallowby {

class ChunkedLines;
class PacedTurns;

// How a run ended.
enum class ScanOutcome {
    Finished,  // every selected file was read (or skipped for a problem)
    Stopped,   // Stop was asked for during the run
    Busy,      // a scan was already running: this call did nothing
};

// The scan run: reads the selected files line by line, keeps the referrer of
// every referring line in the work list and collapses duplicates, reading
// what it needs through a ScanInput and telling a ScanObserver how it goes
// (ScanSeam.h). One Scanner belongs to one window (or one command-line run)
// and keeps the last scan's work list and counters until the next scan
// starts; the caller shows them (rows, "COMPLETE: " text, statistics).
class Scanner {
public:
    explicit Scanner(FileSystem& fs = RealFileSystem());

    // The Scan command: resets the counters, empties the work list, then
    // scans. Busy, doing nothing, when called while a scan is already
    // running (from inside one of its turns).
    ScanOutcome run(ScanInput& input, ScanObserver& observer);
    // The Stop command: the reading loop ends before its next line. The flag
    // stays set until the next scan starts.
    void requestStop() { counters_.cancelRequested = true; }
    bool running() const { return running_; }
    // True while the collapse works on its second thread: the work list must
    // not be read until it is over (the observer's giveEventLoopTurn() runs
    // meanwhile).
    bool collapsing() const { return collapsing_; }
    // How many threads match lines: 0 (the default) one per core, 1 none
    // but the scanning thread. `chunkBytes` > 0 sets the bytes read at a
    // time (tests make it tiny so lines fall across chunks).
    void setThreads(unsigned threads, std::size_t chunkBytes = 0) {
        threads_ = threads;
        chunkBytes_ = chunkBytes;
    }
    // The work list, e.g. to lower its limit() before a run.
    WorkList& workList() { return workList_; }

    const ScanCounters& counters() const { return counters_; }
    const WorkList& workList() const { return workList_; }

private:
    class TurnTakingSource;
    struct LinePlan;
    // What one step of the reading took.
    enum class Took { Nothing, Lines, ListFull };

    void scanSelectedFiles(ScanInput& input, PacedTurns& turns);
    void prepareFileProgress(ScanInput& input, PacedTurns& turns, const std::string& path);
    // One selected file: opened, its lines read and matched, its end told.
    void scanLogFile(ScanInput& input, PacedTurns& turns, const std::string& path);
    // The file's bytes, decompressed while read, or null after telling why
    // there are none.
    std::unique_ptr<ByteSource> openLog(PacedTurns& turns, const std::string& path,
                                        Compression& kind);
    // How the file's lines are read: the block, the threads, the options
    // they are matched ahead with.
    LinePlan planLines(ScanInput& input, const std::string& path, Compression kind);
    // Takes lines until the file ends, fails, fills the list or a Stop ends
    // it, and tells the observer which.
    void readAndMatch(ScanInput& input, PacedTurns& turns, const std::string& path,
                      ChunkedLines& lines, const TurnTakingSource& bytes);
    Took takeMatchedAhead(ScanInput& input, PacedTurns& turns, ChunkedLines& lines);
    Took takeNextLine(ScanInput& input, PacedTurns& turns, ChunkedLines& lines,
                      const TurnTakingSource& bytes);
    void endFile(ScanObserver& observer, const std::string& path, const ChunkedLines& lines);
    void cancelFile(ScanObserver& observer);
    // After one more line of the current file: the progress value, then a
    // step of the turns; advanceProgress() only the value, after `lines`.
    void stepProgress(PacedTurns& turns);
    void advanceProgress(ScanObserver& observer, std::int64_t lines);

    FileSystem& fs_;
    ScanCounters counters_;
    WorkList workList_;
    ScanProgress progress_;
    // The current file is compressed: the bar follows compressedRead_, the
    // compressed bytes behind the lines handed out so far, not a line count.
    bool progressByBytes_ = false;
    std::uint64_t compressedRead_ = 0;
    std::uint64_t compressedShown_ = 0;  // compressedRead_ when the current line was read
    unsigned threads_ = 0;
    std::size_t chunkBytes_ = 0;
    // The field counters' lines, and those of a known layout, as the current file began.
    std::int64_t fieldLinesAtStart_ = 0;
    std::int64_t knownLinesAtStart_ = 0;
    bool decodeStopped_ = false;  // a Stop came while the current file was decompressed
    bool running_ = false;
    bool collapsing_ = false;
};

}  // namespace tallowby
