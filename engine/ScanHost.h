#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ScanTypes.h"

namespace tallowby {

class WorkList;

// Why a selected file contributed nothing (or less than all of its lines).
enum class FileProblem {
    Missing,     // no such file, or not an ordinary file (directory, FIFO, hidden)
    Unreadable,  // exists but could not be opened
    ReadFailed,  // opened, but reading failed part-way; what was read is kept
};

// Everything the scan driver needs of its surroundings. The main window, the
// command-line scanner and the tests each implement it. All calls come from
// the thread that runs Scanner::run().
class ScanHost {
public:
    virtual ~ScanHost() = default;

    // --- The file list: a directory and its entries, read by index from 0.
    // The count is taken once when a scan starts; a name and its selected flag
    // are read when the scan reaches that entry.
    virtual std::string directoryPath() = 0;
    virtual std::int64_t fileCount() = 0;
    virtual std::string fileName(std::int64_t index) = 0;
    virtual bool fileSelected(std::int64_t index) = 0;

    // --- Options, read at their point of use. The own domain is read before
    // every line; the returned view must stay valid until the next yield().
    virtual std::string_view ownDomain() = 0;
    virtual bool removeDupes() = 0;
    virtual bool getFileTypes() = 0;
    virtual bool displayStats() = 0;
    // The widened referrer rules (see ReferrerRules in Rules.h), read with
    // the own domain before every line. Off unless the host offers them.
    virtual bool httpsReferrers() { return false; }
    virtual bool quotedReferrers() { return false; }

    // --- Feedback.
    virtual void setStatusText(std::string_view text) = 0;  // status panel 2
    virtual void setProgressValue(double value) = 0;
    virtual void setProgressMaximum(double maximum) = 0;
    // Gives the surroundings a turn (repaints, Stop). Called after every line.
    virtual void yield() = 0;
    // Shows the statistics message box and returns when it is closed.
    virtual void showStatistics(std::string_view title, std::string_view text) = 0;

    // --- The results view.
    virtual bool resultsVisible() = 0;
    virtual void toggleResultsView() = 0;

    // --- The results sink.
    virtual void clearResults() = 0;
    // Appends rows, in work-list order, after the rows already there. The
    // fill hands a long list over in several batches, one call after the
    // other with nothing in between (no yield); an empty list comes as one
    // call without rows.
    virtual void addResults(std::vector<ReferrerEntry> rows) = 0;
    // How the fill hands over the rows of entries [from, from + count) of
    // the work list, once per batch. By default they are built as
    // ReferrerEntry rows and passed to addResults(rows); a host that keeps
    // rows its own way may read them straight from the list with
    // ResultCellsOf (Scanner.h). The list does not change during the call.
    virtual void addResultRows(const WorkList& list, std::size_t from, std::size_t count,
                               bool typeCodes);

    // --- Hooks beyond the basic run, with defaults.
    // False skips the line-counting pass that sizes the progress bar (the
    // maximum then stays at 1.01 for every file): for callers that show no
    // progress, or read input that can be read only once.
    virtual bool countsLines() { return true; }
    // Called now and then during long work between yields (counting a
    // file's lines, reading a long line: about once per megabyte read;
    // reading a compressed file, once per decoded block): a window may give
    // its event loop a turn here. A Stop asked for in it ends the file where
    // it is, even in the middle of a line. Not a yield of the run: nothing but
    // the Stop flag may change in it, and the run's own yields stay as they are.
    virtual void keepAlive() {}
    // A selected file that could not be (fully) read. `reason` is the system's text.
    virtual void fileProblem(const std::string& path, FileProblem problem,
                             std::string_view reason) {
        (void)path, (void)problem, (void)reason;
    }
};

}  // namespace tallowby
