#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// Downloads a playlist and tells its entries. An answer that turns out to be audio, or an HLS
// list, is a stream: the fetch stops as soon as it looks like one. The whole fetch, redirects
// included, has one deadline, so a server that trickles bytes cannot keep it going.
class PlaylistFetcher : public QObject {
    Q_OBJECT
public:
    enum class Failure { Transient, Gone, BadPlaylist };
    Q_ENUM(Failure)

    explicit PlaylistFetcher(QObject* parent = nullptr);
    ~PlaylistFetcher() override;

    void setTimeout(int ms) { timeoutMs_ = ms; }
    void setSizeLimit(qint64 bytes) { sizeLimit_ = bytes; }

    void fetch(const QUrl& url);   // cancels a fetch under way
    void cancel();

Q_SIGNALS:
    void stream(const QUrl& url);
    void playlist(const QUrl& url, const QStringList& entries);
    void failed(const QUrl& url, PlaylistFetcher::Failure failure);

private:
    void onHeaders();
    void onData();
    void onFinished();
    void finishAsStream();
    void fail(Failure failure);

    QNetworkAccessManager* network_;
    QTimer* deadline_;
    QPointer<QNetworkReply> reply_;
    QUrl url_;
    QByteArray data_;
    int timeoutMs_ = 10000;
    qint64 sizeLimit_ = 256 * 1024;
};
