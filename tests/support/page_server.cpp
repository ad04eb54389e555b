#include "page_server.h"

#include <QTcpSocket>

PageServer::PageServer(QObject* parent)
    : QObject(parent)
{
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                pending_.remove(socket);
                socket->deleteLater();
            });
        }
    });
}

bool PageServer::start()
{
    return server_.listen(QHostAddress::LocalHost, 0);
}

QUrl PageServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
}

void PageServer::addPage(const QString& path, const QByteArray& html, const QByteArray& status)
{
    pages_.insert(path, html);
    statuses_.insert(path, status);
}

void PageServer::onReadyRead(QTcpSocket* socket)
{
    QByteArray& buffer = pending_[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;  // the headers are not all there yet
    const QList<QByteArray> request = buffer.left(buffer.indexOf("\r\n")).split(' ');
    pending_.remove(socket);
    QByteArray reply = "HTTP/1.1 400 Bad Request\r\n";
    QByteArray body;
    if (request.size() == 3 && request[1].startsWith('/')) {
        const QString path = QString::fromLatin1(request[1]);
        requests_.append(path);
        const auto page = pages_.constFind(path.section('?', 0, 0));
        if (request[0] != "GET" || page == pages_.constEnd()) {
            reply = "HTTP/1.1 404 Not Found\r\n";
        } else {
            body = *page;
            const QByteArray status = statuses_.value(path.section('?', 0, 0));
            reply = "HTTP/1.1 " + status + "\r\nContent-Type: text/html; charset=utf-8\r\n"
                    "Cache-Control: public, max-age=3600\r\n";
            if (status.startsWith("401"))
                reply += "WWW-Authenticate: Basic realm=\"ads\"\r\n";
        }
    }
    socket->write(reply + "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n"
                  + body);
    socket->disconnectFromHost();
}
