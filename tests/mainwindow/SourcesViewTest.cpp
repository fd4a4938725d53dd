// The sources and search keywords views, the view chooser and the chart of
// clicks by class, driven through the window's menu items, chooser, list
// clicks and chart buttons.

#include <QAbstractBarSeries>
#include <QAction>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

#include "Form1Rig.h"
#include "QtTestMain.h"
#include "mainwindow/ChartWindow.h"
#include "mainwindow/SitesPanel.h"
#include "results/ResultsList.h"

namespace tallowby {

namespace {

// Search engines, a social network, an AI assistant, a website and spam,
// with the referrer field read; in the work list's order (the collapse
// sorts the addresses) they come spam, AI, social, website, Bing, Google.
const QList<QByteArray> kLog = {
    testing::Line("https://www.google.com/search?q=blue+widgets"),
    testing::Line("https://www.google.co.uk/search?q=Blue%20Widgets"),
    testing::Line("https://www.google.com/search?q=blue+widgets"),
    testing::Line("https://www.bing.com/search?q=red+shoes&form=QBLH"),
    testing::Line("https://l.facebook.com/l.php?u=https%3A%2F%2Fmysite.example%2F"),
    testing::Line("https://m.facebook.com/groups/1"),
    testing::Line("https://chatgpt.com/"),
    testing::Line("https://news.example/item?id=7"),
    testing::Line("https://news.example/item?id=8"),
    testing::Line("http://www.0-0.fr/"),
};

struct Rig : testing::Rig {
    explicit Rig(const QString& sourceLists = QString(), bool scanNow = true) {
        returningUser();
        settings.values.insert(testing::Address("data", "bDisplayStats"), "0");
        settings.values.insert(testing::Address("data", "bReferrerField"), "1");
        settings.values.insert(testing::Address("data", "strSourceLists"), sourceLists);
        QDir().mkpath(logs());
        testing::WriteLog(logs() + QStringLiteral("/access.log"), kLog);
        load();
        show();
        selectEveryLog();
        if (scanNow) {
            QTest::mouseClick(form->cmdGo(), Qt::LeftButton);
        }
    }
    SitesPanel& views() { return form->sitesPanel(); }
    static QStringList column(ResultsList* list, int column, int role = Qt::DisplayRole) {
        QStringList cells;
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            cells << list->model()->index(row, column).data(role).toString();
        }
        return cells;
    }
    // The list that shows; fails unless exactly one does.
    ResultsList* shown() {
        QList<ResultsList*> lists;
        for (ResultsList* list : {form->lstResults(), views().lstSites(), views().lstSources(),
                                  views().lstKeywords()}) {
            if (list->isVisible()) {
                lists << list;
            }
        }
        return lists.size() == 1 ? lists.first() : nullptr;
    }
    // Double-clicks the row whose third cell is `text`; the address opened.
    QUrl open(ResultsList* list, const QString& text) {
        const int row = column(list, 2).indexOf(text);
        const QRect place = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, place.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, place.center());
        return view->navigations.value(view->navigations.size() - 1);
    }
};

}  // namespace

