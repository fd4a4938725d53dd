// window_bench: drives the window's scan through the real WindowScanHost,
// Scanner, LogFileChooser and ResultsList (status label, progress bar and
// list shown in a window), with the steps of the window's Scan command after
// the reading (one fill, two turns around the first paint, the "COMPLETE: "
// text; the "Scan Finished" box is tests/support's recording stand-in), and
// prints figures of the parts of a scan, the main one on the last line. Runs
// on any display (the scripts use the offscreen platform). Collapse and type
// codes on, own domain mysite.example: the same work as
// `tallowby-scan -d mysite.example`. The whole scan as a user sees it, from
// the click to the box on the screen, is window_scan_bench's.
//
//   window_bench distinct LOG
//       reading time against collapse + fill + first paint of the list, then
//       a header click on each column: how long each sort takes and the
//       longest gap between processed events meanwhile.
//   window_bench sites LOG
//       after the scan, sorted by clicks: the switch to the sites view (as
//       Action > Group by Site does it), back and again, with the longest
//       gap between processed events of each.
//   window_bench sources LOG
//       the same for the sources view (Action > Group by Source), then the
//       search keywords view (Action > Group by Search Keyword).
//   window_bench progress LOG
//       how the progress bar moves through LOG, and what counting its lines
//       costs against the whole scan.
#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "GapMeter.h"
#include "WindowFakes.h"
#include "engine/scan/HeapTuning.h"
#include "engine/scan/Scanner.h"
#include "mainwindow/LogFileChooser.h"
#include "mainwindow/SitesPanel.h"
#include "mainwindow/WindowScanHost.h"
#include "results/ResultsList.h"
#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"

using namespace tallowby;
using namespace tallowby::bench;

namespace {

// Notes when the list's viewport paints.
class PaintWatch : public QObject {
public:
    bool painted = false;
    Clock::time_point at;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted = true;
            at = Clock::now();
        }
        return QObject::eventFilter(watched, event);
    }
};

// The window's own host, with marks of the moments the figures need.
class MarkingHost : public WindowScanHost {
public:
    using WindowScanHost::WindowScanHost;

    Clock::time_point collapseAt{};
    Clock::time_point completeAt{};
    Clock::time_point countStart{};
    Clock::duration counting{};

    Clock::time_point fillStart{};
    Clock::time_point fillEnd{};

    void reset() {
        collapseAt = completeAt = countStart = fillStart = fillEnd = {};
        counting = {};
    }
    // Called once per position of the collapse: the marks cost the window a
    // compare or two, so the figures are the window's and not the bench's.
    void setStatusText(std::string_view text) override {
        if (!text.empty() && text.front() == 'R') {
            if (collapseAt == Clock::time_point{} && text.rfind("Removing Duplicates", 0) == 0) {
                collapseAt = Clock::now();
            }
        } else if (text.rfind("COMPLETE: ", 0) == 0) {
            completeAt = Clock::now();
        }
        WindowScanHost::setStatusText(text);
    }
    // A file's name is asked for just before its lines are counted (the
    // progress value, set after every line, is left alone: marking there would
    // weigh on the reading).
    std::string fileName(std::int64_t index) override {
        countStart = Clock::now();
        return WindowScanHost::fileName(index);
    }
    void setProgressMaximum(const ScanProgress& progress) override {
        counting += Clock::now() - countStart;
        WindowScanHost::setProgressMaximum(progress);
    }
};

struct Rig {
    testing::MemorySettings backend;
    SettingsStore store{backend};
    testing::RecordingMessageBoxes boxes;
    AppSettings settings;
    LogFileChooser chooser{store, QStringLiteral("Tallowby"), boxes,
                           [] { return QStringList{QStringLiteral("/")}; }};
    QWidget window;
    QLabel* status = nullptr;
    QProgressBar* bar = nullptr;
    ResultsList* list = nullptr;
    std::unique_ptr<MarkingHost> host;
    Scanner scanner;
    PaintWatch paints;

    explicit Rig(const QString& log) {
        settings.strYourWebsite = QStringLiteral("mysite.example");
        settings.bGetFileTypes = true;
        settings.bRemoveDupes = true;
        settings.bDisplayStats = true;
        const QFileInfo info(log);
        chooser.setFilePath(info.absolutePath());
        for (int i = 0; i < chooser.fileCount(); ++i) {
            chooser.setFileSelected(i, chooser.fileName(i) == info.fileName());
        }

        auto* layout = new QVBoxLayout(&window);
        status = new QLabel(&window);
        bar = new QProgressBar(&window);
        bar->setRange(0, WindowScanHost::kProgressSteps);
        list = new ResultsList(&window);
        layout->addWidget(list, 1);
        // As in the window's status bar: the bar over the first quarter, the
        // status text beside it.
        auto* statusBar = new QHBoxLayout;
        statusBar->addWidget(bar, 1);
        statusBar->addWidget(status, 3);
        layout->addLayout(statusBar);
        list->viewport()->installEventFilter(&paints);

        WindowScanHost::Window w;
        w.statusPanel2 = status;
        w.progressBar = bar;
        w.chooser = &chooser;
        w.settings = &settings;
        w.messageBoxes = &boxes;
        w.scanner = &scanner;
        host = std::make_unique<MarkingHost>(std::move(w));
        window.resize(1024, 700);
        window.show();
        list->hide();  // chooser view: the scan switches to the results
        Settle();
    }

