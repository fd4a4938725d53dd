// Stop, the close box and File > Exit pressed at every kind of moment of a
// scan, with real input on the real controls, inside the program's own event
// loop. A first scan of each kind records the moments it passes through:
// each turn of the event loop (counting, reading, collapsing, the turns after
// the fill) and each stretch without one (the fill, the sort of a sorted list,
// the first paint of the new rows). Each later scan presses at one of them;
// input during a stretch without a turn is queued, as a user's would be.

#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QWindow>

#include <optional>

#include "Form1Rig.h"
#include "platform/QtTestMain.h"
#include "results/ResultsList.h"

namespace tallowby {

using testing::Address;
using testing::Rig;

namespace {

enum class Phase { Counting, Reading, Collapsing, Filling, Sorting, Painting, AfterFill };
enum class Control { Stop, Close, Exit };

const char* Name(Phase phase) {
    static const char* const names[] = {"counting", "reading",  "collapsing",    "filling",
                                        "sorting",  "painting", "after the fill"};
    return names[static_cast<int>(phase)];
}

// How QCoreApplication::exec() came back.
constexpr int kProgramEnded = 0;  // the program left its event loop itself
constexpr int kScanReturned = 2;  // the scan ended and the program runs on
constexpr int kHung = 3;          // neither, long after the press

constexpr int kLines = 40000;
const QString kCollapse = QStringLiteral("Removing Duplicates...  Please Wait.");

// 40,000 lines over 3,000 referrers, about 5 MB: several turns of counting.
QByteArray BigLog() {
    QByteArray log;
    log.reserve(kLines * 130);
    for (int i = 0; i < kLines; ++i) {
        log +=
            "10.0.0.1 - - [01/Oct/2023:00:00:01 +0000] \"GET /a.jpg HTTP/1.1\" 200 512 "
            "\"http://ref" +
            QByteArray::number(i * 7919 % 3000) + ".example/page\" \"Mozilla/5.0\"\r\n";
    }
    return log;
}

struct Moment {
    Phase phase;
    int occurrence;  // counted from 1
};

// Names the moments of one scan of `form` and presses at one of them.
class ScanWatcher : public QObject {
public:
    ScanWatcher(Form1& form, std::optional<Moment> target, std::function<void()> press)
        : form_(form), target_(target), press_(std::move(press)) {
        ResultsModel& model = form.lstResults()->results();
        connect(&model, &QAbstractItemModel::rowsAboutToBeInserted, this,
                [this] { note(Phase::Filling, false); });
        connect(&model, &QAbstractItemModel::rowsInserted, this, [this, &model] {
            if (model.isSorted()) {
                note(Phase::Sorting, false);
            }
        });
        form.lstResults()->viewport()->installEventFilter(this);
        // A zero timer fires once in every turn the scan gives the event loop.
        connect(&turns_, &QTimer::timeout, this, [this] { note(Classify(), true); });
        turns_.start(0);
    }

    QList<Phase> seen;
    bool pressed = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && form_.lstResults()->results().rowCount() > 0) {
            note(Phase::Painting, false);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    Phase Classify() const {
        if (form_.lstResults()->results().rowCount() > 0) {
            return Phase::AfterFill;
        }
        if (form_.statusPanel(2)->text().startsWith(kCollapse)) {
            return Phase::Collapsing;
        }
        return form_.scanner().counters().linesScanned == 0 ? Phase::Counting : Phase::Reading;
    }

    void note(Phase phase, bool turn) {
        if (!form_.scanner().running()) {
            return;
        }
        seen.append(phase);
        if (pressed || !target_ || target_->phase != phase ||
            seen.count(phase) != target_->occurrence) {
            return;
        }
        pressed = true;
        if (turn) {
            press_();  // handled in this very turn
        } else {
            // Pressed while the scan gives no turn: the input waits.
            QMetaObject::invokeMethod(this, press_, Qt::QueuedConnection);
        }
    }

    Form1& form_;
    std::optional<Moment> target_;
    std::function<void()> press_;
    QTimer turns_;
};

// The user's press of `control`, through the window's own controls.
void Press(Form1& form, Control control) {
    switch (control) {
        case Control::Stop:
            QTest::mouseClick(form.cmdStop(), Qt::LeftButton);
            break;
        case Control::Close:
            form.windowHandle()->close();  // the window manager's close box
            break;
        case Control::Exit: {
            QMenuBar* bar = form.menuBar();
            QAction* file = bar->actions().first();
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(file).center());
            QMenu* menu = file->menu();
            QTest::mouseClick(menu, Qt::LeftButton, {},
                              menu->actionGeometry(form.mnuFileExit()).center());
            break;
        }
    }
}

// One kind of scan: collapse on in chooser view, or collapse off into a
// sorted list shown in results view.
struct ScanKind {
    bool collapse;
};

void Prepare(Rig& rig, const QByteArray& log, ScanKind kind) {
    rig.returningUser();
    rig.settings.values.insert(Address("data", "bRemoveDupes"), kind.collapse ? "1" : "0");
    rig.realEnd = true;
    rig.load();
    QDir().mkpath(rig.logs());
    QFile file(rig.logs() + "/big.log");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(log);
    file.close();
    rig.show();
    rig.openDirectory(rig.logs());
    QTest::mouseClick(rig.form->cmdSelAll(), Qt::LeftButton);
    rig.form->scanHost().setYieldRate(0, 64);
    if (!kind.collapse) {
        // A first scan and a click on "Referrer": the next rows come sorted,
        // into the list on the screen.
        QTest::mouseClick(rig.form->cmdGo(), Qt::LeftButton);
        QHeaderView* header = rig.form->lstResults()->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(2) + 5, header->height() / 2));
        QVERIFY(rig.form->lstResults()->results().isSorted());
        rig.boxes.shown.clear();
    }
}

