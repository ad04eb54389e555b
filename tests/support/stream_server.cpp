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

template <class F>
void runOn(QObject* object, F f)
{
    QMetaObject::invokeMethod(object, f, Qt::BlockingQueuedConnection);
}

QByteArray icyBlock(const QByteArray& title)
{
    QByteArray text = "StreamTitle='" + title + "';";
    const int units = int((text.size() + 15) / 16);
    text.resize(units * 16, '\0');
    return char(units) + text;
}

} // namespace

StreamServer::StreamServer() : thread_(std::make_unique<QThread>()), server_(new QTcpServer)
{
    server_->moveToThread(thread_.get());
    QObject::connect(server_, &QTcpServer::newConnection, server_, [this] {
        while (QTcpSocket* socket = server_->nextPendingConnection()) {
            auto request = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                if (request->contains("\r\n\r\n")) {
                    socket->readAll();
                    return;
                }
                *request += socket->readAll();
                if (request->contains("\r\n\r\n"))
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

quint16 StreamServer::start()
{
    runOn(server_, [this] {
        port_ = server_->listen(QHostAddress::LocalHost) ? server_->serverPort() : 0;
    });
    return port_;
}

void StreamServer::setDown(bool down)
{
    runOn(server_, [this, down] {
        if (down)
            goDown(0);
        else if (!server_->isListening())
            server_->listen(QHostAddress::LocalHost, port_);
    });
}

void StreamServer::goDown(double seconds)
{
    server_->close();
    for (QTcpSocket* s : server_->findChildren<QTcpSocket*>())
        s->abort();
    if (seconds > 0)
        QTimer::singleShot(int(seconds * 1000), server_, [this] {
            server_->listen(QHostAddress::LocalHost, port_);
        });
}

void StreamServer::answer(QTcpSocket* socket, const QByteArray& request)
{
    QString path = QString::fromLatin1(request.left(request.indexOf("\r\n")).split(' ').value(1));
    path = path.left(path.indexOf(QLatin1Char('?')));   // routes ignore the query
    mutex_.lock();
    const bool found = routes_.contains(path);
    const Route route = routes_.value(path, Route{Route::File, {.audio = "not found"}});
    ++counters_[path].requests;
    ++counters_[path].open;
    mutex_.unlock();
    QObject::connect(socket, &QObject::destroyed, server_, [this, path] {
        const QMutexLocker lock(&mutex_);
        --counters_[path].open;
    });
    if (route.kind == Route::Live) {
        const bool icy = request.toLower().contains("icy-metadata: 1") && !route.s.icyTitle.isEmpty();
        stream(socket, path, route.s, icy);
    } else if (route.kind == Route::Trickle) {
        auto rest = std::make_shared<QByteArray>("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n"
                                                 "icy-name: slow\r\n\r\n");
        auto* timer = new QTimer(socket);
        QObject::connect(timer, &QTimer::timeout, socket, [socket, rest] {
            socket->write(rest->left(1));
            rest->remove(0, 1);
        });
        timer->start(1000);
    } else if (route.kind == Route::Redirect) {
        const QByteArray query = request.left(request.indexOf("\r\n")).split(' ').value(1);
        const int hop = query.mid(query.indexOf("?hop=") + 5).toInt();
        socket->write("HTTP/1.1 302 Found\r\nLocation: " + path.toLatin1() + "?hop="
                      + QByteArray::number(query.contains("?hop=") ? hop + 1 : 1)
                      + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
    } else if (route.kind == Route::File) {
        socket->write(QByteArray(found ? "HTTP/1.1 200 OK" : "HTTP/1.1 404 Not Found")
                      + "\r\nContent-Type: " + (found ? route.s.contentType : "text/plain")
                      + "\r\nContent-Length: " + QByteArray::number(route.s.audio.size())
                      + "\r\nConnection: close\r\n\r\n" + route.s.audio);
        socket->disconnectFromHost();
    }
}

void StreamServer::stream(QTcpSocket* socket, const QString& path, const Stream& s, bool icy)
{
    QByteArray head = "HTTP/1.0 200 OK\r\nContent-Type: " + s.contentType
        + "\r\nCache-Control: no-cache\r\nicy-name: Tolva test\r\n";
    if (icy)
        head += "icy-metaint: " + QByteArray::number(IcyInterval) + "\r\n";
    socket->write(head + "\r\n");
    struct Progress {
        QElapsedTimer clock;
        qint64 sentAudio = 0;
        qint64 position = 0;    // into the looped audio
        qint64 sinceMeta = 0;
    };
    auto p = std::make_shared<Progress>();
    p->clock.start();
    auto tick = [this, socket, path, s, icy, p] {
        if (socket->state() != QAbstractSocket::ConnectedState)
            return;
        const double t = p->clock.elapsed() / 1000.0;
        if (s.downAfterSeconds > 0 && t >= s.downAfterSeconds) {
            mutex_.lock();
            const bool once = !std::exchange(routes_[path].wentDown, true);
            mutex_.unlock();
            if (once) {
                goDown(s.downForSeconds);   // aborts this socket too
                return;
            }
        }
        if (s.closeAfterSeconds > 0 && t >= s.closeAfterSeconds) {
            socket->disconnectFromHost();
            return;
        }
        if (s.stallEverySeconds > 0
            && std::fmod(t, s.stallEverySeconds) >= s.stallEverySeconds - s.stallForSeconds)
            return;
        if (socket->bytesToWrite() > MaxQueuedBytes)
            return;
        const qint64 due = qint64((s.burstSeconds + t) * s.bytesPerSecond);
        QByteArray out;
        for (qint64 n = std::min<qint64>(due - p->sentAudio, MaxQueuedBytes); n > 0;) {
            qint64 chunk = std::min<qint64>(n, s.audio.size() - p->position);
            if (icy)
                chunk = std::min<qint64>(chunk, IcyInterval - p->sinceMeta);
            out += s.audio.mid(p->position, chunk);
            p->position = (p->position + chunk) % s.audio.size();
            p->sentAudio += chunk;
            n -= chunk;
            if (icy && (p->sinceMeta += chunk) == IcyInterval) {
                out += icyBlock(s.icyTitle);
                p->sinceMeta = 0;
            }
        }
        socket->write(out);
    };
    auto* timer = new QTimer(socket);
    QObject::connect(timer, &QTimer::timeout, socket, tick);
    tick();
    timer->start(10);
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
