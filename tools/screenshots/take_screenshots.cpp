// Takes the main window's pictures for the documentation: the chooser view,
// the results view after scanning a log, the sites view and the chart of the
// referring sites. Runs the real window with the
// real browser; the product website is answered by a small page served on
// 127.0.0.1 (the browser's proxy), so the pictures need no network.
//
//   tallowby_screenshots <log folder> <output folder>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QNetworkProxy>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

#include "WindowFakes.h"
#include "identity/ProductIdentity.h"
#include "identity/WebsiteLauncher.h"
#include "mainwindow/ChartWindow.h"
#include "mainwindow/Form1.h"
#include "mainwindow/SitesPanel.h"
#include "platform/SettingsBackend.h"
#include "platform/Shell.h"
#include "results/ResultsList.h"
#include "settings/SettingsStore.h"

namespace {

QByteArray WebsitePage(const tallowby::ProductIdentity& identity) {
    const QByteArray name = identity.productName.toUtf8();
    return "<!doctype html><html><head><meta charset='utf-8'><title>" + name +
           "</title><style>body{font-family:sans-serif;margin:0;color:#1d2b44}"
           "header{background:#17335c;color:white;padding:28px 32px}"
           "h1{margin:0;font-size:30px}p{line-height:1.5}main{padding:8px 32px}"
           "</style></head><body><header><h1>" +
           name +
           "</h1><div>Who links to your site?</div></header><main>"
           "<p>" +
           name +
           " reads your web server's access logs and lists every page that "
           "sent you a visitor, with how often it did.</p>"
           "<p>Pick the log files on the left, press <b>Scan</b>, and open any referrer "
           "right here in the browser pane.</p></main></body></html>";
}

void Grab(QWidget& window, const QString& path) {
    window.repaint();
    QScreen* screen = window.screen();
    const QPixmap shot = screen->grabWindow(0).copy(window.frameGeometry());
    if (!shot.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <log folder> <output folder>\n", argv[0]);
        return 2;
    }
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    tallowby::InitProductIdentity();
    const tallowby::ProductIdentity& identity = tallowby::TheProductIdentity();
    const QString logs = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString out = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();

    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost)) {
        return 1;
    }
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, &identity] {
                if (!socket->readAll().contains("\r\n\r\n")) {
                    return;
                }
                const QByteArray body = WebsitePage(identity);
                socket->write(
                    "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                    "Connection: close\r\nContent-Length: " +
                    QByteArray::number(body.size()) + "\r\n\r\n" + body);
                socket->disconnectFromHost();
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    // The browser reaches every address through the little server, which
    // answers with the website's page.
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), server.serverPort()));

    tallowby::QtSettingsBackend settings;
    const QString app_name = identity.productName;
    tallowby::SettingsStore store(settings);
    store.SaveSetting(app_name, tallowby::kSectionData, tallowby::kKeyYourWebsite,
                      QStringLiteral("mysite.example"));
    store.SaveSetting(app_name, tallowby::kSectionData, tallowby::kKeyDisplayStats,
                      QStringLiteral("0"));
    store.SaveSetting(app_name, tallowby::kSectionData, tallowby::kKeyPath, logs);
    store.SaveSetting(app_name, tallowby::kSectionSettings, tallowby::kKeyShowHelp,
                      QStringLiteral("0"));

    tallowby::testing::RecordingMessageBoxes boxes;
    tallowby::QtShell shell;
    tallowby::WebsiteLauncher launcher(shell);
    tallowby::Form1 form({{boxes, shell, settings}, launcher, [] { QCoreApplication::quit(); }});
    form.setGeometry(form.screen()->availableGeometry());
    form.showMaximized();

    QTimer::singleShot(5000, &form, [&] {
        Grab(form, out + QStringLiteral("/main-window-chooser.png"));
        form.chooser().cmdSelAll_Click();
        form.cmdGo()->click();
        form.lstResults()->EnhListView_SortColumns(2);  // most clicks first
        form.lstResults()->setCurrentIndex(form.lstResults()->model()->index(0, 0));
        form.cmdExpnd()->click();  // wide panes: whole addresses show
        QTimer::singleShot(1500, &form, [&] {
            Grab(form, out + QStringLiteral("/main-window-results.png"));
            form.sitesPanel().mnuActionSites()->trigger();
            QTimer::singleShot(1500, &form, [&] {
                Grab(form, out + QStringLiteral("/main-window-sites.png"));
                form.sitesPanel().mnuActionChart()->trigger();
                tallowby::ChartWindow* chart = form.sitesPanel().chartWindow();
                chart->resize(760, 600);
                chart->SaveAsPng(out + QStringLiteral("/referring-sites-chart.png"));
                QCoreApplication::quit();
            });
        });
    });
    return QApplication::exec();
}
