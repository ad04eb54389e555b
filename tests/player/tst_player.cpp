// The player heard where the listener hears it: a private PulseAudio whose null sink is the
// desktop's output, recorded from its monitor, with local servers for every kind of link.
// Under GST_TRACERS=leaks (the tst_player_leaks entry) it also fails on any GStreamer object
// still alive at the end.
#include "PlaybackEngine.h"
#include "audio_capture.h"
#include "busy_cores.h"
#include "sound_server.h"
#include "stream_server.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <gst/gst.h>

#include <algorithm>

namespace {

int leaked = 0;
void countLeaks(GstDebugCategory*, GstDebugLevel, const gchar*, const gchar*, gint, GObject*, GstDebugMessage* m, gpointer)
{
    leaked += g_str_has_prefix(gst_debug_message_get(m), "object-alive,");
}

QString heardText(const AudioCapture& heard, const QList<qint64>& gaps = {})
{
    QString text;
    QDebug(&text) << heard.secondsHeard() << "s at" << heard.frequency() << "Hz, gaps (ms):" << gaps;
    return text;
}

bool isTone(const AudioCapture& heard, double hz)
{
    return qAbs(heard.frequency() - hz) < hz * 0.05;
}

} // namespace

class TestPlayer : public QObject {
    Q_OBJECT
    SoundServer sound;
    StreamServer server;
    StreamServer station;   // goes down and comes back
    const QString playing = QStringLiteral("Воспроизведение");

    QString u(const char* path) const { return server.url(QLatin1String(path)); }

private Q_SLOTS:
    void initTestCase()
    {
        gst_init(nullptr, nullptr);
        gst_debug_add_log_function(countLeaks, nullptr, nullptr);
        QVERIFY2(sound.start(), qPrintable(sound.log()));
        QVERIFY(server.start() && station.start());
        const auto sample = [](const char* file) {
            QFile f(QStringLiteral(TOLVA_TEST_DATA "/") + QLatin1String(file));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const QByteArray a = sample("tone440.mp3");
        server.addStream("/", {.audio = a});
        server.addStream("/b", {.audio = sample("tone660.mp3")});
        server.addStream("/opus", {.audio = sample("tone440.opus"), .contentType = "audio/ogg", .bytesPerSecond = 8400});
        server.addStream("/mislabelled", {.audio = sample("tone440.ogg"), .bytesPerSecond = 3000});
        server.addStream("/aac", {.audio = sample("tone440.aac"), .contentType = "audio/aac", .bytesPerSecond = 9100});
        // Windows Media servers burst the pre-roll players wait for.
        server.addStream("/wma", {.audio = sample("tone440.wma"), .contentType = "video/x-ms-asf", .bytesPerSecond = 4870, .burstSeconds = 4});
        server.addStream("/icy", {.audio = a, .icyTitle = QStringLiteral("Кино - Группа крови").toUtf8()});
        // Drops as the cushion runs dry, so that the end of the stream meets a refill.
        server.addStream("/flapping", {.audio = a, .closeAfterSeconds = 0.4});

        const auto at = [this](const char* path) { return u(path).toUtf8() + "\n"; };
        server.addFile("/list.m3u", "#EXTM3U\n#EXTINF:-1,Tone\n" + at("/"), "audio/x-mpegurl");
        server.addFile("/list.pls", "[playlist]\nNumberOfEntries=1\nFile1=" + at("/aac") + "Title1=Tone\nVersion=2\n", "audio/x-scpls");
        // What real servers send: odd case and a bare ampersand.
        server.addFile("/list.asx", "<ASX Version=\"3.0\">\n<Title>Tone & more</Title>\n<ENTRY>\n<REF HREF=\"" + u("/wma").toUtf8()
                                        + "?a=1&b=2\" />\n</ENTRY>\n</ASX>\n", "video/x-ms-asf");
        server.addFile("/nested.m3u", at("/missing") + at("/list.pls"));
        server.addFile("/self.m3u", at("/self.m3u"));
        server.addFile("/empty.m3u", "");
        QByteArray hls = "#EXTM3U\n#EXT-X-TARGETDURATION:2\n";
        for (const char* segment : {"tone440-0.ts", "tone440-1.ts", "tone440-2.ts"}) {
            hls += QByteArray("#EXTINF:2.0,\n") + segment + "\n";
            server.addFile(QLatin1Char('/') + QLatin1String(segment), sample(segment), "video/mp2t");
        }
        server.addFile("/live.m3u8", hls + "#EXT-X-ENDLIST\n", "application/vnd.apple.mpegurl");
        // Listeners' links, each through an .m3u as a station's address is.
        const auto link = [](StreamServer& at, const QString& path, const StreamServer::Stream& s) {
            at.addStream(path, s);
            at.addFile(path + ".m3u", at.url(path).toUtf8() + "\n");
        };
        link(server, "/no-burst", {.audio = a});
        link(server, "/short-stalls", {.audio = a, .burstSeconds = 4, .stallEverySeconds = 5, .stallForSeconds = 1.5});
        link(server, "/burst", {.audio = a, .burstSeconds = 1});
        link(server, "/long-stalls", {.audio = a, .burstSeconds = 1, .stallEverySeconds = 5, .stallForSeconds = 3});
        link(station, "/down", {.audio = a, .burstSeconds = 1, .downAfterSeconds = 5, .downForSeconds = 3});

        server.addMisbehaving("/hang", StreamServer::Misbehaving::Hangs);
        server.addMisbehaving("/hang.m3u", StreamServer::Misbehaving::Hangs);
        server.addMisbehaving("/trickle", StreamServer::Misbehaving::SlowHeaders);
        server.addStream("/trickle-audio", {.audio = "\xff", .bytesPerSecond = 1});
        server.addMisbehaving("/loop", StreamServer::Misbehaving::RedirectsForever);
        QByteArray many = "#EXTM3U\n";
        for (int i = 0; i < 10000; ++i)
            many += u("/hang").toUtf8() + "?" + QByteArray::number(i) + "\n";
        server.addFile("/many.m3u", many);
        server.addStream("/endless.m3u", {.audio = "#EXTINF:-1,Endless\n", .contentType = "audio/x-mpegurl"});
        QByteArray garbage(64 * 1024, 0);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(garbage.data()), garbage.size() / 4);
        server.addStream("/garbage", {.audio = garbage});
    }

