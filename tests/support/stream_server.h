#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>

class QThread;
class StreamServerWorker;

// A small HTTP server on 127.0.0.1 for player tests and the benchmark. It runs on a thread of
// its own, so a busy or blocked test thread does not starve the streams it sends.
// Streams loop their audio in real time, optionally after a burst, stalling, with ICY titles.
class StreamServer {
public:
    struct Stream {
        QByteArray audio;                       // looped endlessly
        QByteArray contentType = "audio/mpeg";
        int bytesPerSecond = 16000;             // 128 kbit/s
        double burstSeconds = 0;                // sent at once on connect
        double stallEverySeconds = 0;           // 0: never stalls
        double stallForSeconds = 0;             // what a stall held back is sent right after it
        double closeAfterSeconds = 0;           // 0: endless
        QByteArray icyTitle;                    // sent as StreamTitle when the client asks for it
    };

    StreamServer();
    ~StreamServer();
    StreamServer(const StreamServer&) = delete;
    StreamServer& operator=(const StreamServer&) = delete;

    quint16 start(quint16 port = 0);   // returns the port, 0 on failure
    quint16 port() const { return port_; }
    QString url(const QString& path) const;
    QString host() const;              // "127.0.0.1:port"

    void addFile(const QString& path, const QByteArray& body,
                 const QByteArray& contentType = "text/plain");
    void addRedirect(const QString& path, const QString& target);
    void addStatus(const QString& path, int status);
    void addStream(const QString& path, const Stream& stream);
    void addHang(const QString& path);   // accepts and reads, never answers

    // Down: the port refuses and open connections are cut; up again on the same port.
    void setDown(bool down);

    int requests(const QString& path) const;
    int openConnections(const QString& path) const;
    qint64 bytesSent(const QString& path) const;

private:
    std::unique_ptr<QThread> thread_;
    StreamServerWorker* worker_ = nullptr;   // lives on thread_, deleted there
    quint16 port_ = 0;
};
