// The sites view, the spam option and the chart window, driven through the
// window's own menu items, check boxes, buttons and list clicks.

#include <QAction>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

#include "FakeWebView.h"
#include "Form1Rig.h"
#include "QtTestMain.h"
#include "WindowFakes.h"
#include "identity/WebsiteLauncher.h"
#include "mainwindow/ChartWindow.h"
#include "mainwindow/Form1.h"
#include "mainwindow/SitesPanel.h"
#include "results/ResultsList.h"
#include "settings/OptionsDialog.h"

namespace tallowby {

using testing::FakeWebView;
using testing::MemorySettings;
using testing::RecordingMessageBoxes;
using testing::RecordingShell;

namespace {

QString Address(const char* key) {
    return MemorySettings::Address(QStringLiteral("Tallowby"), QStringLiteral("data"),
                                   QString::fromLatin1(key));
}

// The window rig of the main-window tests, started in a folder holding one log.
struct Rig : testing::Rig {
    explicit Rig(const QList<QByteArray>& referrers) {
        returningUser();
        settings.values.insert(Address("bDisplayStats"), "0");
        writeLog(referrers);
    }
    void writeLog(const QList<QByteArray>& referrers) {
        QFile log(folder.path() + QStringLiteral("/access.log"));
        if (log.open(QIODevice::WriteOnly)) {
            for (const QByteArray& referrer : referrers) {
                log.write("1.2.3.4 - - \"GET /a.html HTTP/1.1\" 200 9 " + referrer + " x\n");
            }
        }
    }
    void load() {
        testing::Rig::load();
        show();
    }
    void scan() {
        form->cmdSelAll()->click();
        form->cmdGo()->click();
    }
    SitesPanel& sites() { return form->sitesPanel(); }
    QStringList column(ResultsList* list, int column) const {
        QStringList cells;
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            cells << list->model()->index(row, column).data().toString();
        }
        return cells;
    }
    void clickRow(ResultsList* list, int row) {
        const QRect place = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, place.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, place.center());
    }
};

const QList<QByteArray> kReferrers = {
    "http://b.example/1",    "http://www.0-0.fr/", "http://a.example/x",
    "http://B.example:81/2", "http://b.example/1", "https://c.example/",
};

}  // namespace

class SitesTest : public QObject {
    Q_OBJECT

private slots:
    void sitesViewSwitchesBothWaysKeepingTheSortAndOpensSites() {
        Rig rig(kReferrers);
        rig.settings.values.insert(Address("bHttpsReferrers"), "1");
        rig.load();
        rig.scan();
        const ScanCounters before = rig.form->scanner().counters();
        ResultsList* pages = rig.form->lstResults();
        ResultsList* sites = rig.sites().lstSites();
        pages->header()->sectionClicked(1);  // Clicks, descending
        QCOMPARE(pages->sortAscending(), false);

        rig.sites().mnuActionSites()->trigger();
        QVERIFY(sites->isVisible() && !pages->isVisible());
        QCOMPARE(rig.sites().cboView()->currentText(), "Sites");
        QCOMPARE(sites->model()->headerData(2, Qt::Horizontal).toString(), "Site");
        // Most clicks first; equal clicks in work-list order.
        QCOMPARE(rig.column(sites, 2),
                 QStringList({"b.example", "a.example", "www.0-0.fr", "c.example"}));
        QCOMPARE(rig.column(sites, 1), QStringList({"0000003", "0000001", "0000001", "0000001"}));
        QCOMPARE(rig.column(sites, 0), QStringList({"0000002", "0000001", "0000001", "0000001"}));
        QCOMPARE(rig.form->scanner().counters().linesScanned, before.linesScanned);

        rig.clickRow(sites, 0);
        QCOMPARE(rig.view->navigations.last(), QUrl("http://b.example"));
        QCOMPARE(rig.form->statusPanel(2)->text(), "http://b.example");
        rig.clickRow(sites, 3);
        QCOMPARE(rig.view->navigations.last(), QUrl("https://c.example"));
        rig.clickRow(sites, 1);
        rig.form->Command9()->click();  // Open
        QCOMPARE(rig.view->navigations.last(), QUrl("http://a.example"));

        sites->header()->sectionClicked(2);  // Site, ascending now
        QCOMPARE(rig.column(sites, 2).first(), "a.example");
        testing::Choose(rig.sites().cboView(), "Pages");
        QVERIFY(pages->isVisible() && !sites->isVisible());
        QVERIFY(!rig.sites().mnuActionSites()->isChecked());
        QCOMPARE(pages->sortColumn(), 2);
        QCOMPARE(pages->sortAscending(), true);
        QCOMPARE(rig.column(pages, 2).first(), "http://a.example/x ");

        // A scan while the sites show refills them.
        rig.sites().mnuActionSites()->trigger();
        rig.writeLog({"http://z.example/"});
        rig.scan();
        QCOMPARE(rig.column(sites, 2), QStringList({"z.example"}));
    }

