// The one place where the media controls meet the window and the player.
#include "MediaKeysM.h"

#include "MediaPlayer.h"
#include "Mpris.h"
#include "Tray.h"
#include "app_globals.h"
#include "clsRadio.h"
#include "frmForma.h"
#include "station_numbers.h"
#include "tolva_config.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>

namespace {

bool playing(const MediaPlayer& player)
{
    const MediaPlayer::State state = player.state();
    return state != MediaPlayer::State::Stopped && state != MediaPlayer::State::Error;
}

// The player control's own play / stop button: stopping with it keeps the
// address, and playing with it connects to that address anew.
void pressPlayStop(MediaPlayer& player)
{
    if (auto* button = player.findChild<QAbstractButton*>(QStringLiteral("playStop")))
        button->click();
}

// The station the player was given: the current one, or whichever has the address.
qint32 stationWith(const QString& address)
{
    if (address.isEmpty())
        return -1;
    const clsRadio& radio = Radio();
    if (NomerRadio >= 0 && NomerRadio <= radio.KolRadio() && radio.List(NomerRadio, 0) == address)
        return NomerRadio;
    for (qint32 n = 0; n <= radio.KolRadio(); ++n)
        if (radio.List(n, 0) == address)
            return n;
    return -1;
}

// A key on the list, exactly as the user would press it.
void pressKey(frmForma& form, Qt::Key key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(form.ListPicture, &press);
}

}  // namespace

void MediaKeysAdd(frmForma& form)
{
    MediaPlayer& player = *form.WindowsMediaPlayer;
    MprisLink link;
    link.identity = ProgramTitle();
    link.desktopEntry = QString::fromLatin1(TolvaConfig::AppId);
    link.now = [&player] {
        MprisLink::Now now;
        now.playing = playing(player);
        now.address = player.URL();
        now.number = stationWith(now.address);
        if (now.number >= 0)
            now.station = Radio().List(now.number, 1);
        else
            now.station = now.address;
        now.streamTitle = now.playing ? player.nowPlaying() : QString();
        now.volume = player.volume() / 100.0;
        return now;
    };
    link.play = [&player] {
        if (!playing(player))
            pressPlayStop(player);
    };
    link.stop = [&player] {
        if (playing(player))
            pressPlayStop(player);
    };
    link.next = [&form] {
        pressKey(form, Qt::Key_Down);
        pressKey(form, Qt::Key_Return);
    };
    link.previous = [&form] {
        pressKey(form, Qt::Key_Up);
        pressKey(form, Qt::Key_Return);
    };
    link.raise = [&form] {
        if (FormVisible == 0) {
            TrayMessage(QSystemTrayIcon::DoubleClick);  // as the tray's double-click brings it back
        } else {
            form.setWindowState(form.windowState() & ~Qt::WindowMinimized);
            form.raise();
            form.activateWindow();
        }
    };
    link.quit = [&form] { form.close(); };  // the close box's path
    link.setVolume = [&player](double volume) { player.setVolume(qRound(volume * 100)); };

    auto* service = new MprisService(std::move(link), &form);
    if (!service->publish(QDBusConnection::sessionBus())) {
        delete service;
        return;
    }
    QObject::connect(&player, &MediaPlayer::stateChanged, service, &MprisService::noteChange);
    QObject::connect(&player, &MediaPlayer::nowPlayingChanged, service, &MprisService::noteChange);
    QObject::connect(&form, &QWidget::windowTitleChanged, service, &MprisService::noteChange);
}
