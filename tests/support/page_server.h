#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for tests that drive a real browser.
// Serves pages put in memory with addPage(), else files under a folder, and
// records the path of every request in the order they arrived.
class PageServer : public QObject {
    Q_OBJECT

public:
    explicit PageServer(QObject* parent = nullptr);

    // Listens on 127.0.0.1 at a free port; false if that failed.
    bool start();
    quint16 port() const;
    // "http://127.0.0.1:<port>" + path; path starts with '/'.
    QUrl url(const QString& path) const;

    void addPage(const QString& path, const QByteArray& body,
                 const QByteArray& contentType = "text/html; charset=utf-8");
    // Files under folder answer paths not added with addPage().
    void setFolder(const QString& folder);
    // Answers carry "Cache-Control: max-age=<seconds>" so that a browser
    // that uses its cache would not ask again; 0 sends "no-store".
    void setCacheSeconds(int seconds);

    // Request paths (with the query, without the host) since the last clear.
    QStringList requests() const;
    int countOf(const QString& path) const;
    void clearRequests();

Q_SIGNALS:
    void requested(const QString& path);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QByteArray& method, const QString& path);
    bool lookup(const QString& path, QByteArray* body, QByteArray* contentType) const;

    QTcpServer server_;
    QHash<QString, QByteArray> bodies_;
    QHash<QString, QByteArray> types_;
    QHash<QTcpSocket*, QByteArray> pending_;
    QString folder_;
    QStringList requests_;
    int cacheSeconds_ = 0;
};
