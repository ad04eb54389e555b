#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class EngineCore;
typedef struct _GstElement GstElement;

// The media player without its face: resolves an address, plays it, rebuffers and reconnects.
// Everything here runs on the UI thread and returns at once. This is the engine as the program
// links it, with Qt Core alone: the engine proper, with GStreamer and Qt Network, is a module
// (engine/) loaded by prepare() or by the first play.
class PlaybackEngine : public QObject {
    Q_OBJECT
public:
    enum class State { Stopped, Connecting, Buffering, Playing, Reconnecting, Error };
    Q_ENUM(State)
    // NoEngine: the module was not found or did not load.
    enum class Problem { None, Unreachable, BadPlaylist, BadAddress, NoAudioOutput, NoEngine };
    Q_ENUM(Problem)

    explicit PlaybackEngine(QObject* parent = nullptr);
    ~PlaybackEngine() override;

    QString url() const { return url_; }
    void setUrl(const QString& url);   // stops the old, opens the new; the same again reconnects; "" stops
    void play();                       // opens the current address anew
    void stop();                       // keeps the address

    State state() const;
    Problem problem() const;
    QString nowPlaying() const;
    int bufferingPercent() const;
    int reconnectDelaySeconds() const;
    QString statusText() const;   // the status line, plain text

    int volume() const;
    bool isMuted() const;
    void setVolume(int volume);        // 0..100
    void setMuted(bool muted);

    // Loads the engine, initialises GStreamer and starts watching the network and sleep. The
    // first play does it if nobody did before; a program may call it once its window is up,
    // since drawing the window needs none of them.
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

private:
    EngineCore* core();   // loads the engine on first use; null if it cannot
    void setIdle(State state, Problem problem);

    QString url_;
    std::unique_ptr<EngineCore> core_;
    // Until the engine has loaded, or for good when it cannot.
    State state_ = State::Stopped;
    Problem problem_ = Problem::None;
    QString statusText_;
    int volume_ = 100;
    bool muted_ = false;
    int timeoutMs_ = 10000;
    std::function<GstElement*()> sinkFactory_;
};
