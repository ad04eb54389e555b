// The one place where the media controls meet the window and the player.
#include "MediaKeysM.h"

#include "MediaPlayer.h"
#include "Mpris.h"
#include "PlaybackEngine.h"
#include "Tray.h"
#include "app_globals.h"
#include "clsRadio.h"
#include "frmForma.h"
#include "station_numbers.h"
#include "tolva_config.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace {

bool playing(const PlaybackEngine& engine)
{
    const PlaybackEngine::State state = engine.state();
    return state != PlaybackEngine::State::Stopped && state != PlaybackEngine::State::Error;
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
    PlaybackEngine& engine = player.engine();
    MprisLink link;
    link.identity = ProgramTitle();
    link.desktopEntry = QString::fromLatin1(TolvaConfig::AppId);
    link.now = [&player, &engine] {
        MprisLink::Now now;
        now.playing = playing(engine);
        now.address = player.URL();
        now.number = stationWith(now.address);
        if (now.number >= 0)
            now.station = Radio().List(now.number, 1);
        else
            now.station = now.address;
        now.streamTitle = now.playing ? engine.nowPlaying() : QString();
        now.volume = engine.volume() / 100.0;
        return now;
    };
    // Stopping keeps the address; playing connects to it anew.
    link.play = [&engine] {
        if (!playing(engine))
            engine.play();
    };
    link.stop = [&engine] {
        if (playing(engine))
            engine.stop();
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
    link.setVolume = [&engine](double volume) { engine.setVolume(qRound(volume * 100)); };

    auto* service = new MprisService(std::move(link), &form);
    if (!service->publish(QDBusConnection::sessionBus())) {
        delete service;
        return;
    }
    QObject::connect(&engine, &PlaybackEngine::stateChanged, service, &MprisService::noteChange);
    QObject::connect(&engine, &PlaybackEngine::nowPlayingChanged, service, &MprisService::noteChange);
    QObject::connect(&engine, &PlaybackEngine::volumeChanged, service, &MprisService::noteChange);
    QObject::connect(&form, &QWidget::windowTitleChanged, service, &MprisService::noteChange);
}
