// The program as the desktop's media controls see it: MPRIS 2 on a private
// session bus, asked from a connection of its own, so every call goes through
// the bus daemon. The window, title, tray and player answer as to the keys.
#include "LoadRadioM.h"
#include "MainM.h"
#include "MediaPlayer.h"
#include "PlaybackEngine.h"
#include "Tray.h"
#include "app_globals.h"
#include "clsRadio.h"
#include "frmForma.h"
#include "page_server.h"
#include "program_folder.h"
#include "settings_file.h"
#include "sound_server.h"
#include "station_numbers.h"
#include "stream_server.h"
#include "usrReklamaX.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString kName = u"org.mpris.MediaPlayer2.tolva"_s, kPath = u"/org/mpris/MediaPlayer2"_s;
const QString kRoot = u"org.mpris.MediaPlayer2"_s, kPlayer = u"org.mpris.MediaPlayer2.Player"_s;
const QString kIcy = u"Test Artist - Test Song"_s;
}  // namespace

class TstMpris : public QObject {
    Q_OBJECT

    StreamServer streams_;
    PageServer ads_;
    SoundServer sound_;  // the desktop's output, up before any player
    QTemporaryDir dir_;
    QDBusConnection client_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"client"_s);
    QStringList announced_;  // PlaybackStatus values as PropertiesChanged told them

    QDBusMessage ask(const QString& interface, const QString& method, const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(kName, kPath, interface, method);
        message.setArguments(arguments);
        return client_.call(message, QDBus::BlockWithGui, 5000);
    }
    QVariant property(const QString& interface, const QString& name)
    {
        return ask(u"org.freedesktop.DBus.Properties"_s, u"Get"_s, {interface, name}).arguments().value(0).value<QDBusVariant>().variant();
    }
    QString status() { return property(kPlayer, u"PlaybackStatus"_s).toString(); }
    QVariant metadata(const QString& key) { return qdbus_cast<QVariantMap>(property(kPlayer, u"Metadata"_s)).value(key); }
    QString title() { return metadata(u"xesam:title"_s).toString(); }
    bool call(const QString& interface, const QString& method) { return ask(interface, method).type() == QDBusMessage::ReplyMessage; }
    int adRequests() const { return int(ads_.requests().filter(QRegularExpression(u"^/reklama/"_s)).size()); }
    PlaybackEngine::State playerState() { return MainForm()->WindowsMediaPlayer->engine().state(); }

    // What moving the highlight and tuning must have left, as after Up or Down and Enter.
    void checkTuned(int row)
    {
        const QString playing = u"Радиоприёмник Tolva - Играет: "_s + Radio().List(row, 1);
        QCOMPARE(QList<qint32>({NomerSel, NomerRadio}), QList<qint32>(2, row));
        QCOMPARE(QStringList({MainForm()->windowTitle(), TrayData.icon->toolTip()}), QStringList(2, playing));
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
        QVERIFY(streams_.start() != 0 && ads_.start());
        QFile mp3(QStringLiteral(TOLVA_TEST_DATA "/tone440.mp3"));
        QVERIFY(mp3.open(QIODevice::ReadOnly));
        StreamServer::Stream tone;
        tone.audio = mp3.readAll();
        tone.burstSeconds = 1;
        streams_.addStream(u"/plain"_s, tone);
        tone.icyTitle = kIcy.toUtf8();
        streams_.addStream(u"/icy"_s, tone);
        for (int n = 0; n < 5; ++n)
            ads_.addPage(u"/reklama/%1.html"_s.arg(n), "<html><body>ad</body></html>");
        QVERIFY(client_.connect(kName, kPath, u"org.freedesktop.DBus.Properties"_s, u"PropertiesChanged"_s, this,
                                SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
    }

    void mediaControls()
    {
        Main();
        LoadRadio(StreamHosts{streams_.host(), u"127.0.0.1:1"_s, u"127.0.0.1:1"_s});
        // Row 1 names what is on; row 2 does not.
        for (const auto& [row, stream] : {std::pair{1, u"/icy"_s}, std::pair{2, u"/plain"_s}})
            streams_.addFile(QUrl(Radio().List(row, 0)).path(), (streams_.url(stream) + u'\n').toUtf8(), "audio/x-mpegurl");
        frmForma* const form = MainForm();
        QVERIFY(form);
        form->usrReklamaX1->setReklamaURL(ads_.url(u"/reklama/"_s).toString());

        QVERIFY(client_.interface()->isServiceRegistered(kName));
        QCOMPARE(property(kRoot, u"DesktopEntry"_s).toString(), QStringLiteral(TOLVA_APP_ID));
        QCOMPARE(status(), u"Stopped"_s);
        QCOMPARE(metadata(u"mpris:trackid"_s).value<QDBusObjectPath>().path(), u"/org/mpris/MediaPlayer2/TrackList/NoTrack"_s);

        // Tuned through the window: playing, then the server's title with the station as artist.
        QTest::keyClick(form->ListPicture, Qt::Key_Down);
        QTest::keyClick(form->ListPicture, Qt::Key_Return);
        checkTuned(1);
        QTRY_COMPARE_WITH_TIMEOUT(status(), u"Playing"_s, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(title(), kIcy, 10000);
        QCOMPARE(metadata(u"xesam:artist"_s).toStringList(), QStringList{Radio().List(1, 1)});
        QCOMPARE(metadata(u"mpris:trackid"_s).value<QDBusObjectPath>().path(), u"/org/mpris/MediaPlayer2/tolva/station/1"_s);

        // Stop: the player stops, keeping its address; the title still names the station.
        QVERIFY(call(kPlayer, u"Stop"_s));
        QTRY_COMPARE(playerState(), PlaybackEngine::State::Stopped);
        QTRY_VERIFY(status() == u"Stopped"_s && announced_.endsWith(u"Stopped"_s));
        QTRY_COMPARE(streams_.openConnections(u"/icy"_s), 0);
        QCOMPARE(title(), Radio().List(1, 1));
        checkTuned(1);

        // Play connects to the same address anew.
        const int playlistRequests = streams_.requests(QUrl(Radio().List(1, 0)).path());
        QVERIFY(call(kPlayer, u"Play"_s));
        QTRY_COMPARE_WITH_TIMEOUT(playerState(), PlaybackEngine::State::Playing, 10000);
        QCOMPARE(streams_.requests(QUrl(Radio().List(1, 0)).path()), playlistRequests + 1);
        QTRY_VERIFY(status() == u"Playing"_s && announced_.endsWith(u"Playing"_s));

        // Next and Previous: one row down or up and tuned, with a fresh ad each time.
        for (const auto& [method, row] : {std::pair{u"Next"_s, 2}, std::pair{u"Previous"_s, 1}}) {
            const int ads = adRequests();
            QVERIFY(call(kPlayer, method));
            checkTuned(row);
            QTRY_COMPARE_WITH_TIMEOUT(playerState(), PlaybackEngine::State::Playing, 10000);
            QTRY_COMPARE_WITH_TIMEOUT(adRequests(), ads + 1, 10000);
            QTRY_COMPARE_WITH_TIMEOUT(title(), row == 1 ? kIcy : Radio().List(row, 1), 10000);
        }

        // Raise brings the window back from the tray, as the tray's double-click does.
        form->pMenuHideShow_Click();
        QVERIFY(!form->isVisible());
        QVERIFY(call(kRoot, u"Raise"_s));
        QTRY_VERIFY(form->isVisible() && FormVisible == -1);
        QCOMPARE(playerState(), PlaybackEngine::State::Playing);

        // Quit closes as the close box does: no question for a shown window, the station stored.
        const QPointer<frmForma> alive(form);
        QVERIFY(call(kRoot, u"Quit"_s));
        QTRY_VERIFY(!alive);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QFile ini(SettingsFile::Path());
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), SettingsFile::Format(1));
        QTRY_VERIFY(!client_.interface()->isServiceRegistered(kName));
    }

    void cleanupTestCase() { DestroyMainForm(); }
};

QTEST_MAIN(TstMpris)
#include "tst_mpris.moc"
