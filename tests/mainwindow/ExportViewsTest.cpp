// What the window writes of its results, pressed as a user does: File >
// "Export as CSV…" and "Export as JSON…" of the list on screen, and an
// export page that a later "Select All Files" picks up with the logs.

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QToolButton>
#include <QtTest>

#include "Form1Rig.h"
#include "QtTestMain.h"
#include "mainwindow/SitesPanel.h"
#include "results/ResultsList.h"

namespace tallowby {

using testing::Line;
using testing::Rig;
using testing::WriteLog;

namespace {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList Rows(const ResultsModel& model) {
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        rows.append(QString::fromUtf8(model.entry(row).clicks + "|" + model.entry(row).referrer));
    }
    return rows;
}

void ClickHeader(ResultsList* list, int section) {
    QHeaderView* header = list->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
}

}  // namespace

class ExportViewsTest : public QObject {
    Q_OBJECT

private slots:
    void anExportPageIsNotScannedAsALog() {
        Rig rig;
        rig.openAsReturningUser();
        WriteLog(rig.logs() + "/a.log",
                 {Line("http://ref.one/"), Line("http://ref.two/"), Line("http://ref.one/")});
        Form1& form = *rig.form;
        rig.selectEveryLog();
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
        const QStringList rows = Rows(form.lstResults()->results());
        QCOMPARE(rows.size(), 2);
        QTest::mouseClick(form.cmdHtml(), Qt::LeftButton);
        QCOMPARE(rig.messages().last(), "saved as " + rig.logs() + "/referers.html");

        // Up and back into the folder, which now lists the page too; every
        // file, Scan.
        QTest::mouseClick(form.Command10(), Qt::LeftButton);
        rig.openDirectory(rig.folder.path());
        rig.selectEveryLog();
        QCOMPARE(form.chooser().selectedFilePaths().size(), std::size_t{2});
        rig.boxes.shown.clear();
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
        QCOMPARE(Rows(form.lstResults()->results()), rows);
        QCOMPARE(rig.panel(2), QStringLiteral("COMPLETE: 1 files done : 3 lines scanned : "
                                              "3 links found : 1 duplicates removed : "
                                              "2 unique links : skipped, not a log: "
                                              "referers.html"));
        QCOMPARE(rig.messages(), QStringList{"1 files done\r\n3 lines scanned\r\n3 links found\r\n"
                                             "1 duplicates removed\r\n2 unique links\r\n\r\n"
                                             "Skipped, not a log (a page this program writes):\r\n"
                                             "referers.html"});
    }

    void exportWritesTheListShownInItsOrder() {
        Rig rig;
        rig.openAsReturningUser();
        WriteLog(rig.logs() + "/a.log", {Line("http://b.example/x"), Line("http://a.example/y"),
                                         Line("http://c.example/p,q"), Line("http://a.example/y"),
                                         Line("http://c.example/p,q"), Line("http://a.example/y")});
        Form1& form = *rig.form;
        form.appSettings().bQuotedReferrers = true;
        form.appSettings().bDisplayStats = false;
        rig.selectEveryLog();
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
        const QString out = rig.folder.path() + "/out";

        // Cancelled: nothing written, nothing said.
        form.mnuFileExportCsv()->trigger();
        QCOMPARE(rig.dialogs.asked,
                 QStringList{"Export as CSV|" + rig.logs() + "/referers.csv|CSV files (*.csv)"});
        QVERIFY(!QFile::exists(out));
        QVERIFY(rig.messages().isEmpty());

        rig.dialogs.answer = out;
        form.mnuFileExportCsv()->trigger();
        QCOMPARE(ReadFile(out), QByteArray("Type,Clicks,Referrer\n"
                                           "HTM,0000003,http://a.example/y\n"
                                           "HTM,0000001,http://b.example/x\n"
                                           "HTM,0000002,\"http://c.example/p,q\"\n"));
        QCOMPARE(rig.messages(), QStringList{"saved as " + out});

        // Sorted by clicks, most first, as the header shows it.
        ClickHeader(form.lstResults(), 1);
        form.mnuFileExportJson()->trigger();
        QCOMPARE(rig.dialogs.asked.last(),
                 "Export as JSON|" + rig.logs() + "/referers.json|JSON files (*.json)");
        QCOMPARE(ReadFile(out),
                 QByteArray("{\"rows\":[{\"type\":\"HTM\",\"clicks\":\"0000003\",\"referrer\":"
                            "\"http://a.example/y\"},{\"type\":\"HTM\",\"clicks\":\"0000002\","
                            "\"referrer\":\"http://c.example/p,q\"},{\"type\":\"HTM\",\"clicks\":"
                            "\"0000001\",\"referrer\":\"http://b.example/x\"}],\"stats\":{"
                            "\"filesDone\":1,\"linesScanned\":6,\"linksFound\":6,"
                            "\"duplicatesRemoved\":3,\"uniqueLinks\":3}}\n"));

        // The sites view, in the same order.
        testing::Choose(form.sitesPanel().cboView(), "Sites");
        form.mnuFileExportCsv()->trigger();
        QCOMPARE(rig.dialogs.asked.last(),
                 "Export as CSV|" + rig.logs() + "/sites.csv|CSV files (*.csv)");
        QCOMPARE(ReadFile(out), QByteArray("Pages,Clicks,Site\n"
                                           "0000001,0000003,a.example\n"
                                           "0000001,0000002,c.example\n"
                                           "0000001,0000001,b.example\n"));
        form.mnuFileExportJson()->trigger();
        QVERIFY(ReadFile(out).startsWith(
            "{\"rows\":[{\"pages\":\"0000001\",\"clicks\":\"0000003\",\"site\":\"a.example\"},"));

        // The sources view in the command line's --by-source form, as sorted.
        testing::Choose(form.sitesPanel().cboView(), "Sources");
        form.mnuFileExportCsv()->trigger();
        QCOMPARE(rig.dialogs.asked.last(),
                 "Export as CSV|" + rig.logs() + "/sources.csv|CSV files (*.csv)");
        QCOMPARE(ReadFile(out), QByteArray("Class,Source,Pages,Clicks\n"
                                           "website,a.example,0000001,0000003\n"
                                           "website,c.example,0000001,0000002\n"
                                           "website,b.example,0000001,0000001\n"));
    }
};

}  // namespace tallowby

TALLOWBY_QTEST_MAIN(tallowby::ExportViewsTest)
#include "ExportViewsTest.moc"