    static void Settle() {
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::processEvents();
        }
    }

    // As the Scan button does. Returns when the scan has ended.
    Clock::time_point scan() {
        list->hide();
        Settle();
        host->reset();
        paints.painted = false;
        const Clock::time_point start = Clock::now();
        list->results().clear();
        host->BeginScan();
        scanner.run(*host, *host);
        host->fillStart = Clock::now();
        list->results().showWorkList(scanner.workList(), settings.bGetFileTypes);
        host->fillEnd = Clock::now();
        host->Turn();
        list->viewport()->repaint();
        host->Turn();
        // As the Scan command reports: the text, then the box, then the view.
        if (!scanner.counters().cancelRequested) {
            host->setStatusText(CompleteStatusText(scanner.counters()));
            host->ShowStatistics(kStatisticsTitle, StatisticsMessageText(scanner.counters()));
            host->Flush();
            list->show();
        }
        host->Flush();
        return start;
    }

    // Processes events until the list has painted (or a while has passed).
    bool waitForPaint() {
        const Clock::time_point until = Clock::now() + std::chrono::seconds(30);
        while (!paints.painted && Clock::now() < until) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return paints.painted;
    }
};

int Distinct(const QString& log) {
    Rig rig(log);
    const Clock::time_point start = rig.scan();
    const bool painted = rig.waitForPaint();
    const double reading = Ms(rig.host->collapseAt - start);
    const double after = Ms(rig.paints.at - rig.host->collapseAt);
    const int rows = rig.list->results().rowCount();
    std::printf(
        "rows: %d; reading %.0f ms; collapse + fill + first paint %.0f ms%s "
        "(collapse %.0f, fill %.0f, paint %.0f)\n",
        rows, reading, after, painted ? "" : " (no paint seen)",
        Ms(rig.host->fillStart - rig.host->collapseAt), Ms(rig.host->fillEnd - rig.host->fillStart),
        Ms(rig.paints.at - rig.host->fillEnd));
    std::fflush(stdout);

    GapMeter gaps;
    double worst = 0;
    for (int column = 0; column < 3; ++column) {
        rig.paints.painted = false;
        gaps.start();
        const Clock::time_point click = Clock::now();
        // As the header delivers a click: from the event loop.
        double handler = 0;
        QTimer::singleShot(0, rig.list, [&rig, column, &handler] {
            const Clock::time_point t = Clock::now();
            rig.list->lstResults_ColumnClick(column);
            handler = Ms(Clock::now() - t);
        });
        while (!(rig.paints.painted && rig.list->results().isSorted() &&
                 rig.list->results().sortColumn() == column)) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        Rig::Settle();
        gaps.stop();
        worst = std::max(worst, gaps.longestMs());
        std::printf(
            "header click on column %d: handler %.0f ms; sorted and painted after %.0f ms, "
            "longest gap %.1f ms\n",
            column, handler, Ms(rig.paints.at - click), gaps.longestMs());
        std::fflush(stdout);
    }
    std::printf(
        "(collapse + fill + paint)/reading: %.2f (target <= 1); longest gap while sorting: "
        "%.1f ms (target <= 200)\n",
        after / reading, worst);
    return 0;
}

