// The main window's commands: scanning, the report, the two view switches
// and the layout.

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QResizeEvent>
#include <QStatusBar>
#include <QToolButton>

#include <cmath>

#include "Form1.h"
#include "PaneSplitter.h"
#include "SitesPanel.h"
#include "StatusPanel.h"
#include "WindowScanHost.h"
#include "platform/FileDialogs.h"
#include "results/BrowserPane.h"
#include "results/FileCommands.h"
#include "results/ResultsList.h"
#include "results/ResultsModel.h"
#include "results/ViewExport.h"
#include "results/WebView.h"

namespace tallowby {

namespace {

const QString kExpandCaption = QStringLiteral("Expand");
const QString kContractCaption = QStringLiteral("Contract");

}  // namespace

void Form1::cmdGo_Click() {
    // Scan and "Start Scan" are off while a scan runs, but a click queued
    // before that could still arrive from one of the scan's turns.
    if (scanning_) {
        return;
    }
    scanning_ = true;
    cmdGo_->setEnabled(false);
    mnuActionStart_->setEnabled(false);
    mnuFileReport_->setEnabled(false);
    lstResults_->results().clear();
    sitesPanel_->ScanStarting();
    scanHost_->BeginScan();
    scanner_.run(*scanHost_, *scanHost_);
    scanSettings_ = appSettings_;
    ShowScanResults();
    scanHost_->Flush();
    scanning_ = false;
    sitesPanel_->ScanFinished();
    cmdGo_->setEnabled(true);
    mnuActionStart_->setEnabled(true);
    mnuFileReport_->setEnabled(true);
    if (exitAfterScan_) {
        services_.endProgram();  // File > Exit came during the scan
    } else if (closeAfterScan_) {
        closeAfterScan_ = false;
        // Hidden windows take no close event, so the unload runs here.
        Unload();
    }
}

void Form1::ShowScanResults() {
    WindowScanHost& host = *scanHost_;
    if (host.abandoned()) {
        return;  // the window is going away: nothing more to show
    }
    // The rows are read from the work list where it stands, shown in one
    // insertion: a sorted list is sorted once, and nothing is copied.
    lstResults_->results().showWorkList(scanner_.workList(), appSettings_.bGetFileTypes);
    // The collapse's last stretch and the fill (with the sort of a sorted
    // list) run without a turn, and whatever the user pressed meanwhile
    // (Stop, the close box, File > Exit) still waits in the queue. It must be
    // handled before the scan decides whether to report, not by the
    // statistics box's own loop afterwards, where Stop comes too late and a
    // close box is refused for the modal box. The new rows are painted here
    // too, not at some later turn, and a second turn takes what arrived
    // while they were painted.
    host.Turn();
    if (lstResults_->isVisible() && !host.abandoned()) {
        lstResults_->viewport()->repaint();
    }
    host.Turn();
    if (scanner_.counters().cancelRequested) {
        return;  // a Stop (or the window's end) leaves the figures unreported
    }
    // Files that were not read whole are named after the figures.
    const ScanCounters& counters = scanner_.counters();
    host.setStatusText(CompleteStatusText(counters) + host.summaryNote() +
                       FailuresStatusText(host.failures()) +
                       SkippedPagesStatusText(host.skippedPages()));
    if (appSettings_.bDisplayStats) {
        // What the lines read by their fields came to stands below the
        // figures, after an empty line; the files not read whole come last.
        std::string text = StatisticsMessageText(counters);
        const bool crawlersLeftOut = appSettings_.bReferrerField && appSettings_.bNoCrawlers;
        if (const std::string fields =
                FieldStatisticsText(counters.fields, crawlersLeftOut, "\r\n");
            !fields.empty()) {
            text += "\r\n\r\n" + fields;
        }
        host.ShowStatistics(kStatisticsTitle, text + FailuresMessageText(host.failures()) +
                                                  SkippedPagesMessageText(host.skippedPages()));
    }
    if (frame1_->isHidden()) {
        host.Flush();
        ToggleResultsView();
    }
}

void Form1::ExportShownView(bool json) {
    static QtFileDialogs realDialogs;
    FileDialogs& dialogs = services_.fileDialogs != nullptr ? *services_.fileDialogs : realDialogs;
    struct Shown {
        ViewKind kind;
        const char* name;
        ResultsList* list;
    };
    const ResultsView view = sitesPanel_->shownView();
    const Shown shown = view == ResultsView::Sites
                            ? Shown{ViewKind::Sites, "sites", sitesPanel_->lstSites()}
                        : view == ResultsView::Sources
                            ? Shown{ViewKind::Sources, "sources", sitesPanel_->lstSources()}
                        : view == ResultsView::Keywords
                            ? Shown{ViewKind::Keywords, "keywords", sitesPanel_->lstKeywords()}
                            : Shown{ViewKind::Pages, "referers", lstResults_};
    const QString name =
        QString::fromLatin1(shown.name) + QString::fromLatin1(json ? ".json" : ".csv");
    const QString path = dialogs.SaveFileName(
        this, json ? QStringLiteral("Export as JSON") : QStringLiteral("Export as CSV"),
        SelectedFilePath(chooser_->filePath(), name),
        json ? QStringLiteral("JSON files (*.json)") : QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty()) {
        return;
    }
    const LineOptions& options = scanHost_->scanLineOptions();
    const ViewStatistics stats{&scanner_.counters(), options.spam != nullptr, options.fields.on};
    GroupedRows grouped;
    if (shown.kind == ViewKind::Sources) {
        grouped.sources = &sitesPanel_->sources();
    } else if (shown.kind == ViewKind::Keywords) {
        grouped.keywords = &sitesPanel_->keywords();
    }
    ExportView(path, shown.list->results(), shown.kind, json ? ViewFormat::Json : ViewFormat::Csv,
               stats, chooser_->selectedFilePaths(), services_.platform.messageBoxes,
               RealFileSystem(), grouped);
}

void Form1::mnuFileReport_Click() {
    if (scanning_) {
        return;  // the list is not whole yet
    }
    const QString suggested = SuggestedReportPath(chooser_->filePath());
    const QString path = chooseReportPath_ ? chooseReportPath_(this, suggested)
                                           : QFileDialog::getSaveFileName(
                                                 this, QStringLiteral("Save Report"), suggested,
                                                 QStringLiteral("HTML pages (*.html *.htm)"));
    if (path.isEmpty()) {
        return;  // cancelled
    }
    const AppSettings& s = scanSettings_;
    ReportOptions options;
    options.ownDomain = s.strYourWebsite.toStdString();
    options.collapse = s.bRemoveDupes;
    options.typeCodes = s.bGetFileTypes;
    options.https = s.bHttpsReferrers;
    options.quoted = s.bQuotedReferrers;
    options.hideSpam = s.bHideSpam;
    // A list that could not be read left the built-in one in its place.
    if (scanHost_->spamListFromFile()) {
        options.spamList = QFile::encodeName(s.strSpamList).toStdString();
    }
    options.fields = s.bReferrerField;
    options.noCrawlers = s.bReferrerField && s.bNoCrawlers;
    if (scanHost_->crawlerListFromFile()) {
        options.crawlerList = QFile::encodeName(s.strCrawlerList).toStdString();
    }
    ReportInput report{scanner_.workList(), sitesPanel_->sites(), scanner_.counters(),
                       std::move(options)};
    report.threads = 0;
    SaveReport(path, report, chooser_->selectedFilePaths(), services_.platform.messageBoxes);
}

void Form1::cmdStop_Click() {
    scanner_.requestStop();
}

bool Form1::resultsViewShown() const {
    return frmMain_->isHidden();
}

bool Form1::widePanes() const {
    return cmdExpnd_->text() != kExpandCaption;
}

void Form1::ToggleResultsView() {
    // Both frames share one place, so no layout is needed.
    if (!frmMain_->isHidden()) {
        frmMain_->hide();
        frame1_->show();
    } else {
        frmMain_->show();
        frame1_->hide();
    }
}

void Form1::ToggleWidePanes() {
    if (cmdExpnd_->text() == kExpandCaption) {
        geometry_ = ExpandPanes(geometry_, outerWidth());
        cmdExpnd_->setIcon(imgContract_);
        cmdExpnd_->setText(kContractCaption);
    } else {
        cmdExpnd_->setIcon(imgExpand_);
        cmdExpnd_->setText(kExpandCaption);
    }
    LayoutControls();
}

double Form1::outerWidth() const {
    return twips::FromPixels(frameGeometry().width());
}

void Form1::MovePaneSplitter(int x) {
    chosenPaneWidth_ = NarrowPaneWidth(twips::FromPixels(x) - geometry_.frmMain.left, outerWidth(),
                                       geometry_.frmMain.left);
    if (widePanes()) {
        ToggleWidePanes();  // back to narrow-pane mode, at the new width
        return;
    }
    LayoutControls();
}

void Form1::KeepPaneSplitter() {
    if (chosenPaneWidth_ > 0) {
        store_.SaveSetting(application_, kSectionSettings, kKeyPaneWidth,
                           QString::number(std::lround(chosenPaneWidth_)));
    }
}

void Form1::LayoutControls() {
    if (panels_.size() < 3) {
        return;  // the load step has not got this far yet
    }
    const QRect outer = frameGeometry();
    QStatusBar* bar = statusBar();
    geometry_.statusBarTop = twips::FromPixels(bar->y() - client_->y());
    geometry_.panel1Left = 0;
    // Narrow-pane mode follows the splitter, or half the window until it
    // has been moved; wide-pane mode keeps what Expand gave it.
    if (!widePanes()) {
        geometry_ = ContractPanes(
            geometry_, NarrowPaneWidth(chosenPaneWidth_, outerWidth(), geometry_.frmMain.left));
    }
    geometry_ = ::tallowby::LayoutControls(geometry_, twips::FromPixels(outer.width()),
                                           twips::FromPixels(outer.height()),
                                           twips::FromPixels(bar->height()));
    ApplyGeometry();
}

void Form1::keyPressEvent(QKeyEvent* event) {
    // A button ignores Enter and Return, which come up here from it.
    auto* button = qobject_cast<QAbstractButton*>(focusWidget());
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && button != nullptr &&
        button->isEnabled() && button->isVisible()) {
        button->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void Form1::ApplyGeometry() {
    const FormGeometry& g = geometry_;
    // Panels 1 to 3 lie side by side from the bar's left edge; together they
    // are as wide as the window's outer width.
    const double widths[] = {g.panel1Width, g.panel2Width, g.panel3Width};
    double left = g.panel1Left;
    for (int i = 0; i < 3; ++i) {
        panels_[i]->setGeometry(twips::ToPixels(
            TwipsRect{left, 0, widths[i], twips::FromPixels(statusBar()->height())}));
        left += widths[i];
    }
    TwipsRect progress = g.ProgressBar1;
    progress.top -= g.statusBarTop;  // the bar is a child of the status bar
    progressBar1_->setGeometry(twips::ToPixels(progress));
    progressBar1_->raise();

    command8_->setGeometry(twips::ToPixels(g.Command8));
    frmMain_->setGeometry(twips::ToPixels(g.frmMain));
    frame1_->setGeometry(twips::ToPixels(g.Frame1));
    frmBrowser_->setGeometry(twips::ToPixels(g.frmBrowser));
    drive1_->setGeometry(twips::ToPixels(g.Drive1));
    dir1_->setGeometry(twips::ToPixels(g.Dir1));
    file1_->setGeometry(twips::ToPixels(g.File1));
    lstResults_->setGeometry(twips::ToPixels(g.lstResults));
    if (sitesPanel_) {
        sitesPanel_->place(twips::ToPixels(g.lstResults));
    }
    frmBrowser_->text1()->setGeometry(twips::ToPixels(g.Text1));
    frmBrowser_->command3()->setGeometry(twips::ToPixels(g.Command3));
    frmBrowser_->webBrowser()->setGeometry(twips::ToPixels(g.WebBrowser1));
    splPanes_->placeAt(twips::ToPixels(g.frmBrowser.left), twips::ToPixels(g.frmMain.top),
                       twips::ToPixels(g.frmMain.height));
}

void Form1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (isMinimized()) {
        return;
    }
    LayoutControls();
}

void Form1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Coming back from minimised need not change the size, so no resize
    // event would bring the layout up to date.
    if (event->type() == QEvent::WindowStateChange && !isMinimized()) {
        LayoutControls();
    }
}

}  // namespace tallowby
