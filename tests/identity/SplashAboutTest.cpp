#include <QLabel>
#include <QSignalBlocker>
#include <QTimer>

#include "QtTestMain.h"
#include "WindowFakes.h"
#include "identity/AboutWindow.h"
#include "identity/ProductIdentity.h"
#include "identity/SplashWindow.h"
#include "identity/WebsiteLauncher.h"

using namespace tallowby;

class SplashAboutTest : public QObject {
    Q_OBJECT
private slots:
    void SplashHandsOverOnceOnTheSeventyFifthTick() {
        int loads = 0;
        bool visibleWhileLoading = false;
        frmSplash* splash = nullptr;
        frmSplash window([&] {
            ++loads;
            visibleWhileLoading = splash->isVisible();
        });
        splash = &window;
        QCOMPARE(window.size(), QSize(478, 318));
        QVERIFY(window.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(window.Timer2()->interval(), 2);
        QVERIFY(window.Timer2()->isActive());
        QCOMPARE(TheProductIdentity().productName, QStringLiteral(EXPECTED_PRODUCT_NAME));
        {
            // Driven by hand: the real timer, still running, must not add
            // ticks meanwhile (showing a window may give the event loop a turn).
            const QSignalBlocker handDriven(window.Timer2());
            window.show();
            for (int tick = 1; tick <= 74; ++tick) {
                window.Timer2_Timer();
            }
        }
        QCOMPARE(window.intTemp(), 148);
        QCOMPARE(loads, 0);
        window.Timer2_Timer();
        QCOMPARE(loads, 1);
        QVERIFY(visibleWhileLoading);
        QVERIFY(!window.isVisible());
        QVERIFY(!window.Timer2()->isActive());
        QCOMPARE(window.intTemp(), 150);
    }

    void AboutShowsTheIdentity() {
        testing::RecordingShell shell;
        WebsiteLauncher launcher(shell);
        AboutWindowOpener opener(launcher);
        frmAbout* about = opener.Open();
        QCOMPARE(about->windowTitle(), QStringLiteral("About " EXPECTED_PRODUCT_NAME));
        QCOMPARE(about->Label1()->text(), QStringLiteral(EXPECTED_PRODUCT_NAME));
        QCOMPARE(about->lblVersion()->text(), QStringLiteral("2.1"));
        QCOMPARE(about->lblCompany()->text(), QStringLiteral(EXPECTED_COMPANY_NAME));
        QCOMPARE(about->lblWebsite()->text(), QStringLiteral(EXPECTED_WEBSITE));
        QCOMPARE(about->size(), QSize(497, 169));
        QStringList captions;
        for (const QLabel* label : about->findChildren<QLabel*>()) {
            captions << label->text();
        }
        for (const char* caption : {"Version:", "Owned By:", "Website:"}) {
            QVERIFY2(captions.contains(QString::fromUtf8(caption)), caption);
        }
    }

    void OpeningAboutTwiceShowsOneWindow() {
        testing::RecordingShell shell;
        WebsiteLauncher launcher(shell);
        AboutWindowOpener opener(launcher);
        frmAbout* first = opener.Open();
        QCOMPARE(opener.Open(), first);
        int windows = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            windows += qobject_cast<frmAbout*>(w) != nullptr && w->isVisible();
        }
        QCOMPARE(windows, 1);
    }

    void ClickingTheWebsiteOpensItOncePerSecond() {
        testing::RecordingShell shell;
        WebsiteLauncher launcher(shell);
        AboutWindowOpener opener(launcher);
        frmAbout* about = opener.Open();
        QTest::mouseClick(about->lblWebsite(), Qt::LeftButton);
        QCOMPARE(shell.opened, QStringList{WebsiteAddress(QStringLiteral(EXPECTED_WEBSITE))});
        QVERIFY(launcher.isShowing());
        // The second click comes "within the second" however slow the
        // machine is: the launcher's own timer is held back.
        launcher.window()->Timer1()->stop();
        QTest::mouseClick(about->lblWebsite(), Qt::LeftButton);
        QCOMPARE(shell.opened.size(), 1);
    }

    void TheWebsiteIsReachedAndOpenedWithTheKeyboard_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("opens");
        QTest::newRow("Return") << int(Qt::Key_Return) << true;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << true;
        QTest::newRow("Space") << int(Qt::Key_Space) << true;
        QTest::newRow("a letter") << int(Qt::Key_W) << false;
    }
    void TheWebsiteIsReachedAndOpenedWithTheKeyboard() {
        QFETCH(int, key);
        QFETCH(bool, opens);
        testing::RecordingShell shell;
        WebsiteLauncher launcher(shell);
        AboutWindowOpener opener(launcher);
        frmAbout* about = opener.Open();
        about->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(about));
        QTest::keyClick(about, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), about->lblWebsite());
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key));
        QCOMPARE(shell.opened.size(), opens ? 1 : 0);
    }
};

TALLOWBY_QTEST_MAIN(SplashAboutTest)
#include "SplashAboutTest.moc"
