#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <memory>

class QTcpServer;
class QTcpSocket;
class QThread;

// An HTTP server on 127.0.0.1 for the tests, the benchmarks and the demo, on a thread of its own
// so that a busy caller does not starve its streams. Unknown paths get 404; a route named like
// "*.m3u" answers every path so ending that has none of its own; queries play no part.
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
        int titleEvery = 0;                     // metadata blocks: "%1" in the title counts them
    };
    enum class Misbehaving { Hangs, SlowHeaders, RedirectsForever };   // headers one byte a second

    StreamServer();
    ~StreamServer();

    quint16 start(quint16 port = 0);   // the port, 0 on failure
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
    QString url(const QString& path) const { return QStringLiteral("http://") + host() + path; }

    void addFile(const QString& path, const QByteArray& body, const QByteArray& type = "text/plain")
    {
        add(path, {File, {.audio = body}, "200 OK\r\nContent-Type: " + type});
    }
    // status: "200 OK", or "401 Unauthorized", which asks for a password. A browser may keep the
    // page an hour, so one that uses its cache would not ask again.
    void addPage(const QString& path, const QByteArray& html, const QByteArray& status = "200 OK");
    void addStream(const QString& path, const Stream& stream) { add(path, {Live, stream}); }
    void addMisbehaving(const QString& path, Misbehaving how) { add(path, {int(how), {}}); }

    void stallStreams(double seconds);   // all open streams; what they held back comes after
    void dropStreams();

    int requests(const QString& path) const { return counters(path).requests; }
    int openConnections(const QString& path) const { return counters(path).open; }
    QStringList requests() const;   // path and query of each, in the order they came
    void clearRequests();

private:
    enum { File = 10, Live };
    struct Route {
        int kind;                   // File, Live or a Misbehaving
        Stream s;                   // a file's body is in s.audio
        QByteArray head = {};       // a file's status and headers
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
    QTcpServer* server_;        // lives on thread_, and so do its sockets
    QDeadlineTimer stalled_;    // used on thread_ only
    mutable QMutex mutex_;
    QHash<QString, Route> routes_;
    QHash<QString, Counters> counters_;
    QStringList log_;
    quint16 port_ = 0;
};
