// The main window from the keyboard alone, keys pressed as a user presses
// them: the menus (F10, Alt and a letter), Enter on a button, the rows
// (Ctrl+C and the row menu), the splitter between the panes, and the chart
// window that opens over the main window.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QMenu>
#include <QToolButton>
#include <QtTest>

#include "Form1Rig.h"
#include "QtTestMain.h"
#include "mainwindow/PaneSplitter.h"
#include "mainwindow/SitesPanel.h"
#include "results/BrowserPane.h"
#include "results/ResultsList.h"

namespace tallowby {

using testing::Address;
using testing::Line;
using testing::Rig;
using testing::WriteLog;

namespace {

QMenu* OpenMenu() {
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

QString Clipboard() {
    return QGuiApplication::clipboard()->text();
}

// Presses `key` in the menu that is open, once one is.
void PressInMenu(Qt::Key key) {
    QTRY_VERIFY(OpenMenu() != nullptr);
    QTest::keyClick(OpenMenu(), key);
}

}  // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

private slots:
    void theWindowAnswersTheKeyboard() {
        Rig rig;
        rig.openAsReturningUser();
        WriteLog(rig.logs() + "/a.log", {Line("http://b.example/x"), Line("http://a.example/y"),
                                         Line("http://a.example/y")});
        Form1& form = *rig.form;
        form.appSettings().bQuotedReferrers = true;
        form.appSettings().bDisplayStats = false;
        rig.selectEveryLog();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));

        // F10 opens the first menu; Alt+A the Action menu, whose S scans.
        QTest::keyClick(&form, Qt::Key_F10);
        QTRY_VERIFY(OpenMenu() != nullptr);
        QCOMPARE(OpenMenu()->title(), QStringLiteral("&File"));
        QTest::keyClick(OpenMenu(), Qt::Key_Escape);
        QTRY_VERIFY(OpenMenu() == nullptr);
        QTest::keyClick(&form, Qt::Key_A, Qt::AltModifier);
        QTRY_VERIFY(OpenMenu() != nullptr);
        QCOMPARE(OpenMenu()->title(), QStringLiteral("&Action"));
        // The item runs the scan before the key press returns: its rows are there.
        PressInMenu(Qt::Key_S);
        QVERIFY(!form.scanning());
        QCOMPARE(form.lstResults()->results().rowCount(), 2);

        // Enter presses the focused button.
        form.cmdHtml()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(form.cmdHtml(), Qt::Key_Return);
        QCOMPARE(rig.messages(), QStringList{"saved as " + rig.logs() + "/referers.html"});

        // The rows: Down selects the first, Ctrl+C copies it as a CSV line;
        // the row menu (Shift+F10) opens it, copies its address or its row.
        ResultsList* list = form.lstResults();
        list->setFocus(Qt::TabFocusReason);
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(Clipboard(), QStringLiteral("HTM,0000002,http://a.example/y\n"));
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        PressInMenu(Qt::Key_A);
        QCOMPARE(Clipboard(), QStringLiteral("http://a.example/y"));
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        PressInMenu(Qt::Key_R);
        QCOMPARE(Clipboard(), QStringLiteral("HTM,0000002,http://a.example/y\n"));
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        PressInMenu(Qt::Key_O);
        QCOMPARE(rig.view->navigations.last().toString(), QStringLiteral("http://a.example/y"));

        // Tab reaches the splitter; each arrow moves the line by ten pixels,
        // and the width is kept in the settings.
        QWidget* splitter = form.splPanes();
        // The offscreen platform leaves its focus with the closed menu's
        // window, where a desktop gives it back to the main window.
        QApplication::setActiveWindow(&form);
        QTRY_COMPARE(QApplication::focusWidget(), list);
        for (int i = 0; i < 60 && QApplication::focusWidget() != splitter; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget(), splitter);
        QVERIFY(2 * form.Frame1()->width() >= form.width());  // until moved: half or more
        const int line = form.frmBrowser()->x();
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(splitter, Qt::Key_Right);
        }
        QTest::keyClick(splitter, Qt::Key_Left);
        QCOMPARE(form.frmBrowser()->x(), line + 20);
        QCOMPARE(form.Frame1()->width(), form.frmMain()->width());
        QCOMPARE(rig.settings.values.value(Address("Settings", "iPaneWidth")),
                 QString::number((line + 20) * 15 - 60));

        // The chart opens centred over the main window.
        QTest::keyClick(&form, Qt::Key_A, Qt::AltModifier);
        PressInMenu(Qt::Key_C);
        QWidget* chart = form.sitesPanel().chartWindow();
        QVERIFY(chart != nullptr && chart->isVisible());
        QVERIFY(
            (chart->frameGeometry().center() - form.frameGeometry().center()).manhattanLength() <=
            2);
    }

    void theSplitterWidthComesBackAtTheNextStart() {
        Rig rig;
        rig.settings.values.insert(Address("Settings", "iPaneWidth"), "5940");
        rig.openAsReturningUser();
        QCOMPARE(rig.form->frmBrowser()->x(), (60 + 5940) / 15);
    }
};

}  // namespace tallowby

TALLOWBY_QTEST_MAIN(tallowby::KeyboardTest)
#include "KeyboardTest.moc"
