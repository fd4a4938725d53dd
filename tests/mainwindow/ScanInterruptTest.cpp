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
#include "QtTestMain.h"
#include "RunProgram.h"
#include "ScanMoments.h"
#include "results/ResultsList.h"

namespace tallowby {

using testing::Address;
using testing::Rig;
using namespace testing;

namespace {

// How QCoreApplication::exec() came back.
constexpr int kProgramEnded = 0;  // the program left its event loop itself
constexpr int kScanReturned = 2;  // the scan ended and the program runs on
constexpr int kHung = 3;          // neither, long after the press

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
    testing::WriteLog(rig.logs() + "/big.log", {log});
    rig.show();
    rig.selectEveryLog();
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
                QVERIFY2(!form.scanning(), where);
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
    // The program itself, in a process of its own: File > Exit and the close
    // box end it with status 0 and nothing left running.
    void theRealProgramEndsAtOnce_data() {
        QTest::addColumn<QString>("phase");
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<QString>("control");
        const char* const moments[][2] = {{"counting", "1"},
                                          {"reading", "50"},
                                          {"collapsing", "2"},
                                          {"filling", "1"},
                                          {"after the fill", "1"}};
        for (const auto& moment : moments) {
            for (const char* control : {"exit", "close"}) {
                QTest::newRow(
                    qPrintable(QStringLiteral("%1 #%2, %3").arg(moment[0], moment[1], control)))
                    << moment[0] << QByteArray(moment[1]).toInt() << control;
            }
        }
    }
    void theRealProgramEndsAtOnce() {
        QFETCH(QString, phase);
        QFETCH(int, occurrence);
        QFETCH(QString, control);
        QTemporaryDir home;
        const QString logs = home.path() + "/logs";
        QVERIFY(QDir().mkpath(logs) && QDir().mkpath(home.path() + "/Tallowby"));
        testing::WriteLog(logs + "/big.log", {log_});
        testing::WriteLog(
            home.path() + "/Tallowby/Tallowby.ini",
            {"[data]\nstrYourWebsite=mysite.example\nbRemoveDupes=1\nbDisplayStats=1\n"
             "[Settings]\nshowHelp=0\n"});

        testing::ProgramRun run;
        run.environment = {"XDG_CONFIG_HOME=" + home.path().toStdString(),
                           "QT_QPA_PLATFORM=offscreen"};
        // A lost Exit leaves the process waiting for ever (or behind the
        // "Scan Finished" box); a hang guard, not a timing.
        run.deadlineSeconds = 30;
        const testing::ProgramResult ended =
            testing::RunProgram(EXIT_DRIVER,
                                {logs.toStdString(), phase.toStdString(),
                                 std::to_string(occurrence), control.toStdString()},
                                run);
        const std::string tail =
            ended.err.size() > 2000 ? ended.err.substr(ended.err.size() - 2000) : ended.err;
        QVERIFY2(ended.signal == 0, tail.c_str());
        QCOMPARE(ended.exitStatus, 0);
    }

    void stopIsHonouredAtEveryMoment() { pressEverywhere(Control::Stop); }
    void closeBoxEndsTheProgramAtEveryMoment() { pressEverywhere(Control::Close); }
    void exitEndsTheProgramAtEveryMoment() { pressEverywhere(Control::Exit); }
};

}  // namespace tallowby

TALLOWBY_QTEST_MAIN(tallowby::ScanInterruptTest)
#include "ScanInterruptTest.moc"
