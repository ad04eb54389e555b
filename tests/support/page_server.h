#pragma once

#include <QHash>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <utility>

// A small HTTP/1.1 server on 127.0.0.1 for tests that drive a real browser:
// answers GET with pages put in memory, 404 otherwise, and records the path
// (with the query) of every request in the order they arrived. Pages may be
// cached for an hour, so a browser that uses its cache would not ask again.
class PageServer {
public:
    PageServer()
    {
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    bool start() { return server_.listen(QHostAddress::LocalHost, 0); }  // at a free port
    QUrl url(const QString& path) const  // path starts with '/'
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
    }
    // status: "200 OK", or "401 Unauthorized", which asks for a password.
    void addPage(const QString& path, const QByteArray& html, const QByteArray& status = "200 OK")
    {
        pages_.insert(path, {status, html});
    }

    QStringList requests() const { return requests_; }
    void clearRequests() { requests_.clear(); }

private:
    void answer(QTcpSocket* socket)
    {
        if (!socket->peek(1 << 16).contains("\r\n\r\n"))
            return;  // the headers are not all there yet
        const QList<QByteArray> line = socket->readAll().split('\r').first().split(' ');
        requests_.append(QString::fromLatin1(line.value(1)));
        const auto page = pages_.constFind(requests_.last().section(u'?', 0, 0));
        const bool found = line.value(0) == "GET" && page != pages_.constEnd();
        QByteArray head = found ? "HTTP/1.1 " + page->first
                                      + "\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: public, max-age=3600\r\n"
                                : QByteArray("HTTP/1.1 404 Not Found\r\n");
        if (found && page->first.startsWith("401"))
            head += "WWW-Authenticate: Basic realm=\"ads\"\r\n";
        const QByteArray body = found ? page->second : QByteArray();
        socket->write(head + "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    QHash<QString, std::pair<QByteArray, QByteArray>> pages_;  // status, body
    QStringList requests_;
};
