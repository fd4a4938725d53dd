// A window scan with the referrer field of known log formats read, and
// without: the options ticked in the Options dialog, the rows of the list
// and the "Scan Finished" box.

#include <QCheckBox>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include "Form1Rig.h"
#include "QtTestMain.h"
#include "results/ResultsList.h"
#include "settings/OptionsDialog.h"

namespace tallowby {

using testing::Line;
using testing::Rig;
using testing::WriteLog;

class ReferrerFieldTest : public QObject {
    Q_OBJECT

private slots:
    void fieldOptionListsTheReferrerFieldAndAddsItsFiguresToTheFinishBox_data() {
        QTest::addColumn<bool>("fields");       // "Read the referrer field ..." ticked
        QTest::addColumn<bool>("noCrawlers");   // "Leave out crawlers" ticked
        QTest::addColumn<QStringList>("rows");  // type, clicks, referrer; ascending referrers
        QTest::addColumn<QString>("box");
        // The written rule: the first "http://" of a line without the own
        // domain, up to the first ")" after it (a "BOT" row), else the first
        // space; the type code from the rest of the line.
        QTest::newRow("written rule")
            << false << false
            << QStringList{"HTM 0000001 http://blog.example/list.php?id=3\" ",
                           "HTM 0000001 http://blog.example/list.php?id=3\" \"Mozilla/5.0 "
                           "(Windows NT 10.0",
                           "BOT 0000001 http://www.google.com/bot.html"}
            << QStringLiteral(
                   "1 files done\r\n6 lines scanned\r\n3 links found\r\n"
                   "0 duplicates removed\r\n3 unique links");
        // The field as written, https included; the type code from it.
        const QStringList fieldRows = {
            "PHP 0000002 http://blog.example/list.php?id=3",
            "HTM 0000001 https://www.google.fr/url?q=x&url=http%3A%2F%2Fmysite.example%2F"};
        const QString fieldBox =
            "1 files done\r\n6 lines scanned\r\n3 links found\r\n1 duplicates removed\r\n"
            "2 unique links\r\n\r\n6 combined lines\r\n0 lines of no known layout\r\n"
            "2 lines without a referrer\r\n1 self-referrals\r\n1 crawler lines";
        QTest::newRow("referrer field") << true << false << fieldRows << fieldBox;
        QTest::newRow("crawlers left out")
            << true << true << fieldRows << fieldBox + " (0 left out)";
    }
    void fieldOptionListsTheReferrerFieldAndAddsItsFiguresToTheFinishBox() {
        QFETCH(bool, fields);
        QFETCH(bool, noCrawlers);
        QFETCH(QStringList, rows);
        QFETCH(QString, box);
        Rig rig;
        rig.openAsReturningUser();  // own domain mysite.example
        // A search engine's redirect naming the own domain in its query, two
        // lines without a referrer (one a crawler's, whose agent carries an
        // address), a self-referral, and one page from two browsers.
        WriteLog(
            rig.logs() + "/access.log",
            {Line("https://www.google.fr/url?q=x&url=http%3A%2F%2Fmysite.example%2F",
                  "Mozilla/5.0 (X11; Linux x86_64)"),
             Line("-", "Mozilla/5.0 (Windows NT 10.0)"), Line("http://mysite.example/about.html"),
             Line("-", "Googlebot/2.1 (+http://www.google.com/bot.html)"),
             Line("http://blog.example/list.php?id=3", "Mozilla/5.0 (Windows NT 10.0)"),
             Line("http://blog.example/list.php?id=3")});
        Form1& form = *rig.form;
        QTest::mouseClick(form.cmdOpts(), Qt::LeftButton);
        Form2* options = form.optionsDialog().window();
        for (QCheckBox* tick :
             {fields ? options->Check7() : nullptr, noCrawlers ? options->Check8() : nullptr}) {
            if (tick != nullptr) {
                QTest::mouseClick(tick, Qt::LeftButton, {}, QPoint(8, tick->height() / 2));
            }
        }
        QTest::mouseClick(options->Command1(), Qt::LeftButton);
        rig.selectEveryLog();
        QTest::mouseClick(form.cmdGo(), Qt::LeftButton);

        QAbstractItemModel* model = form.lstResults()->model();
        QStringList shown;
        for (int row = 0; row < model->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < 3; ++column) {
                cells << model->index(row, column).data().toString();
            }
            shown << cells.join(' ');
        }
        QCOMPARE(shown, rows);
        QCOMPARE(rig.boxes.titles, QStringList{"Scan Finished"});
        QCOMPARE(rig.boxes.shown, QStringList{box});
        // The status panel keeps the written figures alone.
        QCOMPARE(rig.panel(2), "COMPLETE: " + box.section("\r\n\r\n", 0, 0).replace("\r\n", " : "));
    }
};

}  // namespace tallowby

TALLOWBY_QTEST_MAIN(tallowby::ReferrerFieldTest)
#include "ReferrerFieldTest.moc"
