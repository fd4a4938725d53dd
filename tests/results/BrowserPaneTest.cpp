// The browser pane: its wiring on a scripted page display, then the real
// Qt WebEngine against pages served on 127.0.0.1 by the test itself.

#include <QDesktopServices>
#include <QLineEdit>
#include <QSignalSpy>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>
#include <optional>

#include "FakeWebView.h"
#include "LocalPages.h"
#include "QtTestMain.h"
#include "WindowFakes.h"
#include "results/BrowserPane.h"
#include "results/EngineWebView.h"
#include "results/ResultsList.h"

using namespace tallowby;
using tallowby::testing::FakeWebView;
using tallowby::testing::LocalPages;
using tallowby::testing::RecordingMessageBoxes;

namespace {

ProductIdentity Identity(const QString& website) {
    ProductIdentity identity;
    identity.productName = QStringLiteral("Tallowby");
    identity.companyName = QStringLiteral("Quenmoor");
    identity.website = website;
    return identity;
}

QString Last(const QSignalSpy& spy) {
    return spy.isEmpty() ? QStringLiteral("<none>") : spy.last().at(0).toString();
}

constexpr int kPageTimeout = 20000;

// Receives what would go to the desktop's handler for a scheme.
class UrlCatcher : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { opened.append(url.toString()); }

public:
    QStringList opened;
};

}  // namespace

class BrowserPaneTest : public QObject {
    Q_OBJECT

private slots:
    // --- Wiring, on the scripted display.

    void goAndEnterNavigateTheTypedTextAndLeavePanel3Alone() {
        RecordingMessageBoxes boxes;
        auto* view = new FakeWebView;
        BrowserPane pane(Identity(QString()), boxes, view);
        QSignalSpy connecting(&pane, &BrowserPane::connectingTextChanged);
        QSignalSpy caption(&pane, &BrowserPane::captionChanged);

        QTest::keyClicks(pane.text1(), QStringLiteral("example.org/x"));
        QTest::keyClick(pane.text1(), Qt::Key_Return);
        QTest::mouseClick(pane.command3(), Qt::LeftButton);
        QCOMPARE(view->calls, QStringList(2, QStringLiteral("navigate http://example.org/x")));
        QCOMPARE(pane.text1()->text(), QStringLiteral("example.org/x"));

        // Empty and malformed addresses are ignored, without a message.
        for (const QString& typed : {QString(), QStringLiteral("   "), QStringLiteral("http://["),
                                     QStringLiteral("http:///nohost")}) {
            pane.text1()->setText(typed);
            QTest::keyClick(pane.text1(), Qt::Key_Enter);
            QTest::mouseClick(pane.command3(), Qt::LeftButton);
        }
        QCOMPARE(view->calls.size(), 2);
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(connecting.count(), 0);
        QCOMPARE(caption.count(), 0);
    }

    void navigationButtonsCarryTheirToolTipsAndAskTheBrowser() {
        RecordingMessageBoxes boxes;
        auto* view = new FakeWebView;
        BrowserPane pane(Identity(QString()), boxes, view);
        const QList<QToolButton*> buttons{pane.command3(), pane.command4(), pane.command5(),
                                          pane.command6(), pane.command7()};
        const QStringList tips{"browse the entered url", "back", "forward", "stop", "refresh"};
        for (int i = 0; i < buttons.size(); ++i) {
            QCOMPARE(buttons[i]->toolTip(), tips[i]);
            QVERIFY(!buttons[i]->icon().isNull());
            QTest::mouseClick(buttons[i], Qt::LeftButton);
        }
        QCOMPARE(view->calls, (QStringList{"back", "forward", "stop", "reload"}));
        QCOMPARE(pane.title(), QStringLiteral("Browser"));
    }

    void startPageIsTheWebsiteAndLeavesTheAddressBoxAlone() {
        RecordingMessageBoxes boxes;
        auto* view = new FakeWebView;
        BrowserPane pane(Identity(QStringLiteral("tallowby.example.org")), boxes, view);
        pane.showStartPage();
        QCOMPARE(view->calls, QStringList{QStringLiteral("navigate http://tallowby.example.org")});
        QCOMPARE(pane.text1()->text(), QString());
    }

    void openWithoutASelectedRowOnlyShowsTheMessage() {
        RecordingMessageBoxes boxes;
        auto* view = new FakeWebView;
        BrowserPane pane(Identity(QString()), boxes, view);
        QSignalSpy connecting(&pane, &BrowserPane::connectingTextChanged);
        pane.text1()->setText(QStringLiteral("http://typed/"));
        pane.openSelected(std::nullopt);
        QCOMPARE(boxes.shown, QStringList{QStringLiteral("You must select at least one referrer")});
        QCOMPARE(boxes.titles, QStringList{QString()});  // the program's default title
        QVERIFY(view->calls.isEmpty());
        QCOMPARE(connecting.count(), 0);
        QCOMPARE(pane.text1()->text(), QStringLiteral("http://typed/"));

        // A row whose address the browser rejects: the steps done stay done.
        pane.openSelected(QByteArray("http://[broken"));
        QCOMPARE(pane.text1()->text(), QStringLiteral("http://[broken"));
        QCOMPARE(Last(connecting), QStringLiteral("connecting http://[broken"));
        QCOMPARE(boxes.shown.size(), 2);
        QVERIFY(view->calls.isEmpty());
    }

