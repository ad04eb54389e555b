#pragma once

#include <QWidget>

class PlaybackEngine;
class QLabel;
class QSlider;
class QToolButton;

// The media player as the main window holds it: the "mini" control bar (play/stop, mute,
// volume and a status line) over the engine that does the playing. The program only sets URL;
// whatever else wants to know or change goes to engine().
class MediaPlayer : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString URL READ URL WRITE setURL)
public:
    explicit MediaPlayer(QWidget* parent = nullptr);
    ~MediaPlayer() override;

    QString URL() const;
    void setURL(const QString& url);   // returns at once; stops the old, plays the new; "" stops

    PlaybackEngine& engine() const { return *engine_; }
    QString statusLine() const;        // as shown

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    void onPlayStop();

    PlaybackEngine* engine_;
    QToolButton* playStop_;
    QToolButton* mute_;
    QSlider* volume_;
    QLabel* status_;
    bool iconsDue_ = false;  // painted once: the buttons show their icons
};
