#include "WindowScanHost.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>
#include <cmath>

#include "LogFileChooser.h"
#include "engine/FileHelpers.h"
#include "engine/ShownText.h"
#include "engine/WorkList.h"
#include "platform/MessageBoxes.h"
#include "settings/AppSettings.h"

namespace tallowby {

WindowScanHost::WindowScanHost(Window window) : window_(std::move(window)) {
    sinceTurn_.start();
}

void WindowScanHost::setYieldRate(int intervalMs, int checkEvery) {
    intervalMs_ = std::max(0, intervalMs);
    checkEvery_ = std::max(1, checkEvery);
}

void WindowScanHost::BeginScan() {
    abandoned_ = false;
    RefreshOwnDomain();
    sinceCheck_ = 0;
    sinceTurn_.restart();
}

void WindowScanHost::RefreshOwnDomain() {
    ownDomain_ = window_.settings->strYourWebsite.toStdString();
}

int WindowScanHost::ProgressPosition(double value, double maximum) {
    if (!(maximum > 0) || !(value > 0)) {
        return 0;
    }
    if (value >= maximum) {
        return kProgressSteps;
    }
    const double scaled = std::floor(value / maximum * kProgressSteps);
    return static_cast<int>(std::clamp(scaled, 0.0, double(kProgressSteps - 1)));
}

void WindowScanHost::Flush() {
    if (statusDirty_) {
        window_.statusPanel2->setText(
            QString::fromUtf8(statusText_.data(), qsizetype(statusText_.size())));
        statusDirty_ = false;
    }
    if (progressDirty_) {
        window_.progressBar->setValue(ProgressPosition(progressValue_, progressMaximum_));
        progressDirty_ = false;
    }
}

std::string WindowScanHost::directoryPath() {
    return QFile::encodeName(window_.chooser->filePath()).toStdString();
}

std::int64_t WindowScanHost::fileCount() {
    return window_.chooser->fileCount();
}

std::string WindowScanHost::fileName(std::int64_t index) {
    return window_.chooser->fileNameBytes(int(index)).toStdString();
}

bool WindowScanHost::fileSelected(std::int64_t index) {
    return window_.chooser->fileSelected(int(index));
}

bool WindowScanHost::removeDupes() {
    return window_.settings->bRemoveDupes && !abandoned_;
}
bool WindowScanHost::getFileTypes() {
    return window_.settings->bGetFileTypes;
}
bool WindowScanHost::displayStats() {
    return window_.settings->bDisplayStats && !abandoned_;
}
bool WindowScanHost::httpsReferrers() {
    return window_.settings->bHttpsReferrers;
}
bool WindowScanHost::quotedReferrers() {
    return window_.settings->bQuotedReferrers;
}

void WindowScanHost::setStatusText(std::string_view text) {
    statusText_.assign(text);
    statusDirty_ = true;
}

void WindowScanHost::setProgressValue(double value) {
    progressValue_ = value;
    progressDirty_ = true;
}

void WindowScanHost::setProgressMaximum(double maximum) {
    progressMaximum_ = maximum;
    progressDirty_ = true;
}

void WindowScanHost::yield() {
    // Looking at the clock on every line would cost more than the line.
    if (++sinceCheck_ < checkEvery_) {
        return;
    }
    sinceCheck_ = 0;
    if (sinceTurn_.elapsed() < intervalMs_) {
        return;
    }
    Turn();
    // The Options dialog may have saved a new domain during that turn.
    RefreshOwnDomain();
}

void WindowScanHost::Turn() {
    if (abandoned_) {
        return;  // the windows are gone or going; nobody is left to answer
    }
    Flush();
    QCoreApplication::processEvents();
    sinceTurn_.restart();
}

void WindowScanHost::keepAlive() {
    // Long work between lines (a file's count) gets the same turns as the
    // reading. The own domain is read afresh at the next yield, not here.
    if (sinceTurn_.elapsed() < intervalMs_) {
        return;
    }
    Turn();
}

void WindowScanHost::showStatistics(std::string_view title, std::string_view text) {
    Flush();
    window_.messageBoxes->Show(QString::fromUtf8(text.data(), qsizetype(text.size())),
                               QString::fromUtf8(title.data(), qsizetype(title.size())));
}

void WindowScanHost::toggleResultsView() {
    Flush();
    window_.toggleResultsView();
}

void WindowScanHost::addResults(std::vector<ReferrerEntry> rows) {
    window_.addResults(std::move(rows));
}

void WindowScanHost::addResultRows(const WorkList& list, std::size_t from, std::size_t count,
                                   bool typeCodes) {
    if (abandoned_) {
        return;
    }
    if (window_.addResultRows) {
        window_.addResultRows(list, from, count, typeCodes);
    } else {
        ScanHost::addResultRows(list, from, count, typeCodes);
    }
    if (from + count < list.size()) {
        return;
    }
    // The last batch. The collapse's last stretch and the fill (with the
    // sort of a sorted list) run without a turn, and whatever the user
    // pressed meanwhile (Stop, the close box, File > Exit) still waits in
    // the queue. It must be handled before the scan decides whether to
    // report, not by the statistics box's own loop afterwards, where Stop
    // comes too late and a close box is refused for the modal box. The new
    // rows are painted here too, not at some later turn, and a second turn
    // takes what arrived while they were painted.
    Turn();
    if (window_.paintResults && !abandoned_) {
        window_.paintResults();
    }
    Turn();
}

void WindowScanHost::fileProblem(const std::string& path, FileProblem problem,
                                 std::string_view reason) {
    (void)reason;
    if (problem == FileProblem::Missing) {
        return;  // a file that went away is skipped without a word
    }
    setStatusText("Cannot read " + EscapeControlBytes(FileNamePart(path)));
}

}  // namespace tallowby
