#include "stream_server.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <cmath>

namespace {

constexpr int IcyInterval = 8192;
constexpr qint64 MaxQueuedBytes = 256 * 1024;

struct Route {
    enum class Kind { File, Redirect, Status, Stream, Hang } kind = Kind::File;
    QByteArray body;
    QByteArray contentType;
    QString target;
    int status = 200;
    StreamServer::Stream stream;
};

struct Counters {
    int requests = 0;
    int open = 0;
    qint64 sent = 0;
};

QByteArray icyBlock(const QByteArray& title)
{
    QByteArray text = "StreamTitle='" + title + "';";
    const int units = int((text.size() + 15) / 16);
    text.resize(units * 16, '\0');
    return char(units) + text;
}

} // namespace

class StreamServerWorker : public QObject {
public:
    quint16 listen(quint16 port)
    {
        if (!server_) {
            server_ = new QTcpServer(this);
            connect(server_, &QTcpServer::newConnection, this, &StreamServerWorker::onConnection);
        }
        if (!server_->listen(QHostAddress::LocalHost, port))
            return 0;
        return server_->serverPort();
    }

    void setDown(bool down, quint16 port)
    {
        if (down) {
            server_->close();
            const auto sockets = findChildren<QTcpSocket*>();
            for (QTcpSocket* s : sockets)
                s->abort();
        } else if (!server_->isListening()) {
            server_->listen(QHostAddress::LocalHost, port);
        }
    }

    void addRoute(const QString& path, const Route& route)
    {
        const QMutexLocker lock(&mutex_);
        routes_.insert(path, route);
    }

    Counters counters(const QString& path) const
    {
        const QMutexLocker lock(&mutex_);
        return counters_.value(path);
    }

private:
    void onConnection()
    {
        while (QTcpSocket* socket = server_->nextPendingConnection()) {
            socket->setParent(this);
            auto request = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                if (request->endsWith("\r\n\r\n") || request->contains("\r\n\r\n")) {
                    socket->readAll();
                    return;
                }
                *request += socket->readAll();
                if (request->contains("\r\n\r\n"))
                    answer(socket, *request);
            });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void answer(QTcpSocket* socket, const QByteArray& request)
    {
        const QList<QByteArray> first = request.left(request.indexOf("\r\n")).split(' ');
        QString path = first.size() > 1 ? QString::fromLatin1(first.at(1)) : QString();
        path = path.left(path.indexOf(QLatin1Char('?')));   // routes ignore the query
        const bool wantsIcy = request.toLower().contains("icy-metadata: 1");
        Route route;
        bool found = false;
        {
            const QMutexLocker lock(&mutex_);
            found = routes_.contains(path);
            if (found)
                route = routes_.value(path);
            Counters& c = counters_[path];
            ++c.requests;
            ++c.open;
        }
        connect(socket, &QObject::destroyed, this, [this, path] {
            const QMutexLocker lock(&mutex_);
            --counters_[path].open;
        });
        if (!found) {
            reply(socket, 404, "text/plain", "not found", {});
            return;
        }
        switch (route.kind) {
        case Route::Kind::File:
            reply(socket, 200, route.contentType, route.body, {});
            break;
        case Route::Kind::Redirect:
            reply(socket, 302, "text/plain", {}, "Location: " + route.target.toUtf8() + "\r\n");
            break;
        case Route::Kind::Status:
            reply(socket, route.status, "text/plain", "status", {});
            break;
        case Route::Kind::Hang:
            break;
        case Route::Kind::Stream:
            stream(socket, path, route.stream, wantsIcy && !route.stream.icyTitle.isEmpty());
            break;
        }
    }

    void reply(QTcpSocket* socket, int status, const QByteArray& type, const QByteArray& body,
               const QByteArray& extra)
    {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: " + type
            + "\r\nContent-Length: " + QByteArray::number(body.size())
            + "\r\nConnection: close\r\n" + extra + "\r\n";
        socket->write(head + body);
        socket->disconnectFromHost();
    }

