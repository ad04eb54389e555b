#pragma once

#include "PlaylistFetcher.h"
#include "engine_core.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <QUrl>

#include <deque>
#include <functional>
#include <memory>

class StreamSession;
struct SessionEvent;

// The media player without its face: resolves an address, plays it, rebuffers and reconnects.
// Everything here runs on the UI thread and returns at once; the waiting is done by the
// network access manager and by each session's own thread. While a stream plays nothing here
// polls: the state follows the session's bus messages.
class PlaybackCore : public QObject, public EngineCore {
    Q_OBJECT
public:
    PlaybackCore(Settings settings, Events events);
    ~PlaybackCore() override;

    void setUrl(const QString& url) override;
    void play() override;
    void stop() override;

    State state() const override { return state_; }
    Problem problem() const override { return problem_; }
    QString nowPlaying() const override { return nowPlaying_; }
    int bufferingPercent() const override { return bufferingPercent_; }
    int reconnectDelaySeconds() const override { return reconnectDelay_; }
    QString statusText() const override { return statusText_; }

    int volume() const override { return volume_; }
    bool isMuted() const override { return muted_; }
    void setVolume(int volume) override;
    void setMuted(bool muted) override;

    // Initialises GStreamer and starts watching the network and sleep.
    void prepare() override;

    void setAudioSinkFactory(std::function<GstElement*()> factory) override;
    void setNetworkTimeout(int ms) override;

    void retryNow() override;

private Q_SLOTS:
    void onPrepareForSleep(bool sleeping);

private:
    struct Candidate {
        QUrl url;
        int depth = 0;
        bool fetched = false;      // already asked whether it is a playlist
        bool undecodable = false;  // GStreamer found nothing it could play in it
    };

    void open();
    void tryNext();
    void fetch();
    void startSession();
    void onStream(const QUrl& url);
    void onPlaylist(const QUrl& url, const QStringList& entries);
    void onFetchFailed(const QUrl& url, PlaylistFetcher::Failure failure);
    void onSessionEvent(quint64 id, const SessionEvent& event);
    void onSessionError(const SessionEvent& event);
    void onDeadline();
    void giveUp();
    void fail(Problem problem);
    void scheduleReconnect();
    void dropSession();
    void watchWakeUps();
    void setState(State state);
    void setNowPlaying(const QString& title);
    void setBuffering(int percent);
    void updateStatus();

    const Events events_;
    QString url_;
    State state_ = State::Stopped;
    Problem problem_ = Problem::None;
    QString nowPlaying_;
    QString statusText_;
    int bufferingPercent_ = 0;
    int volume_ = 100;
    bool muted_ = false;
    bool prepared_ = false;
    int timeoutMs_ = 10000;
    std::function<GstElement*()> sinkFactory_;

    PlaylistFetcher* fetcher_;
    std::deque<Candidate> pending_;
    QSet<QUrl> visited_;
    Candidate current_;
    bool anyTransient_ = false;
    bool anyBadPlaylist_ = false;
    bool anyGone_ = false;

    QUrl streamUrl_;
    bool typeHint_ = true;
    std::unique_ptr<StreamSession> session_;
    quint64 sessionId_ = 0;
    bool everPlayed_ = false;
    int underruns_ = 0;

    QTimer deadline_;         // from URL to the first sound; then from each step of a refill
    QTimer reconnectTimer_;
    QElapsedTimer playingSince_;
    int attempt_ = 0;
    int reconnectDelay_ = 0;
};
