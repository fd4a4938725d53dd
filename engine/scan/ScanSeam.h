#pragma once

// The scan's seam. The scan driver (Scanner::run) reads the file list and the
// options through a ScanInput, at the moment it needs each, and tells a
// ScanObserver how it goes. The caller reads the outcome, the work list and
// the counters afterwards, and shows them as it likes (the window fills its
// list and shows the statistics; the command line prints).
// All calls come from the thread that runs Scanner::run().

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/match/Rules.h"

namespace tallowby {

class SpamList;

// The options that decide what one line yields.
struct LineOptions {
    // A line containing it (letter case ignored) yields nothing.
    std::string_view ownDomain;
    // The widened referrer rules (see Rules.h); all off by default.
    ReferrerRules rules;
    // Referrer spam to leave out: a line whose referrer's host it matches
    // counts in "lines scanned" and ScanCounters::spamHidden, not in "links
    // found". Null hides nothing.
    const SpamList* spam = nullptr;
};

// What a scan reads of its surroundings.
class ScanInput {
public:
    virtual ~ScanInput() = default;

    // The file list: entries by index from 0, in directoryPath() (empty: the
    // names are paths). The count is taken once when a scan starts; a name
    // and its selected flag are read when the scan reaches that entry.
    virtual std::string directoryPath() { return {}; }
    virtual std::int64_t fileCount() = 0;
    virtual std::string fileName(std::int64_t index) = 0;
    virtual bool fileSelected(std::int64_t /*index*/) { return true; }

    // Read before every line. The views and the list stay valid until the
    // next ScanObserver::yield().
    virtual LineOptions lineOptions() = 0;
    // Read once, when the reading has ended: collapse equal referrers (by
    // default, yes).
    virtual bool removeDupes() { return true; }
    // Asked once per file, before it is read: false skips the line count
    // that sizes the progress bar (ScanProgress::total stays unknown), for
    // callers that show no progress or input that can be read only once.
    virtual bool countsLines(const std::string& /*path*/) { return true; }
};

// Why a selected file contributed nothing (or less than all of its lines).
enum class FileProblem {
    Missing,     // no such file, or not an ordinary file (directory, FIFO, hidden)
    Unreadable,  // exists but could not be opened
    ReadFailed,  // opened, but reading failed part-way; what was read is kept
};

// Where the reading of the current file stands, in two forms.
struct ScanProgress {
    // As the window's bar shows it: for each file the value starts at 0.01
    // and the maximum is the file's units + 1.01; each line read adds one
    // unit (a compressed file moves by compressed bytes instead), and the
    // value never passes the maximum. The collapse sets the value to 0.
    double value = 0;
    double maximum = 0;
    // The same as plain figures: units of the current file read so far, and
    // the file's units as counted before its reading (-1: not counted).
    std::int64_t done = 0;
    std::int64_t total = -1;

    // done / total, clipped to [0, 1]; 1 for a counted empty file; -1 when
    // the total is unknown.
    double fraction() const {
        if (total < 0) {
            return -1;
        }
        if (total == 0 || done >= total) {
            return 1;
        }
        return static_cast<double>(done) / static_cast<double>(total);
    }
};

// What a scan tells its surroundings. Every method does nothing unless
// overridden.
class ScanObserver {
public:
    virtual ~ScanObserver() = default;

    // The window's status panel 2.
    virtual void setStatusText(std::string_view /*text*/) {}
    // The progress value changed (after every line, among others).
    virtual void setProgressValue(const ScanProgress& /*progress*/) {}
    // The progress maximum changed: a new file's bar, set after its value.
    virtual void setProgressMaximum(const ScanProgress& /*progress*/) {}
    // A turn for the surroundings (repaints, Stop, a changed option), after
    // every line and at the steps of the collapse.
    virtual void yield() {}
    // Called now and then during long work between yields (counting a
    // file's lines, reading a long line: about once per megabyte; a
    // compressed file: once per decoded block; a long collapse): a window may
    // give its event loop a turn here. A Stop asked for in it ends the file
    // where it is, even in the middle of a line. Not a yield: nothing but
    // the Stop flag may change in it.
    virtual void keepAlive() {}
    // True lets the scan take the lines matched ahead on other threads a
    // chunk at a time (thousands of lines): lineOptions() is then read, the
    // progress value set and yield() called once per chunk instead of once
    // per line, and a Stop ends the reading after a chunk. For surroundings
    // that show nothing per line and whose options cannot change during a
    // scan (the command line). The outputs are the same either way. The
    // duplicate collapse then gives its running "(D removed)" text once,
    // with the final figure, and one yield, instead of once per position of
    // the list.
    virtual bool takesLinesInBatches() const { return false; }
    // For surroundings that take turns only now and then (a window looks at
    // its clock once every so many yields): how many of the next yields
    // would only be counted. Where the scan can take that many steps at once
    // (lines matched ahead, positions of the collapse), it does, with
    // lineOptions() read and the progress value or the status text set once
    // for them, and calls passedQuietly(n) in place of their n yields. As
    // nothing can change between two turns, nothing the surroundings show
    // differs. 0 (the default): a yield after every step. Not asked for the
    // lines where takesLinesInBatches() is true.
    virtual std::size_t quietYields() const { return 0; }
    virtual void passedQuietly(std::size_t /*steps*/) {}
    // False for surroundings that do nothing in keepAlive() (the command
    // line): long work (the collapse) then runs on the calling thread, with
    // no keepAlive() during it, instead of on a thread of its own while the
    // calling thread gives turns. A thread that only waits leaves a core
    // the system may not give to the work: on two cores it has put the
    // collapse and its helper on one core and left the other idle.
    virtual bool wantsTurns() const { return true; }
    // A selected file that could not be (fully) read. `reason` is the
    // system's text.
    virtual void fileProblem(const std::string& /*path*/, FileProblem /*problem*/,
                             std::string_view /*reason*/) {}
};

}  // namespace tallowby
