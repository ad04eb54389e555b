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

#include <QDBusArgument>
#include <QDBusConnection>
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
const QString kPlaying = u"Радиоприёмник Tolva - Играет: "_s;
const QString kIcy = u"Test Artist - Test Song"_s;

}  // namespace

class TstMpris : public QObject {
    Q_OBJECT

    StreamServer streams_;
    PageServer ads_;
    SoundServer sound_;   // the desktop's output, up before any player
    QTemporaryDir dir_;
    QDBusConnection client_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"client"_s);
    QStringList announced_;  // PlaybackStatus values as PropertiesChanged told them

    QVariant property(const QString& interface, const QString& name)
    {
        QDBusMessage get = QDBusMessage::createMethodCall(kName, kPath, u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
        get << interface << name;
        const QDBusMessage reply = client_.call(get, QDBus::BlockWithGui, 5000);
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QString status() { return property(kPlayer, u"PlaybackStatus"_s).toString(); }
    QVariantMap metadata() { return qdbus_cast<QVariantMap>(property(kPlayer, u"Metadata"_s)); }
    QString title() { return metadata().value(u"xesam:title"_s).toString(); }
    QString trackId() { return metadata().value(u"mpris:trackid"_s).value<QDBusObjectPath>().path(); }
    bool call(const QString& interface, const QString& method)
    {
        const QDBusMessage reply =
            client_.call(QDBusMessage::createMethodCall(kName, kPath, interface, method), QDBus::BlockWithGui, 5000);
        return reply.type() == QDBusMessage::ReplyMessage;
    }
    int adRequests() const { return int(ads_.requests().filter(QRegularExpression(u"^/reklama/"_s)).size()); }

    // What moving the highlight and tuning must have left, as after Up or Down and Enter.
    void checkTuned(frmForma* form, int row)
    {
        QCOMPARE(QList<qint32>({NomerSel, NomerRadio}), QList<qint32>(2, row));
        QCOMPARE(form->ListPicture->image().pixel(1, 18 * row + 8) | 0xFF000000, qRgb(255, 0, 0));
        QCOMPARE(form->windowTitle(), kPlaying + Radio().List(row, 1));
        QCOMPARE(TrayData.icon->toolTip(), kPlaying + Radio().List(row, 1));
        QCOMPARE(form->WindowsMediaPlayer->URL(), Radio().List(row, 0));
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
        QVERIFY(client_.isConnected());
        QVERIFY2(sound_.start(), qPrintable(sound_.log()));
        QVERIFY(dir_.isValid());
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
        QVERIFY(ads_.start());
        for (int n = 0; n < 5; ++n)
            ads_.addPage(u"/reklama/%1.html"_s.arg(n), "<html><body>ad</body></html>");
        QVERIFY(client_.connect(kName, kPath, u"org.freedesktop.DBus.Properties"_s, u"PropertiesChanged"_s, this,
                                SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
    }

    void mediaControls()
    {
        Main();
        LoadRadio(StreamHosts{streams_.host(), u"127.0.0.1:1"_s, u"127.0.0.1:1"_s});
        // Best FM (row 1) names what is on; Business FM (row 2) does not.
        for (const auto& [row, stream] : {std::pair{1, u"/icy"_s}, std::pair{2, u"/plain"_s}})
            streams_.addFile(QUrl(Radio().List(row, 0)).path(), (streams_.url(stream) + u'\n').toUtf8(),
                             "audio/x-mpegurl");
        frmForma* const form = MainForm();
        QVERIFY(form);
        form->usrReklamaX1->setReklamaURL(ads_.url(u"/reklama/"_s).toString());
        const PlaybackEngine* const player = &form->WindowsMediaPlayer->engine();

        QVERIFY(client_.interface()->isServiceRegistered(kName));
        QCOMPARE(property(kRoot, u"Identity"_s).toString(), u"Радиоприёмник Tolva"_s);
        QCOMPARE(property(kRoot, u"DesktopEntry"_s).toString(), QStringLiteral(TOLVA_APP_ID));
        QCOMPARE(status(), u"Stopped"_s);
        QCOMPARE(trackId(), u"/org/mpris/MediaPlayer2/TrackList/NoTrack"_s);

        // Tuned through the window: playing, then the server's title with the station as artist.
        QTest::keyClick(form->ListPicture, Qt::Key_Down);
        QTest::keyClick(form->ListPicture, Qt::Key_Return);
        checkTuned(form, 1);
        QTRY_COMPARE_WITH_TIMEOUT(status(), u"Playing"_s, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(title(), kIcy, 10000);
        QCOMPARE(metadata().value(u"xesam:artist"_s).toStringList(), QStringList{u"Best FM"_s});
        QCOMPARE(trackId(), u"/org/mpris/MediaPlayer2/tolva/station/1"_s);

        // Stop: the player stops, keeping its address; the title still names the station.
        QVERIFY(call(kPlayer, u"Stop"_s));
        QTRY_COMPARE(player->state(), PlaybackEngine::State::Stopped);
        QTRY_COMPARE(status(), u"Stopped"_s);
        QTRY_VERIFY(announced_.endsWith(u"Stopped"_s));
        QTRY_COMPARE(streams_.openConnections(u"/icy"_s), 0);
        QCOMPARE(title(), u"Best FM"_s);
        checkTuned(form, 1);
        QVERIFY(form->isVisible());

        // Play connects to the same address anew.
        const int playlistRequests = streams_.requests(QUrl(Radio().List(1, 0)).path());
        QVERIFY(call(kPlayer, u"Play"_s));
        QTRY_COMPARE_WITH_TIMEOUT(player->state(), PlaybackEngine::State::Playing, 10000);
        QCOMPARE(streams_.requests(QUrl(Radio().List(1, 0)).path()), playlistRequests + 1);
        QTRY_COMPARE(status(), u"Playing"_s);
        QTRY_VERIFY(announced_.endsWith(u"Playing"_s));
        checkTuned(form, 1);

        // Next and Previous: one row down or up and tuned, with a fresh ad each time.
        for (const auto& [method, row] : {std::pair{u"Next"_s, 2}, std::pair{u"Previous"_s, 1}}) {
            const int ads = adRequests();
            QVERIFY(call(kPlayer, method));
            checkTuned(form, row);
            QTRY_COMPARE_WITH_TIMEOUT(player->state(), PlaybackEngine::State::Playing, 10000);
            QTRY_COMPARE_WITH_TIMEOUT(adRequests(), ads + 1, 10000);
            QTRY_COMPARE_WITH_TIMEOUT(title(), row == 1 ? kIcy : Radio().List(row, 1), 10000);
        }

        // Raise brings the window back from the tray, as the tray's double-click does.
        form->pMenuHideShow_Click();
        QVERIFY(!form->isVisible());
        QVERIFY(call(kRoot, u"Raise"_s));
        QTRY_VERIFY(form->isVisible());
        QCOMPARE(int(FormVisible), -1);
        checkTuned(form, 1);
        QCOMPARE(player->state(), PlaybackEngine::State::Playing);

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
