// Draws the pictures of the browser pane for the docs folder: the pane after
// a referrer was double-clicked in the results list, and, when the main
// window is built, the whole window in the same state. Pages come from a
// server on 127.0.0.1; nothing reaches the internet.
//
//   xvfb-run -a build/tools/results_screenshots docs

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>

#include <cstdlib>

#include <cstdio>

#include <QApplication>
#include <QtTest>

#include "LocalPages.h"
#include "WindowFakes.h"
#include "platform/Twips.h"
#include "results/BrowserPane.h"
#include "results/ResultsList.h"
#include "results/WebView.h"

#ifdef TALLOWBY_WITH_MAINWINDOW
#include <map>

#include "identity/ProductIdentity.h"
#include "identity/WebsiteLauncher.h"
#include "mainwindow/Form1.h"
#endif

using namespace tallowby;

namespace {

const QByteArray kReferringPage =
    "<html><head><title>Spring walks around the lake</title>"
    "<style>body{font-family:sans-serif;margin:24px;color:#222}"
    "h1{color:#2d5f8b;font-size:22px}a{color:#2d5f8b}"
    ".box{background:#eef3f8;border:1px solid #c8d6e5;padding:10px;margin-top:12px}"
    "</style></head><body>"
    "<h1>Spring walks around the lake</h1>"
    "<p>Five routes for a free afternoon, from a short loop along the shore to a "
    "full day over the ridge.</p>"
    "<div class='box'>Maps and timetables: see the "
    "<a href='/start'>walkers' log page</a>.</div>"
    "<ul><li>Shore loop, 4 km</li><li>Mill and meadow, 7 km</li>"
    "<li>Ridge path, 15 km</li></ul></body></html>";

const QByteArray kStartPage =
    "<html><head><title>Welcome</title>"
    "<style>body{font-family:sans-serif;margin:24px}</style></head>"
    "<body><h1>Welcome</h1><p>Referrer reports for your web site.</p></body></html>";

bool WaitForPage(QSignalSpy& done) {
    return done.wait(30000);
}

// What the main window's layout does to the pane's controls, for a pane
// shown on its own: sizes in twips, S the status bar's height.
void PlacePaneControls(BrowserPane& pane, int widthTwips, int heightTwips) {
    const int s = 315;
    pane.resize(twips::ToPixels(widthTwips), twips::ToPixels(heightTwips));
    const int text1Width = std::abs(widthTwips - 540 - 300 - 795);
    pane.text1()->resize(twips::ToPixels(text1Width), pane.text1()->height());
    pane.command3()->move(twips::ToPixels(text1Width + 540 + 100), pane.command3()->y());
    pane.webBrowser()->resize(twips::ToPixels(std::abs(widthTwips - 120 - 100)),
                              twips::ToPixels(std::abs(heightTwips - 1140 - s)));
}

bool Save(QWidget& widget, const QString& path) {
    // The engine paints a finished page a few frames after it reports it;
    // a picture tool may simply wait for them.
    QTest::qWait(500);
    const bool ok = widget.grab().save(path);
    std::fprintf(stderr, "%s %s\n", ok ? "saved" : "could not save", qPrintable(path));
    return ok;
}

void DoubleClickFirstRow(ResultsList& list) {
    const QPoint row = list.visualRect(list.model()->index(0, 0)).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, row);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, row);
}

bool ShootPane(testing::LocalPages& pages, const QString& folder) {
    testing::RecordingMessageBoxes boxes;
    ProductIdentity identity;
    identity.productName = QStringLiteral("Tallowby");
    identity.companyName = QStringLiteral("Quenmoor");
    identity.website = pages.hostAndPort() + QStringLiteral("/start");
    BrowserPane pane(identity, boxes);
    PlacePaneControls(pane, 10500, 8280);
    pane.show();
    QSignalSpy done(pane.webBrowser(), &WebView::documentComplete);
    pane.showStartPage();
    if (!WaitForPage(done)) {
        return false;
    }

    ResultsList list;
    QObject::connect(&list, &ResultsList::openRequested, &pane, &BrowserPane::openReferrer);
    list.results().append({{"HTM", "0000004", pages.address("/walks").toStdString()}});
    list.resize(400, 120);
    list.show();
    if (!QTest::qWaitForWindowExposed(&list)) {
        return false;
    }
    done.clear();
    DoubleClickFirstRow(list);
    if (!WaitForPage(done)) {
        return false;
    }
    return Save(pane, folder + QStringLiteral("/browser-pane.png"));
}

#ifdef TALLOWBY_WITH_MAINWINDOW
bool ShootMainWindow(testing::LocalPages& pages, const QString& folder) {
    QTemporaryDir temp;
    const QString version = temp.path() + QStringLiteral("/version.txt");
    QFile file(version);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write("ProductName=Tallowby\nCompanyName=Quenmoor\nComments=" +
               pages.hostAndPort().toLatin1() + "/start\nFileVersion=2.1.0.0\n");
    file.close();
    SetVersionInformationPath(version);

    testing::MemorySettings store;
    store.values[QStringLiteral("Tallowby|data|strYourWebsite")] = QStringLiteral("mysite.example");
    store.values[QStringLiteral("Tallowby|Settings|showHelp")] = QStringLiteral("0");
    testing::RecordingMessageBoxes boxes;
    testing::RecordingShell shell;
    WebsiteLauncher launcher(shell);
    Form1Services services{{boxes, shell, store}, launcher, [] {}};
    services.volumes = [] { return QStringList{QStringLiteral("/")}; };
    services.startDirectory = temp.path();
    services.helpFilePath = temp.path() + QStringLiteral("/no-Help.rtf");
    Form1 form(std::move(services));
    QSignalSpy done(form.frmBrowser()->webBrowser(), &WebView::documentComplete);
    form.resize(1100, 720);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form) || !WaitForPage(done)) {
        return false;
    }
    form.resize(1100, 720);

    form.lstResults()->results().append(
        {{"HTM", "0000004", pages.address("/walks").toStdString()},
         {"JPG", "0000002", pages.address("/gallery/lake.jpg").toStdString()},
         {"HTM", "0000001", pages.address("/start").toStdString()}});
    if (!form.resultsViewShown()) {
        form.ToggleResultsView();
    }
    done.clear();
    DoubleClickFirstRow(*form.lstResults());
    if (!WaitForPage(done)) {
        return false;
    }
    return Save(form, folder + QStringLiteral("/main-window-browser.png"));
}
#endif

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    QDir().mkpath(folder);
    testing::LocalPages pages;
    pages.addPage("/start", kStartPage);
    pages.addPage("/walks", kReferringPage);
    bool ok = pages.listening() && ShootPane(pages, folder);
#ifdef TALLOWBY_WITH_MAINWINDOW
    ok = ShootMainWindow(pages, folder) && ok;
#endif
    return ok ? 0 : 1;
}
