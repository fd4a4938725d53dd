// window_bench: drives the window's scan through the real WindowScanHost,
// Scanner, LogFileChooser and ResultsList (status label, progress bar and
// list shown in a window), with the steps of the window's Scan command after
// the reading (one fill, two turns around the first paint, the "COMPLETE: "
// text and the "Scan Finished" box, which only notes the time), and prints
// figures, the main one on the last line. Runs on any display (the scripts
// use Xvfb with a window manager). Collapse and type codes on, own domain
// mysite.example: the same work as `tallowby-scan -d mysite.example`.
//
//   window_bench scan LOG --cli PATH [--runs N]
//       window scan (Scan to the "Scan Finished" box) against tallowby-scan on LOG, in
//       alternating runs; the longest gap between two processed events; how
//       long a Stop posted half-way through takes to end the reading; and
//       the window's own work: its time less that of the engine's scan alone
//       (no line count, no turns) in the same process.
//   window_bench distinct LOG
//       reading time against collapse + fill + first paint of the list, then
//       a header click on each column: how long each sort takes and the
//       longest gap between processed events meanwhile.
//   window_bench sites LOG
//       after the scan, sorted by clicks: the switch to the sites view (as
//       Action > Group by Site does it), back and again, with the longest
//       gap between processed events of each.
//   window_bench progress LOG
//       how the progress bar moves through LOG, and what counting its lines
//       costs against the whole scan.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include "WindowFakes.h"
#include "engine/read/FileHelpers.h"
#include "engine/scan/HeapTuning.h"
#include "engine/scan/Scanner.h"
#include "mainwindow/LogFileChooser.h"
#include "mainwindow/SitesPanel.h"
#include "mainwindow/WindowScanHost.h"
#include "results/ResultsList.h"
#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"

using namespace tallowby;

namespace {

using Clock = std::chrono::steady_clock;

// CPU time of the process (all its threads) in ms: steadier than the clock
// on a machine that others share, though it leaves out the display server.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Notes when the "Scan Finished" box would show; shows nothing.
class NoBoxes : public MessageBoxes {
public:
    Clock::time_point statisticsAt{};
    double statisticsCpu = 0;
    void Show(const QString&, const QString& title) override {
        if (title == QLatin1String(kStatisticsTitle)) {
            statisticsAt = Clock::now();
            statisticsCpu = CpuMs();
        }
    }
};

// A zero-interval timer: it fires on every turn of the event loop, so the
// longest time between two firings is the longest time the window went
// without processing events.
class GapMeter : public QObject {
public:
    GapMeter() {
        timer_.setInterval(0);
        connect(&timer_, &QTimer::timeout, this, [this] {
            const Clock::time_point now = Clock::now();
            if (started_ && now - last_ > longest_) {
                longest_ = now - last_;
                longestEnd_ = now;
            }
            started_ = true;
            last_ = now;
            ++turns_;
        });
    }
    // The first gap runs from here to the first firing.
    void start() {
        longest_ = {};
        started_ = true;
        last_ = Clock::now();
        turns_ = 0;
        timer_.start();
    }
    void stop() { timer_.stop(); }
    double longestMs() const { return Ms(longest_); }
    // When the longest gap ended.
    Clock::time_point longestEnd() const { return longestEnd_; }
    long turns() const { return turns_; }

private:
    QTimer timer_;
    Clock::time_point last_;
    Clock::duration longest_{};
    Clock::time_point longestEnd_{};
    bool started_ = false;
    long turns_ = 0;
};

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
    Clock::time_point cancelledAt{};
    Clock::time_point countStart{};
    Clock::duration counting{};

    Clock::time_point fillStart{};
    Clock::time_point fillEnd{};

