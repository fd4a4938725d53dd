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
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QtTest>

#include <functional>
#include <memory>

#include "Form1Rig.h"
#include "QtTestMain.h"
#include "RunProgram.h"
#include "WindowFakes.h"
#include "identity/AboutWindow.h"
#include "identity/ProductIdentity.h"
#include "identity/WebsiteLauncher.h"
#include "mainwindow/Form1.h"
#include "mainwindow/SitesPanel.h"
#include "mainwindow/WindowScanHost.h"
#include "results/BrowserPane.h"
#include "results/ResultsList.h"
#include "settings/HelpWindow.h"
#include "settings/OptionsDialog.h"

namespace tallowby {

using testing::FakeWebView;
using testing::MemorySettings;
using testing::RecordingMessageBoxes;
using testing::RecordingShell;

using testing::Address;
using testing::Line;
using testing::Repeated;
using testing::Rig;
using testing::WriteLog;

namespace {

// `text` compressed by /usr/bin/<tool> -c.
QByteArray Packed(const QString& tool, const QByteArray& text) {
    return QByteArray::fromStdString(testing::Packed(tool.toStdString(), text.toStdString()));
}

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
        Form2* options = form.optionsDialog().window();
        QCOMPARE(options->Text1()->text(), strPlaceholderDomain);
        // The referrer field is offered from the first run on, off.
        QVERIFY(options->Check7()->isVisibleTo(options) && !options->Check7()->isChecked());
        QVERIFY(!options->Check8()->isEnabled());
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

    void firstRunStartsUpInItsOrder() {
        // One journal of the settings reads and of what the window does
        // around them, in the order it happens.
        struct Journal : QObject {
            QStringList& lines;
            explicit Journal(QStringList& into) : lines(into) {}
            bool eventFilter(QObject* watched, QEvent* event) override {
                const QString kind = QString::fromLatin1(watched->metaObject()->className());
                if (kind == QLatin1String("tallowby::Form1")) {
                    if (event->type() == QEvent::WindowIconChange) {
                        lines.append("icons");
                    } else if (event->type() == QEvent::WindowTitleChange) {
                        lines.append("title " + static_cast<QWidget*>(watched)->windowTitle());
                    }
                } else if (event->type() == QEvent::Show &&
                           (kind == QLatin1String("tallowby::Form8") ||
                            kind == QLatin1String("tallowby::Form2"))) {
                    lines.append("show " + kind.mid(10));
                }
                return false;
            }
        };
        struct JournalView : testing::FakeWebView {
            QStringList& lines;
            explicit JournalView(QStringList& into) : lines(into) {}
            bool navigate(const QUrl& url) override {
                lines.append("start page " + url.host());
                return FakeWebView::navigate(url);
            }
        };
        Rig rig;
        QStringList& journal = rig.settings.reads;
        WriteLog(rig.folder.path() + "/no-Help.rtf", {"{\\rtf1 Help}"});  // a read-me after all
        Journal watcher(journal);
        qApp->installEventFilter(&watcher);
        rig.view = new JournalView(journal);
        rig.load();
        qApp->removeEventFilter(&watcher);
        auto read = [](const char* section, const char* key) { return Address(section, key); };
        QStringList events = journal;
        events.removeDuplicates();  // the Help window reads its setting again
        QCOMPARE(events,
                 (QStringList{"icons", "title Tallowby by Quenmoor", read("data", "path"),
                              read("data", "bRemoveDupes"), read("data", "bDisplayStats"),
                              read("data", "bGetFileTypes"), read("data", "strYourWebsite"),
                              read("data", "bHttpsReferrers"), read("data", "bQuotedReferrers"),
                              read("data", "bHideSpam"), read("data", "strSpamList"),
                              read("data", "bReferrerField"), read("data", "bNoCrawlers"),
                              read("data", "strCrawlerList"), read("data", "strSourceLists"),
                              read("Settings", "iPaneWidth"), "start page tallowby.example.org",
                              read("Settings", "showHelp"), "show Form8", "show Form2"}));
    }