    // Every playlist kind and format once, and listeners' links: no silence after the first
    // sound, a server that went away heard again by itself, a link that stalls again and again
    // heard to stall once. Errors stay, in silence; hostile servers end in a clear state, never
    // "Подключение…" for good. Rows without sound have a 3 s network timeout: the same end, sooner.
    void endsIn_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("seconds");   // of the 440 Hz tone after its first sound; 0: silence
        QTest::addColumn<int>("gapMs");     // one silence over 100 ms allowed, up to this long; 0: none
        QTest::addColumn<bool>("busy");     // every core
        const auto row = [](const char* name, const QString& url, const QString& status, int seconds = 0, int gapMs = 0) {
            QTest::newRow(name) << url << status << seconds << gapMs << false;
        };
        const QString badList = QStringLiteral("Ошибка: неверный список воспроизведения");
        const QString retrying = QStringLiteral("Повторное подключение через 1 с…");
        row("m3u, mp3", u("/list.m3u"), playing, 1);
        row("pls, aac", u("/list.pls"), playing, 1);
        row("asx with bare &, windows media", u("/list.asx"), playing, 1);
        row("nested, first entry dead", u("/nested.m3u"), playing, 1);
        row("ogg opus", u("/opus"), playing, 1);
        row("ogg vorbis sent as mp3", u("/mislabelled"), playing, 1);
        row("icy title", u("/icy"), playing + QStringLiteral(": Кино - Группа крови"), 1);
        // Segments join into one stream, not one short stream after another.
        row("hls, aac in mpeg-ts", u("/live.m3u8"), playing, 5);
        row("no burst", u("/no-burst.m3u"), playing, 15);
        row("4 s burst, 1.5 s stall every 5 s", u("/short-stalls.m3u"), playing, 15);
        QTest::newRow("1 s burst, both cores busy") << u("/burst.m3u") << playing << 15 << 0 << true;
        // Down 5 s into the stream for 3 s: back within 10 s of the server.
        row("down 3 s, then back", station.url("/down.m3u"), playing, 20, 13000);
        row("3 s stall every 5 s", u("/long-stalls.m3u"), playing, 30, 30000);
        row("self-referencing", u("/self.m3u"), badList);
        row("empty", u("/empty.m3u"), badList);
        row("404", u("/gone"), QStringLiteral("Ошибка: поток недоступен"));
        row("not an address", QStringLiteral("http://"), QStringLiteral("Ошибка: неверный адрес"));
        row("headers one byte a second", u("/trickle"), retrying);
        row("audio one byte a second", u("/trickle-audio"), retrying);
        row("endless redirects", u("/loop"), retrying);
        row("10 000 entries, none answering", u("/many.m3u"), badList);
        row("playlist that never ends", u("/endless.m3u"), retrying);
        row("binary garbage as mp3", u("/garbage"), retrying);
    }

    void endsIn()
    {
        QFETCH(QString, url);
        QFETCH(QString, status);
        QFETCH(int, seconds);
        QFETCH(int, gapMs);
        QFETCH(bool, busy);
        const BusyCores cores(busy);
        AudioCapture heard;
        QTRY_VERIFY_WITH_TIMEOUT(heard.isRecording(), 5000);
        PlaybackEngine player;
        if (seconds == 0)
            player.setNetworkTimeout(3000);
        player.setUrl(url);
        QTRY_COMPARE_WITH_TIMEOUT(player.statusText(), status, 15000);
        const bool retrying = player.state() == PlaybackEngine::State::Reconnecting;
        if (seconds == 0) {
            QTest::qWait(1500);
            QVERIFY2(heard.secondsHeard() == 0, qPrintable(heardText(heard)));
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(heard.firstSoundNs() != 0, 5000);
            QTest::qWait(seconds * 1000 + 200);
            const QList<qint64> gaps = heard.gapsMs(100, heard.firstSoundNs() + seconds * qint64(1e9));
            QVERIFY2(isTone(heard, 440) && gaps.size() <= (gapMs > 0)
                         && std::ranges::all_of(gaps, [=](qint64 g) { return g <= gapMs; }),
                     qPrintable(heardText(heard, gaps)));
        }
        if (!retrying)   // an error stays, and so does the sound; retries go on by themselves
            QCOMPARE(player.statusText(), status);
    }

    // One player from one address to the next: the call returns at once, the old address is let
    // go (its connection closed, a pending retry cancelled) and the next is heard. The same
    // address again connects anew; none stops, in silence. (Volume and mute: tst_media_player.)
    void retune_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QStringList>("seen");   // statuses, in this order, before
        QTest::addColumn<QString>("to");
        const QStringList retries{QStringLiteral("Повторное подключение через 1 с…"),
                                  QStringLiteral("Повторное подключение через 2 с…"),
                                  QStringLiteral("Повторное подключение через 3 с…")};
        const auto row = [](const char* name, const char* from, const QStringList& seen, const char* to) {
            QTest::newRow(name) << QString::fromLatin1(from) << seen << QString::fromLatin1(to);
        };
        row("from a link dropping again and again", "/flapping", retries, "/b");
        row("another station", "/", {playing}, "/b");
        row("the same again", "/", {playing}, "/");
        row("none", "/", {playing}, "");
        row("from a hung stream", "/hang", {}, "/b");
        row("from a hung playlist", "/hang.m3u", {}, "/b");
    }

    void retune()
    {
        QFETCH(QString, from);
        QFETCH(QStringList, seen);
        QFETCH(QString, to);
        AudioCapture heard;
        QTRY_VERIFY_WITH_TIMEOUT(heard.isRecording(), 5000);
        PlaybackEngine player;
        player.setNetworkTimeout(3000);   // a link stuck in a refill is given up sooner
        player.setUrl(server.url(from));
        for (const QString& status : seen)
            QTRY_COMPARE_WITH_TIMEOUT(player.statusText(), status, 8000);
        QTest::qWait(400);
        const int requests = server.requests(from);
        const int pendingRetryMs = player.reconnectDelaySeconds() * 1000;
        QElapsedTimer clock;
        clock.start();
        player.setUrl(to.isEmpty() ? to : server.url(to));
        // Blocking on a hung server would take seconds; the slack is for a loaded machine.
        QVERIFY2(clock.elapsed() < 100, qPrintable(QString::number(clock.elapsed())));
        QTest::qWait(300);   // what was on its way to the output
        heard.reset();
        if (!to.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(heard.secondsHeard() > 0.6, 8000);
            QVERIFY2(isTone(heard, to == u"/b" ? 660 : 440), qPrintable(heardText(heard)));
        }
        QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(from), int(to == from), 3000);
        // The old address's pending retry would have come by now.
        QTest::qWait(int(std::max<qint64>(0, pendingRetryMs + 500 - clock.elapsed())));
        QCOMPARE(server.requests(from), requests + int(to == from));
        QVERIFY2(!to.isEmpty() || heard.secondsHeard() == 0, qPrintable(heardText(heard)));
    }

    // Last: the process has played before. A sound server that is not there is an output
    // error; once it is up, the next tuning is heard.
    void soundServerAppearsLater()
    {
        // pulsesink shares one server connection among a process's sinks: a session still
        // tearing down (the hung ones above) would carry the new one to the old server.
        QTRY_COMPARE_WITH_TIMEOUT(PlaybackEngine::abandonedSessions(), 0, 20000);
        SoundServer later;
        const QByteArray running = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", later.address().toUtf8());   // nothing listens there yet
        PlaybackEngine player;
        player.setUrl(u("/"));
        QTRY_COMPARE_WITH_TIMEOUT(player.statusText(), QStringLiteral("Ошибка: нет вывода звука"), 10000);
        QVERIFY2(later.start(), qPrintable(later.log()));
        AudioCapture heard;
        QTRY_VERIFY_WITH_TIMEOUT(heard.isRecording(), 5000);
        player.setUrl(u("/b"));
        QTRY_VERIFY_WITH_TIMEOUT(heard.secondsHeard() > 0.6, 8000);
        QVERIFY2(isTone(heard, 660), qPrintable(heardText(heard)));
        qputenv("PULSE_SERVER", running);
    }

    void cleanupTestCase()
    {
        if (!qEnvironmentVariable("GST_TRACERS").contains(QLatin1String("leaks")))
            return;
        QTRY_COMPARE_WITH_TIMEOUT(PlaybackEngine::abandonedSessions(), 0, 20000);
        QTest::qWait(1000);   // sessions end on threads of their own
        gst_deinit();
        QCOMPARE(leaked, 0);
    }
};

QTEST_GUILESS_MAIN(TestPlayer)
#include "tst_player.moc"
