// The window under faults of its stored state and under a monkey: a settings
// file full of garbage, a settings folder that cannot be written, a missing
// or corrupted read-me, a missing icon group, a folder of 50,000 files, and a
// bounded run of seeded random clicks, toggles and typing during and between
// scans. Message boxes, shell and browser are fakes: nothing blocks and
// nothing leaves the machine.

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <random>

#include "FakeWebView.h"
#include "QtTestMain.h"
#include "RunProgram.h"
#include "WindowFakes.h"
#include "identity/WebsiteLauncher.h"
#include "identity/WindowIcons.h"
#include "mainwindow/Form1.h"
#include "mainwindow/WindowScanHost.h"
#include "platform/SettingsBackend.h"
#include "results/BrowserPane.h"
#include "results/ResultsList.h"
#include "settings/AppSettings.h"
#include "settings/HelpWindow.h"
#include "settings/SettingsStore.h"

namespace tallowby {

using testing::FakeWebView;
using testing::MemorySettings;
using testing::RecordingMessageBoxes;
using testing::RecordingShell;

namespace {

const QString kApp = QStringLiteral("Tallowby");

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// One main window over fakes (or over the real settings file when asked).
struct Rig {
    MemorySettings memory;
    SettingsBackend* settings = &memory;
    RecordingMessageBoxes boxes;
    RecordingShell shell;
    WebsiteLauncher launcher{shell};
    QTemporaryDir folder;
    QString helpFile;
    FakeWebView* view = nullptr;
    std::unique_ptr<Form1> form;

    Rig() { helpFile = folder.path() + QStringLiteral("/no-Help.rtf"); }

    void returningUser() {
        memory.values.insert(MemorySettings::Address(kApp, "data", "strYourWebsite"),
                             "mysite.example");
        memory.values.insert(MemorySettings::Address(kApp, "Settings", "showHelp"), "0");
    }
    void load(const QString& start = QString()) {
        view = new FakeWebView;
        Form1Services services{{boxes, shell, *settings}, launcher, [] {}};
        services.volumes = [] { return QStringList{QStringLiteral("/")}; };
        services.startDirectory = start.isEmpty() ? folder.path() : start;
        services.helpFilePath = helpFile;
        services.webView = view;
        form = std::make_unique<Form1>(std::move(services));
        form->resize(919, 673);
        form->show();
    }
    std::int64_t clicksSum() const {
        const ResultsModel& rows = form->lstResults()->results();
        std::int64_t sum = 0;
        for (int i = 0; i < rows.rowCount(); ++i) {
            const std::string_view clicks = rows.clicks(i);
            sum += QByteArray(clicks.data(), static_cast<qsizetype>(clicks.size())).toLongLong();
        }
        return sum;
    }
};

QByteArray Garbage(std::uint32_t seed, int size) {
    std::mt19937 random(seed);
    QByteArray bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

// A returning user opens `folder`, selects every log in it and presses Scan.
Form1& ScanEveryLogIn(Rig& rig, const QString& folder) {
    rig.returningUser();
    rig.load(folder);
    QTest::mouseClick(rig.form->cmdSelAll(), Qt::LeftButton);
    QTest::mouseClick(rig.form->cmdGo(), Qt::LeftButton);
    return *rig.form;
}

}  // namespace

class WindowFaultTest : public QObject {
    Q_OBJECT

private slots:
    void garbageSettingsFileGivesDefaultsAndAWorkingWindow() {
        // The real settings file, under the test's own XDG_CONFIG_HOME.
        const QString dir = qEnvironmentVariable("XDG_CONFIG_HOME") + "/" + kApp;
        QVERIFY(QDir().mkpath(dir));
        Write(dir + "/" + kApp + ".ini",
              Garbage(3, 4096) + "\n[data\nbRemoveDupes=banana\n[data]\nbGetFileTypes=\xff\xfe\n" +
                  "strYourWebsite=\"unclosed\n[%%%]\n=\n" + QByteArray(100000, '[') + "\n" +
                  Garbage(4, 4096));
        QtSettingsBackend backend;
        SettingsStore store(backend);
        AppSettings options;
        LoadSettings(store, kApp, options);  // must simply end
        Rig rig;
        rig.settings = &backend;
        rig.load();
        QVERIFY(rig.form->isVisible());
        // Every option still works as a switch, whatever was stored.
        rig.form->appSettings().bRemoveDupes = true;
        QTest::mouseClick(rig.form->cmdGo(), Qt::LeftButton);
        QVERIFY(!rig.form->scanning());
    }

