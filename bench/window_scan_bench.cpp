// window_scan_bench: the desktop program's scan as a user sees it. Runs the
// desktop program itself (its main window with the browser pane, the real
// message boxes), opens the folder of LOG with only LOG selected, clicks
// Scan with the mouse (a click through the X server) and times until the
// "Scan Finished" box is mapped on the screen, then closes the box as a
// user would. Before each scan the window goes back to the file chooser, as
// after start-up. The scans take turns with tallowby-scan on the same file;
// the best of each is compared, as a user who tries a few times sees it.
// Collapse, type codes and the statistics box on, own domain
// mysite.example: the same work as `tallowby-scan -d mysite.example`.
//
// Also printed: the longest gap between two processed events of the
// window, the scan's own moments seen from outside (when the progress bar
// first moves, when the rows are in the list), and, in a last scan, how
// long after a click on Stop half-way through the bar goes back to the
// start, which the window does when the reading stops.
// Needs an X display (the script uses Xvfb with a window manager).
//
//   window_scan_bench LOG --cli PATH [--runs N] [--no-browser]
//       --no-browser: the browser pane's page display is a stand-in that
//       loads and draws nothing, to show what the browser engine costs.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "DesktopProgram.h"
#include "FakeWebView.h"
#include "GapMeter.h"
#include "ScreenEvents.h"
#include "engine/scan/HeapTuning.h"
#include "engine/scan/Scanner.h"
#include "identity/ProductIdentity.h"
#include "mainwindow/Form1.h"
#include "platform/PlatformServices.h"
#include "results/ResultsList.h"
#include "results/ResultsModel.h"
#include "settings/SettingsStore.h"

using namespace tallowby;
using namespace tallowby::bench;

namespace {

// A moment not yet seen.
constexpr Clock::time_point kNever{};
// Time for the window to settle after start-up and between runs.
constexpr int kStartSettleMs = 3000;
constexpr int kSettleMs = 500;
constexpr auto kBoxTimeout = std::chrono::seconds(120);

struct Options {
    QString log;
    QString cli;
    int runs = 3;
    bool fakeBrowser = false;
};

// Processor time of this process since it started, in ms, split by who
// spent it: the window's thread, the threads of the software renderer that
// draws the window when there is no graphics processor (named "llvmpipe-N"),
// and the rest (the scan's helpers, the browser engine, ...). Threads that
// have ended count in the total, hence in the rest.
struct CpuSplit {
    double total = 0;
    double window = 0;
    double drawing = 0;

    static CpuSplit Now() {
        CpuSplit split;
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        split.total = double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
        const QString self = QStringLiteral("/proc/self/task/");
        const QString main = QString::number(getpid());
        for (const QString& task : QDir(self).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile comm(self + task + QStringLiteral("/comm"));
            QFile stat(self + task + QStringLiteral("/schedstat"));
            if (!comm.open(QIODevice::ReadOnly) || !stat.open(QIODevice::ReadOnly)) {
                continue;  // ended meanwhile
            }
            const double ms = stat.readAll().split(' ').value(0).toDouble() / 1e6;
            if (task == main) {
                split.window += ms;
            } else if (comm.readAll().startsWith("llvmpipe")) {
                split.drawing += ms;
            }
        }
        return split;
    }
    CpuSplit operator-(const CpuSplit& o) const {
        return {total - o.total, window - o.window, drawing - o.drawing};
    }
};

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

QPoint CentreOf(const QWidget* widget) {
    return widget->mapToGlobal(widget->rect().center());
}

// What one scan showed, in ms from the click.
struct Seen {
    double box = -1;      // the "Scan Finished" box mapped
    double reading = -1;  // the progress bar first moved: the line count is done
    double rows = -1;     // the rows are in the list
    double stopped = -1;  // after moving, the bar went back to the start: the reading stopped
    double longestGap = 0;
    CpuSplit cpu;  // from the click to the box
};

// Drives the shown window through its runs from the event loop.
class Driver : public QObject {
public:
    Driver(Form1& form, Options options)
        : form_(form),
          options_(std::move(options)),
          watch_(kStatisticsTitle, [this](Clock::time_point at) { BoxMapped(at); }) {
        connect(&form_.lstResults()->results(), &QAbstractItemModel::rowsInserted, this,
                [this] { Note(seen_.rows); });
        // Connected after the window's own handler: runs when the Scan
        // command has returned.
        connect(form_.cmdGo(), &QToolButton::clicked, this, [this] {
            if (afterScan_) {
                QTimer::singleShot(0, this, std::exchange(afterScan_, nullptr));
            }
        });
        // The bar keeps its last value until the scan sets it back; it moves
        // again once the line count is done.
        gaps_.onTurn = [this](Clock::time_point) {
            const int bar = form_.ProgressBar1()->value();
            barWasReset_ = barWasReset_ || bar == 0;
            if (barWasReset_ && bar > 0) {
                Note(seen_.reading);
            }
            // A Stop sets the bar back; the status text may pass to the
            // collapse of what was read before a frame shows "Cancelled".
            if (seen_.reading >= 0 && bar == 0) {
                Note(seen_.stopped);
            }
        };
    }

