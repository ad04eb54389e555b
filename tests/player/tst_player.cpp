#include "MediaPlayer.h"
#include "audio_capture.h"
#include "stream_server.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace {

QByteArray sample(const char* name)
{
    QFile f(QStringLiteral(TOLVA_TEST_DATA "/") + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing sample %s", name);
    return f.readAll();
}

StreamServer::Stream tone(const char* file, const QByteArray& type = "audio/mpeg", int rate = 16000)
{
    StreamServer::Stream s;
    s.audio = sample(file);
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

bool nearTone(double measured, double expected)
{
    return qAbs(measured - expected) < expected * 0.05;
}

} // namespace

class TestPlayer : public QObject {
    Q_OBJECT
    StreamServer server;
    StreamServer raw;     // the endless stream at "/" of its own port
    StreamServer flaky;   // goes down and comes back

    QString u(const char* path) const { return server.url(QLatin1String(path)); }

private Q_SLOTS:
    void initTestCase();
    void controlBar();
    void playsWithoutSoundCard();
    void volumeAndMuteReachTheSound();
    void plays_data();
    void plays();
    void endsInError_data();
    void endsInError();
    void recovers_data();
    void recovers();
    void retriesBackOff();
    void secondAddressStopsFirst();
    void sameAddressConnectsAnew();
    void emptyAddressStops();
    void neverBlocksOnHungServer();
    void showsIcyTitle();
    void repeatedStallsGapOnce_data();
    void repeatedStallsGapOnce();
};

void TestPlayer::initTestCase()
{
    QVERIFY(server.start());
    QVERIFY(raw.start());
    QVERIFY(flaky.start());

    server.addStream("/s440", tone("tone440.mp3"));
    server.addStream("/s660", tone("tone660.mp3"));
    server.addStream("/a", tone("tone440.mp3"));
    server.addStream("/b", tone("tone660.mp3"));
    server.addStream("/ogg", tone("tone440.ogg", "application/ogg", 3000));
    server.addStream("/opus", tone("tone440.opus", "audio/ogg", 8400));
    server.addStream("/mislabelled", tone("tone440.ogg", "audio/mpeg", 3000));
    server.addStream("/aac", tone("tone440.aac", "audio/aac", 9100));
    // Windows Media servers burst the pre-roll the player waits for.
    StreamServer::Stream wma = tone("tone440.wma", "video/x-ms-asf", 4870);
    wma.burstSeconds = 4;
    server.addStream("/wma", wma);
    raw.addStream("/", tone("tone440.mp3"));

    const QByteArray s440 = u("/s440").toUtf8();
    const QByteArray s660 = u("/s660").toUtf8();
    server.addFile("/list.m3u", "#EXTM3U\n#EXTINF:-1,Tone\n" + s440 + "\n", "audio/x-mpegurl");
    server.addFile("/list.pls", "[playlist]\nNumberOfEntries=1\nFile1=" + s440
                       + "\nTitle1=Tone\nLength1=-1\nVersion=2\n", "audio/x-scpls");
    // What real servers send: odd case and a bare ampersand in the address.
    server.addFile("/list.asx", "<ASX Version=\"3.0\">\n<Title>Tone & more</Title>\n<ENTRY>\n"
                       "<REF HREF=\"" + s440 + "?a=1&b=2\" />\n</ENTRY>\n</ASX>\n", "video/x-ms-asf");
    server.addFile("/list.xspf", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\"><trackList><track>"
                       "<location>" + s440 + "</location></track></trackList></playlist>\n",
                   "application/xspf+xml");
    server.addFile("/relative.m3u", "s660\n", "audio/x-mpegurl");
    server.addFile("/text.m3u", "#EXTM3U\n" + s660 + "\n", "text/plain");
    server.addRedirect("/moved.m3u", u("/list.m3u"));
    server.addFile("/dead-first.m3u", u("/missing").toUtf8() + "\n" + s660 + "\n", "audio/x-mpegurl");
    server.addFile("/nested.m3u", u("/list.pls").toUtf8() + "\n", "audio/x-mpegurl");
    server.addFile("/self.m3u", u("/self.m3u").toUtf8() + "\n", "audio/x-mpegurl");
    server.addFile("/ping.m3u", u("/pong.m3u").toUtf8() + "\n", "audio/x-mpegurl");
    server.addFile("/pong.m3u", u("/ping.m3u").toUtf8() + "\n", "audio/x-mpegurl");
    server.addFile("/empty.m3u", "", "audio/x-mpegurl");
    server.addFile("/comments.pls", "[playlist]\nNumberOfEntries=0\n", "audio/x-scpls");
    QByteArray garbage;
    for (int i = 0; i < 4000; ++i)
        garbage += char((i * 7919) % 251);
    server.addFile("/garbage.m3u", garbage, "audio/x-mpegurl");
    server.addFile("/huge.m3u", "#EXTM3U\n" + QByteArray(300 * 1024, '#') + "\n" + s440 + "\n",
                   "audio/x-mpegurl");
    server.addStatus("/gone", 404);
    server.addFile("/only-dead.m3u", u("/gone").toUtf8() + "\n", "audio/x-mpegurl");
    server.addHang("/hang");
    server.addHang("/hang.m3u");
}

void TestPlayer::controlBar()
{
    MediaPlayer player;
    QCOMPARE(player.size(), QSize(624, 46));
    QCOMPARE(player.contextMenuPolicy(), Qt::PreventContextMenu);
    QCOMPARE(player.URL(), QString());
    QCOMPARE(player.state(), MediaPlayer::State::Stopped);
    QCOMPARE(player.volume(), 100);
    QVERIFY(!player.isMuted());
    QCOMPARE(player.statusLine(), QStringLiteral("Остановлено"));

    auto* slider = player.findChild<QSlider*>(QStringLiteral("volume"));
    auto* mute = player.findChild<QToolButton*>(QStringLiteral("mute"));
    QVERIFY(slider && mute);
    slider->setValue(35);
    QCOMPARE(player.volume(), 35);
    mute->click();
    QVERIFY(player.isMuted());
    mute->click();
    QVERIFY(!player.isMuted());
    player.setVolume(250);
    QCOMPARE(slider->value(), 100);
}

void TestPlayer::playsWithoutSoundCard()
{
    // No sink handed in: the desktop's output, or a stand-in where there is none.
    MediaPlayer player;
    player.setURL(u("/list.m3u"));
    QTRY_COMPARE_WITH_TIMEOUT(player.state(), MediaPlayer::State::Playing, 8000);
    QTest::qWait(500);
    QCOMPARE(player.state(), MediaPlayer::State::Playing);
}

void TestPlayer::volumeAndMuteReachTheSound()
{
    Rig rig;
    rig.player->setURL(u("/s440"));
    QTRY_VERIFY_WITH_TIMEOUT(rig.capture.secondsReceived() > 1.0, 8000);
    const double full = rig.capture.level();
    QVERIFY(full > 1000);
    rig.player->setVolume(25);
    QTest::qWait(800);
    QVERIFY2(qAbs(rig.capture.level() / full - 0.25) < 0.05,
             qPrintable(QString::number(rig.capture.level() / full)));
    rig.player->setMuted(true);
    QTest::qWait(800);
    QVERIFY(rig.capture.level() < 10);
    rig.player->setMuted(false);
    QTest::qWait(800);
    QVERIFY(qAbs(rig.capture.level() / full - 0.25) < 0.05);
    QCOMPARE(rig.player->state(), MediaPlayer::State::Playing);
}

void TestPlayer::plays_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<double>("hz");
    QTest::newRow("m3u") << u("/list.m3u") << 440.0;
    QTest::newRow("pls") << u("/list.pls") << 440.0;
    QTest::newRow("asx with bare &") << u("/list.asx") << 440.0;
    QTest::newRow("xspf") << u("/list.xspf") << 440.0;
    QTest::newRow("raw stream at /") << raw.url("/") << 440.0;
    QTest::newRow("relative entry") << u("/relative.m3u") << 660.0;
    QTest::newRow("m3u sent as text/plain") << u("/text.m3u") << 660.0;
    QTest::newRow("redirected playlist") << u("/moved.m3u") << 440.0;
    QTest::newRow("first entry dead") << u("/dead-first.m3u") << 660.0;
    QTest::newRow("nested playlist") << u("/nested.m3u") << 440.0;
    QTest::newRow("ogg vorbis") << u("/ogg") << 440.0;
    QTest::newRow("ogg opus") << u("/opus") << 440.0;
    QTest::newRow("ogg sent as mp3") << u("/mislabelled") << 440.0;
    QTest::newRow("aac") << u("/aac") << 440.0;
    QTest::newRow("windows media") << u("/wma") << 440.0;
}

