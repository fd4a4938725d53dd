#pragma once

#include <QElapsedTimer>

#include <functional>
#include <string>
#include <vector>

#include "engine/ScanHost.h"

class QLabel;
class QProgressBar;

namespace tallowby {

class LogFileChooser;
class MessageBoxes;
struct AppSettings;

// The main window as the scan driver sees it. Status text and progress are
// kept here and reach the widgets only when the event loop gets a real turn
// or the scan ends, so millions of per-line updates cost next to nothing.
class WindowScanHost : public ScanHost {
public:
    // What the host reaches in the window; the callbacks lead to the view
    // switch and the results list.
    struct Window {
        QLabel* statusPanel2 = nullptr;
        QProgressBar* progressBar = nullptr;
        LogFileChooser* chooser = nullptr;
        const AppSettings* settings = nullptr;
        MessageBoxes* messageBoxes = nullptr;
        std::function<bool()> resultsVisible;
        std::function<void()> toggleResultsView;
        std::function<void()> clearResults;
        std::function<void(std::vector<ReferrerEntry>)> addResults;
        // Optional: takes the fill's rows straight from the work list
        // (entries from, count, type codes on), without ReferrerEntry rows.
        std::function<void(const WorkList&, std::size_t, std::size_t, bool)> addResultRows;
        // Optional: paints the new rows now, if they are on the screen.
        std::function<void()> paintResults;
    };

    // The progress bar runs from 0 to this many steps; the engine's values
    // are scaled onto it.
    static constexpr int kProgressSteps = 10000;

    explicit WindowScanHost(Window window);

    // How often the scan gives the event loop a turn: at most once per
    // `intervalMs`, looking at the clock every `checkEvery` yields.
    void setYieldRate(int intervalMs, int checkEvery);

    // Before a scan: the own domain is read afresh and the clock restarts.
    void BeginScan();
    // After a scan (and before anything blocks): pending text and progress
    // reach the widgets.
    void Flush();
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

    std::string_view ownDomain() override { return ownDomain_; }
    bool removeDupes() override;
    bool getFileTypes() override;
    bool displayStats() override;
    bool httpsReferrers() override;
    bool quotedReferrers() override;

    void setStatusText(std::string_view text) override;
    void setProgressValue(double value) override;
    void setProgressMaximum(double maximum) override;
    void yield() override;
    void keepAlive() override;
    void showStatistics(std::string_view title, std::string_view text) override;

    bool resultsVisible() override { return window_.resultsVisible(); }
    void toggleResultsView() override;

    void clearResults() override { window_.clearResults(); }
    void addResults(std::vector<ReferrerEntry> rows) override;
    void addResultRows(const WorkList& list, std::size_t from, std::size_t count,
                       bool typeCodes) override;

    void fileProblem(const std::string& path, FileProblem problem,
                     std::string_view reason) override;

private:
    void RefreshOwnDomain();
    // Hands the event loop a turn now, whatever the rate: pending input is
    // handled and the widgets are brought up to date.
    void Turn();

    Window window_;
    std::string ownDomain_;
    std::string statusText_;
    bool statusDirty_ = false;
    double progressValue_ = 0;
    double progressMaximum_ = 0;
    bool progressDirty_ = false;
    int intervalMs_ = 10;
    int checkEvery_ = 256;
    int sinceCheck_ = 0;
    QElapsedTimer sinceTurn_;
    bool abandoned_ = false;
};

}  // namespace tallowby
