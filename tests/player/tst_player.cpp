#include "MediaPlayer.h"
#include "audio_capture.h"
#include "stream_server.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>

#include <memory>

using State = MediaPlayer::State;

namespace {

StreamServer::Stream tone(const char* file, const QByteArray& type = "audio/mpeg", int rate = 16000)
{
    QFile f(QStringLiteral(TOLVA_TEST_DATA "/") + QLatin1String(file));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing sample %s", file);
    StreamServer::Stream s;
    s.audio = f.readAll();
    s.contentType = type;
    s.bytesPerSecond = rate;
    return s;
}

// A player whose decoded audio goes to a capture instead of a sound card.
struct Rig {
    AudioCapture capture;
    std::unique_ptr<MediaPlayer> player = std::make_unique<MediaPlayer>();
    Rig(int timeoutMs = 3000)
    {
        player->setAudioSinkFactory([this] { return capture.makeSink(); });
        player->setNetworkTimeout(timeoutMs);
    }
};

} // namespace

#define VERIFY_TONE(capture, hz)                                                                   \
    QVERIFY2(qAbs((capture).frequency() - (hz)) < (hz) * 0.05,                                     \
             qPrintable(QStringLiteral("tone %1 Hz").arg((capture).frequency())))

class TestPlayer : public QObject {
    Q_OBJECT
    StreamServer server;
    StreamServer raw;     // the endless stream at "/" of its own port
    StreamServer flaky;   // goes down and comes back

    QString u(const char* path) const { return server.url(QLatin1String(path)); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(server.start() && raw.start() && flaky.start());
        server.addStream("/a", tone("tone440.mp3"));
        server.addStream("/b", tone("tone660.mp3"));
        server.addStream("/opus", tone("tone440.opus", "audio/ogg", 8400));
        server.addStream("/mislabelled", tone("tone440.ogg", "audio/mpeg", 3000));
        server.addStream("/aac", tone("tone440.aac", "audio/aac", 9100));
        StreamServer::Stream wma = tone("tone440.wma", "video/x-ms-asf", 4870);
        wma.burstSeconds = 4;   // Windows Media servers burst the pre-roll players wait for
        server.addStream("/wma", wma);
        raw.addStream("/", tone("tone440.mp3"));
        StreamServer::Stream icy = tone("tone440.mp3");
        // A server's title is shown as one line of plain text, never as markup.
        icy.icyTitle = QStringLiteral("Кино -\r\n<b>Группа</b>  крови").toUtf8();
        server.addStream("/icy", icy);

        const auto at = [this](const char* path) { return u(path).toUtf8() + "\n"; };
        const auto m3u = [this](const char* path, const QByteArray& body) {
            server.addFile(QLatin1String(path), body, "audio/x-mpegurl");
        };
        m3u("/list.m3u", "#EXTM3U\n#EXTINF:-1,Tone\n" + at("/a"));
        server.addFile("/list.pls", "[playlist]\nNumberOfEntries=1\nFile1=" + at("/aac")
                           + "Title1=Tone\nLength1=-1\nVersion=2\n", "audio/x-scpls");
        // What real servers send: odd case and a bare ampersand.
        server.addFile("/list.asx", "<ASX Version=\"3.0\">\n<Title>Tone & more</Title>\n<ENTRY>\n"
                       "<REF HREF=\"" + u("/wma").toUtf8() + "?a=1&b=2\" />\n</ENTRY>\n</ASX>\n",
                       "video/x-ms-asf");
        m3u("/dead-first.m3u", at("/missing") + at("/b"));
        m3u("/nested.m3u", at("/list.pls"));
        m3u("/self.m3u", at("/self.m3u"));
        m3u("/empty.m3u", "");
        QByteArray garbage(4000, 0);
        for (int i = 0; i < garbage.size(); ++i)
            garbage[i] = char(i * 7919 % 251);
        m3u("/garbage.m3u", garbage);
        m3u("/huge.m3u", "#EXTM3U\n" + QByteArray(300 * 1024, '#') + "\n" + at("/a"));
        server.addHang("/hang");
        server.addHang("/hang.m3u");
    }

    void controlBar()
    {
        MediaPlayer player;
        QCOMPARE(player.state(), State::Stopped);
        QCOMPARE(player.statusLine(), QStringLiteral("Остановлено"));
        auto* slider = player.findChild<QSlider*>(QStringLiteral("volume"));
        auto* mute = player.findChild<QToolButton*>(QStringLiteral("mute"));
        QVERIFY(slider && mute);
        slider->setValue(35);
        QCOMPARE(player.volume(), 35);
        mute->click();
        QVERIFY(player.isMuted());
        player.setVolume(250);
        QCOMPARE(slider->value(), 100);
    }

    void playsWithoutSoundCard()
    {
        // No sink handed in: the desktop's output, or a stand-in where there is none.
        MediaPlayer player;
        player.setURL(u("/list.m3u"));
        QTRY_COMPARE_WITH_TIMEOUT(player.state(), State::Playing, 8000);
        QTest::qWait(500);
        QCOMPARE(player.state(), State::Playing);
    }

