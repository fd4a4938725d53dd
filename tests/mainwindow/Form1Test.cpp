#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <functional>
#include <memory>

#include "FakeWebView.h"
#include "identity/AboutWindow.h"
#include "identity/ProductIdentity.h"
#include "identity/WebsiteLauncher.h"
#include "mainwindow/Form1.h"
#include "mainwindow/WindowScanHost.h"
#include "platform/Fakes.h"
#include "platform/QtTestMain.h"
#include "results/BrowserPane.h"
#include "results/ResultsList.h"
#include "settings/HelpWindow.h"
#include "settings/OptionsDialog.h"

namespace tallowby {

using testing::FakeWebView;
using testing::MemorySettings;
using testing::RecordingMessageBoxes;
using testing::RecordingShell;

namespace {

QString Address(const QString& section, const QString& key) {
    return MemorySettings::Address(QStringLiteral("Tallowby"), section, key);
}

// A log line in the common combined format, ending in CR LF.
QByteArray Line(const char* referrer) {
    return QByteArray(
               "10.0.0.1 - - [01/Oct/2023:00:00:01 +0000] \"GET /index.html HTTP/1.1\" "
               "200 512 \"") +
           referrer + "\" \"Mozilla/5.0\"\r\n";
}

void WriteLog(const QString& path, const QList<QByteArray>& lines) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (const QByteArray& line : lines) {
        file.write(line);
    }
}

QList<QByteArray> Repeated(const char* referrer, int count) {
    QList<QByteArray> lines;
    for (int i = 0; i < count; ++i) {
        lines.append(Line(referrer));
    }
    return lines;
}

// `text` compressed by /usr/bin/<tool> -c.
QByteArray Packed(const QString& tool, const QByteArray& text) {
    QProcess process;
    process.start(QStringLiteral("/usr/bin/") + tool, {QStringLiteral("-c")});
    process.write(text);
    process.closeWriteChannel();
    process.waitForFinished();
    return process.readAllStandardOutput();
}

// One main window over recording fakes, with a folder of logs.
struct Rig {
    MemorySettings settings;
    RecordingMessageBoxes boxes;
    RecordingShell shell;
    WebsiteLauncher launcher{shell};
    QTemporaryDir folder;
    FakeWebView* view = nullptr;
    int ended = 0;
    std::unique_ptr<Form1> form;

    // Settings a returning user has: own domain saved, Help off.
    void returningUser() {
        settings.values.insert(Address("data", "strYourWebsite"), "mysite.example");
        settings.values.insert(Address("Settings", "showHelp"), "0");
    }

    QString logs() const { return folder.path() + QStringLiteral("/logs"); }

    void load() {
        QDir().mkpath(logs());
        view = new FakeWebView;
        Form1Services services{{boxes, shell, settings}, launcher, [this] { ++ended; }};
        services.volumes = [] { return QStringList{QStringLiteral("/")}; };
        services.startDirectory = folder.path();
        services.helpFilePath = folder.path() + QStringLiteral("/no-Help.rtf");
        services.webView = view;
        form = std::make_unique<Form1>(std::move(services));
    }

    void show(int width = 919, int height = 673) {
        form->resize(width, height);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->resize(width, height);
    }

    QStringList messages() const {
        QStringList texts;
        for (const auto& shown : boxes.shown) {
            texts.append(shown.first);
        }
        return texts;
    }

    QString panel(int number) const { return form->statusPanel(number)->text(); }

    // Opens `path` in the directory list with a double-click, as the user does.
    void openDirectory(const QString& path) {
        QListView* dir1 = form->Dir1();
        QAbstractItemModel* model = dir1->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex index = model->index(row, 0);
            if (index.data(LogFileChooser::PathRole).toString() == path) {
                dir1->scrollTo(index);
                // A double-click is only taken on the entry that was pressed.
                QTest::mouseClick(dir1->viewport(), Qt::LeftButton, {},
                                  dir1->visualRect(index).center());
                QTest::mouseDClick(dir1->viewport(), Qt::LeftButton, {},
                                   dir1->visualRect(index).center());
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no entry for ") + path));
    }

    // Ctrl-clicks the named entries of the file list.
    void selectFiles(const QStringList& names) {
        QListView* file1 = form->File1();
        for (const QString& name : names) {
            const int row = form->chooser().fileModel()->stringList().indexOf(name);
            QVERIFY2(row >= 0, qPrintable(name));
            const QModelIndex index = file1->model()->index(row, 0);
            QTest::mouseClick(file1->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              file1->visualRect(index).center());
        }
    }

    // Runs `action` once, during the scan, as soon as `when` holds.
    void during(std::function<bool()> when, std::function<void()> action) {
        form->scanHost().setYieldRate(0, 1);  // every yield is a real turn
        auto* timer = new QTimer(form.get());
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, when, action] {
            if (when()) {
                timer->stop();
                timer->deleteLater();
                action();
            }
        });
        timer->start();
    }
};

}  // namespace

