// Benchmark of the media player beside libVLC (VLC's defaults) and a default playbin, on the
// same local streams: first decoded audio, silence under repeated stalls, UI-thread blocking.
//   player_bench [runs] [seconds-per-stall-scenario] [parts: any of "first,stall,ui"]
#include "bench_engines.h"
#include "stream_server.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <gst/gst.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Factory = std::function<std::unique_ptr<BenchEngine>()>;

struct Peer {
    const char* name;
    Factory make;
    bool followsPlaylists;
};

qint64 nowNs()
{
    return g_get_monotonic_time() * 1000;
}

void spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

bool spinUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return done();
}

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

QByteArray tone()
{
    QFile f(QStringLiteral(TOLVA_TEST_DATA "/tone440.mp3"));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// Seconds from handing over the address to the first decoded audio; -1: none within 10 s.
double firstAudio(const Peer& peer, const QString& url)
{
    std::unique_ptr<BenchEngine> e = peer.make();
    const qint64 start = nowNs();
    e->play(url);
    const bool ok = spinUntil([&] { return e->capture.firstAudioNs() != 0; }, 10000);
    const double s = ok ? (e->capture.firstAudioNs() - start) / 1e9 : -1;
    e->stop();
    return s;
}

struct Blocking {
    double call;        // longest single call that hands over an address, ms
    double switching;   // longest stretch without events while switching, ms
    double teardown;    // destroying the engine while its server hangs, ms
};

// How long the UI thread could not run its events while switching away from a hung server
// ten times, and when the engine goes while the server hangs.
Blocking uiBlocked(const Peer& peer, const QString& hung, const QString& good)
{
    std::unique_ptr<BenchEngine> e = peer.make();
    qint64 worst = 0;
    qint64 worstCall = 0;
    qint64 last = nowNs();
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 n = nowNs();
        worst = std::max(worst, n - last);
        last = n;
    });
    tick.start();
    for (int i = 0; i < 10; ++i) {
        e->play(hung);
        spin(300);
        const qint64 before = nowNs();
        e->play(good);
        worstCall = std::max(worstCall, nowNs() - before);
        spin(300);
    }
    e->play(hung);
    spin(300);
    tick.stop();
    const qint64 before = nowNs();
    e.reset();
    return {worstCall / 1e6, std::max(worst, worstCall) / 1e6, (nowNs() - before) / 1e6};
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    gst_init(nullptr, nullptr);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const int seconds = argc > 2 ? std::max(10, atoi(argv[2])) : 60;
    const QString parts = argc > 3 ? QString::fromLatin1(argv[3]) : QStringLiteral("first,stall,ui");

    StreamServer server;
    server.start();
    StreamServer raw;
    raw.start();
    const QByteArray audio = tone();

    const std::vector<Peer> peers = {
        {"ours", makeOurPlayer, true},
        {"playbin", makeDefaultPlaybin, false},
        {"libVLC", makeVlcListPlayer, true},
    };

    if (parts.contains(QLatin1String("first"))) {
    // One discarded run each, so that loading plug-ins and libraries counts against nobody.
    StreamServer::Stream warm;
    warm.audio = audio;
    server.addStream("/warm", warm);
    for (const Peer& p : peers)
        firstAudio(p, server.url("/warm"));
    std::printf("First decoded audio, seconds (median of %d; playbin is given the stream itself)\n", runs);
    std::printf("%-10s %-6s %10s %10s %10s\n", "address", "burst", "ours", "playbin", "libVLC");
    for (const double burst : {0.0, 4.0}) {
        StreamServer::Stream s;
        s.audio = audio;
        s.burstSeconds = burst;
        const QString tag = burst > 0 ? QStringLiteral("b") : QStringLiteral("n");
        server.addStream("/s" + tag, s);
        raw.addStream("/", s);
        const QByteArray stream = server.url("/s" + tag).toUtf8();
        server.addFile("/l" + tag + ".m3u", "#EXTM3U\n" + stream + "\n", "audio/x-mpegurl");
        server.addFile("/l" + tag + ".asx",
                       "<ASX version=\"3.0\"><Title>A & B</Title><Entry><Ref href=\"" + stream
                           + "\"/></Entry></ASX>\n", "video/x-ms-asf");
        const struct {
            const char* kind;
            QString url;
        } kinds[] = {{".m3u", server.url("/l" + tag + ".m3u")},
                     {".asx", server.url("/l" + tag + ".asx")},
                     {"raw", raw.url("/")}};
        for (const auto& k : kinds) {
            std::printf("%-10s %-6s", k.kind, burst > 0 ? "4 s" : "none");
            for (const Peer& p : peers) {
                std::vector<double> t;
                for (int i = 0; i < runs; ++i) {
                    const QString url = p.followsPlaylists || QLatin1String(k.kind) == QLatin1String("raw")
                        ? k.url : QString::fromUtf8(stream);
                    t.push_back(firstAudio(p, url));
                }
                std::printf(" %10.3f", median(t));
            }
            std::printf("\n");
            std::fflush(stdout);
        }
    }

    }

    if (parts.contains(QLatin1String("stall"))) {
    std::printf("\nSilent seconds per minute of play (%d s each, all three at once, after first audio)\n", seconds);
    std::printf("%-34s %10s %10s %10s\n", "server", "ours", "playbin", "libVLC");
    const struct {
        const char* name;
        double burst, every, stall;
    } scenarios[] = {
        {"real time, no burst", 0, 0, 0},
        {"4 s burst", 4, 0, 0},
        {"4 s burst, 1.5 s stall every 5 s", 4, 5, 1.5},
        {"no burst, 0.5 s stall every 5 s", 0, 5, 0.5},
        {"1 s burst, 3 s stall every 5 s", 1, 5, 3},
    };
    int n = 0;
    for (const auto& sc : scenarios) {
        std::vector<std::unique_ptr<BenchEngine>> engines;
        for (const Peer& p : peers) {
            StreamServer::Stream s;
            s.audio = audio;
            s.burstSeconds = sc.burst;
            s.stallEverySeconds = sc.every;
            s.stallForSeconds = sc.stall;
            const QString path = QStringLiteral("/stall%1").arg(n++);
            server.addStream(path, s);
            engines.push_back(p.make());
            engines.back()->play(server.url(path));
        }
        spin(seconds * 1000);
        std::printf("%-34s", sc.name);
        for (auto& e : engines) {
            const qint64 first = e->capture.firstAudioNs();
            if (first == 0) {
                std::printf(" %10s", "no audio");
                continue;
            }
            const double played = (nowNs() - first) / 1e9;
            std::printf(" %10.2f", e->capture.silentMs(100) / 1000.0 * 60.0 / played);
        }
        std::printf("\n");
        std::fflush(stdout);
        for (auto& e : engines)
            e->stop();
    }

    }

    if (parts.contains(QLatin1String("ui"))) {
    std::printf("\nLongest UI-thread block with the old server hung, ms\n");
    server.addHang("/hung");
    StreamServer::Stream s;
    s.audio = audio;
    server.addStream("/good", s);
    std::printf("(event-loop figures include whatever else the machine runs)\n");
    std::printf("%-10s %10s %10s %10s\n", "", "setURL", "event loop", "teardown");
    for (const Peer& p : peers) {
        const Blocking b = uiBlocked(p, server.url("/hung"), server.url("/good"));
        std::printf("%-10s %10.1f %10.1f %10.1f\n", p.name, b.call, b.switching, b.teardown);
        std::fflush(stdout);
    }
    }
    return 0;
}
