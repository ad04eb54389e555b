#include "page_server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QMimeDatabase>
#include <QTcpSocket>

namespace {
// Enough for any request line and headers a browser sends to a test page.
constexpr qsizetype MaxHeaderBytes = 64 * 1024;

QByteArray statusLine(int code)
{
    switch (code) {
    case 200: return "HTTP/1.1 200 OK\r\n";
    case 400: return "HTTP/1.1 400 Bad Request\r\n";
    case 404: return "HTTP/1.1 404 Not Found\r\n";
    default: return "HTTP/1.1 405 Method Not Allowed\r\n";
    }
}
}  // namespace

PageServer::PageServer(QObject* parent)
    : QObject(parent)
{
    connect(&server_, &QTcpServer::newConnection, this, &PageServer::onNewConnection);
}

bool PageServer::start()
{
    return server_.listen(QHostAddress::LocalHost, 0);
}

quint16 PageServer::port() const
{
    return server_.serverPort();
}

QUrl PageServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path));
}

void PageServer::addPage(const QString& path, const QByteArray& body, const QByteArray& contentType)
{
    bodies_.insert(path, body);
    types_.insert(path, contentType);
}

void PageServer::setFolder(const QString& folder)
{
    folder_ = folder;
}

void PageServer::setCacheSeconds(int seconds)
{
    cacheSeconds_ = seconds;
}

QStringList PageServer::requests() const
{
    return requests_;
}

int PageServer::countOf(const QString& path) const
{
    return int(requests_.count(path));
}

void PageServer::clearRequests()
{
    requests_.clear();
}

void PageServer::onNewConnection()
{
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            pending_.remove(socket);
            socket->deleteLater();
        });
    }
}

void PageServer::onReadyRead(QTcpSocket* socket)
{
    QByteArray& buffer = pending_[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        if (buffer.size() > MaxHeaderBytes) {
            socket->write(statusLine(400) + "Content-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
        }
        return;
    }
    const QByteArray head = buffer.left(end);
    pending_.remove(socket);
    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    if (requestLine.size() != 3 || !requestLine[1].startsWith('/')) {
        socket->write(statusLine(400) + "Content-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    const QString path = QString::fromLatin1(requestLine[1]);
    requests_.append(path);
    answer(socket, requestLine[0], path);
    Q_EMIT requested(path);
}

void PageServer::answer(QTcpSocket* socket, const QByteArray& method, const QString& path)
{
    QByteArray body;
    QByteArray type;
    int code = 200;
    if (method != "GET" && method != "HEAD")
        code = 405;
    else if (!lookup(path, &body, &type))
        code = 404;
    if (code != 200)
        body.clear();

    QByteArray reply = statusLine(code);
    if (code == 200) {
        reply += "Content-Type: " + type + "\r\n";
        reply += cacheSeconds_ > 0 ? "Cache-Control: public, max-age=" + QByteArray::number(cacheSeconds_) + "\r\n"
                                   : QByteArray("Cache-Control: no-store\r\n");
    }
    reply += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    reply += "Connection: close\r\n\r\n";
    if (method != "HEAD")
        reply += body;
    socket->write(reply);
    socket->disconnectFromHost();
}

bool PageServer::lookup(const QString& path, QByteArray* body, QByteArray* contentType) const
{
    const QString plain = path.section('?', 0, 0);
    if (const auto it = bodies_.constFind(plain); it != bodies_.constEnd()) {
        *body = *it;
        *contentType = types_.value(plain);
        return true;
    }
    if (folder_.isEmpty())
        return false;
    const QString decoded = QUrl::fromPercentEncoding(plain.toUtf8());
    const QString clean = QDir::cleanPath(decoded);
    // Nothing outside the folder is served.
    if (!clean.startsWith('/') || clean.contains(QStringLiteral("/../")) || clean.endsWith(QStringLiteral("/..")))
        return false;
    const QFileInfo info(QDir(folder_).filePath(clean.mid(1)));
    if (!info.isFile())
        return false;
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *body = file.readAll();
    *contentType = QMimeDatabase().mimeTypeForFile(info).name().toLatin1();
    return true;
}
