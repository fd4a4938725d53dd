#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QtTest>

#include "QtTestMain.h"
#include "mainwindow/WindowScanHost.h"
#include "settings/AppSettings.h"

namespace tallowby {

namespace {

struct Rig {
    Rig() {
        WindowScanHost::Window window;
        window.statusPanel2 = &panel;
        window.progressBar = &bar;
        window.settings = &settings;
        host = std::make_unique<WindowScanHost>(std::move(window));
        bar.setRange(0, WindowScanHost::kProgressSteps);
        bar.setValue(0);
        panel.setText(QStringLiteral("before"));
    }
    QLabel panel;
    QProgressBar bar;
    AppSettings settings;
    std::unique_ptr<WindowScanHost> host;
};

}  // namespace

class WindowScanHostTest : public QObject {
    Q_OBJECT

private slots:
    void progressNeverLooksFullBeforeTheMaximum_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<int>("position");
        QTest::newRow("start of a file") << 0.01 << 11.01 << 9;
        QTest::newRow("half way") << 5.01 << 10.01 << 5004;
        QTest::newRow("last line of a short file") << 10.01 << 11.01 << 9091;
        // Short of full by less than one step: still one step short.
        QTest::newRow("last line of a long file") << 30000.01 << 30001.01 << 9999;
        QTest::newRow("at the maximum") << 32768.01 << 32768.01 << 10000;
        QTest::newRow("collapse resets") << 0.0 << 11.01 << 0;
        QTest::newRow("no maximum yet") << 0.01 << 0.0 << 0;
    }
    void progressNeverLooksFullBeforeTheMaximum() {
        QFETCH(double, value);
        QFETCH(double, maximum);
        QFETCH(int, position);
        QCOMPARE(WindowScanHost::ProgressPosition(value, maximum), position);
    }

    void widgetsChangeOnlyOnARealTurnOrAtTheEnd() {
        Rig rig;
        rig.host->setYieldRate(0, 100);
        bool turned = false;
        QMetaObject::invokeMethod(
            qApp, [&] { turned = true; }, Qt::QueuedConnection);
        for (int line = 1; line < 100; ++line) {
            rig.host->setStatusText("line " + std::to_string(line));
            ScanProgress progress;
            progress.maximum = 200.01;
            progress.value = line + 0.01;
            rig.host->setProgressMaximum(progress);
            rig.host->setProgressValue(progress);
            rig.host->stepsWithoutTurn(1);
        }
        QVERIFY(!turned);
        QCOMPARE(rig.panel.text(), QStringLiteral("before"));
        QCOMPARE(rig.bar.value(), 0);

        rig.host->turnBetweenSteps();  // the hundredth: the event loop gets its turn
        QVERIFY(turned);
        QCOMPARE(rig.panel.text(), QStringLiteral("line 99"));
        QCOMPARE(rig.bar.value(), WindowScanHost::ProgressPosition(99.01, 200.01));

        rig.host->setStatusText("Finished");
        rig.host->Flush();
        QCOMPARE(rig.panel.text(), QStringLiteral("Finished"));
    }

    void ownDomainFollowsTheOptionsAfterATurn() {
        Rig rig;
        rig.settings.strYourWebsite = QStringLiteral("old.example");
        rig.host->setYieldRate(0, 1);
        rig.host->BeginScan();
        QCOMPARE(rig.host->lineOptions().ownDomain, std::string_view("old.example"));
        // "Ok" in the Options dialog runs during a turn of the event loop.
        QMetaObject::invokeMethod(
            qApp, [&] { rig.settings.strYourWebsite = QStringLiteral("new.example"); },
            Qt::QueuedConnection);
        QCOMPARE(rig.host->lineOptions().ownDomain, std::string_view("old.example"));
        rig.host->turnBetweenSteps();
        QCOMPARE(rig.host->lineOptions().ownDomain, std::string_view("new.example"));
    }

    void unreadableFilesAreNamedMissingOnesPassedOver() {
        Rig rig;
        rig.host->fileProblem("/var/log/gone.log", FileProblem::Missing, "No such file");
        rig.host->Flush();
        QCOMPARE(rig.panel.text(), QStringLiteral("before"));
        rig.host->fileProblem("/var/log/locked.log", FileProblem::Unreadable, "Permission denied");
        rig.host->Flush();
        QCOMPARE(rig.panel.text(), QStringLiteral("Cannot read locked.log"));
        rig.host->fileProblem("/var/log/bad.log", FileProblem::ReadFailed, "I/O error");
        rig.host->Flush();
        QCOMPARE(rig.panel.text(), QStringLiteral("Cannot read bad.log"));
    }
};

}  // namespace tallowby

TALLOWBY_QTEST_MAIN(tallowby::WindowScanHostTest)
#include "WindowScanHostTest.moc"
