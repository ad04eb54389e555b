#include "stream_server.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <utility>

namespace {
constexpr int IcyInterval = 8192;
constexpr qint64 MaxQueuedBytes = 256 * 1024;
const QByteArray Head = "HTTP/1.0 200 OK\r\nCache-Control: no-cache\r\nicy-name: Tolva test\r\n";

template <class F>
void runOn(QObject* object, F f)
{
    QMetaObject::invokeMethod(object, f, Qt::BlockingQueuedConnection);
}
} // namespace

StreamServer::StreamServer() : thread_(std::make_unique<QThread>()), server_(new QTcpServer)
{
    server_->moveToThread(thread_.get());
    QObject::connect(server_, &QTcpServer::newConnection, server_, [this] {
        while (QTcpSocket* socket = server_->nextPendingConnection()) {
            auto request = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                const bool complete = request->contains("\r\n\r\n");
                *request += socket->readAll();
                if (!complete && request->contains("\r\n\r\n"))
                    answer(socket, *request);
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    thread_->start();
}

StreamServer::~StreamServer()
{
    runOn(server_, [this] { delete server_; });
    thread_->quit();
    thread_->wait();
}

quint16 StreamServer::start(quint16 port)
{
    runOn(server_, [this, port] {
        port_ = server_->listen(QHostAddress::LocalHost, port) ? server_->serverPort() : 0;
    });
    return port_;
}

void StreamServer::answer(QTcpSocket* socket, const QByteArray& request)
{
    const QByteArray target = request.split(' ').value(1);
    const QString path = QString::fromLatin1(target.split('?').first());
    mutex_.lock();
    const Route route = routes_.value(path, routes_.value(u'*' + path.mid(path.lastIndexOf(u'.')),
                                                          {File, {.audio = "not found"}, "404 Not Found"}));
    log_.append(QString::fromLatin1(target));
    const int nth = ++counters_[path].requests;
    ++counters_[path].open;
    mutex_.unlock();
    QObject::connect(socket, &QObject::destroyed, server_, [this, path] {
        const QMutexLocker lock(&mutex_);
        --counters_[path].open;
    });
    if (route.kind == File) {
        socket->write("HTTP/1.1 " + route.head + "\r\nContent-Length: " + QByteArray::number(route.s.audio.size())
                      + "\r\nConnection: close\r\n\r\n" + route.s.audio);
        socket->disconnectFromHost();
    } else if (route.kind == Live) {
        stream(socket, path, route.s,
               request.toLower().contains("icy-metadata: 1") && !route.s.icyTitle.isEmpty());
    } else if (route.kind == int(Misbehaving::RedirectsForever)) {   // to a new address each time
        socket->write("HTTP/1.1 302 Found\r\nLocation: " + path.toLatin1() + "?" + QByteArray::number(nth)
                      + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
    } else if (route.kind == int(Misbehaving::SlowHeaders)) {
        auto* timer = new QTimer(socket);
        QObject::connect(timer, &QTimer::timeout, socket, [socket, sent = 0]() mutable {
            socket->write(Head.mid(sent++, 1));
        });
        timer->start(1000);
    }
}

void StreamServer::stream(QTcpSocket* socket, const QString& path, const Stream& s, bool icy)
{
    socket->write(Head + "Content-Type: " + s.contentType + "\r\n"
                  + (icy ? "icy-metaint: " + QByteArray::number(IcyInterval) + "\r\n" : "") + "\r\n");
    struct Progress {
        QElapsedTimer clock;
        qint64 sent = 0, position = 0;   // audio bytes; into the loop
    };
    auto p = std::make_shared<Progress>();
    p->clock.start();
    auto tick = [this, socket, path, s, icy, p] {
        const double t = p->clock.elapsed() / 1000.0;
        if (s.downAfterSeconds > 0 && t >= s.downAfterSeconds) {
            const QMutexLocker lock(&mutex_);
            if (!std::exchange(routes_[path].wentDown, true)) {
                server_->close();
                for (QTcpSocket* open : server_->findChildren<QTcpSocket*>())
                    open->abort();   // this one too
                QTimer::singleShot(int(s.downForSeconds * 1000), server_,
                                   [this] { server_->listen(QHostAddress::LocalHost, port_); });
                return;
            }
        }
        if (s.closeAfterSeconds > 0 && t >= s.closeAfterSeconds)
            return socket->disconnectFromHost();
        if ((s.stallEverySeconds > 0 && std::fmod(t, s.stallEverySeconds) >= s.stallEverySeconds - s.stallForSeconds)
            || !stalled_.hasExpired() || socket->state() != QAbstractSocket::ConnectedState
            || socket->bytesToWrite() > MaxQueuedBytes)
            return;
        QByteArray out;
        for (qint64 n = std::min<qint64>(qint64((s.burstSeconds + t) * s.bytesPerSecond) - p->sent, MaxQueuedBytes);
             n > 0;) {
            qint64 chunk = std::min<qint64>(n, s.audio.size() - p->position);
            if (icy)
                chunk = std::min<qint64>(chunk, IcyInterval - p->sent % IcyInterval);
            out += s.audio.mid(p->position, chunk);
            p->position = (p->position + chunk) % s.audio.size();
            p->sent += chunk;
            n -= chunk;
            if (icy && p->sent % IcyInterval == 0) {
                const QByteArray count = QByteArray::number(p->sent / IcyInterval / std::max(s.titleEvery, 1));
                QByteArray text = "StreamTitle='" + QByteArray(s.icyTitle).replace("%1", count) + "';";
                text.resize((text.size() + 15) / 16 * 16, '\0');
                out += char(text.size() / 16) + text;
            }
        }
        socket->write(out);
    };
    socket->setObjectName(QStringLiteral("stream"));   // for dropStreams()
    auto* timer = new QTimer(socket);
    QObject::connect(timer, &QTimer::timeout, socket, tick);
    tick();
    timer->start(10);
}

void StreamServer::addPage(const QString& path, const QByteArray& html, const QByteArray& status)
{
    const QByteArray password = status.startsWith("401") ? "\r\nWWW-Authenticate: Basic realm=\"ads\"" : "";
    add(path, {File, {.audio = html},
               status + "\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: public, max-age=3600"
                   + password});
}

void StreamServer::stallStreams(double seconds)
{
    runOn(server_, [this, seconds] { stalled_.setRemainingTime(qint64(seconds * 1000)); });
}

void StreamServer::dropStreams()
{
    runOn(server_, [this] {
        for (QTcpSocket* open : server_->findChildren<QTcpSocket*>(QStringLiteral("stream")))
            open->abort();
    });
}

void StreamServer::add(const QString& path, const Route& route)
{
    const QMutexLocker lock(&mutex_);
    routes_.insert(path, route);
}

StreamServer::Counters StreamServer::counters(const QString& path) const
{
    const QMutexLocker lock(&mutex_);
    return counters_.value(path);
}

QStringList StreamServer::requests() const
{
    const QMutexLocker lock(&mutex_);
    return log_;
}

void StreamServer::clearRequests()
{
    const QMutexLocker lock(&mutex_);
    log_.clear();
}
