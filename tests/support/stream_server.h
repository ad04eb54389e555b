#pragma once

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>

#include <memory>

class QTcpServer;
class QTcpSocket;
class QThread;

// An HTTP server on 127.0.0.1 for player tests and the benchmark, on a thread of its own so that
// a busy test thread does not starve its streams. Unknown paths get 404.
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

    // Links as listeners meet them: bytesPerSecond is real time.
    static Stream burst(const QByteArray& audio, double seconds)
    {
        return {.audio = audio, .burstSeconds = seconds};
    }
    static Stream stalls(const QByteArray& audio, double burst, double every, double stall)
    {
        return {.audio = audio, .burstSeconds = burst, .stallEverySeconds = every,
                .stallForSeconds = stall};
    }
    static Stream goesDown(const QByteArray& audio, double after, double seconds)
    {
        return {.audio = audio, .burstSeconds = 1, .downAfterSeconds = after,
                .downForSeconds = seconds};
    }

    StreamServer();
    ~StreamServer();

    quint16 start();                   // the port, 0 on failure
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
    QString url(const QString& path) const { return QStringLiteral("http://") + host() + path; }

    void addFile(const QString& path, const QByteArray& body, const QByteArray& type = "text/plain")
    {
        add(path, {Route::File, {.audio = body, .contentType = type}});
    }
    void addStream(const QString& path, const Stream& stream) { add(path, {Route::Live, stream}); }
    void addHang(const QString& path) { add(path, {Route::Hang, {}}); }   // never answers
    // Hostile servers: the headers of a stream one byte a second; a redirect to itself, forever.
    void addTrickle(const QString& path) { add(path, {Route::Trickle, {}}); }
    void addRedirectLoop(const QString& path) { add(path, {Route::Redirect, {}}); }
    // Down: the port refuses and open connections are cut; up again on the same port.
    void setDown(bool down);

    int requests(const QString& path) const { return counters(path).requests; }
    int openConnections(const QString& path) const { return counters(path).open; }

private:
    struct Route {
        enum { File, Hang, Live, Trickle, Redirect } kind;
        Stream s = {};   // a file's body is in s.audio
        bool wentDown = false;
    };
    struct Counters {
        int requests = 0;
        int open = 0;
    };
    void answer(QTcpSocket* socket, const QByteArray& request);
    void stream(QTcpSocket* socket, const QString& path, const Stream& s, bool icy);
    void goDown(double seconds);   // on the server's thread
    void add(const QString& path, const Route& route);
    Counters counters(const QString& path) const;

    std::unique_ptr<QThread> thread_;
    QTcpServer* server_;   // lives on thread_, and so do its sockets
    mutable QMutex mutex_;
    QHash<QString, Route> routes_;
    QHash<QString, Counters> counters_;
    quint16 port_ = 0;
};