    void storedSettingsDecideWhatOpens_data() {
        QTest::addColumn<QString>("showHelp");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<bool>("helpOpens");
        QTest::addColumn<bool>("optionsOpen");
        const QString mine = QStringLiteral("mysite.example");
        QTest::newRow("help 1") << "1" << mine << true << false;
        QTest::newRow("help 0") << "0" << mine << false << false;
        QTest::newRow("help empty") << "" << mine << false << false;
        QTest::newRow("help blank 1") << " 1" << mine << false << false;
        QTest::newRow("help 01") << "01" << mine << false << false;
        QTest::newRow("help true") << "true" << mine << false << false;
        QTest::newRow("placeholder") << "0" << strPlaceholderDomain << false << true;
        QTest::newRow("placeholder in capitals")
            << "0" << strPlaceholderDomain.toUpper() << false << false;
        QTest::newRow("empty domain") << "0" << QStringLiteral("") << false << false;
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
        rig.openAsReturningUser();
        WriteLog(rig.logs() + "/a.log", {Line("http://ref.one/page"), Line("http://ref.two/"),
                                         Line("http://mysite.example/own"), Line("-")});
        WriteLog(rig.logs() + "/b.log", {Line("http://ref.one/page"), Line("http://ref.three/")});
        WriteLog(rig.logs() + "/c.log", {Line("http://ref.one/page")});
        WriteLog(rig.logs() + "/skipped.log", {Line("http://not.read/")});
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
        QCOMPARE(rig.boxes.titles.first(), QStringLiteral("Scan Finished"));
        QCOMPARE(rig.boxes.shown.first(),
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
        rig.selectEveryLog();
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

    void optionsTakeEffectAndTheirNoteStaysWhileSettingsCannotBeSaved() {
        Rig rig;
        rig.returningUser();
        rig.settings.values.insert(Address("data", "bDisplayStats"), "0");
        rig.settings.failWrites = true;  // a settings folder mounted read-only
        rig.load();
        WriteLog(rig.logs() + "/a.log",
                 {Line("http://ref.one/"), Line("http://ref.one/"), Line("http://ref.two/")});
        rig.show();
        Form1& form = *rig.form;
        rig.openDirectory(rig.logs());  // stores the folder, and cannot
        const QString note = QStringLiteral("Settings cannot be saved: /memory/Tallowby");
        QCOMPARE(rig.panel(3), note);

        // The own domain becomes ref.two and the collapse goes off for this run.
        QTest::mouseClick(form.cmdOpts(), Qt::LeftButton);
        Form2* options = form.optionsDialog().window();
        options->Text1()->selectAll();
        QTest::keyClicks(options->Text1(), "ref.two");
        QTest::mouseClick(options->Check2(), Qt::LeftButton, {},
                          QPoint(8, options->Check2()->height() / 2));
        QTest::mouseClick(options->Command1(), Qt::LeftButton);
        QTest::mouseClick(form.cmdSelAll(), Qt::LeftButton);
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
        const ResultsModel& rows = form.lstResults()->results();
        QCOMPARE(rows.rowCount(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(QString::fromUtf8(rows.referrer(i)), QStringLiteral("http://ref.one/\" "));
        }
        QCOMPARE(QString::fromUtf8(rows.clicks(0)), QString());

        // The browser's texts come and go; the note stays.
        rig.view->status("Done");
        QCOMPARE(rig.panel(2), QStringLiteral("Done"));
        ResultsList* list = form.lstResults();
        const QPoint row = list->visualRect(list->model()->index(0, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row);
        QCOMPARE(rig.panel(3), note);

        // Once a save succeeds it gives way to what came meanwhile.
        rig.settings.failWrites = false;
        QTest::mouseClick(form.cmdOpts(), Qt::LeftButton);
        QTest::mouseClick(form.optionsDialog().window()->Command1(), Qt::LeftButton);
        QCOMPARE(rig.panel(3), "connecting " + QString::fromUtf8(rows.referrer(0)));
        QCOMPARE(rig.settings.values.value(Address("data", "strYourWebsite")), "ref.two");
    }

    void compressedLogsAreReadAndStopEndsOneThatInflates() {
        Rig rig;
        rig.openAsReturningUser();
        const QByteArray two = Line("http://ref.one/") + Line("http://ref.two/");
        WriteLog(rig.logs() + "/access.log.2.gz", {Packed("gzip", two)});
        WriteLog(rig.logs() + "/access.log.3", {Packed("xz", Line("http://ref.one/"))});
        const QByteArray cut = Packed("gzip", two + two);  // its trailer cut short
        WriteLog(rig.logs() + "/access.log.4", {cut.left(cut.size() - 6)});
        const QByteArray bz2 = Packed("bzip2", two);  // cut inside its only block
        WriteLog(rig.logs() + "/access.log.5.bz2", {bz2.left(bz2.size() / 2)});
        const QString bomb = rig.logs() + QStringLiteral("/bomb");
        QDir().mkpath(bomb);
        WriteLog(bomb + "/zeros.gz", {Packed("gzip", QByteArray(16 << 20, '\0'))});
        Form1& form = *rig.form;
        rig.selectEveryLog();
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
        const ResultsModel& rows = form.lstResults()->results();
        QCOMPARE(rows.rowCount(), 2);
        QCOMPARE(QString::fromUtf8(rows.clicks(0)), QStringLiteral("0000004"));
        QCOMPARE(QString::fromUtf8(rows.clicks(1)), QStringLiteral("0000003"));
        // The cut-short files are not done, but their lines count; both are
        // named after the figures.
        QCOMPARE(rig.panel(2),
                 QStringLiteral("COMPLETE: 2 files done : 7 lines scanned : "
                                "7 links found : 5 duplicates removed : "
                                "2 unique links : 2 files not read whole: "
                                "access.log.4 (read error: truncated gzip data), "
                                "access.log.5.bz2 (read error: truncated bzip2 data)"));
        QCOMPARE(rig.boxes.shown,
                 QStringList{"2 files done\r\n7 lines scanned\r\n7 links found\r\n"
                             "5 duplicates removed\r\n2 unique links\r\n\r\n"
                             "Not read whole:\r\n"
                             "access.log.4: read error: truncated gzip data\r\n"
                             "access.log.5.bz2: read error: truncated bzip2 data"});

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
        rig.selectEveryLog();
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
        rig.openAsReturningUser();
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
        rig.selectEveryLog();
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
        // Until the splitter is moved, the left frames take half the width.
        QCOMPARE(g.frmMain.height, 10095.0 - 315 - 900 - 600);
        QCOMPARE(g.frmMain.width, 13785.0 / 2);
        QCOMPARE(g.frmBrowser.left, 60 + 13785.0 / 2);
        QCOMPARE(g.frmBrowser.width, 13785.0 / 2 - 160);
        QCOMPARE(g.lstResults.width, 13785.0 / 2 - 240);
        QCOMPARE(g.lstResults.height, 5585.0);
        QCOMPARE(g.Command8.width, 9525.0);
        QCOMPARE(form.frmMain()->geometry(), QRect(4, 60, 460, 552));
        QCOMPARE(form.frmBrowser()->geometry().x(), 464);
        QCOMPARE(form.frmBrowser()->width(), 448);
        QCOMPARE(form.lstResults()->size(), QSize(444, 372));
        QCOMPARE(form.Command8()->width(), 635);
        QCOMPARE(form.statusPanel(1)->width(), 230);
        QCOMPARE(form.statusPanel(2)->x(), 230);
        QCOMPARE(form.ProgressBar1()->geometry(), QRect(2, 3, 226, 18));

        // Toggle View twice: back where it started, sizes untouched.
        QVERIFY(!form.cmdExpnd()->isVisible());
        const QRect before = form.frmMain()->geometry();
        QTest::mouseClick(form.Command10(), Qt::LeftButton);
        QVERIFY(form.resultsViewShown());
        QCOMPARE(form.Frame1()->geometry(), QRect(4, 60, 460, 552));
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
        QCOMPARE(g.frmMain.width, 16005.0 / 2);
        QCOMPARE(form.frmBrowser()->x(), 538);

        // Minimised: no layout. Restored: layout again.
        form.showMinimized();
        resizeOuter(700, 500);
        QCOMPARE(g.frmMain.height, 10095.0 - 315 - 900 - 600);
        form.showNormal();
        QCOMPARE(g.frmMain.height, 500.0 * 15 - 315 - 900 - 600);
    }

    void everyCaptionAndToolTip() {
        Rig rig;
        rig.returningUser();
        rig.load();
        Form1& form = *rig.form;
        BrowserPane& pane = *form.frmBrowser();
        struct Row {
            const char* control;
            QWidget* widget;
            QString caption;
            QString tip;
        };
        const QString chooserTip = QStringLiteral("Select the log files you wish to scan");
        const Row rows[] = {
            {"Command10", form.Command10(), "Toggle View",
             "See a preview of your message in the currently selected format"},
            {"cmdGo", form.cmdGo(), "Scan", ""},
            {"cmdStop", form.cmdStop(), "Stop", "Stop Scanning Files"},
            {"cmdOpts", form.cmdOpts(), "Options", "Options"},
            {"Command8", form.Command8(), "Visit tallowby.example.org", "Visit us!"},
            {"cmdSelAll", form.cmdSelAll(), "Select All Files",
             "Select all files in the current directory"},
            {"Command1", form.Command1(), "Open Selected File", "open the currently selected file"},
            {"Command9", form.Command9(), "Open", ""},
            {"cmdHtml", form.cmdHtml(), "Export", "Export the referers list to HTML"},
            {"cmdExpnd", form.cmdExpnd(), "Expand", "Expand"},
            {"Drive1", form.Drive1(), "", chooserTip},
            {"Dir1", form.Dir1(), "", chooserTip},
            {"File1", form.File1(), "", chooserTip},
            {"frmMain", form.frmMain(), "Select Log Files", ""},
            {"Frame1", form.Frame1(), "Referrer List", ""},
            {"frmBrowser", &pane, "Browser", ""},
            {"URL label", pane.urlLabel(), "URL:", ""},
            {"Command3", pane.command3(), "", "browse the entered url"},
            {"Command4", pane.command4(), "", "back"},
            {"Command5", pane.command5(), "", "forward"},
            {"Command6", pane.command6(), "", "stop"},
            {"Command7", pane.command7(), "", "refresh"},
            {"cboView", form.sitesPanel().cboView(), "",
             "One row per referring page, per site, per source (search engine, social network, "
             "AI assistant, website) or per search keyword"},
        };
        for (const Row& row : rows) {
            QString caption;
            if (auto* button = qobject_cast<QAbstractButton*>(row.widget)) {
                caption = button->text();
            } else if (auto* frame = qobject_cast<QGroupBox*>(row.widget)) {
                caption = frame->title();
            } else if (auto* label = qobject_cast<QLabel*>(row.widget)) {
                caption = label->text();
            }
            QVERIFY2(caption == row.caption, row.control);
            QVERIFY2(row.widget->toolTip() == row.tip, row.control);
        }

        // The menu bar, menu by menu; no item has a keyboard shortcut.
        QStringList menus;
        for (QAction* menu : form.menuBar()->actions()) {
            QStringList items;
            for (QAction* item : menu->menu()->actions()) {
                items.append(item->text());
                QVERIFY2(item->shortcut().isEmpty(), qPrintable(item->text()));
            }
            menus.append(menu->text() + ": " + items.join(", "));
        }
        QCOMPARE(menus,
                 (QStringList{"&File: Export as &CSV…, Export as &JSON…, Save &Report…, , E&xit",
                              "&Action: &Start Scan, St&op Scan, &Toggle View, , &Group by Site, "
                              "Group by So&urce, Group by Search &Keyword, Referring Sites &Chart",
                              "&Options: &Options", "&Help: View &Help",
                              "A&bout: &About this software"}));
    }

    void everyButtonAndMenuItemRunsItsCommand() {
        struct Row {
            const char* control;
            std::function<void(Form1&)> press;
            std::function<bool(Rig&)> done;
        };
        auto clickTool = [](QToolButton* (Form1::*button)() const) {
            return [button](Form1& form) { QTest::mouseClick((form.*button)(), Qt::LeftButton); };
        };
        auto trigger = [](QAction* (Form1::*item)() const) {
            return [item](Form1& form) { (form.*item)()->trigger(); };
        };
        // Whether a full scan of b.log ran: its statistics box came up.
        auto scanned = [](Rig& rig) {
            return rig.boxes.shown.size() == 1 &&
                   rig.boxes.titles.first() == QStringLiteral("Scan Finished") &&
                   rig.form->scanner().counters().linesScanned == 3;
        };
        // Whether a scan started by the test was stopped by the press.
        auto stopped = [](Rig& rig) {
            return rig.boxes.shown.isEmpty() && rig.form->scanner().counters().cancelRequested &&
                   rig.form->scanner().counters().linesScanned == 0;
        };
        auto toggled = [](Rig& rig) { return rig.form->resultsViewShown(); };
        const QString website = QStringLiteral("http://tallowby.example.org");
        const Row rows[] = {
            {"cmdGo", clickTool(&Form1::cmdGo), scanned},
            {"Start Scan", trigger(&Form1::mnuActionStart), scanned},
            {"cmdStop", clickTool(&Form1::cmdStop), stopped},
            {"Stop Scan", trigger(&Form1::mnuActionStop), stopped},
            {"Command10", clickTool(&Form1::Command10), toggled},
            {"Toggle View", trigger(&Form1::mnuActionToggle), toggled},
            {"cmdOpts", clickTool(&Form1::cmdOpts),
             [](Rig& rig) { return rig.form->optionsDialog().isLoaded(); }},
            {"Options", trigger(&Form1::MnuOptionsItem),
             [](Rig& rig) { return rig.form->optionsDialog().isLoaded(); }},
            {"View Help", trigger(&Form1::mnuHelpItem),
             [](Rig& rig) { return rig.form->helpWindow().isLoaded(); }},
            {"About this software", trigger(&Form1::mnuAboutItem),
             [](Rig& rig) { return rig.form->aboutWindow().isLoaded(); }},
            {"Exit", trigger(&Form1::mnuFileExit), [](Rig& rig) { return rig.ended == 1; }},
            {"Save Report…",
             [](Form1& form) {
                 // The user takes the name the dialog suggests.
                 form.setReportPathChooser([](QWidget*, const QString& path) { return path; });
                 form.mnuFileReport()->trigger();
             },
             [](Rig& rig) {
                 QFile page(rig.logs() + "/report.html");
                 return page.open(QIODevice::ReadOnly) &&
                        page.readAll().contains(">http://ref.example/");
             }},
            {"Command8", clickTool(&Form1::Command8),
             [website](Rig& rig) { return rig.shell.opened == QStringList{website}; }},
            {"cmdSelAll", clickTool(&Form1::cmdSelAll),
             [](Rig& rig) {
                 return rig.form->File1()->selectionModel()->selectedRows().size() == 2;
             }},
            {"Command1", clickTool(&Form1::Command1),
             [](Rig& rig) {
                 return rig.shell.started.size() == 1 &&
                        rig.shell.started.first().second == QStringList{rig.logs() + "/b.log"};
             }},
            {"cmdHtml", clickTool(&Form1::cmdHtml),
             [](Rig& rig) {
                 QFile page(rig.logs() + "/referers.html");
                 return page.open(QIODevice::ReadOnly) &&
                        page.readAll().contains("http://ref.example/");
             }},
            {"Command9", clickTool(&Form1::Command9),
             [](Rig& rig) {
                 return rig.view->navigations.size() == 2 &&
                        rig.view->navigations.last().toString().startsWith("http://ref.example/");
             }},
            {"cmdExpnd", clickTool(&Form1::cmdExpnd),
             [](Rig& rig) { return rig.form->cmdExpnd()->text() == QStringLiteral("Contract"); }},
        };
        for (const Row& row : rows) {
            Rig rig;
            rig.openAsReturningUser();
            WriteLog(rig.logs() + "/a.log", Repeated("http://other.example/", 2));
            WriteLog(rig.logs() + "/b.log", Repeated("http://ref.example/", 3));
            Form1& form = *rig.form;
            rig.openDirectory(rig.logs());
            rig.selectFiles({"b.log"});  // b.log selected and the current entry
            const QByteArray name(row.control);
            if (name == "cmdHtml" || name == "Command9" || name == "cmdExpnd" ||
                name == "Save Report…") {
                // These act on the results of a scan, shown in results view.
                form.appSettings().bDisplayStats = false;
                QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
                const QModelIndex first = form.lstResults()->model()->index(0, 0);
                QTest::mouseClick(form.lstResults()->viewport(), Qt::LeftButton, {},
                                  form.lstResults()->visualRect(first).center());
            }
            if (name == "cmdStop" || name == "Stop Scan") {
                rig.during([] { return true; }, [&] { row.press(form); });
                QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
            } else {
                row.press(form);
            }
            QVERIFY2(row.done(rig), qPrintable(name + ": " + rig.panel(2)));
        }
    }

    // File > "Save Report…" through a recording save dialog: it starts in
    // the log folder, the report names the options the scan ran with, a
    // cancel writes nothing and a selected log is never replaced.
    void saveReportWritesWhereTheDialogSays() {
        Rig rig;
        rig.settings.values.insert(Address("data", "bReferrerField"), "1");
        rig.openAsReturningUser();
        WriteLog(rig.logs() + "/b.log", Repeated("http://ref.example/?a=1&b=<2>", 3));
        Form1& form = *rig.form;
        QStringList suggested;
        QString answer = rig.folder.path() + "/sent/report.html";
        QDir().mkpath(rig.folder.path() + "/sent");
        form.setReportPathChooser([&](QWidget* parent, const QString& path) {
            suggested.append(path);
            return parent == &form ? answer : QString();
        });
        rig.openDirectory(rig.logs());
        rig.selectFiles({"b.log"});
        form.appSettings().bDisplayStats = false;
        bool enabledWhileScanning = true;
        rig.during([] { return true; },
                   [&] { enabledWhileScanning = form.mnuFileReport()->isEnabled(); });
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
        QVERIFY(!enabledWhileScanning);
        form.appSettings().bReferrerField = false;  // changed after the scan
        form.mnuFileReport()->trigger();

        QCOMPARE(suggested, QStringList{rig.logs() + "/report.html"});
        QCOMPARE(rig.messages(), QStringList{"saved as " + answer});
        QFile page(answer);
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray html = page.readAll();
        QVERIFY(html.startsWith("<!DOCTYPE html>"));
        for (const char* fragment :
             {"<td>the referrer field of known log formats (--fields)</td>",
              "<tr><th scope=\"row\">Links found</th><td class=\"num\">3</td></tr>",
              "<td class=\"num\">3</td><td class=\"num\">100.0%</td><td><a "
              "href=\"http://ref.example/?a=1&amp;b=&lt;2&gt;\">"}) {
            QVERIFY2(html.contains(fragment), fragment);
        }

        answer.clear();  // cancelled
        form.mnuFileReport()->trigger();
        answer = rig.logs() + "/b.log";
        form.mnuFileReport()->trigger();
        QCOMPARE(rig.messages().size(), 2);
        QCOMPARE(rig.messages().last(),
                 "Could not save " + answer + ": it would replace the selected log " + answer);
        QFile log(answer);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), Repeated("http://ref.example/?a=1&b=<2>", 3).join());
        QVERIFY(!QFile::exists(rig.logs() + "/report.html"));
    }

    void statusPanelsShowACutTextWhole_data() {
        QTest::addColumn<int>("panel");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("tip");
        QTest::newRow("panel 2, short") << 2 << 10 << false;
        QTest::newRow("panel 2, cut") << 2 << 400 << true;
        QTest::newRow("panel 3, short") << 3 << 10 << false;
        QTest::newRow("panel 3, cut") << 3 << 400 << true;
    }
    void statusPanelsShowACutTextWhole() {
        QFETCH(int, panel);
        QFETCH(int, length);
        QFETCH(bool, tip);
        Rig rig;
        rig.openAsReturningUser();
        QLabel* label = rig.form->statusPanel(panel);
        const QString text = "http://" + QString(length, QLatin1Char('a'));
        label->setText(text);
        QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), label->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(label, &hover);
        QCOMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), tip ? text : QString());
        QToolTip::hideText();
    }

