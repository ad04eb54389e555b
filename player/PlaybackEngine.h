#pragma once

#include "PlaylistFetcher.h"

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
typedef struct _GstElement GstElement;

// The player without its face: resolves an address, plays it, rebuffers and reconnects.
// Everything here runs on the UI thread and returns at once; the waiting is done by the
// network access manager and by each session's own thread.
class PlaybackEngine : public QObject {
    Q_OBJECT
public:
    enum class State { Stopped, Connecting, Buffering, Playing, Reconnecting, Error };
    Q_ENUM(State)
    enum class Problem { None, Unreachable, BadPlaylist, BadAddress };
    Q_ENUM(Problem)

    explicit PlaybackEngine(QObject* parent = nullptr);
    ~PlaybackEngine() override;

    QString url() const { return url_; }
    void setUrl(const QString& url);   // stops the old, opens the new; the same again reconnects
    void play();                       // opens the current address anew
    void stop();                       // keeps the address

    State state() const { return state_; }
    Problem problem() const { return problem_; }
    QString nowPlaying() const { return nowPlaying_; }
    int bufferingPercent() const { return bufferingPercent_; }
    int reconnectDelaySeconds() const { return reconnectDelay_; }

    int volume() const { return volume_; }
    bool isMuted() const { return muted_; }
    void setVolume(int volume);        // 0..100
    void setMuted(bool muted);

    // Test and benchmark seams: where decoded audio goes (a new element per connection),
    // and how long a silent server is given.
    void setAudioSinkFactory(std::function<GstElement*()> factory);
    void setNetworkTimeout(int ms);

Q_SIGNALS:
    void stateChanged(PlaybackEngine::State state);
    void bufferingChanged(int percent);
    void nowPlayingChanged(const QString& title);

private:
    struct Candidate {
        QUrl url;
        int depth = 0;
    };

    void open();
    void tryNext();
    void onStream(const QUrl& url, const QByteArray& contentType);
    void startSession();
    void dropTypeHint();
    void onPlaylist(const QUrl& url, const QStringList& entries);
    void onFetchFailed(const QUrl& url, PlaylistFetcher::Failure failure);
    void onSessionEvent(quint64 id, const SessionEvent& event);
    void onSessionLost(bool permanent);
    void giveUp();
    void scheduleReconnect();
    void checkOutput();
    void startRebuffer();
    void onRebufferTick();
    void resumeAfterRebuffer();
    void dropSession();
    void setState(State state);
    void setNowPlaying(const QString& title);
    void setBuffering(int percent);

    QString url_;
    State state_ = State::Stopped;
    Problem problem_ = Problem::None;
    QString nowPlaying_;
    int bufferingPercent_ = 0;
    int volume_ = 100;
    bool muted_ = false;
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
    QByteArray streamType_;   // the server's content type, a hint for the decoder chain
    std::unique_ptr<StreamSession> session_;
    quint64 sessionId_ = 0;
    bool everPlayed_ = false;

    QTimer reconnectTimer_;
    QElapsedTimer playingSince_;
    int attempt_ = 0;
    int reconnectDelay_ = 0;

    QTimer hintWatch_;
    QTimer outputWatch_;
    QTimer rebufferTimer_;
    QElapsedTimer rebufferClock_;
    int underruns_ = 0;
    int rebufferTargetMs_ = 0;
};
