// The results list: its model, the header-click sort and the click and
// double-click signals, driven through the real header and viewport.

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>

#include <optional>
#include <string>
#include <vector>

#include "QtTestMain.h"
#include "engine/match/TextFold.h"
#include "engine/tally/WorkList.h"
#include "output/RowCells.h"
#include "results/ResultsList.h"

using tallowby::AppendWorkListRows;
using tallowby::BuildResultRows;
using tallowby::ReferrerEntry;
using tallowby::ResultsList;
using tallowby::ResultsModel;
using tallowby::TypeCode;
using tallowby::WorkList;

namespace {

ReferrerEntry Row(const char* type, const char* clicks, const char* referrer) {
    return {type, clicks, referrer};
}

// The "Clicks" cells top to bottom, then "|" and the referrers, so a failure
// shows the whole order and whether the cells of a row stayed together.
QString Column(const ResultsModel& model, int column) {
    QStringList cells;
    for (int row = 0; row < model.rowCount(); ++row) {
        cells.append(model.index(row, column).data().toString());
    }
    return cells.join(QLatin1Char(','));
}

void ClickHeader(ResultsList& list, int section) {
    QHeaderView* head = list.header();
    const QPoint centre(head->sectionViewportPosition(section) + head->sectionSize(section) / 2,
                        head->height() / 2);
    QTest::mouseClick(head->viewport(), Qt::LeftButton, {}, centre);
}

QPoint RowCentre(ResultsList& list, int row) {
    return list.visualRect(list.model()->index(row, 0)).center();
}

}  // namespace

class ResultsListTest : public QObject {
    Q_OBJECT

private slots:
    void modelPassesItemModelTesterThroughFillSortAndClear() {
        ResultsModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.append({Row("HTM", "0000002", "http://b/"), Row("JPG", "0000010", "http://a/")});
        model.sort(ResultsModel::ClicksColumn, Qt::DescendingOrder);
        model.append({Row("ZIP", "0000005", "http://c/")});
        QCOMPARE(Column(model, 1), QStringLiteral("0000010,0000005,0000002"));
        model.clear();
        QCOMPARE(model.rowCount(), 0);
        model.append({Row("", "", "http://x/")});
        QCOMPARE(model.rowCount(), 1);
    }

    void headerShowsCaptionsAtDesignWidths() {
        ResultsList list;
        const QStringList captions{"Type", "Clicks", "Referrer"};
        const int pixels[] = {42, 62, 1333};  // 630, 930 and 20000 twips
        for (int column = 0; column < 3; ++column) {
            QCOMPARE(list.model()->headerData(column, Qt::Horizontal).toString(), captions[column]);
            QCOMPARE(list.header()->sectionSize(column), pixels[column]);
        }
        QCOMPARE(list.selectionMode(), QAbstractItemView::SingleSelection);
    }

    void headerClicksShareOneDirectionAndSortCountsAsNumbers() {
        ResultsList list;
        list.resize(600, 300);
        list.show();
        list.results().append({Row("HTM", "0000002", "http://two/"),
                               Row("ZIP", "0000010", "http://ten/"),
                               Row("JPG", "0000009", "http://nine/")});

        ClickHeader(list, 1);  // first click: descending
        QCOMPARE(Column(list.results(), 1), QStringLiteral("0000010,0000009,0000002"));
        QCOMPARE(Column(list.results(), 2), QStringLiteral("http://ten/,http://nine/,http://two/"));
        ClickHeader(list, 1);
        QCOMPARE(Column(list.results(), 1), QStringLiteral("0000002,0000009,0000010"));
        ClickHeader(list, 0);  // the flag flips again, whichever column
        QCOMPARE(Column(list.results(), 0), QStringLiteral("ZIP,JPG,HTM"));
        QCOMPARE(Column(list.results(), 2), QStringLiteral("http://ten/,http://nine/,http://two/"));
        QCOMPARE(list.header()->sortIndicatorSection(), 0);
        QCOMPARE(list.header()->sortIndicatorOrder(), Qt::DescendingOrder);

        // Counts beyond seven digits still sort by number (as text, 12000000
        // would come first).
        list.results().clear();
        list.results().append({Row("", "12000000", "a"), Row("", "9999999", "b")});
        ClickHeader(list, 1);  // ascending now
        QCOMPARE(Column(list.results(), 1), QStringLiteral("9999999,12000000"));
    }