    void unwritableSettingsFolderLeavesTheWindowRunning() {
        // Root ignores permission bits: a plain file where the settings folder
        // belongs makes every write fail.
        // QSettings takes its folder once per process, so it is pointed at
        // the test's folder directly rather than through XDG_CONFIG_HOME.
        QTemporaryDir home;
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path());
        Write(home.path() + "/" + kApp, "not a folder");
        {
            QtSettingsBackend backend;
            Rig rig;
            rig.settings = &backend;
            rig.load();
            SettingsStore store(backend);
            QVERIFY(!store.SaveSetting(kApp, "data", "strYourWebsite", "mysite.example"));
            QTest::mouseClick(rig.form->cmdGo(), Qt::LeftButton);
            QVERIFY(rig.form->isVisible());
            QVERIFY(QFileInfo(home.path() + "/" + kApp).isFile());  // nothing was written

            // A change of folder stores "path": the window says once, in
            // panel 2, that settings cannot be saved, and where they belong.
            QTemporaryDir logs;
            QVERIFY(QDir(logs.path()).mkdir("a") && QDir(logs.path()).mkdir("b"));
            QVERIFY(rig.form->chooser().setDirectoryPath(logs.path() + "/a"));
            const QString said = rig.form->statusPanel(2)->text();
            QVERIFY2(said.startsWith("Settings cannot be saved: " + home.path() + "/" + kApp),
                     qPrintable(said));
            rig.form->statusPanel(2)->setText("later text");
            QVERIFY(rig.form->chooser().setDirectoryPath(logs.path() + "/b"));
            QCOMPARE(rig.form->statusPanel(2)->text(), QString("later text"));
        }
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           qEnvironmentVariable("XDG_CONFIG_HOME"));
    }

