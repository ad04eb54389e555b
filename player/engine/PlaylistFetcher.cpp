#include "PlaylistFetcher.h"

#include "PlaylistParser.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

// Enough bytes to tell a playlist's text from compressed audio.
constexpr qsizetype SniffBytes = 512;

bool isPermanentHttpStatus(int status)
{
    return status >= 400 && status < 500 && status != 408 && status != 429;
}

} // namespace

PlaylistFetcher::PlaylistFetcher(QObject* parent)
    : QObject(parent), network_(new QNetworkAccessManager(this)), deadline_(new QTimer(this))
{
    network_->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    deadline_->setSingleShot(true);
    connect(deadline_, &QTimer::timeout, this, [this] { fail(Failure::Transient); });
}

PlaylistFetcher::~PlaylistFetcher()
{
    cancel();
}

void PlaylistFetcher::cancel()
{
    deadline_->stop();
    if (QNetworkReply* reply = reply_.data()) {
        reply_.clear();
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    data_.clear();
}

void PlaylistFetcher::fetch(const QUrl& url)
{
    cancel();
    url_ = url;
    deadline_->start(timeoutMs_);
    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutMs_);
    request.setMaximumRedirectsAllowed(5);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Tolva/7.3"));
    reply_ = network_->get(request);
    connect(reply_, &QNetworkReply::metaDataChanged, this, &PlaylistFetcher::onHeaders);
    connect(reply_, &QNetworkReply::readyRead, this, &PlaylistFetcher::onData);
    connect(reply_, &QNetworkReply::finished, this, &PlaylistFetcher::onFinished);
}

void PlaylistFetcher::onHeaders()
{
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 300 && status < 400)
        return;   // a redirect being followed
    if (status >= 400)
        return;   // judged when the reply finishes
    const QByteArray type = reply_->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    const QUrl where = reply_->url();
    if (isAudioContentType(type) && detectPlaylist(type, where, {}) == PlaylistKind::None)
        finishAsStream();
}

void PlaylistFetcher::onData()
{
    data_ += reply_->readAll();
    if (data_.size() > sizeLimit_) {
        fail(Failure::BadPlaylist);
        return;
    }
    if (data_.size() >= SniffBytes) {
        const QByteArray type = reply_->header(QNetworkRequest::ContentTypeHeader).toByteArray();
        if (detectPlaylist(type, reply_->url(), data_) == PlaylistKind::None)
            finishAsStream();
    }
}

void PlaylistFetcher::onFinished()
{
    QNetworkReply* reply = reply_.data();
    if (!reply)
        return;
    const QNetworkReply::NetworkError error = reply->error();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (error != QNetworkReply::NoError) {
        if (status >= 400) {
            fail(isPermanentHttpStatus(status) ? Failure::Gone : Failure::Transient);
            return;
        }
        switch (error) {
        case QNetworkReply::ConnectionRefusedError:
        case QNetworkReply::RemoteHostClosedError:
        case QNetworkReply::HostNotFoundError:
        case QNetworkReply::TimeoutError:
        case QNetworkReply::OperationCanceledError:
        case QNetworkReply::TemporaryNetworkFailureError:
        case QNetworkReply::NetworkSessionFailedError:
        case QNetworkReply::UnknownNetworkError:
            if (data_.isEmpty()) {
                fail(Failure::Transient);
                return;
            }
            break;   // a stream that ended early is judged by what came
        case QNetworkReply::TooManyRedirectsError:
        case QNetworkReply::InsecureRedirectError:
            fail(Failure::Gone);
            return;
        default:
            // Old servers answer "ICY 200 OK", which Qt does not speak; GStreamer does.
            if (data_.isEmpty()) {
                finishAsStream();
                return;
            }
            break;
        }
    }
    data_ += reply->readAll();
    const QUrl where = reply->url();
    const QByteArray type = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    const PlaylistKind kind = detectPlaylist(type, where, data_);
    if (kind == PlaylistKind::None) {
        // A short non-list answer: a file or a stream that ended; let the engine try it.
        if (!data_.isEmpty() && (isAudioContentType(type) || isAsfContentType(type))) {
            finishAsStream();
            return;
        }
        fail(Failure::BadPlaylist);
        return;
    }
    if (kind == PlaylistKind::M3u && isHlsPlaylist(data_)) {
        finishAsStream();
        return;
    }
    const QStringList entries = parsePlaylist(data_, kind, where);
    const QUrl url = url_;
    cancel();
    if (entries.isEmpty())
        Q_EMIT failed(url, Failure::BadPlaylist);
    else
        Q_EMIT playlist(url, entries);
}

void PlaylistFetcher::finishAsStream()
{
    const QUrl where = reply_ ? reply_->url() : url_;
    cancel();
    Q_EMIT stream(where);
}

void PlaylistFetcher::fail(Failure failure)
{
    const QUrl url = url_;
    cancel();
    Q_EMIT failed(url, failure);
}