void TestPlayer::plays()
{
    QFETCH(QString, url);
    QFETCH(double, hz);
    Rig rig;
    QSignalSpy states(rig.player.get(), &MediaPlayer::stateChanged);
    rig.player->setURL(url);
    QCOMPARE(rig.player->URL(), url);
    QTRY_VERIFY_WITH_TIMEOUT(rig.capture.secondsReceived() > 1.0, 10000);
    QCOMPARE(rig.player->state(), MediaPlayer::State::Playing);
    QVERIFY2(nearTone(rig.capture.frequency(), hz),
             qPrintable(QStringLiteral("tone %1 Hz").arg(rig.capture.frequency())));
    QVERIFY(states.size() >= 2);
    QCOMPARE(states.first().first().value<MediaPlayer::State>(), MediaPlayer::State::Connecting);
    QCOMPARE(rig.player->statusLine(), QStringLiteral("Воспроизведение"));
}

void TestPlayer::endsInError_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("status");
    const QString badList = QStringLiteral("Ошибка: неверный список воспроизведения");
    const QString gone = QStringLiteral("Ошибка: поток недоступен");
    QTest::newRow("self-referencing") << u("/self.m3u") << badList;
    QTest::newRow("two lists naming each other") << u("/ping.m3u") << badList;
    QTest::newRow("empty") << u("/empty.m3u") << badList;
    QTest::newRow("no entries") << u("/comments.pls") << badList;
    QTest::newRow("garbage") << u("/garbage.m3u") << badList;
    QTest::newRow("larger than the limit") << u("/huge.m3u") << badList;
    QTest::newRow("404") << u("/gone") << gone;
    QTest::newRow("404 behind a playlist") << u("/only-dead.m3u") << badList;
    QTest::newRow("not an address") << QStringLiteral("http://") << QStringLiteral("Ошибка: неверный адрес");
}