    void reset() {
        collapseAt = completeAt = cancelledAt = countStart = fillStart = fillEnd = {};
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
        } else if (text == kCancelledStatus && cancelledAt == Clock::time_point{}) {
            cancelledAt = Clock::now();
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
    NoBoxes boxes;
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
    double startCpu = 0;  // of the last scan()

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
        boxes.statisticsAt = {};
        paints.painted = false;
        const Clock::time_point start = Clock::now();
        startCpu = CpuMs();
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

// The engine's scan of one file with nothing around it, as tallowby-scan
// --quiet runs it: no line count, no turns, lines a chunk at a time; the
// collapse included.
class PlainHost : public ScanInput, public ScanObserver {
public:
    explicit PlainHost(std::string path) : path_(std::move(path)) {}
    std::int64_t fileCount() override { return 1; }
    std::string fileName(std::int64_t) override { return path_; }
    LineOptions lineOptions() override {
        LineOptions options;
        options.ownDomain = "mysite.example";
        return options;
    }
    bool countsLines(const std::string&) override { return false; }
    ScanPace pace() const override {
        return {.turns = ScanPace::Turns::EveryBatch, .turnsDuringLongWork = false};
    }

private:
    std::string path_;
};

// Wall and CPU ms.
std::pair<double, double> TimeEngine(const QString& log) {
    PlainHost host(QFile::encodeName(log).toStdString());
    Scanner scanner;
    const Clock::time_point start = Clock::now();
    const double startCpu = CpuMs();
    scanner.run(host, host);
    return {Ms(Clock::now() - start), CpuMs() - startCpu};
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double TimeCli(const QString& cli, const QString& log) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const Clock::time_point start = Clock::now();
    process.start(cli, {QStringLiteral("-d"), QStringLiteral("mysite.example"),
                        QStringLiteral("--quiet"), log});
    process.waitForFinished(-1);
    return Ms(Clock::now() - start);
}

int Scan(const QString& log, const QString& cli, int runs) {
    Rig rig(log);
    GapMeter gaps;
    std::vector<double> window;
    std::vector<double> command;
    std::vector<double> longest;
    std::vector<double> own;  // the window less the engine alone, run by run
    std::vector<double> ownCpu;
    TimeCli(cli, log);  // both warm
    rig.scan();
    for (int run = 0; run < runs; ++run) {
        command.push_back(TimeCli(cli, log));
        gaps.start();
        const Clock::time_point start = rig.scan();
        gaps.stop();
        window.push_back(Ms(rig.boxes.statisticsAt - start));
        longest.push_back(gaps.longestMs());
        const auto [engine, engineCpu] = TimeEngine(log);
        own.push_back(window.back() - engine);
        ownCpu.push_back(rig.boxes.statisticsCpu - rig.startCpu - engineCpu);
        std::printf(
            "run %d: window %.0f ms (longest gap %.1f ms ending at %.0f ms, %ld turns; counting "
            "lines %.0f ms, collapse from %.0f ms, fill %.0f-%.0f ms), tallowby-scan %.0f ms, "
            "engine alone %.0f ms\n",
            run + 1, window.back(), longest.back(), Ms(gaps.longestEnd() - start), gaps.turns(),
            Ms(rig.host->counting), Ms(rig.host->collapseAt - start),
            Ms(rig.host->fillStart - start), Ms(rig.host->fillEnd - start), command.back(), engine);
        std::fflush(stdout);
    }

    // Stop, "pressed" half-way through: the click is posted from another
    // thread at a set moment, as the windowing system would deliver it.
    const auto delay = std::chrono::milliseconds(static_cast<long>(Median(window) / 2));
    std::atomic<long long> postedAt{0};
    std::thread presser([&] {
        std::this_thread::sleep_for(delay + std::chrono::milliseconds(50));
        postedAt = Clock::now().time_since_epoch().count();
        QMetaObject::invokeMethod(
            qApp, [&] { rig.scanner.requestStop(); }, Qt::QueuedConnection);
    });
    gaps.start();
    rig.scan();  // the presser's clock started just before
    gaps.stop();
    presser.join();
    const Clock::time_point posted{Clock::duration(postedAt.load())};
    const double stopMs =
        rig.host->cancelledAt == Clock::time_point{} ? -1 : Ms(rig.host->cancelledAt - posted);

    const double w = Median(window);
    const double c = Median(command);
    std::printf("window scan (median of %d): %.0f ms; tallowby-scan: %.0f ms\n", runs, w, c);
    // What stays when the engine gets faster: the window's own work (the
    // line count for the bar, the turns, the fill, the report).
    std::printf(
        "the window's own work (window less the engine alone in this process): %.0f ms, "
        "%.0f ms of CPU\n",
        Median(own), Median(ownCpu));
    std::printf("longest gap between processed events: %.1f ms (worst run)\n",
                *std::max_element(longest.begin(), longest.end()));
    std::printf("Stop posted half-way: reading ended %.1f ms later (gap in that run %.1f ms)\n",
                stopMs, gaps.longestMs());
    std::printf("window/tallowby-scan: %.2f (target <= 1.2); longest gap %.1f ms (target <= 50)\n",
                w / c, *std::max_element(longest.begin(), longest.end()));
    return 0;
}

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

// Switches a scanned list of millions of distinct referrers to the sites
// view and back, as the menu item does, from the event loop; prints the
// longest gap between processed events of each switch.
int Sites(const QString& log) {
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
    SitesPanel panel({frame, &menu, rig.list, nullptr, rig.status, &rig.scanner, &rig.boxes});
    panel.place(QRect(0, 0, 900, 300));
    PaintWatch sitePaints;
    panel.lstSites()->viewport()->installEventFilter(&sitePaints);
    Rig::Settle();

    GapMeter gaps;
    double worst = 0;
    for (const bool on : {true, false, true}) {
        rig.paints.painted = sitePaints.painted = false;
        gaps.start();
        const Clock::time_point click = Clock::now();
        QTimer::singleShot(0, &menu, [&panel] { panel.mnuActionSites()->trigger(); });
        while (!(on ? sitePaints.painted : rig.paints.painted) ||
               panel.lstSites()->results().isSorting() || rig.list->results().isSorting()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        Rig::Settle();
        gaps.stop();
        worst = std::max(worst, gaps.longestMs());
        std::printf("switch to %s: shown after %.0f ms, longest gap %.1f ms\n",
                    on ? "sites" : "pages", Ms((on ? sitePaints.at : rig.paints.at) - click),
                    gaps.longestMs());
        std::fflush(stdout);
    }
    // A new scan while the sites show: grouped again and refilled into the
    // sorted list.
    panel.ScanStarting();
    rig.scan();
    gaps.start();
    panel.ScanFinished();
    Rig::Settle();
    gaps.stop();
    worst = std::max(worst, gaps.longestMs());
    std::printf("sites refilled after a scan: longest gap %.1f ms\n", gaps.longestMs());
    std::printf("referrers: %d, sites: %d; longest gap while switching: %.1f ms (target < 100)\n",
                rig.list->results().rowCount(), panel.lstSites()->results().rowCount(), worst);
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
        "usage: window_bench scan LOG --cli PATH [--runs N]\n"
        "       window_bench distinct LOG\n"
        "       window_bench progress LOG\n"
        "       window_bench sites LOG\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    tallowby::ServeLargeBlocksFromTheHeap();  // as the desktop program does
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        return Usage();
    }
    const QString mode = args[1];
    const QString log = QFileInfo(args[2]).absoluteFilePath();
    QString cli;
    int runs = 5;
    for (int i = 3; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--cli")) {
            cli = args[i + 1];
        } else if (args[i] == QLatin1String("--runs")) {
            runs = std::max(1, args[i + 1].toInt());
        } else {
            return Usage();
        }
    }
    if (mode == QLatin1String("scan") && !cli.isEmpty()) {
        return Scan(log, cli, runs);
    }
    if (mode == QLatin1String("distinct")) {
        return Distinct(log);
    }
    if (mode == QLatin1String("sites")) {
        return Sites(log);
    }
    if (mode == QLatin1String("progress")) {
        return Progress(log);
    }
    return Usage();
}