    void headerClickOnEmptyListChangesNothing() {
        ResultsList list;
        list.resize(600, 300);
        list.show();
        ClickHeader(list, 2);
        ClickHeader(list, 2);
        ClickHeader(list, 1);
        QVERIFY(!list.sortedMode());
        QVERIFY(list.sortAscending());
        QVERIFY(!list.results().isSorted());

        list.results().append({Row("", "0000001", "http://a/"), Row("", "0000003", "http://c/")});
        ClickHeader(list, 1);
        QCOMPARE(Column(list.results(), 1), QStringLiteral("0000003,0000001"));
        QVERIFY(list.sortedMode());
    }

    void textColumnsIgnoreCaseAndKeepArrivalOrderOnTies() {
        ResultsModel model;
        model.append({Row("htm", "", "http://B/1"), Row("JPG", "", "http://a/"),
                      Row("HTM", "", "http://b/1"), Row("", "", "http://C/")});
        model.sort(ResultsModel::ReferrerColumn, Qt::AscendingOrder);
        QCOMPARE(Column(model, 2), QStringLiteral("http://a/,http://B/1,http://b/1,http://C/"));
        model.sort(ResultsModel::TypeColumn, Qt::DescendingOrder);
        // Equal keys stay in arrival order in the descending direction too.
        QCOMPARE(Column(model, 0), QStringLiteral("JPG,htm,HTM,"));
        QCOMPARE(Column(model, 2), QStringLiteral("http://a/,http://B/1,http://b/1,http://C/"));
    }

    void rowsOfALaterScanAppearInTheChosenOrder() {
        ResultsList list;
        list.results().append({Row("HTM", "0000001", "http://old/")});
        list.EnhListView_SortColumns(3);  // referrer, descending

        list.results().clear();  // the next scan
        list.results().append({Row("GIF", "0000004", "http://b/"),
                               Row("JPG", "0000001", "http://d/"),
                               Row("PNG", "0000007", "http://a/")});
        QCOMPARE(Column(list.results(), 2), QStringLiteral("http://d/,http://b/,http://a/"));
        // Rows appended to a sorted, non-empty list are merged into place,
        // each with its own type and count.
        list.results().append(
            {Row("ZIP", "0000002", "http://c/"), Row("EXE", "0000009", "http://e/")});
        QCOMPARE(Column(list.results(), 2),
                 QStringLiteral("http://e/,http://d/,http://c/,http://b/,http://a/"));
        QCOMPARE(Column(list.results(), 0), QStringLiteral("EXE,JPG,ZIP,GIF,PNG"));
        QCOMPARE(Column(list.results(), 1),
                 QStringLiteral("0000009,0000001,0000002,0000004,0000007"));
    }

    void selectionStaysWithItsReferrerThroughASort() {
        ResultsList list;
        list.results().append(
            {Row("", "0000001", "http://one/"), Row("", "0000005", "http://five/")});
        list.setCurrentIndex(list.model()->index(0, 0));
        QCOMPARE(list.selectedAddress(), std::optional<QByteArray>("http://one/"));
        list.EnhListView_SortColumns(2);
        QCOMPARE(list.selectedAddress(), std::optional<QByteArray>("http://one/"));
        QCOMPARE(list.currentIndex().row(), 1);
    }

