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

// The media player without its face: resolves an address, plays it, rebuffers and reconnects.
// Everything here runs on the UI thread and returns at once; the waiting is done by the
// network access manager and by each session's own thread. While a stream plays nothing here
// polls: the state follows the session's bus messages.
class PlaybackEngine : public QObject {
    Q_OBJECT
public:
    enum class State { Stopped, Connecting, Buffering, Playing, Reconnecting, Error };
    Q_ENUM(State)
    enum class Problem { None, Unreachable, BadPlaylist, BadAddress, NoAudioOutput };
    Q_ENUM(Problem)

    explicit PlaybackEngine(QObject* parent = nullptr);
    ~PlaybackEngine() override;

    QString url() const { return url_; }
    void setUrl(const QString& url);   // stops the old, opens the new; the same again reconnects; "" stops
    void play();                       // opens the current address anew
    void stop();                       // keeps the address

    State state() const { return state_; }
    Problem problem() const { return problem_; }
    QString nowPlaying() const { return nowPlaying_; }
    int bufferingPercent() const { return bufferingPercent_; }
    int reconnectDelaySeconds() const { return reconnectDelay_; }
    QString statusText() const { return statusText_; }   // the status line, plain text

    int volume() const { return volume_; }
    bool isMuted() const { return muted_; }
    void setVolume(int volume);        // 0..100
    void setMuted(bool muted);

    // Initialises GStreamer and starts watching the network and sleep. The first play does it
    // if nobody did before; a program may call it once its window is up, since drawing the
    // window needs neither.
    void prepare();

    // Sessions dropped whose thread has not ended yet (a hanging server, a stuck sink).
    static int abandonedSessions();

    // Test and benchmark seams: where decoded audio goes (a new element per connection),
    // and how long a silent server is given (the whole opening gets one and a half times that).
    void setAudioSinkFactory(std::function<GstElement*()> factory);
    void setNetworkTimeout(int ms);

public Q_SLOTS:
    void retryNow();   // a station waiting to reconnect does so at once

Q_SIGNALS:
    void stateChanged(PlaybackEngine::State state);
    void bufferingChanged(int percent);
    void nowPlayingChanged(const QString& title);
    void statusTextChanged(const QString& text);
    void volumeChanged(int volume);
    void mutedChanged(bool muted);

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