    void doubleClickWithoutARowReopensTheAddressBox() {
        RecordingMessageBoxes boxes;
        auto* view = new FakeWebView;
        BrowserPane pane(Identity(QString()), boxes, view);
        QSignalSpy connecting(&pane, &BrowserPane::connectingTextChanged);

        pane.openReferrer(std::nullopt);  // empty box: panel 3 still written, nothing loads
        QCOMPARE(Last(connecting), QStringLiteral("connecting "));
        QVERIFY(view->calls.isEmpty());

        pane.text1()->setText(QStringLiteral("http://typed/"));
        pane.openReferrer(std::nullopt);
        QCOMPARE(Last(connecting), QStringLiteral("connecting http://typed/"));
        QCOMPARE(view->calls, QStringList{QStringLiteral("navigate http://typed/")});
        QVERIFY(boxes.shown.isEmpty());
    }

    void referrerBytesReachTheBrowserUnchanged() {
        RecordingMessageBoxes boxes;
        auto* view = new FakeWebView;
        BrowserPane pane(Identity(QString()), boxes, view);
        pane.openReferrer(QByteArray("http://h/caf\xE9?q=1 "));  // not UTF-8, cut at a space
        pane.openReferrer(QByteArray("http://h/men\xC3\xBC"));
        QCOMPARE(view->calls,
                 (QStringList{"navigate http://h/caf%E9?q=1", "navigate http://h/men%C3%BC"}));
        // Go on the unchanged box sends the same bytes again.
        pane.openReferrer(QByteArray("http://h/caf\xE9"));
        QTest::mouseClick(pane.command3(), Qt::LeftButton);
        QCOMPARE(view->calls.last(), QStringLiteral("navigate http://h/caf%E9"));
        QCOMPARE(pane.text1()->text(), QString::fromUtf8("http://h/caf\xEF\xBF\xBD"));
    }

    void completedPageWithANameSetsCaptionAndAddressBoxOnly() {
        RecordingMessageBoxes boxes;
        auto* view = new FakeWebView;
        BrowserPane pane(Identity(QString()), boxes, view);
        QSignalSpy caption(&pane, &BrowserPane::captionChanged);
        QSignalSpy status(&pane, &BrowserPane::statusTextChanged);
        pane.text1()->setText(QStringLiteral("http://typed/"));

        view->complete(QString(), QStringLiteral("http://ignored/"));
        QCOMPARE(caption.count(), 0);
        QCOMPARE(pane.text1()->text(), QStringLiteral("http://typed/"));

        view->complete(QStringLiteral("Welcome"), QStringLiteral("http://final/welcome"));
        QCOMPARE(Last(caption), QStringLiteral("Tallowby by Quenmoor - Welcome"));
        QCOMPARE(pane.text1()->text(), QStringLiteral("http://final/welcome"));

        view->status(QStringLiteral("http://hovered/"));
        view->status(QString());
        QCOMPARE(status.count(), 2);
        QCOMPARE(status.at(0).at(0).toString(), QStringLiteral("http://hovered/"));
        QCOMPARE(status.at(1).at(0).toString(), QString());
    }

    // --- The real browser.