    void clickReportsTheSelectedAddressOnly() {
        ResultsList list;
        list.resize(600, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QSignalSpy clicked(&list, &ResultsList::addressClicked);

        // Nothing selected yet: a click below the rows reports nothing.
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(20, 250));
        QCOMPARE(clicked.count(), 0);

        list.results().append({Row("", "", "http://first/"), Row("", "", "http://second/")});
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCentre(list, 1));
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.takeFirst().at(0).toString(), QStringLiteral("http://second/"));
    }

    void doubleClickAsksToOpenTheSelectedRowOrWhatTheBoxHolds() {
        ResultsList list;
        list.resize(600, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QSignalSpy open(&list, &ResultsList::openRequested);

        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, QPoint(20, 250));
        QCOMPARE(open.count(), 1);
        QVERIFY(!open.takeFirst().at(0).value<std::optional<QByteArray>>().has_value());

        list.results().append({Row("", "", "http://first/"), Row("", "", "http://second/")});
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, RowCentre(list, 0));
        QCOMPARE(open.count(), 1);
        QCOMPARE(open.takeFirst().at(0).value<std::optional<QByteArray>>(),
                 std::optional<QByteArray>("http://first/"));
    }

    void keysMoveTheSelectedRowLikeClicksAndEnterOpensIt_data() {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QStringList>("clicked");  // addresses reported, in order
        QTest::addColumn<QString>("opened");       // empty: Enter not pressed
        QTest::newRow("down from the clicked row")
            << QList<int>{Qt::Key_Down} << QStringList{"http://b/", "http://c/"} << "";
        QTest::newRow("down past the end stays") << QList<int>{Qt::Key_Down, Qt::Key_Down}
                                                 << QStringList{"http://b/", "http://c/"} << "";
        QTest::newRow("up, then Enter") << QList<int>{Qt::Key_Up, Qt::Key_Return}
                                        << QStringList{"http://b/", "http://a/"} << "http://a/";
        QTest::newRow("home, then keypad Enter")
            << QList<int>{Qt::Key_Home, Qt::Key_Enter} << QStringList{"http://b/", "http://a/"}
            << "http://a/";
        QTest::newRow("Enter on the clicked row")
            << QList<int>{Qt::Key_Return} << QStringList{"http://b/"} << "http://b/";
    }
    void keysMoveTheSelectedRowLikeClicksAndEnterOpensIt() {
        QFETCH(QList<int>, keys);
        QFETCH(QStringList, clicked);
        QFETCH(QString, opened);
        ResultsList list;
        list.resize(600, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        list.results().append(
            {Row("", "", "http://a/"), Row("", "", "http://b/"), Row("", "", "http://c/")});
        QSignalSpy clicks(&list, &ResultsList::addressClicked);
        QSignalSpy open(&list, &ResultsList::openRequested);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCentre(list, 1));
        for (const int key : keys) {
            QTest::keyClick(&list, static_cast<Qt::Key>(key));
        }
        QStringList reported;
        for (const QList<QVariant>& signal : clicks) {
            reported.append(signal.at(0).toString());
        }
        QCOMPARE(reported, clicked);
        QCOMPARE(open.count(), opened.isEmpty() ? 0 : 1);
        if (!opened.isEmpty()) {
            QCOMPARE(open.first().at(0).value<std::optional<QByteArray>>(),
                     std::optional<QByteArray>(opened.toUtf8()));
        }
    }

    void clickOnAReferrerCellKeepsTypeAndClicksInSight() {
        ResultsList list;
        list.resize(300, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        std::vector<ReferrerEntry> rows;
        for (int i = 0; i < 40; ++i) {
            rows.push_back(Row("HTM", "0000001", "http://a.example/long/address"));
        }
        list.results().append(rows);
        const QRect referrer = list.visualRect(list.model()->index(3, 2));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                          QPoint(list.viewport()->width() - 10, referrer.center().y()));
        QCOMPARE(list.horizontalScrollBar()->value(), 0);
        // Keys that go below the visible rows still scroll down, not sideways.
        for (int i = 0; i < 30; ++i) {
            QTest::keyClick(&list, Qt::Key_Down);
        }
        QCOMPARE(list.horizontalScrollBar()->value(), 0);
        QVERIFY(list.verticalScrollBar()->value() > 0);
        QVERIFY(list.visualRect(list.currentIndex()).bottom() <= list.viewport()->height());
    }

    void invalidUtf8IsShownReplacedButKeptAsBytes() {
        ResultsList list;
        list.results().append({Row("", "", "http://caf\xE9/men\xC3\xBC")});
        QCOMPARE(list.model()->index(0, 2).data().toString(),
                 QString::fromUtf8("http://caf\xEF\xBF\xBD/men\xC3\xBC"));
        list.setCurrentIndex(list.model()->index(0, 2));
        QCOMPARE(*list.selectedAddress(), QByteArray("http://caf\xE9/men\xC3\xBC"));
        QCOMPARE(list.results().entry(0).referrer, std::string("http://caf\xE9/men\xC3\xBC"));
    }

    void longListsSortOnAWorkerInTheSameOrderAsShortOnes() {
        // Enough rows for the worker thread; cells built to tie a lot, to
        // differ only in letter case, and to share long beginnings.
        const std::size_t count = ResultsModel::kBackgroundSortRows + 1234;
        std::vector<ReferrerEntry> rows;
        rows.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t k = i * 7919 % 50021;
            rows.push_back({k % 3 == 0 ? "HTM" : (k % 3 == 1 ? "htm" : "JPG"),
                            k % 11 == 0 ? "" : std::to_string(10000000 + k % 997).substr(1),
                            (k % 2 ? "http://www.EXAMPLE.com/p/" : "http://www.example.com/p/") +
                                std::to_string(k % 4099)});
        }
        ResultsList list;
        list.resize(400, 300);
        list.show();
        list.results().append(rows);
        QAbstractItemModelTester tester(&list.results(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        list.setCurrentIndex(list.model()->index(5, 0));
        const std::string selected(list.results().referrer(5));
        const std::string selectedClicks(list.results().clicks(5));
        bool ascending = true;
        for (const int column : {ResultsModel::ReferrerColumn, ResultsModel::ClicksColumn,
                                 ResultsModel::TypeColumn, ResultsModel::ReferrerColumn}) {
            list.EnhListView_SortColumns(column + 1);
            ascending = !ascending;
            // The reference: a stable sort of the appended rows by the same rules.
            std::vector<std::size_t> expected(count);
            for (std::size_t i = 0; i < count; ++i)
                expected[i] = i;
            auto key = [&](std::size_t i) -> const std::string& {
                return column == 0   ? rows[i].typeCode
                       : column == 1 ? rows[i].clicks
                                     : rows[i].referrer;
            };
            std::stable_sort(expected.begin(), expected.end(), [&](std::size_t a, std::size_t b) {
                int c = 0;
                if (column == ResultsModel::ClicksColumn) {
                    const long long x = key(a).empty() ? -1 : std::stoll(key(a));
                    const long long y = key(b).empty() ? -1 : std::stoll(key(b));
                    c = x < y ? -1 : (x > y ? 1 : 0);
                } else {
                    c = tallowby::CompareIgnoringCase(key(a), key(b));
                }
                return ascending ? c < 0 : c > 0;
            });
            for (std::size_t shown = 0; shown < count; ++shown) {
                const ReferrerEntry& want = rows[expected[shown]];
                const int row = static_cast<int>(shown);
                if (list.results().referrer(row) != want.referrer ||
                    list.results().clicks(row) != want.clicks ||
                    list.results().typeCode(row) != want.typeCode) {
                    QFAIL(qPrintable(
                        QStringLiteral("column %1, row %2 differs").arg(column).arg(row)));
                }
            }
            // The selection moved with its row.
            const QModelIndex current = list.currentIndex();
            QCOMPARE(list.results().referrer(current.row()), std::string_view(selected));
            QCOMPARE(list.results().clicks(current.row()), std::string_view(selectedClicks));
        }
        QVERIFY(!list.results().isSorting());
    }

    void workListRowsAppendAsTheirReferrerEntriesWould() {
        WorkList work;
        work.append("http://b.example/a.jpg", TypeCode::JPG, false);
        work.append("http://A.example/", TypeCode::HTM, true);
        work.append("http://b.example/a.jpg", TypeCode::ZIP, false);
        work.append("http://a.example/", TypeCode::EXE, false);
        for (const bool collapse : {false, true}) {
            if (collapse)
                work.collapse();
            for (const bool types : {false, true}) {
                ResultsModel direct;
                AppendWorkListRows(direct, work, 0, 3, types);
                AppendWorkListRows(direct, work, 3, 100, types);  // clipped to the list
                ResultsModel inPlace;
                inPlace.showWorkList(work, types);
                ResultsModel built;
                built.append(BuildResultRows(work, types));
                QCOMPARE(direct.rowCount(), built.rowCount());
                QCOMPARE(inPlace.rowCount(), built.rowCount());
                for (int row = 0; row < built.rowCount(); ++row) {
                    for (const ResultsModel* model : {&direct, &inPlace}) {
                        QCOMPARE(model->entry(row).typeCode, built.entry(row).typeCode);
                        QCOMPARE(model->entry(row).clicks, built.entry(row).clicks);
                        QCOMPARE(model->entry(row).referrer, built.entry(row).referrer);
                    }
                }
            }
        }
    }

    void workListRowsShownInPlaceSortAndTakeLaterRows() {
        WorkList work;
        work.append("http://b.example/", TypeCode::JPG, false);
        work.append("http://a.example/", TypeCode::HTM, true);
        work.append("http://b.example/", TypeCode::ZIP, false);
        work.append("http://c.example/", TypeCode::EXE, false);
        work.collapse();
        ResultsModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        // Shown into a list that was sorted by clicks, descending, before.
        model.append({Row("", "0000001", "http://x/")});
        model.sort(ResultsModel::ClicksColumn, Qt::DescendingOrder);
        model.clear();
        model.showWorkList(work, true);
        QCOMPARE(Column(model, 0), QStringLiteral("JPG,BOT,EXE"));
        QCOMPARE(Column(model, 1), QStringLiteral("0000002,0000001,0000001"));
        QCOMPARE(Column(model, 2),
                 QStringLiteral("http://b.example/,http://a.example/,http://c.example/"));
        model.sort(ResultsModel::ReferrerColumn, Qt::AscendingOrder);
        QCOMPARE(Column(model, 2),
                 QStringLiteral("http://a.example/,http://b.example/,http://c.example/"));
        // A later append keeps the shown rows and places the new one among them.
        model.append({Row("HTM", "0000009", "http://aa.example/")});
        QCOMPARE(Column(model, 1), QStringLiteral("0000001,0000009,0000002,0000001"));
        QCOMPARE(Column(model, 2), QStringLiteral("http://a.example/,http://aa.example/,"
                                                  "http://b.example/,http://c.example/"));
        // Into a list that has rows already, the work list's rows follow them.
        model.clear();
        model.append({Row("", "", "http://0.example/")});
        model.showWorkList(work, false);
        QCOMPARE(Column(model, 0), QStringLiteral(",,,"));
        QCOMPARE(Column(model, 2), QStringLiteral("http://0.example/,http://a.example/,"
                                                  "http://b.example/,http://c.example/"));
    }

    void aMillionRowsFillAndSortInOrder() {
        ResultsList list;
        list.resize(600, 300);
        list.show();
        std::vector<ReferrerEntry> rows;
        rows.reserve(1000000);
        for (int i = 0; i < 1000000; ++i) {
            // Addresses share a long prefix, as real referrers do.
            const int key = static_cast<int>((static_cast<long long>(i) * 7919) % 1000000);
            rows.push_back({"HTM", std::to_string(1000000 + key).substr(1),
                            "http://www.example.com/page/" + std::to_string(key)});
        }
        list.results().append(std::move(rows));
        list.EnhListView_SortColumns(3);
        list.EnhListView_SortColumns(2);
        QCOMPARE(list.results().rowCount(), 1000000);
        QCOMPARE(list.results().clicks(0), std::string_view("000000"));
        QCOMPARE(list.results().referrer(999999),
                 std::string_view("http://www.example.com/page/999999"));
    }
};

TALLOWBY_QTEST_MAIN(ResultsListTest)
#include "ResultsListTest.moc"
