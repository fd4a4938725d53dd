#pragma once

// A page server on 127.0.0.1 for the real browser, so tests and the
// screenshot programs never reach the internet.

#include <QList>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

namespace tallowby::testing {

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
