#include <QDir>
#include <QEvent>
#include <QFile>
#include <QList>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QWidget>

#include "QtTestMain.h"
#include "platform/MessageBoxes.h"
#include "platform/OnTop.h"
#include "platform/SettingsBackend.h"
#include "platform/Shell.h"

using namespace tallowby;

class PlatformServicesTest : public QObject {
    Q_OBJECT
private slots:
    void SettingsLiveInOneIniFilePerApplication() {
        QtSettingsBackend backend;
        backend.Write(QStringLiteral("IniApp"), QStringLiteral("data"), QStringLiteral("path"),
                      QStringLiteral("/var/log"));
        const QString file =
            qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/IniApp/IniApp.ini");
        QVERIFY2(QFile::exists(file), qPrintable(file));
        QCOMPARE(
            backend.Read(QStringLiteral("IniApp"), QStringLiteral("data"), QStringLiteral("path")),
            std::optional<QString>(QStringLiteral("/var/log")));
    }

    void SettingsTellMissingFromEmpty() {
        QtSettingsBackend backend;
        const QString app = QStringLiteral("EmptyApp");
        QCOMPARE(backend.Read(app, QStringLiteral("data"), QStringLiteral("k")), std::nullopt);
        backend.Write(app, QStringLiteral("data"), QStringLiteral("k"), QString());
        QCOMPARE(backend.Read(app, QStringLiteral("data"), QStringLiteral("k")),
                 std::optional<QString>(QString()));
        // The same key in the other section, or under another application,
        // is a different setting.
        QCOMPARE(backend.Read(app, QStringLiteral("Settings"), QStringLiteral("k")), std::nullopt);
        QCOMPARE(
            backend.Read(QStringLiteral("OtherApp"), QStringLiteral("data"), QStringLiteral("k")),
            std::nullopt);
    }