    ~Driver() override {
        if (presser_.joinable()) {
            presser_.join();  // a run that failed half-way
        }
    }

    void Start() {
        if (!pointer_.usable() || !watch_.usable()) {
            Fail("no X display with the test extension");
            return;
        }
        const QFileInfo log(options_.log);
        LogFileChooser& chooser = form_.chooser();
        int selected = 0;
        for (int i = 0; i < chooser.fileCount(); ++i) {
            const bool it = chooser.fileName(i) == log.fileName();
            chooser.setFileSelected(i, it);
            selected += it ? 1 : 0;
        }
        if (selected != 1) {
            Fail("the log is not in the file list");
            return;
        }
        TimeCli(options_.cli, options_.log);  // both read it from the cache
        QTimer::singleShot(kStartSettleMs, this, [this] { NextRun(); });
    }

private:
    void NextRun() {
        if (int(window_.size()) == options_.runs) {
            StopRun();
            return;
        }
        command_.push_back(TimeCli(options_.cli, options_.log));
        ClickScan();
    }

    // From the file chooser, as after start-up.
    void ClickScan() {
        if (form_.resultsViewShown()) {
            QTest::mouseClick(form_.Command10(), Qt::LeftButton);
        }
        const QPoint scan = CentreOf(form_.cmdGo());
        pointer_.moveTo(scan.x(), scan.y());
        QTimer::singleShot(kSettleMs, this, [this] {
            seen_ = Seen{};
            barWasReset_ = false;
            gaps_.start();
            clickedAt_ = Clock::now();
            cpuAtClick_ = CpuSplit::Now();
            pointer_.click();
            ++runsStarted_;
            QTimer::singleShot(kBoxTimeout, this, [this, run = runsStarted_] {
                if (runsStarted_ == run && form_.scanning()) {
                    Fail("no \"Scan Finished\" box");
                }
            });
            afterScan_ = [this] { RunEnded(); };
        });
    }

    // Called on the watch's thread.
    void BoxMapped(Clock::time_point at) {
        const CpuSplit cpu = CpuSplit::Now() - cpuAtClick_;
        QMetaObject::invokeMethod(
            this,
            [this, at, cpu] {
                seen_.cpu = cpu;
                gaps_.stop();
                seen_.box = Ms(at - clickedAt_);
                // As a user does: OK.
                for (QWidget* window : QApplication::topLevelWidgets()) {
                    if (window->isVisible() &&
                        window->windowTitle() == QLatin1String(kStatisticsTitle)) {
                        window->close();
                    }
                }
            },
            Qt::QueuedConnection);
    }

    void RunEnded() {
        gaps_.stop();
        seen_.longestGap = gaps_.longestMs();
        if (seen_.box < 0) {
            Fail("the scan ended without a \"Scan Finished\" box");
            return;
        }
        window_.push_back(seen_.box);
        longest_.push_back(seen_.longestGap);
        std::printf(
            "run %zu: window %.0f ms from the click to the box on screen (the bar moved from %.0f "
            "ms, rows in the list at %.0f ms; longest gap %.1f ms), tallowby-scan %.0f ms; "
            "processor time meanwhile: window thread %.0f ms, software drawing %.0f ms, other "
            "threads %.0f ms\n",
            window_.size(), seen_.box, seen_.reading, seen_.rows, seen_.longestGap, command_.back(),
            seen_.cpu.window, seen_.cpu.drawing,
            seen_.cpu.total - seen_.cpu.window - seen_.cpu.drawing);
        std::fflush(stdout);
        QTimer::singleShot(kSettleMs, this, [this] { NextRun(); });
    }

    // Stop, clicked half-way through the best scan's time, from a thread
    // with a pointer of its own, as the user's hand would.
    void StopRun() {
        if (form_.resultsViewShown()) {
            QTest::mouseClick(form_.Command10(), Qt::LeftButton);
        }
        const QPoint scan = CentreOf(form_.cmdGo());
        const QPoint stop = CentreOf(form_.cmdStop());
        pointer_.moveTo(scan.x(), scan.y());
        QTimer::singleShot(kSettleMs, this, [this, stop] {
            seen_ = Seen{};
            barWasReset_ = false;
            const auto half = std::chrono::milliseconds(long(Best(window_) / 2));
            gaps_.start();
            clickedAt_ = Clock::now();
            pointer_.click();
            presser_ = std::thread([this, stop, half] {
                ScreenPointer hand;
                std::this_thread::sleep_until(clickedAt_ + half);
                hand.moveTo(stop.x(), stop.y());
                stopAt_ = Clock::now();
                hand.click();
            });
            afterScan_ = [this] {
                gaps_.stop();
                presser_.join();
                Report(seen_.stopped < 0 ? -1 : seen_.stopped - Ms(stopAt_ - clickedAt_),
                       gaps_.longestMs());
            };
        });
    }