class Form1Test : public QObject {
    Q_OBJECT

private slots:
    void firstRunLoadsInOrderAndOpensHelpAndOptions() {
        Rig rig;
        rig.load();
        Form1& form = *rig.form;
        const ProductIdentity& identity = TheProductIdentity();
        QCOMPARE(form.windowTitle(), identity.productName + " by " + identity.companyName);
        QCOMPARE(form.windowTitle(), QStringLiteral("Tallowby by Quenmoor"));
        QCOMPARE(form.Command8()->text(), "Visit " + identity.website);
        QCOMPARE(form.Command8()->toolTip(), QStringLiteral("Visit us!"));
        QVERIFY(!form.windowIcon().isNull());

        // The stored folder is read before the options, the Help flag after.
        const QStringList& reads = rig.settings.reads;
        const qsizetype path = reads.indexOf(Address("data", "path"));
        const qsizetype dupes = reads.indexOf(Address("data", "bRemoveDupes"));
        const qsizetype domain = reads.indexOf(Address("data", "strYourWebsite"));
        const qsizetype help = reads.indexOf(Address("Settings", "showHelp"));
        QVERIFY(path >= 0 && path < dupes && dupes < domain && domain < help);

        QVERIFY(form.helpWindow().isLoaded());
        QVERIFY(form.optionsDialog().isLoaded());
        QCOMPARE(form.optionsDialog().window()->Text1()->text(), strPlaceholderDomain);
        QVERIFY(form.appSettings().bRemoveDupes && form.appSettings().bDisplayStats &&
                form.appSettings().bGetFileTypes);
        // The browser pane starts at the product website.
        QCOMPARE(rig.view->navigations.size(), 1);
        QVERIFY(rig.view->navigations.first().toString().contains(identity.website));
        // The chooser starts where it was told and nothing has been stored.
        QCOMPARE(form.chooser().directoryPath(), rig.folder.path());
        QCOMPARE(rig.settings.writes, QStringList());
        QCOMPARE(rig.messages(), QStringList());

        QAbstractItemModel* model = form.lstResults()->model();
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Type"));
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Clicks"));
        QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Referrer"));
        QVERIFY(form.statusPanel(3) != nullptr);
        QVERIFY(!form.resultsViewShown());
        QVERIFY(!form.widePanes());
    }

    void storedSettingsDecideWhatOpens_data() {
        QTest::addColumn<QString>("showHelp");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<bool>("helpOpens");
        QTest::addColumn<bool>("optionsOpen");
        QTest::newRow("help 1") << "1"
                                << "mysite.example" << true << false;
        QTest::newRow("help 0") << "0"
                                << "mysite.example" << false << false;
        QTest::newRow("help empty") << ""
                                    << "mysite.example" << false << false;
        QTest::newRow("help blank 1") << " 1"
                                      << "mysite.example" << false << false;
        QTest::newRow("help 01") << "01"
                                 << "mysite.example" << false << false;
        QTest::newRow("help true") << "true"
                                   << "mysite.example" << false << false;
        QTest::newRow("placeholder") << "0" << strPlaceholderDomain << false << true;
        QTest::newRow("placeholder in capitals")
            << "0" << strPlaceholderDomain.toUpper() << false << false;
        QTest::newRow("empty domain") << "0"
                                      << "" << false << false;
    }
    void storedSettingsDecideWhatOpens() {
        QFETCH(QString, showHelp);
        QFETCH(QString, domain);
        QFETCH(bool, helpOpens);
        QFETCH(bool, optionsOpen);
        Rig rig;
        rig.settings.values.insert(Address("Settings", "showHelp"), showHelp);
        rig.settings.values.insert(Address("data", "strYourWebsite"), domain);
        rig.load();
        QCOMPARE(rig.form->helpWindow().isLoaded(), helpOpens);
        QCOMPARE(rig.form->optionsDialog().isLoaded(), optionsOpen);
        QCOMPARE(rig.form->appSettings().strYourWebsite, domain);
    }

