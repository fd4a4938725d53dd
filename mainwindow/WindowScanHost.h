#pragma once

#include <QElapsedTimer>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ScanFailures.h"
#include "engine/classify/CrawlerList.h"
#include "engine/classify/SpamList.h"
#include "engine/scan/ScanSeam.h"

class QLabel;
class QProgressBar;

namespace tallowby {

class LogFileChooser;
class MessageBoxes;
class Scanner;
struct AppSettings;

// The main window as the scan driver sees it: the file chooser and the
// options as its input, the status panel and the progress bar as its
// observer. Status text and progress are kept here and reach the widgets
// only when the event loop gets a real turn or the scan ends, so millions of
// per-line updates cost next to nothing. What the window does with the
// results is its Scan command's business.
class WindowScanHost : public ScanInput, public ScanObserver {
public:
    // What the host reaches in the window.
    struct Window {
        QLabel* statusPanel2 = nullptr;
        QProgressBar* progressBar = nullptr;
        LogFileChooser* chooser = nullptr;
        const AppSettings* settings = nullptr;
        MessageBoxes* messageBoxes = nullptr;
        // Optional: while it collapses its list on a second thread, the
        // turns take no user input (which could read the list); that waits
        // for the collapse's own turns, a moment later.
        const Scanner* scanner = nullptr;
    };

    // The progress bar runs from 0 to this many steps; the engine's values
    // are scaled onto it.
    static constexpr int kProgressSteps = 10000;

    explicit WindowScanHost(Window window);

    // How often the scan gives the event loop a turn: at most once per
    // `intervalMs`, looking at the clock every `checkEvery` steps
    // (the pace this host asks the scan for). At these
    // turns the status text and the progress bar are brought up to date at
    // most once per frame of the display (kFrameMs), or at every one when
    // `intervalMs` is 0: a repaint costs several turns' worth of work and
    // would not be seen any sooner. After a time that took long, the next
    // waits kShowShare times as long, up to kShowAtLeastEveryMs: where the
    // window is drawn through OpenGL in software (the browser pane makes it
    // drawn through OpenGL, and a display without a graphics processor does
    // that in software), moving the bar redraws the whole window, tens of
    // milliseconds each time, and showing the progress would otherwise take
    // most of the scan's time.
    void setYieldRate(int intervalMs, int checkEvery);
    static constexpr int kFrameMs = 16;
    static constexpr int kShowShare = 10;
    static constexpr int kShowAtLeastEveryMs = 250;

    // Before a scan: the own domain is read afresh and the clock restarts.
    void BeginScan();
    // After a scan (and before anything blocks): pending text and progress
    // reach the widgets.
    void Flush();
    // Hands the event loop a turn now, whatever the rate: pending input is
    // handled and the widgets are brought up to date. None once abandoned.
    void Turn();
    // The window is going away (close box, File > Exit): what is left of the
    // scan only unwinds. No collapse, no rows, no statistics, no more turns.
    void Abandon() { abandoned_ = true; }
    bool abandoned() const { return abandoned_; }

    // The bar position for an engine value and maximum: never full while
    // the value is below the maximum, so the last line of a file leaves the
    // bar one step short.
    static int ProgressPosition(double value, double maximum);

    std::string directoryPath() override;
    std::int64_t fileCount() override;
    std::string fileName(std::int64_t index) override;
    bool fileSelected(std::int64_t index) override;

    // The own domain as of the last turn, the widened rules and, with "Hide
    // known referrer spam" on, the list strSpamList names, read once per
    // scan when first needed, or the built-in list when none is named or it
    // cannot be read (which a message box says once per scan). With "Read
    // the referrer field of known log formats" on, the field rules with the
    // crawler list and "Leave out crawlers"; off, they stay off. The options
    // change only in a turn of the event loop (the Options dialog's "Ok"), so
    // they are read from the settings at the first line after each turn and
    // handed out as they are to every line until the next one.
    LineOptions lineOptions() override;
    bool removeDupes() override;

    // A turn every `checkEvery` steps: those between would only be counted.
    ScanPace pace() const override;
    void setStatusText(std::string_view text) override;
    void setProgressValue(const ScanProgress& progress) override;
    void setProgressMaximum(const ScanProgress& progress) override;
    // The event loop's turn, once `intervalMs` has passed since the last.
    void turnBetweenSteps() override;
    void giveEventLoopTurn() override;
    void fileProblem(const std::string& path, FileProblem problem,
                     std::string_view reason) override;

    // What the summary says after its figures of the spam list this scan
    // used (SkippedLinesNote): empty for none or a list that skipped nothing.
    std::string summaryNote() const { return SkippedLinesNote(spamList_); }

    // Whether the scan used the spam (crawler) list of the file the settings
    // name, not the built-in list (none named, or it could not be read).
    bool spamListFromFile() const { return fileSpamList_ && spamList_ == &*fileSpamList_; }
    bool crawlerListFromFile() const { return fileCrawlers_ && crawlers_ == &*fileCrawlers_; }

    // The statistics message box, after the pending text has reached the
    // widgets; returns when it is closed.
    void ShowStatistics(std::string_view title, std::string_view text);

    // The selected files this scan could not open or read to their end, in
    // the order met (a missing file is not one of them).
    const std::vector<FileFailure>& failures() const { return failures_; }
    // The line options the last scan read last: whether it hid spam and read
    // the referrer field, for what its outputs say of it.
    const LineOptions& scanLineOptions() const { return lineOptions_; }
    // The selected files this scan passed over as pages of the program's own
    // (FileProblem::OwnPage), by name, control bytes escaped, in the order met.
    const std::vector<std::string>& skippedPages() const { return skippedPages_; }

private:
    // A turn of the event loop; with `show` false the widgets are brought
    // up to date only when a frame has passed since they last were.
    void TakeTurn(bool show);
    void RefreshOwnDomain();
    const SpamList* spamList();
    const CrawlerCheck* crawlers();
    // The list the file `path` holds (read into `fromFile` by `load`), or
    // `builtin` when `path` is empty or cannot be read, which a message
    // naming `what` says.
    template <typename List, typename Load>
    const List* listFromSettings(const QString& path, std::optional<List>& fromFile,
                                 const List& builtin, Load load, const QString& what);

    Window window_;
    std::string ownDomain_;
    LineOptions lineOptions_;
    bool lineOptionsStale_ = true;  // a turn (or a new scan) since they were read
    std::string statusText_;
    bool statusDirty_ = false;
    double progressValue_ = 0;
    double progressMaximum_ = 0;
    bool progressDirty_ = false;
    int intervalMs_ = 10;
    int checkEvery_ = 256;
    QElapsedTimer sinceTurn_;
    QElapsedTimer sinceShown_;  // since the widgets were last brought up to date at a turn
    qint64 showEveryNs_ = 0;    // how long the next time waits after the last
    bool abandoned_ = false;
    std::vector<FileFailure> failures_;
    std::vector<std::string> skippedPages_;
    std::optional<SpamList> fileSpamList_;
    const SpamList* spamList_ = nullptr;  // chosen for this scan; null until needed
    std::optional<CrawlerList> fileCrawlers_;
    const CrawlerCheck* crawlers_ = nullptr;  // chosen for this scan; null until needed
};

}  // namespace tallowby