class SourcesViewTest : public QObject {
    Q_OBJECT

private slots:
    void viewsSwitchByMenuAndChooserKeepingTheSortAndOpenWhatTheyStandFor() {
        Rig rig;
        ResultsList* sources = rig.views().lstSources();
        ResultsList* keywords = rig.views().lstKeywords();
        QCOMPARE(rig.views().mnuActionSources()->text(), "Group by So&urce");
        QCOMPARE(rig.views().mnuActionKeywords()->text(), "Group by Search &Keyword");

        testing::Choose(rig.views().cboView(), "Sources");
        QCOMPARE(rig.shown(), sources);
        QVERIFY(rig.views().mnuActionSources()->isChecked());
        QVERIFY(!rig.views().mnuActionSites()->isChecked());
        QCOMPARE(Rig::column(sources, 2),
                 QStringList({"0-0.fr", "ChatGPT", "Facebook", "news.example", "Bing", "Google"}));
        QCOMPARE(Rig::column(sources, 2, Qt::ToolTipRole),
                 QStringList({"Spam", "AI assistant", "Social network", "Website", "Search engine",
                              "Search engine"}));
        QCOMPARE(Rig::column(sources, 0),
                 QStringList({"0000001", "0000001", "0000002", "0000002", "0000001", "0000002"}));
        QCOMPARE(Rig::column(sources, 1),
                 QStringList({"0000001", "0000001", "0000002", "0000002", "0000001", "0000003"}));
        for (int row = 0; row < sources->model()->rowCount(); ++row) {
            const QModelIndex cell = sources->model()->index(row, 2);
            QVERIFY(!cell.data(Qt::DecorationRole).value<QIcon>().isNull());
        }
        QCOMPARE(rig.open(sources, "Google"),
                 QUrl("https://www.google.co.uk/search?q=Blue%20Widgets"));
        QCOMPARE(rig.panel(2), "https://www.google.co.uk/search?q=Blue%20Widgets");
        QCOMPARE(rig.open(sources, "0-0.fr"), QUrl("http://www.0-0.fr/"));

        rig.views().mnuActionKeywords()->trigger();
        QCOMPARE(rig.shown(), keywords);
        QCOMPARE(rig.views().cboView()->currentText(), "Search Keywords");
        QCOMPARE(Rig::column(keywords, 0), QStringList({"Bing", "Google"}));
        QCOMPARE(Rig::column(keywords, 1), QStringList({"0000001", "0000003"}));
        QCOMPARE(Rig::column(keywords, 2), QStringList({"red shoes", "blue widgets"}));
        QCOMPARE(rig.open(keywords, "blue widgets"),
                 QUrl("https://www.google.co.uk/search?q=blue%20widgets"));
        QCOMPARE(rig.open(keywords, "red shoes"),
                 QUrl("https://www.bing.com/search?q=red%20shoes"));

        // Sorted by clicks, most first (equal clicks in the order of
        // arrival), then by the third column, across every view.
        keywords->header()->sectionClicked(1);
        QCOMPARE(Rig::column(keywords, 2), QStringList({"blue widgets", "red shoes"}));
        testing::Choose(rig.views().cboView(), "Sources");
        QCOMPARE(Rig::column(sources, 2),
                 QStringList({"Google", "Facebook", "news.example", "0-0.fr", "ChatGPT", "Bing"}));
        sources->header()->sectionClicked(2);
        QCOMPARE(Rig::column(sources, 2),
                 QStringList({"0-0.fr", "Bing", "ChatGPT", "Facebook", "Google", "news.example"}));
        rig.views().mnuActionSites()->trigger();
        QCOMPARE(rig.shown(), rig.views().lstSites());
        QCOMPARE(Rig::column(rig.views().lstSites(), 2).first(), "chatgpt.com");
        rig.views().mnuActionSites()->trigger();  // off again: the pages
        QCOMPARE(rig.shown(), rig.form->lstResults());
        QCOMPARE(rig.views().cboView()->currentText(), "Pages");
        QCOMPARE(Rig::column(rig.form->lstResults(), 2).first(), "http://www.0-0.fr/");
        QCOMPARE(rig.form->lstResults()->sortAscending(), true);
    }

    void aViewChosenWhileTheScanRunsShowsTheWholeScanAfterIt() {
        struct Case {
            const char* view;
            int rows;
        };
        const Case cases[] = {{"Sites", 8}, {"Sources", 6}, {"Search Keywords", 2}};
        for (const Case& c : cases) {
            Rig rig(QString(), false);
            const ScanCounters& counters = rig.form->scanner().counters();
            // Only Google's lines are read by then.
            rig.during([&] { return counters.linesScanned >= 2; },
                       [&] { testing::Choose(rig.views().cboView(), c.view); });
            QTest::mouseClick(rig.form->cmdGo(), Qt::LeftButton);
            QVERIFY(rig.shown() != nullptr);
            QVERIFY2(rig.shown()->model()->rowCount() == c.rows, c.view);
        }
    }

