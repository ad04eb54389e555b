// Stand-in stations on 127.0.0.1 for the demo and the benchmarks: every playlist (.m3u, .asx)
// points at an endless 440 Hz tone with a now-playing title, the raw stream answers on a port of
// its own, and /reklama/0..4.html are small ads. With --soak the streams share one bad link that
// every 8 to 25 s stalls them for 1.5 to 6 s (what it held back then comes in a rush) or, one
// time in three, drops them all; the counts are printed every minute.
//   stream_server [--soak SEED] [port=8701 [raw-port=4570]]   (0: any free port)
#include "stream_server.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTimer>

#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool soak = args.value(0) == u"--soak"_s;
    QRandomGenerator random(soak ? args.value(1).toUInt() : 0);
    if (soak)
        args = args.mid(2);
    QFile mp3(QStringLiteral(TOLVA_TONE));
    StreamServer server;
    StreamServer raw;
    if (!mp3.open(QIODevice::ReadOnly) || !server.start(args.value(0, u"8701"_s).toUShort())
        || !raw.start(args.value(1, u"4570"_s).toUShort())) {
        std::fprintf(stderr, "stream_server: no tone, or a port is taken\n");
        return 1;
    }
    const StreamServer::Stream tone{.audio = mp3.readAll(), .burstSeconds = 0.25,
                                    .icyTitle = soak ? "Тон %1 <b>440</b> Hz" : "Tone - 440 Hz", .titleEvery = 20};
    server.addStream(u"/stream"_s, tone);
    raw.addStream(u"/"_s, tone);
    const QByteArray stream = server.url(u"/stream"_s).toUtf8();
    server.addFile(u"*.m3u"_s, "#EXTM3U\n#EXTINF:-1,Tone\n" + stream + "\n", "audio/x-mpegurl");
    server.addFile(u"*.asx"_s, "<asx version=\"3.0\"><entry><ref href=\"" + stream + "\"/></entry></asx>\n",
                   "video/x-ms-asf");
    // The soak's ads keep the browser drawing; the demo's hold still for the benchmark's CPU figure.
    const QByteArray clock = soak ? "<span id=t></span><script>setInterval(function(){"
                                    "document.getElementById('t').textContent=Date.now()%1000},500)</script>"
                                  : "";
    for (int n = 0; n < 5; ++n) {
        server.addFile(u"/reklama/%1.html"_s.arg(n),
                       "<html><body style='margin:0;background:#ffd;font:bold 20px sans-serif'><center>Реклама "
                           + QByteArray::number(n) + " &mdash; <a href='" + server.url(u"/site"_s).toUtf8()
                           + "'>наш сайт</a> " + clock + "</center></body></html>",
                       "text/html; charset=utf-8");
    }
    std::printf("server: ready\n");
    std::fflush(stdout);
    if (!soak)
        return app.exec();

    int stalls = 0;
    int drops = 0;
    const auto uniform = [&random](double from, double to) { return from + (to - from) * random.generateDouble(); };
    std::function<void()> badLink = [&] {
        if (random.bounded(3) == 0) {
            ++drops;
            server.dropStreams();
            raw.dropStreams();
        } else {
            ++stalls;
            const double seconds = uniform(1.5, 6);
            server.stallStreams(seconds);
            raw.stallStreams(seconds);
        }
        QTimer::singleShot(int(uniform(8, 25) * 1000), badLink);
    };
    QTimer::singleShot(int(uniform(8, 25) * 1000), badLink);
    QTimer minute;
    QObject::connect(&minute, &QTimer::timeout, [&] {
        const QStringList asked = server.requests();
        const auto count = [&asked](const QString& pattern) {
            return int(asked.filter(QRegularExpression(pattern)).size());
        };
        std::printf("server: streams=%d stalls=%d drops=%d ads=%d lists=%d\n",
                    count(u"^/stream"_s) + int(raw.requests().size()), stalls, drops, count(u"^/reklama/"_s),
                    count(u"\\.(m3u|asx)$"_s));
        std::fflush(stdout);
    });
    minute.start(60000);
    return app.exec();
}
