// A scan whose work list is long enough for the collapse to run on a second
// thread while the window keeps turning, driven through the window's own
// buttons. Also the scan to run under ThreadSanitizer
// (-DTALLOWBY_SANITIZE=thread): the matching threads, the collapse's thread
// and the window's turns all meet in it.

#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "Form1Rig.h"
#include "QtTestMain.h"
#include "ScanMoments.h"
#include "results/ResultsList.h"

namespace tallowby {

using testing::Address;
using testing::Rig;

namespace {

// More lines than the collapse does in one go on the window's thread.
constexpr int kLongLog = 70000;

}  // namespace

class ThreadedCollapseTest : public QObject {
    Q_OBJECT

private slots:
    // Stop pressed while the collapse works on its thread: the collapse runs
    // to its end and the rows are filled, but nothing is reported.
    void stopDuringTheThreadedCollapseStillFillsEveryRow() {
        Rig rig;
        rig.returningUser();
        rig.settings.values.insert(Address("data", "bRemoveDupes"), "1");
        rig.load();
        testing::WriteLog(rig.logs() + "/long.log", {testing::BigLog(kLongLog)});
        rig.show();
        rig.selectEveryLog();
        Form1& form = *rig.form;
        form.scanHost().setYieldRate(0, 64);

        int turnsWhileCollapsing = 0;
        QTimer turns;
        QObject::connect(&turns, &QTimer::timeout, [&] {
            if (form.scanning() && form.scanner().collapsing() && ++turnsWhileCollapsing == 1) {
                QTest::mouseClick(form.cmdStop(), Qt::LeftButton);
            }
        });
        turns.start(0);
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
        turns.stop();

        QVERIFY(turnsWhileCollapsing > 0);
        QVERIFY(!form.scanning());
        QVERIFY(rig.boxes.shown.isEmpty());
        QVERIFY(rig.panel(2).startsWith(testing::kCollapse));
        const ResultsModel& rows = form.lstResults()->results();
        QCOMPARE(rows.rowCount(), testing::kLogReferrers);
        // "ref0" comes first; every 3,000th line of the log holds it.
        QCOMPARE(QString::fromUtf8(rows.clicks(0)), QStringLiteral("0000024"));
        QVERIFY(QString::fromUtf8(rows.referrer(0)).startsWith("http://ref0.example/page"));
        qint64 clicks = 0;
        for (int i = 0; i < rows.rowCount(); ++i) {
            clicks += QString::fromUtf8(rows.clicks(i)).toLongLong();
        }
        QCOMPARE(clicks, qint64(kLongLog));
    }
};

}  // namespace tallowby

TALLOWBY_QTEST_MAIN(tallowby::ThreadedCollapseTest)

#include "ThreadedCollapseTest.moc"
