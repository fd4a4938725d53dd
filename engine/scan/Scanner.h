#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ScanSeam.h"
#include "engine/read/FileSystem.h"
#include "engine/tally/ScanTypes.h"
#include "engine/tally/WorkList.h"

namespace tallowby {

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
    // running (from inside one of its yields).
    ScanOutcome run(ScanInput& input, ScanObserver& observer);
    // The Stop command: the reading loop ends before its next line. The flag
    // stays set until the next scan starts.
    void requestStop() { counters_.cancelRequested = true; }
    bool running() const { return running_; }
    // True while the collapse works on its second thread: the work list must
    // not be read until it is over (the observer's keepAlive() runs meanwhile).
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
    void scanSelectedFiles(ScanInput& input, ScanObserver& observer);
    void prepareFileProgress(ScanInput& input, ScanObserver& observer, const std::string& path);
    void scanLogFile(ScanInput& input, ScanObserver& observer, const std::string& path);
    // After `lines` more lines of the current file (one, or a batch): the
    // progress value, then a yield; advanceProgress() only the value.
    void stepProgress(ScanObserver& observer, std::int64_t lines = 1);
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
    bool running_ = false;
    bool collapsing_ = false;
};

// The duplicate collapse with its status texts and yields: "Removing
// Duplicates...  Please Wait.", progress 0, a yield, then for each position of
// the list as it was, the running "(D removed)" text and a yield (for an
// observer that takes lines in batches: once, with the final figure). Raises
// counters.duplicatesRemoved. A long list is collapsed on a second thread
// while this one calls observer.keepAlive() every few milliseconds, with
// `*onThread` (if given) set meanwhile.
// How many threads a scan's work takes when `asked` for (the --threads
// figure): as asked, or (0) one per core.
unsigned ThreadsFor(unsigned asked);

void ListKillDupes(WorkList& list, ScanCounters& counters, ScanObserver& observer,
                   bool* onThread = nullptr);

// The status texts and the statistics message of a scan.
std::string FinishedStatusText(const ScanCounters& c);
std::string CompleteStatusText(const ScanCounters& c);
std::string StatisticsMessageText(const ScanCounters& c);
inline constexpr const char* kStatisticsTitle = "Scan Finished";
inline constexpr const char* kCancelledStatus = "Cancelled";
inline constexpr const char* kCollapseStatus = "Removing Duplicates...  Please Wait.";

}  // namespace tallowby
