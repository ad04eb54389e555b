#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for tests that drive a real browser:
// answers GET with pages put in memory, 404 otherwise, and records the path
// (with the query) of every request in the order they arrived. Pages may be
// cached for an hour, so a browser that uses its cache would not ask again.
class PageServer : public QObject {
    Q_OBJECT

public:
    explicit PageServer(QObject* parent = nullptr);

    bool start();  // listens at a free port
    QUrl url(const QString& path) const;  // path starts with '/'
    // status: "200 OK", or "401 Unauthorized", which asks for a password.
    void addPage(const QString& path, const QByteArray& html, const QByteArray& status = "200 OK");

    QStringList requests() const { return requests_; }
    void clearRequests() { requests_.clear(); }

private:
    void onReadyRead(QTcpSocket* socket);

    QTcpServer server_;
    QHash<QString, QByteArray> pages_;
    QHash<QString, QByteArray> statuses_;
    QHash<QTcpSocket*, QByteArray> pending_;
    QStringList requests_;
};
