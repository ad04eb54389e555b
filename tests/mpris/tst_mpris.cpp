// The program as the desktop's media controls see it: MPRIS 2 on a private
// session bus, asked from a connection of its own, so every call goes through
// the bus daemon. The window, title, tray and player answer as to the keys.
#include "LoadRadioM.h"
#include "MainM.h"
#include "MediaPlayer.h"
#include "PlaybackEngine.h"
#include "app_globals.h"
#include "clsRadio.h"
#include "frmForma.h"
#include "program_folder.h"
#include "sound_server.h"
#include "station_numbers.h"
#include "stream_server.h"
#include "usrReklamaX.h"

#include <QtDBus>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString kRoot = u"org.mpris.MediaPlayer2"_s, kPlayer = u"org.mpris.MediaPlayer2.Player"_s;
const QString kProperties = u"org.freedesktop.DBus.Properties"_s, kIcy = u"Test Artist - Test Song"_s;
}  // namespace

class TstMpris : public QObject {
    Q_OBJECT

    StreamServer streams_;
    SoundServer sound_;  // the desktop's output, up before any player
    QTemporaryDir dir_;
    QDBusConnection client_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"client"_s);
    QStringList announced_;  // PlaybackStatus values as PropertiesChanged told them

    QDBusMessage ask(const QString& method, const QVariantList& arguments = {}, const QString& interface = kPlayer)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(kRoot + u".tolva"_s, u"/org/mpris/MediaPlayer2"_s, interface, method);
        message.setArguments(arguments);
        return client_.call(message, QDBus::BlockWithGui, 5000);
    }
    bool call(const QString& method, const QString& interface = kPlayer) { return ask(method, {}, interface).type() == QDBusMessage::ReplyMessage; }
    QVariant property(const QString& name) { return ask(u"Get"_s, {kPlayer, name}, kProperties).arguments().value(0).value<QDBusVariant>().variant(); }
    QString status() { return property(u"PlaybackStatus"_s).toString(); }
    QVariant metadata(const QString& key) { return qdbus_cast<QVariantMap>(property(u"Metadata"_s)).value(key); }
    QString trackId() { return metadata(u"mpris:trackid"_s).value<QDBusObjectPath>().path(); }
    PlaybackEngine::State playerState() { return MainForm()->WindowsMediaPlayer->engine().state(); }

    // Tuned to the row: highlight and player address. Next and Previous are the list's keys,
    // whose title, tray tooltip and ad tests/startup checks.
    void checkTuned(int row)
    {
        QCOMPARE(QList<qint32>({NomerSel, NomerRadio}), QList<qint32>(2, row));
        QCOMPARE(MainForm()->WindowsMediaPlayer->URL(), Radio().List(row, 0));
    }

public Q_SLOTS:
    void propertiesChanged(const QString&, const QVariantMap& changed, const QStringList&)
    {
        if (changed.contains(u"PlaybackStatus"_s))
            announced_ << changed.value(u"PlaybackStatus"_s).toString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(client_.isConnected() && dir_.isValid());
        QVERIFY2(sound_.start(), qPrintable(sound_.log()));
        SetProgramFolder(dir_.path());
        QVERIFY(streams_.start() != 0);
        QFile mp3(QStringLiteral(TOLVA_TEST_DATA "/tone440.mp3"));
        QVERIFY(mp3.open(QIODevice::ReadOnly));
        StreamServer::Stream tone;
        tone.audio = mp3.readAll();
        tone.burstSeconds = 1;
        streams_.addStream(u"/plain"_s, tone);
        tone.icyTitle = kIcy.toUtf8();
        streams_.addStream(u"/icy"_s, tone);
        QVERIFY(client_.connect(kRoot + u".tolva"_s, u"/org/mpris/MediaPlayer2"_s, kProperties, u"PropertiesChanged"_s, this,
                                SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
    }

    // Registered and answering (DesktopEntry, Quit): tests/install, on the installed program.
    void mediaControls()
    {
        Main();
        LoadRadio(StreamHosts{streams_.host(), u"127.0.0.1:1"_s, u"127.0.0.1:1"_s});
        // Row 1 names what is on; row 0 does not.
        for (const auto& [row, stream] : {std::pair{0, u"/plain"_s}, std::pair{1, u"/icy"_s}})
            streams_.addFile(QUrl(Radio().List(row, 0)).path(), (streams_.url(stream) + u'\n').toUtf8(), "audio/x-mpegurl");
        frmForma* const form = MainForm();
        QVERIFY(form);
        form->usrReklamaX1->setReklamaURL(u"http://127.0.0.1:1/"_s);  // the ads: tests/startup
        QTRY_COMPARE(status(), u"Stopped"_s);  // published once the window is drawn
        QCOMPARE(trackId(), u"/org/mpris/MediaPlayer2/TrackList/NoTrack"_s);

        // Next tunes the row below: playing, the server's title with the station as artist.
        QVERIFY(call(u"Next"_s));
        checkTuned(1);
        QTRY_COMPARE_WITH_TIMEOUT(status(), u"Playing"_s, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(metadata(u"xesam:title"_s).toString(), kIcy, 10000);
        QCOMPARE(metadata(u"xesam:artist"_s).toStringList(), QStringList{Radio().List(1, 1)});
        QCOMPARE(trackId(), u"/org/mpris/MediaPlayer2/tolva/station/1"_s);

        // Stop: the player stops, keeping its address; the title still names the station.
        QVERIFY(call(u"Stop"_s));
        QTRY_COMPARE(playerState(), PlaybackEngine::State::Stopped);
        QTRY_VERIFY(status() == u"Stopped"_s && announced_.endsWith(u"Stopped"_s));
        QTRY_COMPARE(streams_.openConnections(u"/icy"_s), 0);
        QCOMPARE(metadata(u"xesam:title"_s).toString(), Radio().List(1, 1));
        checkTuned(1);

        // Play connects to the same address anew.
        const int playlistRequests = streams_.requests(QUrl(Radio().List(1, 0)).path());
        QVERIFY(call(u"Play"_s));
        QTRY_COMPARE_WITH_TIMEOUT(playerState(), PlaybackEngine::State::Playing, 10000);
        QCOMPARE(streams_.requests(QUrl(Radio().List(1, 0)).path()), playlistRequests + 1);
        QTRY_VERIFY(status() == u"Playing"_s && announced_.endsWith(u"Playing"_s));

        // Previous: the row above, whose server names nothing: the station is the title.
        QVERIFY(call(u"Previous"_s));
        checkTuned(0);
        QTRY_COMPARE_WITH_TIMEOUT(playerState(), PlaybackEngine::State::Playing, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(metadata(u"xesam:title"_s).toString(), Radio().List(0, 1), 10000);

        // Raise brings the window back from the tray, as the tray's double-click does.
        form->pMenuHideShow_Click();
        QVERIFY(!form->isVisible());
        QVERIFY(call(u"Raise"_s, kRoot));
        QTRY_VERIFY(form->isVisible() && FormVisible == -1);
        QCOMPARE(playerState(), PlaybackEngine::State::Playing);
    }

    void cleanupTestCase() { DestroyMainForm(); }
};

QTEST_MAIN(TstMpris)
#include "tst_mpris.moc"