    void SettingsKeepTextsExactly_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("blanks and capitals") << QStringLiteral("  My.Site.COM  ");
        QTest::newRow("scheme and www") << QStringLiteral("http://www.example.com");
        QTest::newRow("comma") << QStringLiteral("a,b,c");
        QTest::newRow("ini punctuation") << QStringLiteral("x=1; [y] #z \"q\"");
        QTest::newRow("backslashes") << QStringLiteral("C:\\logs\\web");
        QTest::newRow("non-ASCII") << QStringLiteral("b\u00fccher.example/\u65e5\u672c");
        QTest::newRow("variant lookalike") << QStringLiteral("@Variant(\\0\\0\\0\\x7f)");
        QTest::newRow("leading zero") << QStringLiteral("01");
    }
    void SettingsKeepTextsExactly() {
        QFETCH(QString, value);
        QtSettingsBackend backend;
        backend.Write(QStringLiteral("ExactApp"), QStringLiteral("data"), QStringLiteral("v"),
                      value);
        QCOMPARE(
            backend.Read(QStringLiteral("ExactApp"), QStringLiteral("data"), QStringLiteral("v")),
            std::optional<QString>(value));
    }

    void SettingsReadAHandEditedListAsItsText() {
        const QString dir = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/HandApp");
        QDir().mkpath(dir);
        QFile file(dir + QStringLiteral("/HandApp.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[data]\nstrYourWebsite=a.com, b.com\n");
        file.close();
        QtSettingsBackend backend;
        QCOMPARE(backend.Read(QStringLiteral("HandApp"), QStringLiteral("data"),
                              QStringLiteral("strYourWebsite")),
                 std::optional<QString>(QStringLiteral("a.com,b.com")));
    }

    void OnTopKeepsPlaceSizeAndVisibility() {
        QWidget window;
        window.setGeometry(100, 120, 300, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect before = window.geometry();
        SetOnTop(&window, true);
        QVERIFY(IsOnTop(&window));
        QVERIFY(window.isVisible());
        QCOMPARE(window.geometry(), before);
        SetOnTop(&window, false);
        QVERIFY(!IsOnTop(&window));
        QVERIFY(window.isVisible());
        QCOMPARE(window.geometry(), before);
        SetOnTop(nullptr, true);  // ignored, no crash
    }

    void TopmostWindowsRiseAgainAfterAnotherWindowShows() {
        // The stacking as a window system keeps it: a window that is shown or
        // raised goes to the top. How often a window is raised is not what a
        // user sees; which window lies above which is.
        struct Stacking : QObject {
            QList<QObject*> bottomToTop;
            bool eventFilter(QObject* watched, QEvent* event) override {
                const bool toTop =
                    event->type() == QEvent::Show || event->type() == QEvent::ZOrderChange;
                if (toTop && bottomToTop.contains(watched)) {
                    bottomToTop.removeOne(watched);
                    bottomToTop.append(watched);
                }
                return false;
            }
            bool Above(QObject* upper, QObject* lower) const {
                return bottomToTop.indexOf(upper) > bottomToTop.indexOf(lower);
            }
        };
        QWidget options;
        QWidget plain;
        QWidget main;
        Stacking stacking;
        stacking.bottomToTop = {&main, &options, &plain};
        for (QWidget* window : {&options, &plain, &main}) {
            window->installEventFilter(&stacking);
        }
        for (QWidget* window : {&options, &plain}) {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
        }
        SetOnTop(&options, true);
        main.showMaximized();
        QTRY_VERIFY(stacking.Above(&options, &main));
        // Only the topmost window rises over the main window.
        QVERIFY(stacking.Above(&main, &plain));

        // Once it is out of the band, a window shown later covers it.
        SetOnTop(&options, false);
        main.hide();
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QCoreApplication::processEvents();
        QVERIFY(stacking.Above(&main, &options));
        QVERIFY(stacking.Above(&main, &plain));
    }

    void MessageBoxIsWideEnoughForItsTitle_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        QTest::newRow("statistics") << "1 files done\r\n2 lines scanned\r\n1 links found\r\n"
                                       "0 duplicates removed\r\n1 unique links"
                                    << "Scan Finished";
        QTest::newRow("short text, long title") << "x"
                                                << "A rather long title for so short a text";
        QTest::newRow("product name") << "You must select at least one referrer"
                                      << "Tallowby";
    }
    void MessageBoxIsWideEnoughForItsTitle() {
        QFETCH(QString, text);
        QFETCH(QString, title);
        const std::unique_ptr<QMessageBox> box = MakeMessageBox(nullptr, text, title);
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        QFont bold = QApplication::font();
        bold.setBold(true);
        // The title in a bold face, and room for an icon and three buttons.
        QVERIFY(box->width() >= QFontMetrics(bold).horizontalAdvance(title) + 3 * 24 + 16);
        QCOMPARE(box->windowTitle(), title);
        QCOMPARE(box->text(), text);
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->buttons().size(), 1);
    }

    void ShellPassesArgumentsWithoutAShell() {
        QtShell shell;
        const QString touch = shell.FindExecutable(QStringLiteral("touch"));
        if (touch.isEmpty()) {
            QSKIP("no touch on PATH");
        }
        QTemporaryDir dir;
        // Text from a log line: a shell would run the command substitution
        // and split at the semicolon.
        const QString name = dir.filePath(QStringLiteral("a;b $(echo x) 'c'.log"));
        const ShellResult result = shell.StartDetached(touch, {name});
        QVERIFY2(result.ok, qPrintable(result.error));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(name), 10000);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    }

    void ShellReportsAProgramThatCannotStart() {
        QtShell shell;
        const ShellResult result =
            shell.StartDetached(QStringLiteral("/nonexistent/tallowby-editor"), {});
        QVERIFY(!result.ok);
        QVERIFY(!result.error.isEmpty());
    }
};

TALLOWBY_QTEST_MAIN(PlatformServicesTest)
#include "PlatformServicesTest.moc"