    void hideSpamOptionLeavesSpamOutAndSaysWhenItsListCannotBeRead() {
        struct Case {
            bool hide;
            const char* list;  // strSpamList; a bare name is a list written in the log folder
            qsizetype sites;
            const char* complete;
            qsizetype messages;
        };
        const Case cases[] = {
            {false, "", 3, "5 links found : 1 duplicates removed : 4 unique links", 0},
            {true, "", 2, "4 links found : 1 duplicates removed : 3 unique links", 0},
            {true, "/no/such/list.txt", 2, "4 links found : 1 duplicates removed : 3 unique links",
             1},
            {true, "overlong.hosts", 2,
             "3 unique links : 1 spam-list lines skipped (longer than 253 bytes)", 0},
        };
        for (const Case& c : cases) {
            Rig rig(kReferrers);
            QString list = QString::fromLatin1(c.list);
            if (!list.isEmpty() && !list.startsWith(QLatin1Char('/'))) {
                list = rig.folder.path() + QLatin1Char('/') + list;
                QFile file(list);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write("0-0.fr\n" + QByteArray(300, 'x') + "\n");
            }
            rig.settings.values.insert(Address("strSpamList"), list);
            rig.load();
            Form2* options = rig.form->optionsDialog().Open();
            QCOMPARE(options->Check6()->text(), "Hide known referrer spam");
            QCOMPARE(options->Check6()->isChecked(), false);
            if (c.hide) {
                QTest::mouseClick(options->Check6(), Qt::LeftButton, {}, QPoint(8, 8));
            }
            options->Command1()->click();
            QCOMPARE(rig.settings.values.value(Address("bHideSpam")), c.hide ? "1" : "0");
            rig.scan();
            QVERIFY2(rig.form->statusPanel(2)->text().endsWith(c.complete),
                     qPrintable(rig.form->statusPanel(2)->text()));
            testing::Choose(rig.sites().cboView(), "Sites");
            QCOMPARE(rig.sites().lstSites()->model()->rowCount(), c.sites);
            QCOMPARE(rig.boxes.shown.size(), c.messages);
            if (c.messages > 0) {
                QVERIFY(rig.boxes.shown.first().startsWith(
                    "Cannot read the spam list /no/such/list.txt: "));
            }
        }
    }

    void chartShowsTheTopSitesOfEachScanAndSavesAPicture() {
        QList<QByteArray> referrers;
        for (int site = 0; site < 25; ++site) {
            for (int click = 0; click <= site; ++click) {
                referrers << "http://site" + QByteArray::number(site) + ".example/";
            }
        }
        Rig rig(referrers);
        rig.load();
        rig.sites().mnuActionChart()->trigger();
        ChartWindow* chart = rig.sites().chartWindow();
        QVERIFY(chart != nullptr && chart->isVisible());
        QVERIFY(chart->lblEmpty()->isVisible() && !chart->chartView()->isVisible());
        QVERIFY(!chart->cmdSave()->isEnabled());

        rig.scan();
        QVERIFY(!chart->lblEmpty()->isVisible() && chart->chartView()->isVisible());
        const auto* series =
            qobject_cast<QHorizontalBarSeries*>(chart->chartView()->chart()->series().value(0));
        QVERIFY(series != nullptr);
        QBarSet* bars = series->barSets().value(0);
        QCOMPARE(bars->count(), 20);
        // Bottom to top: the 20th most clicks up to the most.
        QCOMPARE(bars->at(0), 6.0);
        QCOMPARE(bars->at(19), 25.0);
        auto* axis = qobject_cast<QBarCategoryAxis*>(
            chart->chartView()->chart()->axes(Qt::Vertical).value(0));
        QVERIFY(axis != nullptr);
        QCOMPARE(axis->categories().first(), "site5.example");
        QCOMPARE(axis->categories().last(), "site24.example");

        const QString png = rig.folder.path() + QStringLiteral("/chart.png");
        chart->setSavePathChooser([&](QWidget*) { return png; });
        chart->cmdSave()->click();
        QImage saved(png);
        QVERIFY(!saved.isNull());
        chart->setSavePathChooser([&](QWidget*) { return rig.folder.path() + "/no/dir/x.png"; });
        chart->cmdSave()->click();
        QCOMPARE(rig.boxes.shown.size(), 1);
        QVERIFY(rig.boxes.shown.first().startsWith("Cannot save "));
    }

