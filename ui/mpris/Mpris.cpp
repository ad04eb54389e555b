#include "Mpris.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QTimer>

namespace {

const QString ObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString PlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

void call(const std::function<void()>& action)
{
    if (action)
        action();
}

}  // namespace

MprisService::MprisService(MprisLink link, QObject* parent)
    : QObject(parent), link_(std::move(link)), bus_(QString())
{
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
}

MprisService::~MprisService()
{
    if (!name_.isEmpty())
        bus_.unregisterService(name_);
}

bool MprisService::publish(QDBusConnection bus)
{
    if (!bus.isConnected() || !bus.registerObject(ObjectPath, this, QDBusConnection::ExportAdaptors))
        return false;
    const QString instance = QStringLiteral("%1.instance%2").arg(QLatin1String(BusName)).arg(QCoreApplication::applicationPid());
    for (const QString& name : {QString::fromLatin1(BusName), instance}) {
        if (bus.registerService(name)) {
            bus_ = bus;
            name_ = name;
            shownStatus_ = playbackStatus();
            shownMetadata_ = metadata();
            return true;
        }
    }
    bus.unregisterObject(ObjectPath);
    return false;
}

QString MprisService::playbackStatus() const
{
    // A live stream cannot wait paused: Pause stops it, so it is never "Paused".
    return link_.now().playing ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QVariantMap MprisService::metadata() const
{
    const MprisLink::Now now = link_.now();
    QVariantMap data;
    if (now.station.isEmpty()) {
        data[QStringLiteral("mpris:trackid")] =
            QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack")));
        return data;
    }
    data[QStringLiteral("mpris:trackid")] = QVariant::fromValue(
        QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/tolva/station/%1").arg(qMax(now.number, 0))));
    data[QStringLiteral("xesam:url")] = now.address;
    if (now.streamTitle.isEmpty()) {
        data[QStringLiteral("xesam:title")] = now.station;
    } else {
        data[QStringLiteral("xesam:title")] = now.streamTitle;
        data[QStringLiteral("xesam:artist")] = QStringList{now.station};
    }
    return data;
}

void MprisService::noteChange()
{
    if (pending_ || name_.isEmpty())
        return;
    pending_ = true;
    // Tuning changes the address, the title and the station number one after
    // another; the controls hear about it once all are done.
    QTimer::singleShot(0, this, &MprisService::announce);
}

void MprisService::announce()
{
    pending_ = false;
    QVariantMap changed;
    if (const QString status = playbackStatus(); status != shownStatus_)
        changed[QStringLiteral("PlaybackStatus")] = shownStatus_ = status;
    if (const QVariantMap data = metadata(); data != shownMetadata_)
        changed[QStringLiteral("Metadata")] = shownMetadata_ = data;
    if (changed.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(ObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << PlayerInterface << changed << QStringList();
    bus_.send(signal);
}

MprisRootAdaptor::MprisRootAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}

void MprisRootAdaptor::Raise()
{
    call(service_->link().raise);
}

void MprisRootAdaptor::Quit()
{
    // After the reply: closing may ask the user first, and the caller must not wait for that.
    QTimer::singleShot(0, service_, [service = service_] { call(service->link().quit); });
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}

double MprisPlayerAdaptor::volume() const
{
    return service_->link().now().volume;
}

void MprisPlayerAdaptor::setVolume(double volume)
{
    if (service_->link().setVolume)
        service_->link().setVolume(qBound(0.0, volume, 1.0));
}

void MprisPlayerAdaptor::Next()
{
    call(service_->link().next);
}

void MprisPlayerAdaptor::Previous()
{
    call(service_->link().previous);
}

void MprisPlayerAdaptor::Pause()
{
    call(service_->link().stop);
}

void MprisPlayerAdaptor::PlayPause()
{
    call(service_->link().now().playing ? service_->link().stop : service_->link().play);
}

void MprisPlayerAdaptor::Stop()
{
    call(service_->link().stop);
}

void MprisPlayerAdaptor::Play()
{
    call(service_->link().play);
}
