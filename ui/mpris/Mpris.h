#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <functional>

// What the desktop's media controls see of the program and what they may ask
// of it. The program fills it in; nothing here knows its windows or player.
struct MprisLink {
    struct Now {
        bool playing = false;   // playing, or connecting to play
        QString station;        // the tuned station; empty before the first tuning
        QString address;
        qint32 number = -1;     // the station's catalog number
        QString streamTitle;    // what the server says is on, while it says so
        double volume = 1.0;    // 0 to 1
    };
    QString identity;
    QString desktopEntry;
    std::function<Now()> now;
    std::function<void()> play, stop, next, previous, raise, quit;
    std::function<void(double)> setVolume;
};

// The object /org/mpris/MediaPlayer2 with the two MPRIS 2 interfaces.
class MprisService : public QObject {
    Q_OBJECT
public:
    static constexpr char BusName[] = "org.mpris.MediaPlayer2.tolva";

    MprisService(MprisLink link, QObject* parent = nullptr);
    ~MprisService() override;

    // Takes the bus name (or, while another copy holds it, the name with an
    // ".instance<pid>" suffix). False where there is no bus or no name.
    bool publish(QDBusConnection bus);

    const MprisLink& link() const { return link_; }
    QString playbackStatus() const;
    QVariantMap metadata() const;

public Q_SLOTS:
    // Something the controls show may have changed: tell them, once the
    // current event is done and only what did change.
    void noteChange();

private:
    void announce();

    MprisLink link_;
    QDBusConnection bus_;
    QString name_;
    QString shownStatus_;
    QVariantMap shownMetadata_;
    bool pending_ = false;
};

class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)
public:
    explicit MprisRootAdaptor(MprisService* service);
    bool yes() const { return true; }
    bool no() const { return false; }
    QString identity() const { return service_->link().identity; }
    QString desktopEntry() const { return service_->link().desktopEntry; }
    QStringList none() const { return {}; }
public Q_SLOTS:
    void Raise();
    void Quit();
private:
    MprisService* service_;
};

class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Rate READ one WRITE ignoreRate)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ yes)
    Q_PROPERTY(bool CanGoPrevious READ yes)
    Q_PROPERTY(bool CanPlay READ yes)
    Q_PROPERTY(bool CanPause READ yes)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)
public:
    explicit MprisPlayerAdaptor(MprisService* service);
    QString playbackStatus() const { return service_->playbackStatus(); }
    QVariantMap metadata() const { return service_->metadata(); }
    double one() const { return 1.0; }
    void ignoreRate(double) {}
    double volume() const;
    void setVolume(double volume);
    qlonglong position() const { return 0; }  // a live stream has no position
    bool yes() const { return true; }
    bool no() const { return false; }
public Q_SLOTS:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath&, qlonglong) {}
    void OpenUri(const QString&) {}
Q_SIGNALS:
    void Seeked(qlonglong position);
private:
    MprisService* service_;
};