    void realBrowserOpensReferrersFromTheListAndReportsThePage() {
        LocalPages pages;
        QVERIFY(pages.listening());
        RecordingMessageBoxes boxes;
        // The start page as the product's website is written: a bare host.
        BrowserPane pane(Identity(pages.hostAndPort() + QStringLiteral("/start")), boxes);
        pane.resize(700, 600);
        pane.webBrowser()->resize(680, 480);
        pane.show();
        QSignalSpy done(pane.webBrowser(), &WebView::documentComplete);
        QSignalSpy caption(&pane, &BrowserPane::captionChanged);
        QSignalSpy connecting(&pane, &BrowserPane::connectingTextChanged);
        QSignalSpy status(&pane, &BrowserPane::statusTextChanged);

        pane.showStartPage();
        QVERIFY(done.wait(kPageTimeout));
        QCOMPARE(Last(caption), QStringLiteral("Tallowby by Quenmoor - Start"));
        QCOMPARE(pages.requests, QStringList{QStringLiteral("/start")});

        // A double-click on a row.
        ResultsList list;
        list.resize(400, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        connect(&list, &ResultsList::openRequested, &pane, &BrowserPane::openReferrer);
        const QString welcome = pages.address(QStringLiteral("/welcome"));
        list.results().append({{"HTM", "0000003", welcome.toStdString()}});
        const QPoint row = list.visualRect(list.model()->index(0, 0)).center();
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, row);
        QCOMPARE(pane.text1()->text(), welcome);
        QVERIFY(done.wait(kPageTimeout));
        QCOMPARE(Last(connecting), QStringLiteral("connecting ") + welcome);
        QCOMPARE(Last(caption), QStringLiteral("Tallowby by Quenmoor - Welcome"));
        QCOMPARE(pane.text1()->text(), welcome);
        QVERIFY(status.contains(
            QVariantList{QStringLiteral("Opening page ") + welcome + QStringLiteral("...")}));
        QCOMPARE(Last(status), QStringLiteral("Done"));

        // Hovering a link shows its address in panel 2. The page's display
        // is the engine's focus proxy; give it time to lay the page out.
        QWidget* display = pane.webBrowser()->focusProxy();
        QVERIFY(display != nullptr);
        QWidget* surface = display->focusProxy() != nullptr ? display->focusProxy() : display;
        const QString link = pages.address(QStringLiteral("/untitled"));
        int wiggle = 0;  // a move to the same spot is not a move
        QTRY_VERIFY_WITH_TIMEOUT(
            (QTest::mouseMove(surface, QPoint(40, 40 + (++wiggle % 2))), Last(status) == link),
            kPageTimeout);

        // "Open" on a row that redirects: the box ends at the final address.
        const QString redirect = pages.address(QStringLiteral("/redirect"));
        done.clear();
        pane.openSelected(redirect.toUtf8());
        QVERIFY(done.wait(kPageTimeout));
        QCOMPARE(Last(connecting), QStringLiteral("connecting ") + redirect);
        QCOMPARE(pane.text1()->text(), welcome);
        QCOMPARE(pages.requests.mid(1), (QStringList{"/welcome", "/redirect", "/welcome"}));
        QVERIFY(boxes.shown.isEmpty());

        // Bytes that are not UTF-8 are requested as they are in the log.
        done.clear();
        pane.openReferrer(QByteArray(pages.address(QStringLiteral("/caf")).toLatin1() + "\xE9"));
        QVERIFY(done.wait(kPageTimeout));
        QCOMPARE(pages.requests.last(), QStringLiteral("/caf%E9"));
    }

    void realBrowserSaysDoneForEveryPageItShows_data() {
        QTest::addColumn<QString>("path");  // empty: a port nobody listens on
        QTest::addColumn<bool>("stop");     // the pane's stop button during the load
        QTest::addColumn<bool>("done");
        QTest::newRow("found") << "/start" << false << true;
        QTest::newRow("404 with its page") << "/missing" << false << true;
        QTest::newRow("stopped while waiting") << "/silent" << true << true;
        QTest::newRow("nobody listening") << "" << false << false;
    }
    void realBrowserSaysDoneForEveryPageItShows() {
        QFETCH(QString, path);
        QFETCH(bool, stop);
        QFETCH(bool, done);
        LocalPages pages;
        QVERIFY(pages.listening());
        pages.addSilentPage("/silent");
        QString address = pages.address(path);
        if (path.isEmpty()) {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
            address = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
        }
        RecordingMessageBoxes boxes;
        BrowserPane pane(Identity(QString()), boxes);
        pane.show();
        QSignalSpy complete(pane.webBrowser(), &WebView::documentComplete);
        QSignalSpy status(&pane, &BrowserPane::statusTextChanged);
        pane.text1()->setText(address);
        QTest::mouseClick(pane.command3(), Qt::LeftButton);
        if (stop) {
            QTRY_VERIFY_WITH_TIMEOUT(pages.requests.contains(path), kPageTimeout);
            QTest::mouseClick(pane.command6(), Qt::LeftButton);
        }
        QVERIFY(complete.wait(kPageTimeout));
        QCOMPARE(Last(status), done ? QStringLiteral("Done") : "Cannot open " + address);
    }