// Switches a scanned list of millions of distinct referrers to a grouped
// view and back, as the view's menu item does, from the event loop, for
// each of `views` in turn (the first one twice: filled, then only shown);
// then scans again while the first one shows, which groups and refills it.
// Prints the longest gap between processed events of each.
int Switching(const QString& log, const std::vector<ResultsView>& views) {
    Rig rig(log);
    rig.scan();
    rig.waitForPaint();
    rig.list->lstResults_ColumnClick(1);  // sorted by clicks, as users look at it
    while (rig.list->results().isSorting()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    auto* frame = new QGroupBox(&rig.window);
    rig.window.layout()->addWidget(frame);
    QMenu menu;
    SitesPanel panel(
        {frame, &menu, rig.list, nullptr, rig.status, &rig.scanner, &rig.boxes, &rig.settings});
    panel.place(QRect(0, 0, 900, 300));
    struct Grouped {
        const char* name;
        QAction* item;
        ResultsList* list;
    };
    auto grouped = [&panel](ResultsView view) {
        switch (view) {
            case ResultsView::Sources:
                return Grouped{"sources", panel.mnuActionSources(), panel.lstSources()};
            case ResultsView::Keywords:
                return Grouped{"keywords", panel.mnuActionKeywords(), panel.lstKeywords()};
            default:
                return Grouped{"sites", panel.mnuActionSites(), panel.lstSites()};
        }
    };
    PaintWatch groupedPaints;
    for (const ResultsView view : views) {
        grouped(view).list->viewport()->installEventFilter(&groupedPaints);
    }
    Rig::Settle();

    GapMeter gaps;
    double worst = 0;
    std::vector<std::pair<ResultsView, bool>> steps;
    for (const ResultsView view : views) {
        steps.push_back({view, true});
        steps.push_back({view, false});
    }
    steps.push_back({views.front(), true});
    for (const auto& [view, on] : steps) {
        const Grouped g = grouped(view);
        rig.paints.painted = groupedPaints.painted = false;
        gaps.start();
        const Clock::time_point click = Clock::now();
        QTimer::singleShot(0, &menu, [item = g.item] { item->trigger(); });
        while (!(on ? groupedPaints.painted : rig.paints.painted) ||
               g.list->results().isSorting() || rig.list->results().isSorting()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        Rig::Settle();
        gaps.stop();
        worst = std::max(worst, gaps.longestMs());
        std::printf("switch to %s: shown after %.0f ms, longest gap %.1f ms (ending %.0f ms in)\n",
                    on ? g.name : "pages", Ms((on ? groupedPaints.at : rig.paints.at) - click),
                    gaps.longestMs(), Ms(gaps.longestEnd() - click));
        std::fflush(stdout);
    }
    QString rows = QStringLiteral("referrers: %1").arg(rig.list->results().rowCount());
    for (const ResultsView view : views) {
        rows += QStringLiteral(", %1: %2")
                    .arg(QLatin1String(grouped(view).name))
                    .arg(grouped(view).list->results().rowCount());
    }
    // A new scan while the first view shows: grouped again and refilled
    // into the sorted list.
    panel.ScanStarting();
    rig.scan();
    gaps.start();
    panel.ScanFinished();
    Rig::Settle();
    gaps.stop();
    worst = std::max(worst, gaps.longestMs());
    std::printf("%s refilled after a scan: longest gap %.1f ms\n", grouped(views.front()).name,
                gaps.longestMs());
    std::printf("%s; longest gap while switching: %.1f ms (target < 100)\n", qPrintable(rows),
                worst);
    return 0;
}

int Progress(const QString& log) {
    Rig rig(log);
    std::vector<Clock::time_point> moves;
    moves.reserve(1 << 16);
    QObject::connect(rig.bar, &QProgressBar::valueChanged,
                     [&](int) { moves.push_back(Clock::now()); });
    GapMeter gaps;
    gaps.start();
    const Clock::time_point start = rig.scan();
    gaps.stop();
    const Clock::time_point end =
        rig.host->collapseAt != Clock::time_point{} ? rig.host->collapseAt : rig.host->completeAt;
    // The bar's movements while reading: from the end of the count to the collapse.
    const Clock::time_point readingFrom = start + rig.host->counting;
    Clock::duration still{};
    Clock::time_point last = readingFrom;
    int during = 0;
    for (const Clock::time_point t : moves) {
        if (t < readingFrom || t > end) {
            continue;
        }
        still = std::max(still, t - last);
        last = t;
        ++during;
    }
    still = std::max(still, end - last);
    const double total = Ms(rig.host->completeAt - start);
    const double counting = Ms(rig.host->counting);
    std::printf(
        "scan %.0f ms, of which counting lines %.0f ms; the bar moved %d times while "
        "reading; longest gap between processed events %.1f ms\n",
        total, counting, during, gaps.longestMs());
    std::printf(
        "counting/scan: %.2f (target <= 0.25); longest time the bar stood still while "
        "reading: %.0f ms\n",
        counting / total, Ms(still));
    return 0;
}

int Usage() {
    std::fputs(
        "usage: window_bench distinct LOG\n"
        "       window_bench progress LOG\n"
        "       window_bench sites LOG\n"
        "       window_bench sources LOG\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    tallowby::ServeLargeBlocksFromTheHeap();  // as the desktop program does
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        return Usage();
    }
    const QString mode = args[1];
    const QString log = QFileInfo(args[2]).absoluteFilePath();
    if (mode == QLatin1String("distinct")) {
        return Distinct(log);
    }
    if (mode == QLatin1String("sites")) {
        return Switching(log, {ResultsView::Sites});
    }
    if (mode == QLatin1String("sources")) {
        return Switching(log, {ResultsView::Sources, ResultsView::Keywords});
    }
    if (mode == QLatin1String("progress")) {
        return Progress(log);
    }
    return Usage();
}
