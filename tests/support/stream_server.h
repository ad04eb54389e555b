#pragma once

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>

#include <memory>

class QTcpServer;
class QTcpSocket;
class QThread;

// An HTTP server on 127.0.0.1 for the player tests and the benchmark, on a thread of its own so
// that a busy test thread does not starve its streams. Unknown paths get 404; queries are ignored.
class StreamServer {
public:
    struct Stream {
        QByteArray audio = {};                  // looped endlessly, in real time
        QByteArray contentType = "audio/mpeg";
        int bytesPerSecond = 16000;
        double burstSeconds = 0;                // sent at once on connect
        double stallEverySeconds = 0;           // 0: never stalls
        double stallForSeconds = 0;             // what a stall held back is sent right after it
        double closeAfterSeconds = 0;           // 0: endless
        double downAfterSeconds = 0;            // the whole server goes down this long into the
        double downForSeconds = 0;              // first connection, for this long, once
        QByteArray icyTitle = {};               // StreamTitle, when the client asks for metadata
    };
    enum class Misbehaving { Hangs, SlowHeaders, RedirectsForever };   // headers one byte a second

    StreamServer();
    ~StreamServer();

    quint16 start();   // the port, 0 on failure
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
    QString url(const QString& path) const { return QStringLiteral("http://") + host() + path; }

    void addFile(const QString& path, const QByteArray& body, const QByteArray& type = "text/plain")
    {
        add(path, {File, {.audio = body, .contentType = type}});
    }
    void addStream(const QString& path, const Stream& stream) { add(path, {Live, stream}); }
    void addMisbehaving(const QString& path, Misbehaving how) { add(path, {int(how), {}}); }

    int requests(const QString& path) const { return counters(path).requests; }
    int openConnections(const QString& path) const { return counters(path).open; }

private:
    enum { File = 10, Live };
    struct Route {
        int kind;   // File, Live or a Misbehaving
        Stream s;   // a file's body is in s.audio
        bool wentDown = false;
    };
    struct Counters {
        int requests = 0;
        int open = 0;
    };
    void answer(QTcpSocket* socket, const QByteArray& request);
    void stream(QTcpSocket* socket, const QString& path, const Stream& s, bool icy);
    void add(const QString& path, const Route& route);
    Counters counters(const QString& path) const;

    std::unique_ptr<QThread> thread_;
    QTcpServer* server_;   // lives on thread_, and so do its sockets
    mutable QMutex mutex_;
    QHash<QString, Route> routes_;
    QHash<QString, Counters> counters_;
    quint16 port_ = 0;
};