void TestPlayer::endsInError()
{
    QFETCH(QString, url);
    QFETCH(QString, status);
    Rig rig;
    rig.player->setURL(url);
    QTRY_COMPARE_WITH_TIMEOUT(rig.player->state(), MediaPlayer::State::Error, 8000);
    QCOMPARE(rig.player->statusLine(), status);
    // An error is final: no retry comes by itself.
    QTest::qWait(1500);
    QCOMPARE(rig.player->state(), MediaPlayer::State::Error);
    QCOMPARE(rig.capture.secondsReceived(), 0.0);
}

void TestPlayer::recovers_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("connection refused") << "refused";
    QTest::newRow("accepts, never answers") << "hang";
    QTest::newRow("playlist server never answers") << "hang-list";
    QTest::newRow("stream closes mid-way") << "closes";
}

void TestPlayer::recovers()
{
    QFETCH(QString, kind);
    Rig rig(1000);
    StreamServer::Stream stream = tone("tone660.mp3");
    QString url;
    if (kind == QLatin1String("refused")) {
        flaky.addStream("/live", stream);
        flaky.setDown(true);
        url = flaky.url("/live");
    } else if (kind == QLatin1String("hang")) {
        flaky.addHang("/hung");
        url = flaky.url("/hung");
    } else if (kind == QLatin1String("hang-list")) {
        flaky.addHang("/hung.m3u");
        url = flaky.url("/hung.m3u");
    } else {
        stream.closeAfterSeconds = 1.5;
        flaky.addStream("/short", stream);
        url = flaky.url("/short");
    }
    rig.player->setURL(url);
    if (kind == QLatin1String("closes"))
        QTRY_COMPARE_WITH_TIMEOUT(rig.player->state(), MediaPlayer::State::Playing, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.player->state(), MediaPlayer::State::Reconnecting, 8000);
    QVERIFY(rig.player->statusLine().startsWith(QStringLiteral("Повторное подключение")));

    // The server comes back.
    stream.closeAfterSeconds = 0;
    if (kind == QLatin1String("refused")) {
        flaky.setDown(false);
    } else if (kind == QLatin1String("hang")) {
        flaky.addStream("/hung", stream);
    } else if (kind == QLatin1String("hang-list")) {
        flaky.addFile("/hung.m3u", flaky.url("/back").toUtf8() + "\n", "audio/x-mpegurl");
        flaky.addStream("/back", stream);
    } else {
        flaky.addStream("/short", stream);
    }
    rig.capture.reset();
    QTRY_VERIFY_WITH_TIMEOUT(rig.capture.secondsReceived() > 0.5, 15000);
    QCOMPARE(rig.player->state(), MediaPlayer::State::Playing);
    QVERIFY(nearTone(rig.capture.frequency(), 660));
}

