#include "WindowScanHost.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>
#include <cmath>

#include "LogFileChooser.h"
#include "engine/match/ShownText.h"
#include "engine/read/FilePaths.h"
#include "engine/read/FileSystem.h"
#include "engine/scan/FileProblemText.h"
#include "engine/scan/ListFiles.h"
#include "engine/scan/Scanner.h"
#include "engine/tally/WorkList.h"
#include "platform/MessageBoxes.h"
#include "settings/AppSettings.h"

namespace tallowby {

namespace {

constexpr qint64 kNsPerMs = 1000000;

}  // namespace

WindowScanHost::WindowScanHost(Window window) : window_(std::move(window)) {
    sinceTurn_.start();
    sinceShown_.start();
}

void WindowScanHost::setYieldRate(int intervalMs, int checkEvery) {
    intervalMs_ = std::max(0, intervalMs);
    checkEvery_ = std::max(1, checkEvery);
}

void WindowScanHost::BeginScan() {
    abandoned_ = false;
    failures_.clear();
    skippedPages_.clear();
    lineOptions_ = LineOptions{};
    RefreshOwnDomain();
    spamList_ = nullptr;
    crawlers_ = nullptr;
    lineOptionsStale_ = true;
    sinceTurn_.restart();
    showEveryNs_ = 0;  // the first turn shows the new scan
}

void WindowScanHost::RefreshOwnDomain() {
    ownDomain_ = window_.settings->strYourWebsite.toStdString();
    lineOptionsStale_ = true;
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

LineOptions WindowScanHost::lineOptions() {
    if (lineOptionsStale_) {
        lineOptionsStale_ = false;
        lineOptions_.ownDomain = ownDomain_;
        lineOptions_.rules =
            ReferrerRules{window_.settings->bHttpsReferrers, window_.settings->bQuotedReferrers};
        lineOptions_.spam = spamList();
        lineOptions_.fields = window_.settings->bReferrerField
                                  ? FieldRules{true, window_.settings->bNoCrawlers, crawlers()}
                                  : FieldRules{};
    }
    return lineOptions_;
}

template <typename List, typename Load>
const List* WindowScanHost::listFromSettings(const QString& path, std::optional<List>& fromFile,
                                             const List& builtin, Load load, const QString& what) {
    if (path.isEmpty()) {
        return &builtin;
    }
    std::string error;
    fromFile = load(RealFileSystem(), QFile::encodeName(path).toStdString(), error);
    if (fromFile) {
        return &*fromFile;
    }
    Flush();
    window_.messageBoxes->Show(QStringLiteral("Cannot read the ") + what + QStringLiteral(" ") +
                               path + QStringLiteral(": ") + QString::fromStdString(error) +
                               QStringLiteral("\nThe built-in list is used instead."));
    lineOptionsStale_ = true;  // the box's own event loop may have changed them
    return &builtin;
}

const CrawlerCheck* WindowScanHost::crawlers() {
    if (crawlers_ == nullptr) {
        crawlers_ = listFromSettings(window_.settings->strCrawlerList, fileCrawlers_,
                                     CrawlerList::Builtin(), LoadCrawlerList,
                                     QStringLiteral("crawler list"));
    }
    return crawlers_;
}

const SpamList* WindowScanHost::spamList() {
    if (!window_.settings->bHideSpam) {
        return nullptr;
    }
    if (spamList_ == nullptr) {
        spamList_ =
            listFromSettings(window_.settings->strSpamList, fileSpamList_, SpamList::Builtin(),
                             LoadSpamList, QStringLiteral("spam list"));
    }
    return spamList_;
}

void WindowScanHost::setStatusText(std::string_view text) {
    statusText_.assign(text);
    statusDirty_ = true;
}

void WindowScanHost::setProgressValue(const ScanProgress& progress) {
    progressValue_ = progress.value;
    progressDirty_ = true;
}

void WindowScanHost::setProgressMaximum(const ScanProgress& progress) {
    progressMaximum_ = progress.maximum;
    progressDirty_ = true;
}

ScanPace WindowScanHost::pace() const {
    // Looking at the clock on every line would cost more than the line.
    return {.turns = ScanPace::Turns::EveryNthStep, .every = static_cast<std::size_t>(checkEvery_)};
}

void WindowScanHost::turnBetweenSteps() {
    if (sinceTurn_.elapsed() < intervalMs_) {
        return;
    }
    TakeTurn(false);
    // The Options dialog may have saved a new domain during that turn.
    RefreshOwnDomain();
}

void WindowScanHost::Turn() {
    TakeTurn(true);
}

void WindowScanHost::TakeTurn(bool show) {
    if (abandoned_) {
        return;  // the windows are gone or going; nobody is left to answer
    }
    if (show || intervalMs_ == 0 || sinceShown_.nsecsElapsed() >= showEveryNs_) {
        // A progress bar repaints as its value is set: the time of the
        // update is the time of showing it.
        QElapsedTimer showing;
        showing.start();
        Flush();
        showEveryNs_ = std::clamp(showing.nsecsElapsed() * kShowShare,
                                  qint64{std::max(intervalMs_, kFrameMs)} * kNsPerMs,
                                  qint64{std::max(intervalMs_, kShowAtLeastEveryMs)} * kNsPerMs);
        sinceShown_.restart();
    }
    const bool listBusy = window_.scanner != nullptr && window_.scanner->collapsing();
    QCoreApplication::processEvents(listBusy ? QEventLoop::ExcludeUserInputEvents
                                             : QEventLoop::AllEvents);
    sinceTurn_.restart();
    lineOptionsStale_ = true;
}

void WindowScanHost::giveEventLoopTurn() {
    // Long work between steps (a file's count) gets the same turns as the
    // reading. The own domain is read afresh at the next step's turn, not here.
    if (sinceTurn_.elapsed() < intervalMs_) {
        return;
    }
    TakeTurn(false);
}

void WindowScanHost::ShowStatistics(std::string_view title, std::string_view text) {
    Flush();
    window_.messageBoxes->Show(QString::fromUtf8(text.data(), qsizetype(text.size())),
                               QString::fromUtf8(title.data(), qsizetype(title.size())));
}

void WindowScanHost::fileProblem(const std::string& path, FileProblem problem,
                                 std::string_view reason) {
    if (problem == FileProblem::Missing) {
        return;  // a file that went away is skipped without a word
    }
    std::string name = EscapeControlBytes(FileNamePart(path));
    if (problem == FileProblem::OwnPage) {
        setStatusText("Skipped " + name + ": " + std::string(reason));
        skippedPages_.push_back(std::move(name));
        return;
    }
    setStatusText("Cannot read " + name);
    failures_.push_back({std::move(name), EscapeControlBytes(FileProblemText(problem, reason))});
}

}  // namespace tallowby