    void stream(QTcpSocket* socket, const QString& path, const StreamServer::Stream& s, bool icy)
    {
        QByteArray head = "HTTP/1.0 200 OK\r\nContent-Type: " + s.contentType
            + "\r\nCache-Control: no-cache\r\nicy-name: Tolva test\r\n";
        if (icy)
            head += "icy-metaint: " + QByteArray::number(IcyInterval) + "\r\n";
        socket->write(head + "\r\n");
        if (s.audio.isEmpty()) {
            socket->disconnectFromHost();
            return;
        }
        struct Progress {
            QElapsedTimer clock;
            qint64 sentAudio = 0;
            qint64 position = 0;    // into the looped audio
            qint64 sinceMeta = 0;
        };
        auto progress = std::make_shared<Progress>();
        progress->clock.start();
        auto* timer = new QTimer(socket);
        timer->setInterval(10);
        const QPointer<QTcpSocket> guard(socket);
        auto tick = [this, guard, path, s, icy, progress] {
            QTcpSocket* socket = guard.data();
            if (!socket || socket->state() != QAbstractSocket::ConnectedState)
                return;
            const double t = progress->clock.elapsed() / 1000.0;
            if (s.closeAfterSeconds > 0 && t >= s.closeAfterSeconds) {
                socket->disconnectFromHost();
                return;
            }
            if (s.stallEverySeconds > 0) {
                const double phase = std::fmod(t, s.stallEverySeconds);
                if (phase >= s.stallEverySeconds - s.stallForSeconds)
                    return;
            }
            if (socket->bytesToWrite() > MaxQueuedBytes)
                return;
            const qint64 due = qint64((s.burstSeconds + t) * s.bytesPerSecond);
            qint64 n = std::min<qint64>(due - progress->sentAudio, MaxQueuedBytes);
            QByteArray out;
            while (n > 0) {
                qint64 chunk = std::min<qint64>(n, s.audio.size() - progress->position);
                if (icy)
                    chunk = std::min<qint64>(chunk, IcyInterval - progress->sinceMeta);
                out += s.audio.mid(progress->position, chunk);
                progress->position = (progress->position + chunk) % s.audio.size();
                progress->sentAudio += chunk;
                n -= chunk;
                if (icy) {
                    progress->sinceMeta += chunk;
                    if (progress->sinceMeta == IcyInterval) {
                        out += icyBlock(s.icyTitle);
                        progress->sinceMeta = 0;
                    }
                }
            }
            if (!out.isEmpty()) {
                socket->write(out);
                const QMutexLocker lock(&mutex_);
                counters_[path].sent += out.size();
            }
        };
        connect(timer, &QTimer::timeout, socket, tick);
        tick();
        timer->start();
    }

    QTcpServer* server_ = nullptr;
    mutable QMutex mutex_;
    QHash<QString, Route> routes_;
    QHash<QString, Counters> counters_;
};

StreamServer::StreamServer() : thread_(std::make_unique<QThread>())
{
    thread_->start();
    worker_ = new StreamServerWorker;
    worker_->moveToThread(thread_.get());
}

StreamServer::~StreamServer()
{
    QMetaObject::invokeMethod(worker_, [w = worker_] { delete w; }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
}

quint16 StreamServer::start(quint16 port)
{
    quint16 result = 0;
    QMetaObject::invokeMethod(worker_, [&] { result = worker_->listen(port); },
                              Qt::BlockingQueuedConnection);
    port_ = result;
    return result;
}

QString StreamServer::host() const
{
    return QStringLiteral("127.0.0.1:%1").arg(port_);
}

QString StreamServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path);
}

void StreamServer::addFile(const QString& path, const QByteArray& body, const QByteArray& contentType)
{
    Route r;
    r.kind = Route::Kind::File;
    r.body = body;
    r.contentType = contentType;
    worker_->addRoute(path, r);
}

void StreamServer::addRedirect(const QString& path, const QString& target)
{
    Route r;
    r.kind = Route::Kind::Redirect;
    r.target = target;
    worker_->addRoute(path, r);
}

void StreamServer::addStatus(const QString& path, int status)
{
    Route r;
    r.kind = Route::Kind::Status;
    r.status = status;
    worker_->addRoute(path, r);
}

void StreamServer::addStream(const QString& path, const Stream& stream)
{
    Route r;
    r.kind = Route::Kind::Stream;
    r.stream = stream;
    worker_->addRoute(path, r);
}

void StreamServer::addHang(const QString& path)
{
    Route r;
    r.kind = Route::Kind::Hang;
    worker_->addRoute(path, r);
}

void StreamServer::setDown(bool down)
{
    QMetaObject::invokeMethod(worker_, [this, down] { worker_->setDown(down, port_); },
                              Qt::BlockingQueuedConnection);
}

int StreamServer::requests(const QString& path) const
{
    return worker_->counters(path).requests;
}

int StreamServer::openConnections(const QString& path) const
{
    return worker_->counters(path).open;
}

qint64 StreamServer::bytesSent(const QString& path) const
{
    return worker_->counters(path).sent;
}
