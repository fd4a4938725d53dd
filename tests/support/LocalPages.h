#pragma once

// Stand-ins and helpers shared by the Qt tests of the results folder.

#include <QApplication>
#include <QList>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <functional>
#include <utility>

#include "platform/MessageBoxes.h"
#include "platform/Shell.h"
#include "results/WebView.h"

namespace tallowby::testing {

class RecordingBoxes : public MessageBoxes {
public:
    void Show(const QString& text, const QString& title = QString()) override {
        shown.append(text);
        titles.append(title);
    }
    QStringList shown;
    QStringList titles;
};

// A shell whose PATH holds exactly `onPath`, and which records what it starts.
class FakeShell : public Shell {
public:
    ShellResult OpenUrl(const QString& address) override {
        opened.append(address);
        return {true, {}};
    }
    ShellResult StartDetached(const QString& program, const QStringList& arguments) override {
        started.append({program, arguments});
        return startResult;
    }
    QString FindExecutable(const QString& name) override {
        return onPath.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
    }

    QStringList onPath;
    ShellResult startResult{true, {}};
    QStringList opened;
    QList<std::pair<QString, QStringList>> started;
};

// A page display that records what it is asked and completes pages only
// when the test says so.
class ScriptedWebView : public WebView {
public:
    bool navigate(const QUrl& url) override {
        if (url.isEmpty() || !url.isValid()) {
            return false;
        }
        calls.append(QStringLiteral("navigate ") + url.toString(QUrl::FullyEncoded));
        return true;
    }
    void back() override { calls.append(QStringLiteral("back")); }
    void forward() override { calls.append(QStringLiteral("forward")); }
    void stop() override { calls.append(QStringLiteral("stop")); }
    void reload() override { calls.append(QStringLiteral("reload")); }
    QString locationName() const override { return name; }
    QString locationUrl() const override { return url; }

    void complete(const QString& pageName, const QString& pageUrl) {
        name = pageName;
        url = pageUrl;
        emit documentComplete();
    }
    void status(const QString& text) { emit statusTextChanged(text); }

    QStringList calls;
    QString name;
    QString url;
};

// A tiny HTTP server on 127.0.0.1 for the real browser: a fixed set of
// pages, one response per connection, every requested path recorded.
class LocalPages : public QObject {
public:
    LocalPages() {
        pages_.insert("/start", Page{200,
                                     {},
                                     "<html><head><title>Start</title></head>"
                                     "<body>start page</body></html>"});
        pages_.insert("/welcome",
                      Page{200,
                           {},
                           "<html><head><title>Welcome</title></head>"
                           "<body style='margin:0'><a href='/untitled' style='display:block;"
                           "height:200px'>on</a>"
                           "</body></html>"});
        pages_.insert("/untitled", Page{200, {}, "<html><body>no title here</body></html>"});
        pages_.insert("/redirect", Page{302, "/welcome", {}});
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, this, [this] { accept(); });
    }

    bool listening() const { return server_.isListening(); }
    // Serves `html` at `path` from now on.
    void addPage(const QByteArray& path, const QByteArray& html) {
        pages_.insert(path, Page{200, {}, html});
    }
    // Takes requests for `path` but never answers them.
    void addSilentPage(const QByteArray& path) { silent_.append(path); }
    // "http://127.0.0.1:<port>" followed by `path`.
    QString address(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
    }
    QString hostAndPort() const { return QStringLiteral("127.0.0.1:%1").arg(server_.serverPort()); }
    // Requested paths, without the browser's own favicon requests.
    QStringList requests;

private:
    struct Page {
        int status = 200;
        QByteArray location;
        QByteArray body;
    };

    void accept() {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket,
                             [this, socket] { serve(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void serve(QTcpSocket* socket) {
        QByteArray& buffer = buffers_[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n")) {
            return;
        }
        const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
        buffers_.remove(socket);
        const QByteArray path = requestLine.size() > 1 ? requestLine[1] : QByteArray("/");
        if (path != "/favicon.ico") {
            requests.append(QString::fromLatin1(path));
        }
        if (silent_.contains(path)) {
            return;
        }
        const auto it = pages_.constFind(path);
        const Page page = it != pages_.constEnd() ? *it : Page{404, {}, "<html>missing</html>"};
        QByteArray response = "HTTP/1.1 " + QByteArray::number(page.status) +
                              (page.status == 200   ? " OK"
                               : page.status == 302 ? " Found"
                                                    : " Not Found");
        response += "\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n";
        if (!page.location.isEmpty()) {
            response += "Location: " + page.location + "\r\n";
        }
        response += "Content-Length: " + QByteArray::number(page.body.size()) + "\r\n\r\n";
        response += page.body;
        socket->write(response);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    QHash<QByteArray, Page> pages_;
    QHash<QTcpSocket*, QByteArray> buffers_;
    QByteArrayList silent_;
};

}  // namespace tallowby::testing

// main() for these tests: offscreen unless a display is given, and the
// context sharing that Qt WebEngine wants set before the application exists.
#define TALLOWBY_RESULTS_TEST_MAIN(TestClass)                       \
    int main(int argc, char** argv) {                               \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {       \
            qputenv("QT_QPA_PLATFORM", "offscreen");                \
        }                                                           \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); \
        QApplication app(argc, argv);                               \
        TestClass test;                                             \
        return QTest::qExec(&test, argc, argv);                     \
    }