    void realBrowserShowsItsOwnStartPageOnlyForTheWebsite() {
        QTcpServer refusing;  // a port that answers nothing once closed
        QVERIFY(refusing.listen(QHostAddress::LocalHost, 0));
        const QString host = QStringLiteral("127.0.0.1:%1").arg(refusing.serverPort());
        refusing.close();
        RecordingMessageBoxes boxes;
        BrowserPane pane(Identity(host + QStringLiteral("/start")), boxes);
        pane.show();
        QSignalSpy caption(&pane, &BrowserPane::captionChanged);
        QSignalSpy status(&pane, &BrowserPane::statusTextChanged);
        QSignalSpy done(pane.webBrowser(), &WebView::documentComplete);
        // The text of the page on show, as the page itself gives it.
        auto pageText = [&pane] {
            auto text = std::make_shared<std::optional<QString>>();
            auto* engine = qobject_cast<EngineWebView*>(pane.webBrowser());
            engine->engineView()->page()->toPlainText([text](const QString& t) { *text = t; });
            if (!QTest::qWaitFor([text] { return text->has_value(); }, kPageTimeout)) {
                return QStringLiteral("<no answer>");
            }
            return **text;
        };

        pane.showStartPage();
        QTRY_COMPARE_WITH_TIMEOUT(Last(caption),
                                  QStringLiteral("Tallowby by Quenmoor - Getting started with "
                                                 "Tallowby"),
                                  kPageTimeout);
        QVERIFY(pageText().contains(QStringLiteral("Choose a folder")));
        QCOMPARE(pane.text1()->text(), "http://" + host + "/start");
        QCOMPARE(Last(status), "Cannot open http://" + host + "/start");

        // A referrer that cannot be reached shows the engine's own page.
        done.clear();
        pane.openReferrer(QByteArray("http://" + host.toLatin1() + "/gone"));
        QVERIFY(done.wait(kPageTimeout));
        QCOMPARE(Last(status), "Cannot open http://" + host + "/gone");
        QTRY_VERIFY_WITH_TIMEOUT(!pageText().isEmpty(), kPageTimeout);
        QVERIFY(!pageText().contains(QStringLiteral("Choose a folder")));
        QVERIFY(!Last(caption).contains(QStringLiteral("Getting started")));
    }

    void realBrowserNeverHandsAnAddressToTheDesktop() {
        RecordingMessageBoxes boxes;
        BrowserPane pane(Identity(QString()), boxes);
        pane.show();
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("tallowbytest"), &catcher, "open");
        QSignalSpy done(pane.webBrowser(), &WebView::documentComplete);
        // The engine would hand these to the desktop before it reports the
        // load as failed.
        for (const QString& address :
             {QStringLiteral("mailto:x@example.org"), QStringLiteral("tallowbytest:payload")}) {
            done.clear();
            pane.text1()->setText(address);
            QTest::mouseClick(pane.command3(), Qt::LeftButton);
            QVERIFY(done.wait(kPageTimeout));
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("tallowbytest"));
        QVERIFY2(catcher.opened.isEmpty(), qPrintable(catcher.opened.join(QLatin1Char(' '))));
        QVERIFY(boxes.shown.isEmpty());
    }

    void realBrowserBackOnTheStartPageAndTypedAddresses() {
        LocalPages pages;
        QVERIFY(pages.listening());
        RecordingMessageBoxes boxes;
        BrowserPane pane(Identity(pages.address(QStringLiteral("/start"))), boxes);
        pane.show();
        QSignalSpy done(pane.webBrowser(), &WebView::documentComplete);
        QSignalSpy caption(&pane, &BrowserPane::captionChanged);
        QSignalSpy connecting(&pane, &BrowserPane::connectingTextChanged);
        pane.showStartPage();
        QVERIFY(done.wait(kPageTimeout));

        // Back with no earlier page: no load, no message. Whatever a back
        // would have loaded would be requested before the page typed next.
        QTest::mouseClick(pane.command4(), Qt::LeftButton);
        pane.text1()->setText(pages.address(QStringLiteral("/welcome")));
        QTest::keyClick(pane.text1(), Qt::Key_Return);
        QVERIFY(done.wait(kPageTimeout));
        QCOMPARE(pages.requests, (QStringList{"/start", "/welcome"}));
        QCOMPARE(Last(caption), QStringLiteral("Tallowby by Quenmoor - Welcome"));

        // A page without a title is named by its address.
        const QString untitled = pages.address(QStringLiteral("/untitled"));
        pane.text1()->setText(untitled);
        QTest::mouseClick(pane.command3(), Qt::LeftButton);
        QVERIFY(done.wait(kPageTimeout));
        QCOMPARE(Last(caption), QStringLiteral("Tallowby by Quenmoor - ") + untitled);
        QCOMPARE(pane.text1()->text(), untitled);

        // Back now has an earlier page, and forward returns.
        QTest::mouseClick(pane.command4(), Qt::LeftButton);
        QVERIFY(done.wait(kPageTimeout));
        QCOMPARE(pane.text1()->text(), pages.address(QStringLiteral("/welcome")));
        QTest::mouseClick(pane.command5(), Qt::LeftButton);
        QVERIFY(done.wait(kPageTimeout));
        QCOMPARE(pane.text1()->text(), untitled);

        QCOMPARE(connecting.count(), 0);  // typed addresses never touch panel 3
        QVERIFY(boxes.shown.isEmpty());
    }
};

TALLOWBY_QTEST_MAIN(BrowserPaneTest)
#include "BrowserPaneTest.moc"