    void storedFolderComesBackAndDeletedOneStartsQuietly() {
        Rig rig;
        rig.returningUser();
        QDir().mkpath(rig.logs() + "/www");
        rig.settings.values.insert(Address("data", "path"), rig.logs() + "/www");
        rig.load();
        QCOMPARE(rig.form->chooser().directoryPath(), rig.logs() + "/www");

        Rig gone;
        gone.returningUser();
        gone.settings.values.insert(Address("data", "path"), gone.folder.path() + "/deleted");
        gone.load();
        QCOMPARE(gone.messages(), QStringList());
        QCOMPARE(gone.form->chooser().directoryPath(), gone.folder.path());
        QVERIFY(gone.form->windowTitle().startsWith("Tallowby"));
    }

    void chooserControlsReportWhatCannotBeShown() {
        Rig rig;
        rig.returningUser();
        QDir().mkpath(rig.folder.path() + "/vanishing");
        rig.load();
        rig.show();
        Form1& form = *rig.form;
        // A folder that went away after it was listed.
        QVERIFY(QDir(rig.folder.path() + "/vanishing").removeRecursively());
        rig.openDirectory(rig.folder.path() + "/vanishing");
        QCOMPARE(rig.messages(), QStringList({"Error: Directory does not exist"}));
        QCOMPARE(form.chooser().directoryPath(), rig.folder.path());

        // A drive without a medium: the drive list keeps it, the rest stays.
        form.chooser().setDrive(QStringLiteral("/"));
        QStringList drives{QStringLiteral("/"), rig.folder.path() + "/no-medium"};
        form.chooser().driveModel()->setStringList(drives);
        emit form.Drive1()->activated(1);
        QCOMPARE(rig.messages().last(), QStringLiteral("Error: Device is not available"));
        QCOMPARE(form.Drive1()->currentIndex(), 1);
        QCOMPARE(form.chooser().directoryPath(), rig.folder.path());
        QVERIFY(!rig.settings.values.contains(Address("data", "path")));
    }

    void scanOfChosenFilesShowsStatisticsAndResults() {
        Rig rig;
        rig.returningUser();
        rig.load();
        WriteLog(rig.logs() + "/a.log", {Line("http://ref.one/page"), Line("http://ref.two/"),
                                         Line("http://mysite.example/own"), Line("-")});
        WriteLog(rig.logs() + "/b.log", {Line("http://ref.one/page"), Line("http://ref.three/")});
        WriteLog(rig.logs() + "/c.log", {Line("http://ref.one/page")});
        WriteLog(rig.logs() + "/skipped.log", {Line("http://not.read/")});
        rig.show();
        Form1& form = *rig.form;

        rig.openDirectory(rig.logs());
        QCOMPARE(form.chooser().directoryPath(), rig.logs());
        QCOMPARE(rig.settings.values.value(Address("data", "path")), rig.logs());
        rig.selectFiles({"a.log", "b.log", "c.log"});
        rig.panel(2);
        form.statusPanel(2)->setText("before");

        bool scanLocked = false;
        rig.during([] { return true; },
                   [&] {
                       scanLocked =
                           !form.cmdGo()->isEnabled() && !form.mnuActionStart()->isEnabled();
                       form.mnuActionStart()->trigger();  // refused while the scan runs
                       form.cmdGo_Click();
                   });
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);

