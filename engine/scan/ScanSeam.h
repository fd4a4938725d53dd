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

#include "engine/match/LineMatch.h"
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
    // Reading the referrer field of known log layouts instead of the
    // written rules, and leaving out crawlers; all off by default.
    FieldRules fields;
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
    // next turn between steps (ScanObserver::turnBetweenSteps()).
    virtual LineOptions lineOptions() = 0;
    // Read once, when the reading has ended: collapse equal referrers (by
    // default, yes).
    virtual bool removeDupes() { return true; }
    // Asked once per file, before it is read: false skips the line count
    // that sizes the progress bar (ScanProgress::total stays unknown), for
    // callers that show no progress or input that can be read only once.
    virtual bool countsLines(const std::string& /*path*/) { return true; }
    // Asked once per file, before it is read: the W3C fields in force where
    // its bytes start (for a piece of a file, those of the last "#Fields:"
    // directive before the piece). A whole file starts with none.
    virtual W3cFields w3cFieldsAtStart(const std::string& /*path*/) { return {}; }
};

// Why a selected file contributed nothing (or less than all of its lines).
enum class FileProblem {
    Missing,     // no such file, or not an ordinary file (directory, FIFO, hidden)
    Unreadable,  // exists but could not be opened
    ReadFailed,  // opened, but reading failed part-way; what was read is kept
    OwnPage,     // a page this program writes (LooksLikeOwnPage), passed over unread
};

// The reason a scan gives with FileProblem::OwnPage.
inline constexpr std::string_view kOwnPageReason = "a page this program writes, not a log";

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

// How often the surroundings want a turn while a scan runs. A turn lets them
// repaint, take a Stop and change what the scan reads (options, the file
// list): between two turns nothing changes.
struct ScanPace {
    enum class Turns {
        // A turn after every step: each line, each position of the duplicate
        // collapse, and one as each file's reading and the collapse begin.
        EveryStep,
        // A turn after every `every`-th step only, for surroundings that
        // would otherwise look at a clock once per line. The steps between
        // two turns may be taken at once (lines matched ahead, positions of
        // the collapse), with lineOptions() read and the progress value or
        // the status text set once for them; the surroundings hear only how
        // many passed (stepsWithoutTurn). As nothing can change between two
        // turns, every turn sees what it would see after every step.
        EveryNthStep,
        // Lines matched ahead on other threads taken a chunk at a time
        // (thousands of lines): lineOptions() is then read, the progress
        // value set and a turn given once per chunk, and a Stop ends the
        // reading after a chunk. The collapse gives its running "(D removed)"
        // text once, with the final figure, and one turn. For surroundings
        // that show nothing per line and whose options cannot change during
        // a scan (the command line). The outputs are the same at any pace.
        EveryBatch,
    };
    Turns turns = Turns::EveryStep;
    // The N of EveryNthStep (at least 1; 1 is EveryStep).
    std::size_t every = 1;
    // False for surroundings with nothing to do in giveEventLoopTurn() (the
    // command line): long work then gives no such turns, and the collapse
    // runs on the calling thread instead of on a thread of its own while the
    // calling thread gives turns. A thread that only waits leaves a core the
    // system may not give to the work: on two cores it has put the collapse
    // and its helper on one core and left the other idle.
    bool turnsDuringLongWork = true;
};

// What a scan tells its surroundings. Every method does nothing unless
// overridden; pace() is read once, when a scan starts.
class ScanObserver {
public:
    virtual ~ScanObserver() = default;

    // How often this host wants a turn (by default, after every step).
    virtual ScanPace pace() const { return {}; }

    // The window's status panel 2.
    virtual void setStatusText(std::string_view /*text*/) {}
    // The progress value changed (after every line, among others).
    virtual void setProgressValue(const ScanProgress& /*progress*/) {}
    // The progress maximum changed: a new file's bar, set after its value.
    virtual void setProgressMaximum(const ScanProgress& /*progress*/) {}
    // A turn between two steps of the scan, at the pace asked for: after a
    // file's line count, after lines, at the steps of the collapse.
    // Anything the scan reads may change in it, and Stop may be asked for.
    virtual void turnBetweenSteps() {}
    // `steps` steps passed with no turn (ScanPace::EveryNthStep): nothing to
    // show, nothing may change.
    virtual void stepsWithoutTurn(std::size_t /*steps*/) {}
    // Called now and then during long work between steps (counting a file's
    // lines, reading a long line: about once per megabyte; a compressed
    // file: once per decoded block; a long collapse), unless the pace says
    // no: a window may give its event loop a turn here. A Stop asked for in
    // it ends the file where it is, even in the middle of a line. Not a turn
    // between steps: nothing but the Stop flag may change in it.
    virtual void giveEventLoopTurn() {}
    // A selected file that could not be (fully) read. `reason` is the
    // system's text.
    virtual void fileProblem(const std::string& /*path*/, FileProblem /*problem*/,
                             std::string_view /*reason*/) {}
};

}  // namespace tallowby