// Runs a scan from a click on Scan inside the program's event loop.
int RunScan(Rig& rig) {
    QTimer hung;
    hung.setSingleShot(true);
    QObject::connect(&hung, &QTimer::timeout, [] { QCoreApplication::exit(kHung); });
    hung.start(30000);
    QTimer::singleShot(0, rig.form.get(), [&rig] {
        QTest::mouseClick(rig.form->cmdGo(), Qt::LeftButton);
        if (rig.ended == 0) {
            QCoreApplication::exit(kScanReturned);
        }
    });
    return QCoreApplication::exec();
}

// First, middle and last occurrence of every phase a scan went through.
QList<Moment> MomentsOf(const QList<Phase>& seen) {
    QList<Moment> moments;
    for (int p = 0; p <= static_cast<int>(Phase::AfterFill); ++p) {
        const auto phase = static_cast<Phase>(p);
        // Only the first paint of the new rows comes before the scan's end.
        const int n = phase == Phase::Painting ? std::min<int>(1, int(seen.count(phase)))
                                               : static_cast<int>(seen.count(phase));
        for (int occurrence : {1, (n + 1) / 2, n}) {
            if (n > 0 && (moments.isEmpty() || moments.last().phase != phase ||
                          moments.last().occurrence < occurrence)) {
                moments.append({phase, occurrence});
            }
        }
    }
    return moments;
}

}  // namespace

class ScanInterruptTest : public QObject {
    Q_OBJECT

    QByteArray log_ = BigLog();

    void pressEverywhere(Control control) {
        int tried = 0;
        int perPhase[7] = {};
        for (const ScanKind kind : {ScanKind{true}, ScanKind{false}}) {
            QList<Phase> phases;
            {
                Rig rig;
                Prepare(rig, log_, kind);
                ScanWatcher watcher(*rig.form, std::nullopt, {});
                QCOMPARE(RunScan(rig), kScanReturned);
                QCOMPARE(rig.boxes.shown.size(), 1);  // nothing pressed: "Scan Finished"
                phases = watcher.seen;
            }
            QVERIFY(phases.contains(Phase::Counting) && phases.contains(Phase::Reading) &&
                    phases.contains(Phase::Filling));
            QVERIFY(phases.contains(kind.collapse ? Phase::Collapsing : Phase::Sorting));
            QVERIFY(kind.collapse || phases.contains(Phase::Painting));

            for (const Moment moment : MomentsOf(phases)) {
                const QByteArray where = QByteArray(Name(moment.phase)) + " #" +
                                         QByteArray::number(moment.occurrence) +
                                         (kind.collapse ? " (collapse on)" : " (sorted list)");
                Rig rig;
                Prepare(rig, log_, kind);
                Form1& form = *rig.form;
                const bool resultsView = form.resultsViewShown();
                ScanWatcher watcher(form, moment, [&] { Press(form, control); });
                const int outcome = RunScan(rig);
                ++tried;
                ++perPhase[static_cast<int>(moment.phase)];

                QVERIFY2(watcher.pressed, where);
                QVERIFY2(rig.boxes.shown.isEmpty(), where);
                QVERIFY2(!form.scanner().running(), where);
                if (control == Control::Stop) {
                    QCOMPARE(outcome, kScanReturned);
                    const QString status = form.statusPanel(2)->text();
                    QVERIFY2(!status.startsWith("COMPLETE"), where);
                    QCOMPARE(form.resultsViewShown(), resultsView);
                    if (kind.collapse) {
                        QVERIFY2(status.startsWith(kCollapse), where);
                    } else if (form.scanner().counters().linesScanned < kLines) {
                        QCOMPARE(status, QStringLiteral("Cancelled"));
                    }
                } else {
                    QVERIFY2(outcome == kProgramEnded, where);
                    QCOMPARE(rig.ended, 1);
                    QVERIFY2(!form.isVisible(), where);
                }
            }
        }
        qInfo("%d moments pressed", tried);
        for (int p = 0; p <= static_cast<int>(Phase::AfterFill); ++p) {
            qInfo("  %s: %d", Name(static_cast<Phase>(p)), perPhase[p]);
        }
    }

private slots:
    void stopIsHonouredAtEveryMoment() { pressEverywhere(Control::Stop); }
    void closeBoxEndsTheProgramAtEveryMoment() { pressEverywhere(Control::Close); }
    void exitEndsTheProgramAtEveryMoment() { pressEverywhere(Control::Exit); }
};

}  // namespace tallowby

TALLOWBY_QTEST_MAIN(tallowby::ScanInterruptTest)
#include "ScanInterruptTest.moc"