        QVERIFY(scanLocked);
        QVERIFY(form.cmdGo()->isEnabled() && form.mnuActionStart()->isEnabled());
        QCOMPARE(rig.panel(2), QStringLiteral("COMPLETE: 3 files done : 7 lines scanned : "
                                              "5 links found : 2 duplicates removed : "
                                              "3 unique links"));
        QCOMPARE(rig.boxes.shown.size(), 1);
        QCOMPARE(rig.boxes.shown.first().second, QStringLiteral("Scan Finished"));
        QCOMPARE(rig.boxes.shown.first().first,
                 QStringLiteral("3 files done\r\n7 lines scanned\r\n5 links found\r\n"
                                "2 duplicates removed\r\n3 unique links"));
        QVERIFY(form.resultsViewShown());
        QVERIFY(form.Frame1()->isVisible());
        QVERIFY(form.cmdExpnd()->isVisible());
        const ResultsModel& rows = form.lstResults()->results();
        QCOMPARE(rows.rowCount(), 3);
        QCOMPARE(QString::fromUtf8(rows.clicks(0)), QStringLiteral("0000003"));
        QVERIFY(QString::fromUtf8(rows.referrer(0)).startsWith("http://ref.one/page"));

        // A second scan, started from the results view, stays there and
        // shows only its own rows; the options are read when used.
        form.appSettings().bRemoveDupes = false;
        form.appSettings().bDisplayStats = false;
        form.mnuActionStart()->trigger();
        QVERIFY(form.resultsViewShown());
        QCOMPARE(rig.boxes.shown.size(), 1);
        QCOMPARE(rows.rowCount(), 5);
        QCOMPARE(QString::fromUtf8(rows.clicks(0)), QString());
        QVERIFY(rig.panel(2).endsWith(": 0 duplicates removed : 5 unique links"));
        // Without the collapse the bar keeps the last file's progress: its one
        // line read, one step short of full.
        QCOMPARE(form.ProgressBar1()->value(), WindowScanHost::ProgressPosition(1.01, 2.01));
        QVERIFY(form.ProgressBar1()->value() < form.ProgressBar1()->maximum());
    }

    void referrerRulesTickedInOptionsShapeTheNextScan() {
        Rig rig;
        rig.returningUser();
        rig.settings.values.insert(Address("data", "bDisplayStats"), "0");
        rig.load();
        // One page from two browsers, and an https:// page.
        WriteLog(rig.logs() + "/a.log",
                 {Line("http://blog.example/p\" \"Mozilla/5.0 (X11; Linux x86_64)"),
                  Line("http://blog.example/p\" \"Mozilla/5.0 (Windows NT 10.0)"),
                  Line("https://news.example/item?id=7")});
        rig.show();
        Form1& form = *rig.form;
        rig.openDirectory(rig.logs());
        QTest::mouseClick(form.cmdSelAll(), Qt::LeftButton);
        const ResultsModel& rows = form.lstResults()->results();
        auto referrers = [&rows] {
            QStringList texts;
            for (int row = 0; row < rows.rowCount(); ++row) {
                texts << QString::fromUtf8(rows.referrer(row)) + " " +
                             QString::fromUtf8(rows.clicks(row));
            }
            return texts;
        };
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
        QCOMPARE(referrers(), (QStringList{"http://blog.example/p\" \"Mozilla/5.0 (Windows NT 10.0 "
                                           "0000001",
                                           "http://blog.example/p\" \"Mozilla/5.0 (X11; Linux "
                                           "x86_64 0000001"}));

        form.MnuOptionsItem()->trigger();
        Form2* options = form.optionsDialog().window();
        QVERIFY(options);
        for (QCheckBox* box : {options->Check4(), options->Check5()}) {
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        }
        QTest::mouseClick(options->Command1(), Qt::LeftButton);
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
        QCOMPARE(referrers(), (QStringList{"http://blog.example/p 0000002",
                                           "https://news.example/item?id=7 0000001"}));
    }

    void compressedLogsAreReadAndStopEndsOneThatInflates() {
        Rig rig;
        rig.returningUser();
        rig.settings.values.insert(Address("data", "bDisplayStats"), "0");
        rig.load();
        const QByteArray two = Line("http://ref.one/") + Line("http://ref.two/");
        WriteLog(rig.logs() + "/access.log.2.gz", {Packed("gzip", two)});
        WriteLog(rig.logs() + "/access.log.3", {Packed("xz", Line("http://ref.one/"))});
        const QByteArray cut = Packed("gzip", two + two);  // its trailer cut short
        WriteLog(rig.logs() + "/access.log.4", {cut.left(cut.size() - 6)});
        const QString bomb = rig.logs() + QStringLiteral("/bomb");
        QDir().mkpath(bomb);
        WriteLog(bomb + "/zeros.gz", {Packed("gzip", QByteArray(16 << 20, '\0'))});
        rig.show();
        Form1& form = *rig.form;
        rig.openDirectory(rig.logs());
        QTest::mouseClick(form.cmdSelAll(), Qt::LeftButton);
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
        const ResultsModel& rows = form.lstResults()->results();
        QCOMPARE(rows.rowCount(), 2);
        QCOMPARE(QString::fromUtf8(rows.clicks(0)), QStringLiteral("0000004"));
        QCOMPARE(QString::fromUtf8(rows.clicks(1)), QStringLiteral("0000003"));
        // The cut-short file is not done, but its four lines count.
        QCOMPARE(rig.panel(2), QStringLiteral("COMPLETE: 2 files done : 7 lines scanned : "
                                              "7 links found : 5 duplicates removed : "
                                              "2 unique links"));

        // One line of 16 MB: the window takes turns while it inflates, and
        // Stop pressed in one of them ends the scan inside that line.
        rig.openDirectory(bomb);
        QTest::mouseClick(form.cmdSelAll(), Qt::LeftButton);
        int turns = 0;
        rig.during([&] { return ++turns == 5; },
                   [&] { QTest::mouseClick(form.cmdStop(), Qt::LeftButton); });
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
        const ScanCounters& counters = form.scanner().counters();
        QVERIFY(counters.cancelRequested);
        QCOMPARE(counters.linesScanned, 0);
        QCOMPARE(counters.filesDone, 0);
    }

    void stopDuringTheSecondOfThreeFiles_data() {
        QTest::addColumn<bool>("removeDupes");
        QTest::newRow("collapse on") << true;
        QTest::newRow("collapse off") << false;
    }
    void stopDuringTheSecondOfThreeFiles() {
        QFETCH(bool, removeDupes);
        Rig rig;
        rig.returningUser();
        rig.settings.values.insert(Address("data", "bRemoveDupes"), removeDupes ? "1" : "0");
        rig.load();
        WriteLog(rig.logs() + "/1.log", Repeated("http://first.example/", 5));
        WriteLog(rig.logs() + "/2.log", Repeated("http://second.example/", 50));
        WriteLog(rig.logs() + "/3.log", Repeated("http://third.example/", 5));
        rig.show();
        Form1& form = *rig.form;
        rig.openDirectory(rig.logs());
        QTest::mouseClick(form.cmdSelAll(), Qt::LeftButton);
        const ScanCounters& counters = form.scanner().counters();
        rig.during([&] { return counters.linesScanned >= 8; },
                   [&] { QTest::mouseClick(form.cmdStop(), Qt::LeftButton); });
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);

        QCOMPARE(counters.filesDone, 1);
        QCOMPARE(counters.linesScanned, 8);
        QCOMPARE(rig.boxes.shown.size(), 0);
        QVERIFY(!form.resultsViewShown());
        if (removeDupes) {
            QVERIFY(rig.panel(2).startsWith("Removing Duplicates...  Please Wait."));
            QCOMPARE(form.lstResults()->results().rowCount(), 2);
        } else {
            QCOMPARE(rig.panel(2), QStringLiteral("Cancelled"));
            QCOMPARE(form.lstResults()->results().rowCount(), 8);
        }

        // Stop again while idle, then Scan: a full scan.
        form.mnuActionStop()->trigger();
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
        QCOMPARE(counters.filesDone, 3);
        QCOMPARE(counters.linesScanned, 60);
        QVERIFY(form.resultsViewShown());
    }

    void headerAndRowClicks() {
        Rig rig;
        rig.returningUser();
        rig.load();
        rig.show();
        Form1& form = *rig.form;
        form.ToggleResultsView();
        ResultsList* list = form.lstResults();
        QHeaderView* header = list->header();
        auto clickHeader = [&](int section) {
            QTest::mouseClick(
                header->viewport(), Qt::LeftButton, {},
                QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
        };
        clickHeader(1);  // empty list: nothing changes
        QVERIFY(!list->sortedMode());

        WriteLog(rig.logs() + "/a.log", Repeated("http://two.example/", 2) +
                                            Repeated("http://ten.example/", 10) +
                                            Repeated("http://nine.example/", 9));
        rig.openDirectory(rig.logs());
        form.chooser().cmdSelAll_Click();
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
        const ResultsModel& rows = list->results();
        QCOMPARE(rows.rowCount(), 3);

        clickHeader(1);
        QCOMPARE(QString::fromUtf8(rows.clicks(0)), QStringLiteral("0000010"));
        QCOMPARE(QString::fromUtf8(rows.clicks(2)), QStringLiteral("0000002"));
        clickHeader(1);
        QCOMPARE(QString::fromUtf8(rows.clicks(0)), QStringLiteral("0000002"));
        clickHeader(0);
        QCOMPARE(list->sortColumn(), 0);
        QVERIFY(!list->sortAscending());

        // A click puts the row's address into panel 2; a double-click opens
        // it in the browser pane and names it in panel 3.
        const QModelIndex second = list->model()->index(1, 0);
        const QString address = QString::fromUtf8(rows.referrer(1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(second).center());
        QCOMPARE(rig.panel(2), address);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(second).center());
        QCOMPARE(form.frmBrowser()->text1()->text(), address);
        QCOMPARE(rig.panel(3), "connecting " + address);
        QCOMPARE(rig.view->navigations.last(),
                 BrowserPane::AddressBytesToUrl(
                     QByteArray::fromStdString(std::string(rows.referrer(1)))));

        // "Open" does the same for the selected row.
        const qsizetype shown = rig.boxes.shown.size();
        QTest::mouseClick(form.Command9(), Qt::LeftButton);
        QCOMPARE(rig.view->navigations.size(), 3);
        QCOMPARE(rig.boxes.shown.size(), shown);

        // The pane's notifications reach the status bar and the caption.
        rig.view->complete("Welcome", "http://ten.example/welcome");
        QCOMPARE(form.windowTitle(), QStringLiteral("Tallowby by Quenmoor - Welcome"));
        emit rig.view->statusTextChanged("Loading...");
        QCOMPARE(rig.panel(2), QStringLiteral("Loading..."));
    }

    void layoutFollowsTheWindowAndTheViewSwitches() {
        Rig rig;
        rig.returningUser();
        rig.load();
        rig.show(919, 673);  // 13785 x 10095 twips
        Form1& form = *rig.form;
        // Sizes below are outer sizes, frame included.
        const QSize frame = form.frameGeometry().size() - form.size();
        auto resizeOuter = [&](int width, int height) {
            form.resize(width - frame.width(), height - frame.height());
        };
        resizeOuter(919, 673);
        QCOMPARE(form.frameGeometry().size(), QSize(919, 673));
        const FormGeometry& g = form.layoutGeometry();
        QCOMPARE(g.frmMain.height, 10095.0 - 315 - 900 - 600);
        QCOMPARE(g.frmBrowser.left, 3795.0);
        QCOMPARE(g.frmBrowser.width, 9890.0);
        QCOMPARE(g.lstResults.width, 3555.0);
        QCOMPARE(g.lstResults.height, 5585.0);
        QCOMPARE(g.Command8.width, 9525.0);
        QCOMPARE(form.frmMain()->geometry(), QRect(4, 60, 249, 552));
        QCOMPARE(form.frmBrowser()->geometry().x(), 253);
        QCOMPARE(form.frmBrowser()->width(), 659);
        QCOMPARE(form.lstResults()->size(), QSize(237, 372));
        QCOMPARE(form.Command8()->width(), 635);
        QCOMPARE(form.statusPanel(1)->width(), 230);
        QCOMPARE(form.statusPanel(2)->x(), 230);
        QCOMPARE(form.ProgressBar1()->geometry(), QRect(2, 3, 226, 18));

        // Toggle View twice: back where it started, sizes untouched.
        QVERIFY(!form.cmdExpnd()->isVisible());
        const QRect before = form.frmMain()->geometry();
        QTest::mouseClick(form.Command10(), Qt::LeftButton);
        QVERIFY(form.resultsViewShown());
        QCOMPARE(form.Frame1()->geometry(), QRect(4, 60, 253, 552));
        form.mnuActionToggle()->trigger();
        QVERIFY(!form.resultsViewShown());
        QCOMPARE(form.frmMain()->geometry(), before);

        // Expand on a 12000-twip window, then widen the window to 16005.
        form.ToggleResultsView();
        resizeOuter(800, 673);
        QTest::mouseClick(form.cmdExpnd(), Qt::LeftButton);
        QCOMPARE(form.cmdExpnd()->text(), QStringLiteral("Contract"));
        QCOMPARE(g.Frame1.width, 9000.0);
        QCOMPARE(g.frmMain.width, 9000.0);
        QCOMPARE(form.frmBrowser()->x(), 604);
        resizeOuter(1067, 673);
        QCOMPARE(g.Frame1.width, 9000.0);
        QCOMPARE(form.frmBrowser()->x(), 604);
        QCOMPARE(g.frmBrowser.width, 16005.0 - 9060 - 100);
        QTest::mouseClick(form.cmdExpnd(), Qt::LeftButton);
        QCOMPARE(form.cmdExpnd()->text(), QStringLiteral("Expand"));
        QCOMPARE(g.frmMain.width, 3735.0);
        QCOMPARE(form.frmBrowser()->x(), 253);

        // Minimised: no layout. Restored: layout again.
        form.showMinimized();
        resizeOuter(700, 500);
        QCOMPARE(g.frmMain.height, 10095.0 - 315 - 900 - 600);
        form.showNormal();
        QCOMPARE(g.frmMain.height, 500.0 * 15 - 315 - 900 - 600);
    }

    void menuItemsRunTheButtonsCommands() {
        Rig rig;
        rig.returningUser();
        rig.load();
        rig.show();
        Form1& form = *rig.form;
        form.MnuOptionsItem()->trigger();
        QVERIFY(form.optionsDialog().isLoaded());
        form.mnuHelpItem()->trigger();
        QVERIFY(form.helpWindow().isLoaded());
        form.mnuAboutItem()->trigger();
        QVERIFY(form.aboutWindow().isLoaded());
        QTest::mouseClick(form.Command8(), Qt::LeftButton);
        QTest::mouseClick(form.Command8(), Qt::LeftButton);  // within the second: once
        QCOMPARE(rig.shell.opened.size(), 1);

        // Closing unloads Options and Help and ends the run once the
        // launcher, which is not showing, is out of the way.
        form.close();
        QVERIFY(!form.optionsDialog().isLoaded());
        QVERIFY(!form.helpWindow().isLoaded());
        QCOMPARE(rig.ended, 1);
    }

    void closeWaitsForAShowingLauncher() {
        Rig rig;
        rig.returningUser();
        rig.load();
        rig.show();
        rig.launcher.OpenWebsite();
        rig.launcher.ShowLauncher();
        rig.form->close();
        QCOMPARE(rig.ended, 0);
        rig.launcher.window()->Timer1_Timer();
        QTRY_COMPARE(rig.ended, 1);
    }

    void closeDuringAScanStopsItFirst() {
        Rig rig;
        rig.returningUser();
        rig.load();
        WriteLog(rig.logs() + "/big.log", Repeated("http://ref.example/", 2000));
        rig.show();
        Form1& form = *rig.form;
        rig.openDirectory(rig.logs());
        form.chooser().cmdSelAll_Click();
        form.cmdOpts_Click();
        const ScanCounters& counters = form.scanner().counters();
        rig.during([&] { return counters.linesScanned >= 10; }, [&] { form.close(); });
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);

        QVERIFY(!form.scanner().running());
        QVERIFY(counters.cancelRequested);
        QVERIFY(counters.linesScanned < 2000);
        QVERIFY(!form.isVisible());
        QVERIFY(!form.optionsDialog().isLoaded());
        QCOMPARE(rig.ended, 1);
        QCOMPARE(rig.boxes.shown.size(), 0);
    }

    void exitDuringAScanEndsAtOnce() {
        Rig rig;
        rig.returningUser();
        rig.load();
        WriteLog(rig.logs() + "/big.log", Repeated("http://ref.example/", 2000));
        rig.show();
        Form1& form = *rig.form;
        rig.openDirectory(rig.logs());
        form.chooser().cmdSelAll_Click();
        const ScanCounters& counters = form.scanner().counters();
        rig.during([&] { return counters.linesScanned >= 10; },
                   [&] { form.mnuFileExit()->trigger(); });
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
        QCOMPARE(rig.ended, 1);
        QVERIFY(counters.linesScanned < 2000);
    }
};

}  // namespace tallowby

TALLOWBY_QTEST_MAIN(tallowby::Form1Test)
#include "Form1Test.moc"
