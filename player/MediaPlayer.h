#pragma once

#include <QWidget>

#include <functional>

class PlaybackEngine;
class QLabel;
class QSlider;
class QToolButton;
typedef struct _GstElement GstElement;

// The media player's "mini" control bar: play/stop, mute, volume and a status line.
// Setting URL alone opens and plays the address; nothing here waits on the network.
class MediaPlayer : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString URL READ URL WRITE setURL)
public:
    enum class State { Stopped, Connecting, Buffering, Playing, Reconnecting, Error };
    Q_ENUM(State)

    explicit MediaPlayer(QWidget* parent = nullptr);
    ~MediaPlayer() override;

    QString URL() const;
    void setURL(const QString& url);   // returns at once; stops the old, plays the new; "" stops
    State state() const;
    QString nowPlaying() const;
    QString statusLine() const;

    int volume() const;
    void setVolume(int volume);        // 0..100
    bool isMuted() const;
    void setMuted(bool muted);

    // Test and benchmark seams: decoded audio goes to a new element from the factory per
    // connection instead of the sound card; a silent server is given this long.
    void setAudioSinkFactory(std::function<GstElement*()> factory);
    void setNetworkTimeout(int ms);

Q_SIGNALS:
    void stateChanged(MediaPlayer::State state);
    void bufferingChanged(int percent);
    void nowPlayingChanged(const QString& title);

private:
    void refresh();
    void onPlayStop();

    PlaybackEngine* engine_;
    QToolButton* playStop_;
    QToolButton* mute_;
    QSlider* volume_;
    QLabel* status_;
};