    void volumeAndMuteReachTheSound()
    {
        Rig rig;
        rig.player->setURL(u("/a"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.capture.secondsReceived() > 1.0, 8000);
        const double full = rig.capture.level();
        QVERIFY(full > 1000);
        rig.player->setVolume(25);
        for (const bool muted : {false, true, false}) {
            rig.player->setMuted(muted);
            QTest::qWait(800);
            const double level = rig.capture.level();
            QVERIFY2(muted ? level < 10 : qAbs(level / full - 0.25) < 0.05,
                     qPrintable(QString::number(level / full)));
        }
        QCOMPARE(rig.player->state(), State::Playing);
    }

    // Each of MP3, AAC, Windows Media, Ogg Opus and Ogg Vorbis plays at least once; hz 0: error.
    void endsIn_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<double>("hz");
        QTest::addColumn<QString>("status");
        const QString playing = QStringLiteral("Воспроизведение");
        QTest::newRow("m3u, mp3") << u("/list.m3u") << 440.0 << playing;
        QTest::newRow("pls, aac") << u("/list.pls") << 440.0 << playing;
        QTest::newRow("asx with bare &, windows media") << u("/list.asx") << 440.0 << playing;
        QTest::newRow("raw stream at /") << raw.url("/") << 440.0 << playing;
        QTest::newRow("first entry dead") << u("/dead-first.m3u") << 660.0 << playing;
        QTest::newRow("nested playlist") << u("/nested.m3u") << 440.0 << playing;
        QTest::newRow("ogg opus") << u("/opus") << 440.0 << playing;
        QTest::newRow("ogg vorbis sent as mp3") << u("/mislabelled") << 440.0 << playing;
        QTest::newRow("icy title") << u("/icy") << 440.0 << playing + QStringLiteral(": Кино - <b>Группа</b> крови");
        const QString badList = QStringLiteral("Ошибка: неверный список воспроизведения");
        QTest::newRow("self-referencing") << u("/self.m3u") << 0.0 << badList;
        QTest::newRow("empty") << u("/empty.m3u") << 0.0 << badList;
        QTest::newRow("garbage") << u("/garbage.m3u") << 0.0 << badList;
        QTest::newRow("larger than the limit") << u("/huge.m3u") << 0.0 << badList;
        QTest::newRow("404") << u("/gone") << 0.0 << QStringLiteral("Ошибка: поток недоступен");
        QTest::newRow("not an address") << QStringLiteral("http://") << 0.0 << QStringLiteral("Ошибка: неверный адрес");
    }

    void endsIn()
    {
        QFETCH(QString, url);
        QFETCH(double, hz);
        QFETCH(QString, status);
        Rig rig;
        rig.player->setURL(url);
        if (hz > 0) {
            QTRY_VERIFY_WITH_TIMEOUT(rig.capture.secondsReceived() > 1.0, 10000);
            VERIFY_TONE(rig.capture, hz);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(rig.player->state(), State::Error, 8000);
            QTest::qWait(1500);   // an error is final: no retry comes by itself
            QCOMPARE(rig.capture.secondsReceived(), 0.0);
        }
        // A loaded machine may starve the output for a moment right after the first audio.
        QTRY_COMPARE(rig.player->state(), hz > 0 ? State::Playing : State::Error);
        QTRY_COMPARE(rig.player->statusLine(), status);
        // A tooltip takes markup-like text for rich text: it must still read as the line.
        const QString tip = rig.player->findChild<QLabel*>(QStringLiteral("status"))->toolTip();
        QTextDocument shown;
        shown.setHtml(tip);
        QCOMPARE(Qt::mightBeRichText(tip) ? shown.toRawText() : tip, status);
    }