    void chartLabelsShowEveryCountWholeAndLegible() {
        using Counts = QList<std::pair<QByteArray, int>>;
        auto referrers = [](const Counts& counts) {
            QList<QByteArray> lines;
            for (const auto& [site, clicks] : counts) {
                for (int click = 0; click < clicks; ++click) {
                    lines << "http://" + site + ".example/";
                }
            }
            return lines;
        };
        // One site far ahead: the others' bars are too short to hold their counts.
        const Counts few = {{"big", 10535}, {"mid", 333}, {"small", 22}, {"tiny", 7}};
        // Twenty bars: too thin to hold a count's height.
        Counts many;
        for (int site = 1; site <= 20; ++site) {
            many.append({"site" + QByteArray::number(site), site * site + 1});
        }
        Rig rig(referrers(few));
        rig.load();
        rig.sites().mnuActionChart()->trigger();
        ChartWindow* chart = rig.sites().chartWindow();
        QVERIFY(QTest::qWaitForWindowExposed(chart));
        QChartView* view = chart->chartView();

        for (const Counts& counts : {few, many}) {
            rig.writeLog(referrers(counts));
            rig.scan();
            QCoreApplication::processEvents();
            // What the view shows: the bars, and the texts in the colour they are drawn in.
            const QColor barColour =
                qobject_cast<QHorizontalBarSeries*>(view->chart()->series().value(0))
                    ->barSets()
                    .value(0)
                    ->color();
            QList<QRectF> bars;
            QHash<QString, std::pair<QGraphicsItem*, QColor>> texts;
            for (QGraphicsItem* item : view->scene()->items()) {
                if (!item->isVisible()) {
                    continue;
                }
                std::pair<QString, QColor> shown;
                if (auto* rect = qgraphicsitem_cast<QGraphicsRectItem*>(item);
                    rect && rect->brush().color() == barColour) {
                    bars << rect->sceneBoundingRect();
                } else if (auto* text = qgraphicsitem_cast<QGraphicsSimpleTextItem*>(item)) {
                    shown = {text->text(), text->brush().color()};
                } else if (auto* rich = qgraphicsitem_cast<QGraphicsTextItem*>(item)) {
                    shown = {rich->toPlainText(), rich->defaultTextColor()};
                }
                if (!shown.first.isEmpty()) {
                    QVERIFY2(!texts.contains(shown.first), qPrintable(shown.first));
                    texts.insert(shown.first, {item, shown.second});
                }
            }
            QCOMPARE(bars.size(), counts.size());
            const QRectF visible = view->mapToScene(view->viewport()->rect()).boundingRect();
            for (const auto& [site, clicks] : counts) {
                const QString number = QString::number(clicks);
                QGraphicsItem* label = texts.value(number).first;
                QVERIFY2(label != nullptr, qPrintable(number));
                const QRectF box = label->sceneBoundingRect();
                // The whole text lies where it can be seen, cut by nothing.
                QVERIFY2(visible.contains(box), qPrintable(number));
                for (QGraphicsItem* up = label->parentItem(); up; up = up->parentItem()) {
                    if (up->flags() & QGraphicsItem::ItemClipsChildrenToShape) {
                        QVERIFY2(up->mapToScene(up->shape()).boundingRect().contains(box),
                                 qPrintable(number));
                    }
                }
                // Its own bar (the one level with it) holds it whole or not at all.
                const QRectF* bar = &bars.first();
                for (const QRectF& candidate : bars) {
                    if (std::abs(candidate.center().y() - box.center().y()) <
                        std::abs(bar->center().y() - box.center().y())) {
                        bar = &candidate;
                    }
                }
                QVERIFY2(bar->contains(box) || !bar->intersects(box), qPrintable(number));
            }
            // Each count stands out from what lies behind it.
            for (const auto& [site, clicks] : counts) {
                texts.value(QString::number(clicks)).first->hide();
            }
            const QImage behind = view->grab().toImage();
            for (const auto& [site, clicks] : counts) {
                const auto [label, colour] = texts.value(QString::number(clicks));
                label->show();
                const QColor under =
                    behind.pixelColor(view->mapFromScene(label->sceneBoundingRect().center()));
                QVERIFY2(std::abs(colour.lightnessF() - under.lightnessF()) > 0.35,
                         qPrintable(QString::number(clicks) + " on " + under.name()));
            }
        }
    }
};

}  // namespace tallowby

TALLOWBY_QTEST_MAIN(tallowby::SitesTest)
#include "SitesTest.moc"