    void sourceListsComeFromTheirFolderOrTheBuiltInOnesWithAMessage() {
        struct Case {
            const char* folder;  // strSourceLists; "lists": a folder of lists written here
            QStringList sources;
            const char* message;  // the start of the one message box, or none
        };
        const Case cases[] = {
            {"", {"0-0.fr", "ChatGPT", "Facebook", "news.example", "Bing", "Google"}, nullptr},
            {"lists",
             {"0-0.fr", "chatgpt.com", "l.facebook.com", "m.facebook.com", "Newsy", "www.bing.com",
              "www.google.co.uk", "www.google.com"},
             nullptr},
            {"/no/such/folder",
             {"0-0.fr", "ChatGPT", "Facebook", "news.example", "Bing", "Google"},
             "Cannot read the lists of sources in /no/such/folder: SearchEngines.yml: "},
        };
        for (const Case& c : cases) {
            QTemporaryDir lists;
            QString folder = QString::fromLatin1(c.folder);
            if (folder == QLatin1String("lists")) {
                folder = lists.path();
                testing::WriteLog(folder + "/Socials.yml", {"Newsy:\n  - news.example\n"});
                testing::WriteLog(folder + "/SearchEngines.yml", {});
                testing::WriteLog(folder + "/AIAssistants.yml", {});
            }
            Rig rig(folder);
            rig.views().mnuActionSources()->trigger();
            QCOMPARE(Rig::column(rig.views().lstSources(), 2), c.sources);
            rig.views().mnuActionKeywords()->trigger();  // the lists are read once a scan
            if (c.message == nullptr) {
                QCOMPARE(rig.messages(), QStringList());
            } else {
                QCOMPARE(rig.messages().size(), 1);
                QVERIFY2(rig.messages().first().startsWith(c.message),
                         qPrintable(rig.messages().first()));
                QVERIFY(rig.messages().first().endsWith("The built-in lists are used instead."));
            }
        }
    }

    void classChartShowsEachClassWithItsTopSourcesAndSavesWhatItShows() {
        Rig rig;
        rig.views().mnuActionChart()->trigger();
        ChartWindow* chart = rig.views().chartWindow();
        QVERIFY(QTest::qWaitForWindowExposed(chart));
        QTabBar* tabs = chart->tabCharts()->tabBar();
        QCOMPARE(tabs->tabText(1), "Clicks by Class");
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QVERIFY(chart->classChartView()->isVisible() && !chart->chartView()->isVisible());

        QChart* drawn = chart->classChartView()->chart();
        const auto* axis = qobject_cast<QBarCategoryAxis*>(drawn->axes(Qt::Vertical).value(0));
        QVERIFY(axis != nullptr);
        const auto* series = qobject_cast<QAbstractBarSeries*>(drawn->series().value(0));
        QVERIFY(series != nullptr);
        // From the top bar down: each class, then its sources.
        QStringList bars;
        for (qsizetype bar = axis->count() - 1; bar >= 0; --bar) {
            qreal clicks = 0;
            for (const QBarSet* set : series->barSets()) {
                clicks += set->at(bar);
            }
            bars << axis->at(bar) + ": " + QString::number(clicks);
        }
        QCOMPARE(bars,
                 QStringList({"Search engines: 4", "Google: 3", "Bing: 1", "Social networks: 2",
                              "Facebook: 2", "AI assistants: 1", "ChatGPT: 1", "Websites: 2",
                              "news.example: 2", "Spam: 1", "0-0.fr: 1"}));

        const QString png = rig.folder.path() + QStringLiteral("/classes.png");
        chart->setSavePathChooser([&](QWidget*) { return png; });
        QTest::mouseClick(chart->cmdSave(), Qt::LeftButton);
        const QImage saved(png);
        QCOMPARE(saved.size(),
                 chart->classChartView()->size() * chart->classChartView()->devicePixelRatio());
        // The picture is of the bars shown: the search engines' colour is in it.
        const QRgb search = series->barSets().first()->color().rgb();
        bool found = false;
        for (int y = 0; y < saved.height() && !found; ++y) {
            for (int x = 0; x < saved.width() && !found; ++x) {
                found = saved.pixel(x, y) == search;
            }
        }
        QVERIFY(found);
    }
};

}  // namespace tallowby

TALLOWBY_QTEST_MAIN(tallowby::SourcesViewTest)
#include "SourcesViewTest.moc"