    void recovers_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("connection refused") << "refused";
        QTest::newRow("accepts, never answers") << "hang";
        QTest::newRow("stream closes mid-way") << "closes";
    }

    void recovers()
    {
        QFETCH(QString, kind);
        const QString path = QLatin1Char('/') + kind;
        StreamServer::Stream stream = tone("tone660.mp3");
        stream.closeAfterSeconds = kind == QLatin1String("closes") ? 1.5 : 0;
        if (kind == QLatin1String("hang"))
            flaky.addHang(path);
        else
            flaky.addStream(path, stream);
        flaky.setDown(kind == QLatin1String("refused"));
        Rig rig(1000);
        rig.player->setURL(flaky.url(path));
        if (kind == QLatin1String("closes"))
            QTRY_COMPARE_WITH_TIMEOUT(rig.player->state(), State::Playing, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.player->state(), State::Reconnecting, 8000);
        QVERIFY(rig.player->statusLine().startsWith(QStringLiteral("Повторное подключение")));

        stream.closeAfterSeconds = 0;   // the server comes back
        flaky.addStream(path, stream);
        flaky.setDown(false);
        rig.capture.reset();
        QTRY_VERIFY_WITH_TIMEOUT(rig.capture.secondsReceived() > 0.5, 15000);
        QTRY_COMPARE(rig.player->state(), State::Playing);
        VERIFY_TONE(rig.capture, 660.0);
    }

    void retriesBackOff()
    {
        // A stream that drops soon after each start is retried later each time, not hammered.
        StreamServer::Stream stream = tone("tone440.mp3");
        stream.closeAfterSeconds = 0.4;
        flaky.addStream("/flapping", stream);
        Rig rig;
        rig.player->setURL(flaky.url("/flapping"));
        for (const int s : {1, 2, 3})
            QTRY_COMPARE_WITH_TIMEOUT(rig.player->statusLine(),
                                      QStringLiteral("Повторное подключение через %1 с…").arg(s), 6000);
        // A new address cancels the pending retry.
        const int requests = flaky.requests("/flapping");
        rig.player->setURL(u("/a"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.player->state(), State::Playing, 5000);
        QTest::qWait(3500);
        QCOMPARE(flaky.requests("/flapping"), requests);
    }

    void switchesAddresses()
    {
        Rig rig;
        rig.player->setURL(u("/a"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.capture.secondsReceived() > 0.5, 8000);
        QTRY_COMPARE(server.openConnections("/a"), 1);
        const int requests = server.requests("/a");
        rig.player->setURL(u("/a"));   // the same address again connects anew
        QCOMPARE(rig.player->state(), State::Connecting);
        rig.capture.reset();
        QTRY_VERIFY_WITH_TIMEOUT(rig.capture.secondsReceived() > 0.3, 8000);
        QVERIFY(server.requests("/a") > requests);
        QTRY_COMPARE(server.openConnections("/a"), 1);
        rig.player->setURL(u("/b"));   // another one closes the old
        QTRY_COMPARE_WITH_TIMEOUT(server.openConnections("/a"), 0, 3000);
        rig.capture.reset();
        QTRY_VERIFY_WITH_TIMEOUT(rig.capture.secondsReceived() > 0.6, 8000);
        VERIFY_TONE(rig.capture, 660.0);
        QCOMPARE(server.openConnections("/b"), 1);
        rig.player->setURL(QString());   // an empty one stops
        QCOMPARE(rig.player->state(), State::Stopped);
        QTRY_COMPARE_WITH_TIMEOUT(server.openConnections("/b"), 0, 3000);
    }

    void neverBlocksOnHungServer()
    {
        for (const char* path : {"/hang", "/hang.m3u"}) {
            Rig rig(30000);
            rig.player->setURL(u(path));
            QTest::qWait(400);
            QElapsedTimer clock;
            clock.start();
            rig.player->setURL(u("/a"));
            // Blocking on the hung server would take its 30 s; the slack is for a loaded machine.
            QVERIFY2(clock.elapsed() < 100, qPrintable(QString::number(clock.elapsed())));
            QTRY_VERIFY_WITH_TIMEOUT(rig.capture.secondsReceived() > 0.3, 8000);
        }
    }

    void repeatedStallsGapOnce_data()
    {
        QTest::addColumn<double>("burst");
        QTest::addColumn<double>("every");
        QTest::addColumn<double>("stall");
        QTest::newRow("no burst, 1 s stall every 3 s") << 0.0 << 3.0 << 1.0;
        QTest::newRow("1 s burst, 1.8 s stall every 4 s") << 1.0 << 4.0 << 1.8;
    }

    void repeatedStallsGapOnce()
    {
        if (qEnvironmentVariableIsSet("TOLVA_SANITIZED"))
            QSKIP("real-time audio continuity is checked on the normal build");
        QFETCH(double, burst);
        QFETCH(double, every);
        QFETCH(double, stall);
        StreamServer::Stream stream = tone("tone440.mp3");
        stream.burstSeconds = burst;
        stream.stallEverySeconds = every;
        stream.stallForSeconds = stall;
        const QString path = QStringLiteral("/stall-%1").arg(every);
        server.addStream(path, stream);
        Rig rig;
        QSignalSpy buffering(rig.player.get(), &MediaPlayer::bufferingChanged);
        rig.player->setURL(server.url(path));
        QTRY_VERIFY_WITH_TIMEOUT(rig.capture.firstAudioNs() != 0, 5000);
        QTest::qWait(int(every * 4 * 1000));
        const QList<qint64> gaps = rig.capture.gapsMs(150);
        QVERIFY2(gaps.size() <= 1, qPrintable(QStringLiteral("%1 gaps").arg(gaps.size())));
        VERIFY_TONE(rig.capture, 440.0);
        QCOMPARE(rig.player->state(), State::Playing);
        QVERIFY(gaps.isEmpty() || !buffering.isEmpty());   // the one gap was shown as buffering
    }
};

QTEST_MAIN(TestPlayer)
#include "tst_player.moc"