    void menuItemsRunTheButtonsCommands() {
        Rig rig;
        rig.openAsReturningUser();
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

    void visitSaysWhenNoBrowserCanShowTheSiteAndShowsItInThePane() {
        struct Case {
            ShellResult open;
            QString later;  // what the desktop's opener reports on giving up
            QString reason;
        };
        const QString gaveUp = QStringLiteral("xdg-open found no program set up to open it");
        const Case cases[] = {
            {{false, "no program to open it was found"}, {}, "no program to open it was found"},
            {{true, {}}, gaveUp, gaveUp},
        };
        for (const Case& c : cases) {
            Rig rig;
            rig.openAsReturningUser();
            rig.shell.openResult = c.open;
            QTest::mouseClick(rig.form->Command8(), Qt::LeftButton);
            QCOMPARE(rig.shell.opened.size(), 1);
            const QString website = rig.shell.opened.first();
            if (!c.later.isEmpty()) {
                QCoreApplication::processEvents();
                QVERIFY(rig.boxes.shown.isEmpty());
                rig.shell.laterFailure(c.later);
            }
            QCoreApplication::processEvents();
            QCOMPARE(rig.boxes.shown,
                     QStringList{"Could not open " + website + " in a web browser: " + c.reason +
                                 "\nIt is shown in the browser pane instead."});
            QCOMPARE(rig.form->frmBrowser()->text1()->text(), website);
            QCOMPARE(rig.view->navigations.last(), QUrl(website));
        }
    }

    void closeWaitsForAShowingLauncher() {
        Rig rig;
        rig.openAsReturningUser();
        rig.launcher.OpenWebsite();
        rig.launcher.ShowLauncher();
        rig.form->close();
        QCOMPARE(rig.ended, 0);
        rig.launcher.window()->Timer1_Timer();
        QTRY_COMPARE(rig.ended, 1);
    }

    void closeDuringAScanStopsItFirst() {
        Rig rig;
        rig.openAsReturningUser();
        WriteLog(rig.logs() + "/big.log", Repeated("http://ref.example/", 2000));
        Form1& form = *rig.form;
        rig.selectEveryLog();
        form.cmdOpts_Click();
        const ScanCounters& counters = form.scanner().counters();
        rig.during([&] { return counters.linesScanned >= 10; }, [&] { form.close(); });
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);

        QVERIFY(!form.scanning());
        QVERIFY(counters.cancelRequested);
        QVERIFY(counters.linesScanned < 2000);
        QVERIFY(!form.isVisible());
        QVERIFY(!form.optionsDialog().isLoaded());
        QCOMPARE(rig.ended, 1);
        QCOMPARE(rig.boxes.shown.size(), 0);
    }

    void exitDuringAScanEndsAtOnce() {
        Rig rig;
        rig.openAsReturningUser();
        WriteLog(rig.logs() + "/big.log", Repeated("http://ref.example/", 2000));
        Form1& form = *rig.form;
        rig.selectEveryLog();
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