    void Report(double stopMs, double stopGap) {
        const double w = Best(window_);
        const double c = Best(command_);
        const double gap = *std::max_element(longest_.begin(), longest_.end());
        std::printf("window scan (best of %d): %.0f ms; tallowby-scan (best of %d): %.0f ms\n",
                    options_.runs, w, options_.runs, c);
        std::printf("longest gap between processed events: %.1f ms (worst run)\n", gap);
        if (stopMs < 0) {
            std::printf("Stop clicked half-way: the reading did not stop (it had ended)\n");
        } else {
            std::printf(
                "Stop clicked half-way: the bar went back %.1f ms later (gap in that "
                "run %.1f ms)\n",
                stopMs, stopGap);
        }
        std::printf(
            "window/tallowby-scan: %.2f (target <= 1.2); longest gap %.1f ms (target <= "
            "50)\n",
            w / c, gap);
        std::fflush(stdout);
        EndProgram();
    }

    void Note(double& moment) {
        if (moment < 0 && clickedAt_ != kNever) {
            moment = Ms(Clock::now() - clickedAt_);
        }
    }

    static double Best(const std::vector<double>& v) {
        return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
    }

    void Fail(const char* why) {
        std::fprintf(stdout, "window_scan_bench: %s\n", why);
        std::fflush(stdout);
        QCoreApplication::exit(1);
    }

    Form1& form_;
    Options options_;
    ScreenPointer pointer_;
    GapMeter gaps_;
    Seen seen_;
    Clock::time_point clickedAt_{};
    bool barWasReset_ = false;
    std::function<void()> afterScan_;
    Clock::time_point stopAt_{};
    CpuSplit cpuAtClick_;
    std::thread presser_;
    int runsStarted_ = 0;
    std::vector<double> window_;
    std::vector<double> command_;
    std::vector<double> longest_;
    // Last: its thread calls back into what is above.
    MapWatch watch_;
};

// The scan options of the benchmark, in the program's own settings store.
void WriteSettings() {
    InitProductIdentity();
    const QString application = TheProductIdentity().productName;
    SettingsStore store(RealPlatformServices().settings);
    store.SaveSetting(application, kSectionData, kKeyYourWebsite, QStringLiteral("mysite.example"));
    store.SaveSetting(application, kSectionData, kKeyRemoveDupes, QStringLiteral("1"));
    store.SaveSetting(application, kSectionData, kKeyGetFileTypes, QStringLiteral("1"));
    store.SaveSetting(application, kSectionData, kKeyDisplayStats, QStringLiteral("1"));
    store.SaveSetting(application, kSectionSettings, kKeyShowHelp, QStringLiteral("0"));
}

int Usage() {
    std::fputs("usage: window_scan_bench LOG --cli PATH [--runs N] [--no-browser]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // The settings of this run only, in a folder that goes with it.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // as the desktop program does
    tallowby::ServeLargeBlocksFromTheHeap();
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        return Usage();
    }
    Options options;
    options.log = QFileInfo(args[1]).absoluteFilePath();
    for (int i = 2; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--no-browser")) {
            options.fakeBrowser = true;
        } else if (i + 1 < args.size() && args[i] == QLatin1String("--cli")) {
            options.cli = args[++i];
        } else if (i + 1 < args.size() && args[i] == QLatin1String("--runs")) {
            options.runs = std::max(1, args[++i].toInt());
        } else {
            return Usage();
        }
    }
    if (options.cli.isEmpty()) {
        return Usage();
    }
    WriteSettings();

    std::unique_ptr<Driver> driver;
    DesktopHooks hooks;
    hooks.services = [&](Form1Services& services) {
        services.startDirectory = QFileInfo(options.log).absolutePath();
        if (options.fakeBrowser) {
            services.webView = new testing::FakeWebView;
        }
    };
    hooks.shown = [&](Form1& form) {
        driver = std::make_unique<Driver>(form, options);
        QTimer::singleShot(0, driver.get(), [&driver] { driver->Start(); });
    };
    const int status = RunDesktopProgram(hooks);
    driver.reset();
    return status;
}