    void settingsThatAreNotARegularFileCountAsMissingAndCannotBeSaved() {
        QTemporaryDir home;
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path());
        QVERIFY(QDir(home.path()).mkdir(kApp));
        const QString file = home.path() + "/" + kApp + "/" + kApp + ".ini";
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        {
            QtSettingsBackend backend;
            QVERIFY(!backend.Read(kApp, "data", "strYourWebsite").has_value());
            Rig rig;
            rig.settings = &backend;
            rig.load();  // reads the FIFO's place: must not wait for a writer
            QVERIFY(rig.form->isVisible());
            QTemporaryDir logs;
            QVERIFY(rig.form->chooser().setDirectoryPath(logs.path()));
            const QString note = "Settings cannot be saved: " + file;
            QCOMPARE(rig.form->statusPanel(3)->text(), note);
            // Panel 2 is soon written over; panel 3 says it again at every
            // failed save.
            rig.form->statusPanel(3)->setText("Connecting");
            QVERIFY(QDir(logs.path()).mkdir("a"));
            QVERIFY(rig.form->chooser().setDirectoryPath(logs.path() + "/a"));
            QCOMPARE(rig.form->statusPanel(3)->text(), note);
        }
        QVERIFY(QFileInfo(file).exists() && !QFileInfo(file).isFile());  // left as it was
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           qEnvironmentVariable("XDG_CONFIG_HOME"));
    }

    void missingOrCorruptReadMeOpensAnEmptyOrPartialWindow() {
        QTemporaryDir dir;
        struct Case {
            const char* name;
            QByteArray bytes;  // empty: no file at all
        };
        const QList<Case> cases = {
            {"missing", {}},
            {"binary", Garbage(5, 65536)},
            {"truncated", "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\b bold text\\'"},
            {"deep nesting", "{\\rtf1 " + QByteArray(200000, '{') + "deep"},
            {"huge skip", "{\\rtf1 before\\bin2147483647 after}"},
        };
        for (const Case& c : cases) {
            const QString path = dir.path() + "/Help-" + c.name + ".rtf";
            if (!c.bytes.isEmpty())
                Write(path, c.bytes);
            MemorySettings settings;
            SettingsStore store(settings);
            HelpWindowOpener opener(store, kApp, path);
            Form8* window = opener.Open();
            QVERIFY2(window != nullptr, c.name);
            QVERIFY2(window->isVisible(), c.name);
            QVERIFY2(window->rtf1()->toPlainText().size() <= c.bytes.size(), c.name);
            opener.Unload();
        }
    }

    void missingIconGroupLeavesWindowsWithoutAnIcon() {
        QVERIFY(LoadIconGroup(QStringLiteral("NO-SUCH-GROUP")).isNull());
        QWidget owner;
        QWidget window(&owner, Qt::Window);
        SetWindowIcons(&window, QStringLiteral("NO-SUCH-GROUP"), true);
        window.show();
        QVERIFY(window.isVisible());
    }

    void folderOfFiftyThousandFilesIsListedSelectedAndScanned() {
        QTemporaryDir dir;
        for (int i = 0; i < 50000; ++i) {
            QFile file(dir.path() + QStringLiteral("/f%1.log").arg(i, 5, 10, QLatin1Char('0')));
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (i % 10000 == 0)
                file.write("GET http://many.example/ x\r\n");
        }
        Rig rig;
        rig.returningUser();
        rig.load(dir.path());
        Form1& form = *rig.form;
        QCOMPARE(form.chooser().fileCount(), 50000);
        QTest::mouseClick(form.cmdSelAll(), Qt::LeftButton);
        QVERIFY(form.chooser().fileSelected(49999));
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
        QCOMPARE(form.scanner().counters().filesDone, 50000);
        QCOMPARE(form.scanner().counters().linksFound, 5);
        QCOMPARE(form.lstResults()->results().rowCount(), 1);
        QCOMPARE(rig.clicksSum(), 5);
    }

    void manyDamagedLogsAreNamedUpToTwentyAndCounted() {
        QTemporaryDir dir;
        const std::string packed = testing::Packed("gzip", "GET http://ref.example/ x\r\n");
        for (int i = 0; i < 22; ++i) {
            Write(dir.path() + QStringLiteral("/cut%1.gz").arg(i, 2, 10, QLatin1Char('0')),
                  QByteArray::fromStdString(packed.substr(0, packed.size() - 4)));
        }
        Rig rig;
        Form1& form = ScanEveryLogIn(rig, dir.path());
        const QString status = form.statusPanel(2)->text();
        QVERIFY2(status.contains(" : 22 files not read whole: cut00.gz (read error: "),
                 qPrintable(status));
        QVERIFY2(status.endsWith("cut19.gz (read error: truncated gzip data), and 2 more files"),
                 qPrintable(status));
        const QString box = rig.boxes.shown.value(0);
        QCOMPARE(box.count(".gz: read error: truncated gzip data\r\n"), 20);
        QVERIFY2(box.endsWith("\r\ncut19.gz: read error: truncated gzip data\r\nand 2 more files"),
                 qPrintable(box));
    }

    void namesThatAreNotUtf8AreListedAndScannedByTheirBytes() {
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path()) + "/";
        for (const QByteArray& name : {QByteArray("b\xff.log"), QByteArray("caf\xe9.log")}) {
            std::FILE* file = std::fopen((folder + name).constData(), "wb");
            QVERIFY(file != nullptr);
            std::fputs(("GET http://" + name.toHex() + ".example/ x\r\n").constData(), file);
            std::fclose(file);
        }
        Rig rig;
        rig.returningUser();
        rig.load(dir.path());
        Form1& form = *rig.form;
        QCOMPARE(form.chooser().fileCount(), 2);
        QTest::mouseClick(form.cmdSelAll(), Qt::LeftButton);
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
        QCOMPARE(form.scanner().counters().filesDone, 2);
        const ResultsModel& rows = form.lstResults()->results();
        QCOMPARE(rows.rowCount(), 2);
        QCOMPARE(rows.data(rows.index(0, ResultsModel::ReferrerColumn)).toString(),
                 QString("http://62ff2e6c6f67.example/ "));
        QCOMPARE(rows.data(rows.index(1, ResultsModel::ReferrerColumn)).toString(),
                 QString("http://636166e92e6c6f67.example/ "));
    }

    void referrerOfMegabytesIsShownCutAndKeptWhole() {
        QTemporaryDir dir;
        const QByteArray referrer = "http://long.example/" + QByteArray(3 << 20, 'a') + " ";
        Write(dir.path() + "/long.log", "GET " + referrer + "x\r\n");
        Rig rig;
        Form1& form = ScanEveryLogIn(rig, dir.path());
        ResultsList* list = form.lstResults();
        const QModelIndex cell = list->results().index(0, ResultsModel::ReferrerColumn);
        const QString shown = cell.data().toString();
        QCOMPARE(shown.size(), 2049);
        QVERIFY(shown.startsWith("http://long.example/aaa"));
        QCOMPARE(shown.back(), QChar(0x2026));
        QCOMPARE(cell.data(ResultsModel::ReferrerBytesRole).toByteArray(), referrer);
        const QModelIndex type = list->results().index(0, ResultsModel::TypeColumn);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(type).center());
        QCOMPARE(form.statusPanel(2)->text(), shown);
    }

    void exportOntoASelectedLogIsRefusedAndTheLogKept_data() {
        QTest::addColumn<bool>("link");
        QTest::addColumn<QString>("log");
        // A log that happens to carry the page's name, and a link of that
        // name to another log: both selected, both scanned.
        QTest::newRow("a log named referers.html") << false << QStringLiteral("referers.html");
        QTest::newRow("referers.html a link to a log") << true << QStringLiteral("access.log");
    }
    void exportOntoASelectedLogIsRefusedAndTheLogKept() {
        QFETCH(bool, link);
        QFETCH(QString, log);
        QTemporaryDir dir;
        const QByteArray lines = "GET http://one.example/ x\r\nGET http://two.example/ x\r\n";
        Write(dir.path() + "/access.log", lines);
        const QString page = dir.path() + "/referers.html";
        if (link) {
            QVERIFY(QFile::link("access.log", page));
        } else {
            Write(page, lines);
        }
        Rig rig;
        Form1& form = ScanEveryLogIn(rig, dir.path());
        QCOMPARE(form.scanner().counters().filesDone, 2);
        QTest::mouseClick(form.cmdHtml(), Qt::LeftButton);
        QCOMPARE(rig.boxes.shown.last(), "Could not save " + page +
                                             ": it would replace the selected log " + dir.path() +
                                             "/" + log);
        QFile kept(page);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), lines);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);  // no page beside it
    }

    void monkeyKeepsTheWindowAliveAndItsListsConsistent() {
        Rig rig;
        rig.returningUser();
        const QString logs = rig.folder.path() + "/logs";
        QVERIFY(QDir().mkpath(logs));
        const QString data = qEnvironmentVariable("TALLOWBY_TEST_DATA");
        QVERIFY(!data.isEmpty());
        for (const char* name : {"combined.log", "mixed.log", "w3c.log", "hostile.log"}) {
            QVERIFY(QFile::copy(data + "/" + name, logs + "/" + name));
        }
        QVERIFY(QFile::copy(data + "/../../samples/access.log", logs + "/access.log"));
        rig.load(logs);
        Form1& form = *rig.form;
        form.scanHost().setYieldRate(0, 25);  // a turn every 25 lines
        form.appSettings().bRemoveDupes = true;
        form.appSettings().bDisplayStats = true;

        std::mt19937 random(20240607);
        auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
        QList<QToolButton*> buttons = {
            form.cmdGo(),   form.cmdStop(),  form.Command10(), form.cmdExpnd(), form.cmdSelAll(),
            form.cmdHtml(), form.Command1(), form.cmdOpts(),   form.Command8(), form.Command9()};
        QList<QAction*> menu = {form.mnuActionStart(), form.mnuActionStop(), form.mnuActionToggle(),
                                form.MnuOptionsItem(), form.mnuHelpItem(),   form.mnuAboutItem()};
        int checks = 0;
        auto consistent = [&] {
            // Between scans the rows are the work list, and with the collapse
            // on their counts add up to the links found.
            if (form.scanning())
                return;
            ++checks;
            const auto& scanner = form.scanner();
            QCOMPARE(static_cast<std::size_t>(form.lstResults()->results().rowCount()),
                     scanner.workList().size());
            if (scanner.workList().collapsed()) {
                QCOMPARE(rig.clicksSum(), scanner.counters().linksFound);
            }
        };
        auto act = [&] {
            switch (pick(7)) {
                case 0:
                case 1: {
                    QToolButton* b = buttons[pick(buttons.size())];
                    if (b->isVisible() && b->isEnabled())
                        QTest::mouseClick(b, Qt::LeftButton);
                    break;
                }
                case 2:
                    menu[pick(menu.size())]->trigger();
                    break;
                case 3: {
                    QHeaderView* header = form.lstResults()->header();
                    const int section = pick(3);
                    if (header->isVisible()) {
                        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                                          QPoint(header->sectionViewportPosition(section) + 3,
                                                 header->height() / 2));
                    }
                    break;
                }
                case 4: {
                    ResultsList* list = form.lstResults();
                    const int rows = list->model()->rowCount();
                    if (rows > 0 && list->isVisible()) {
                        const QRect cell = list->visualRect(list->model()->index(pick(rows), 2));
                        if (pick(2))
                            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
                        else
                            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
                    }
                    break;
                }
                case 5: {
                    QLineEdit* box = form.frmBrowser()->text1();
                    static const char* const typed[] = {"http://a.example/", "<b>'\"&", " ",
                                                        "javascript:x", "ftp://"};
                    box->setFocus();
                    if (pick(4) == 0) {
                        box->insert(
                            QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac"));  // no key for these
                    } else {
                        QTest::keyClicks(box, QString::fromUtf8(typed[pick(5)]));
                    }
                    if (pick(3) == 0)
                        QTest::keyClick(box, Qt::Key_Return);
                    break;
                }
                default: {
                    QListView* files = form.File1();
                    const int count = form.chooser().fileCount();
                    if (count > 0 && files->isVisible()) {
                        const QModelIndex index = files->model()->index(pick(count), 0);
                        QTest::mouseClick(files->viewport(), Qt::LeftButton, Qt::ControlModifier,
                                          files->visualRect(index).center());
                    }
                    break;
                }
            }
        };

        QEventLoop loop;
        int remaining = 2000;
        std::function<void()> step = [&] {
            if (remaining-- <= 0) {
                loop.quit();
                return;
            }
            // The next step is queued first, so it also runs inside a scan's turns.
            QTimer::singleShot(0, &form, step);
            consistent();
            act();
        };
        QTimer::singleShot(0, &form, step);
        loop.exec();
        QVERIFY(!form.scanning());

        // One last full scan, undisturbed.
        form.chooser().cmdSelAll_Click();
        form.cmdGo_Click();
        consistent();
        QCOMPARE(form.scanner().counters().filesDone, 5);
        QVERIFY(form.scanner().counters().linksFound > 0);
        QVERIFY(checks > 10);
        QVERIFY(form.isVisible());
    }
};

}  // namespace tallowby

TALLOWBY_QTEST_MAIN(tallowby::WindowFaultTest)
#include "WindowFaultTest.moc"