void TestPlayer::retriesBackOff()
{
    // A stream that drops soon after each start is retried later each time, not hammered.
    StreamServer::Stream stream = tone("tone440.mp3");
    stream.closeAfterSeconds = 0.4;
    flaky.addStream("/flapping", stream);
    Rig rig;
    rig.player->setURL(flaky.url("/flapping"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.player->statusLine(), QStringLiteral("Повторное подключение через 1 с…"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.player->statusLine(), QStringLiteral("Повторное подключение через 2 с…"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.player->statusLine(), QStringLiteral("Повторное подключение через 3 с…"), 6000);
    // A new address cancels the pending retry.
    const int requests = flaky.requests("/flapping");
    rig.player->setURL(u("/a"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.player->state(), MediaPlayer::State::Playing, 5000);
    QTest::qWait(3500);
    QCOMPARE(flaky.requests("/flapping"), requests);
}

void TestPlayer::secondAddressStopsFirst()
{
    Rig rig;
    rig.player->setURL(u("/a"));
    QTRY_VERIFY_WITH_TIMEOUT(rig.capture.secondsReceived() > 0.5, 8000);
    QTRY_COMPARE(server.openConnections("/a"), 1);
    rig.player->setURL(u("/b"));
    QTRY_COMPARE_WITH_TIMEOUT(server.openConnections("/a"), 0, 3000);
    rig.capture.reset();
    QTRY_VERIFY_WITH_TIMEOUT(rig.capture.secondsReceived() > 0.6, 8000);
    QVERIFY(nearTone(rig.capture.frequency(), 660));
    QCOMPARE(server.openConnections("/b"), 1);
    rig.player.reset();
    QTRY_COMPARE_WITH_TIMEOUT(server.openConnections("/b"), 0, 3000);
}

void TestPlayer::sameAddressConnectsAnew()
{
    Rig rig;
    const int before = server.requests("/list.m3u");
    rig.player->setURL(u("/list.m3u"));
    QTRY_VERIFY_WITH_TIMEOUT(rig.capture.secondsReceived() > 0.3, 8000);
    const int streamsBefore = server.requests("/s440");
    const int streamsOpen = server.openConnections("/s440");
    rig.player->setURL(u("/list.m3u"));
    QCOMPARE(rig.player->state(), MediaPlayer::State::Connecting);
    rig.capture.reset();
    QTRY_VERIFY_WITH_TIMEOUT(rig.capture.secondsReceived() > 0.3, 8000);
    QCOMPARE(server.requests("/list.m3u"), before + 2);
    QTRY_COMPARE(server.openConnections("/s440"), streamsOpen);
    QVERIFY(server.requests("/s440") > streamsBefore);
    QCOMPARE(rig.player->state(), MediaPlayer::State::Playing);
}

void TestPlayer::emptyAddressStops()
{
    Rig rig;
    rig.player->setURL(u("/a"));
    QTRY_VERIFY_WITH_TIMEOUT(rig.capture.secondsReceived() > 0.3, 8000);
    rig.player->setURL(QString());
    QCOMPARE(rig.player->state(), MediaPlayer::State::Stopped);
    QTRY_COMPARE_WITH_TIMEOUT(server.openConnections("/a"), 0, 3000);
    const double heard = rig.capture.secondsReceived();
    QTest::qWait(500);
    QVERIFY(rig.capture.secondsReceived() - heard < 0.1);
}

void TestPlayer::neverBlocksOnHungServer()
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

        rig.player->setURL(u(path));
        QTest::qWait(400);
        clock.restart();
        rig.player.reset();   // the window goes while the stream hangs
        QVERIFY2(clock.elapsed() < 100, qPrintable(QString::number(clock.elapsed())));
    }
}

void TestPlayer::showsIcyTitle()
{
    StreamServer::Stream stream = tone("tone440.mp3");
    stream.icyTitle = QStringLiteral("Кино - Группа крови").toUtf8();
    server.addStream("/icy", stream);
    Rig rig;
    QSignalSpy titles(rig.player.get(), &MediaPlayer::nowPlayingChanged);
    rig.player->setURL(u("/icy"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.player->nowPlaying(), QStringLiteral("Кино - Группа крови"), 8000);
    QTRY_COMPARE(rig.player->state(), MediaPlayer::State::Playing);
    QCOMPARE(rig.player->statusLine(), QStringLiteral("Воспроизведение: Кино - Группа крови"));
    QTRY_VERIFY_WITH_TIMEOUT(rig.capture.secondsReceived() > 1.0, 5000);
    QVERIFY2(nearTone(rig.capture.frequency(), 440), qPrintable(QString::number(rig.capture.frequency())));
    rig.player->setURL(u("/a"));
    QCOMPARE(rig.player->nowPlaying(), QString());
}

void TestPlayer::repeatedStallsGapOnce_data()
{
    QTest::addColumn<double>("burst");
    QTest::addColumn<double>("every");
    QTest::addColumn<double>("stall");
    QTest::newRow("no burst, 1 s stall every 3 s") << 0.0 << 3.0 << 1.0;
    QTest::newRow("no burst, 0.5 s stall every 2 s") << 0.0 << 2.0 << 0.5;
    QTest::newRow("1 s burst, 1.8 s stall every 4 s") << 1.0 << 4.0 << 1.8;
}

void TestPlayer::repeatedStallsGapOnce()
{
    QFETCH(double, burst);
    QFETCH(double, every);
    QFETCH(double, stall);
    StreamServer::Stream stream = tone("tone440.mp3");
    stream.burstSeconds = burst;
    stream.stallEverySeconds = every;
    stream.stallForSeconds = stall;
    const QString path = QStringLiteral("/stall-%1").arg(QTest::currentDataTag()).replace(' ', '_');
    server.addStream(path, stream);
    Rig rig;
    QSignalSpy buffering(rig.player.get(), &MediaPlayer::bufferingChanged);
    rig.player->setURL(server.url(path));
    QTRY_VERIFY_WITH_TIMEOUT(rig.capture.firstAudioNs() != 0, 5000);
    QTest::qWait(int(every * 4 * 1000));
    const QList<qint64> gaps = rig.capture.gapsMs(150);
    QVERIFY2(gaps.size() <= 1, qPrintable(QStringLiteral("%1 gaps").arg(gaps.size())));
    QVERIFY(nearTone(rig.capture.frequency(), 440));
    QCOMPARE(rig.player->state(), MediaPlayer::State::Playing);
    if (!gaps.isEmpty())
        QVERIFY(!buffering.isEmpty());   // the one gap was shown as buffering
}

QTEST_MAIN(TestPlayer)
#include "tst_player.moc"
