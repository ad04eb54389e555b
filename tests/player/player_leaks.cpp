// Run with GST_TRACERS=leaks GST_DEBUG=GST_TRACER:7 (CTest does): 20 tunings, a reconnect and a
// teardown at a private sound server, then gst_deinit; fails when GStreamer's leak tracer
// reports any object still alive.
#include "MediaPlayer.h"
#include "PlaybackEngine.h"
#include "sound_server.h"
#include "stream_server.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>

#include <gst/gst.h>

#include <cstdio>
#include <memory>

namespace {

int alive = 0;
bool reconnected = false;

void countAlive(GstDebugCategory* category, GstDebugLevel, const gchar*, const gchar*, gint,
                GObject*, GstDebugMessage* message, gpointer)
{
    const char* text = gst_debug_message_get(message);
    if (g_str_equal(gst_debug_category_get_name(category), "GST_TRACER") && text
        && g_str_has_prefix(text, "object-alive,")) {
        ++alive;
        std::fprintf(stderr, "leaked: %s\n", text);
    }
}

bool waitFor(const std::function<bool()>& done, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

void fail(const char* what)
{
    std::fprintf(stderr, "FAIL: %s\n", what);
    std::exit(2);
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariable("GST_TRACERS").contains(QLatin1String("leaks")))
        fail("run with GST_TRACERS=leaks GST_DEBUG=GST_TRACER:7");
    gst_init(&argc, &argv);
    gst_debug_add_log_function(countAlive, nullptr, nullptr);
    {
        QApplication app(argc, argv);
        SoundServer sound;
        if (!sound.start())
            fail("no sound server");
        QFile f(QStringLiteral(TOLVA_TEST_DATA "/tone440.mp3"));
        f.open(QIODevice::ReadOnly);
        const QByteArray tone = f.readAll();
        StreamServer server, flaky;
        server.start();
        flaky.start();
        server.addStream("/a", StreamServer::burst(tone, 1));
        server.addFile("/a.m3u", server.url("/a").toUtf8() + "\n", "audio/x-mpegurl");
        flaky.addStream("/b", StreamServer::burst(tone, 1));

        auto player = std::make_unique<MediaPlayer>();
        using State = PlaybackEngine::State;
        for (int i = 0; i < 20; ++i) {
            player->setURL(server.url(i % 2 ? "/a" : "/a.m3u"));
            if (!waitFor([&] { return player->engine().state() == State::Playing; }, 10000))
                fail("a tuning did not play");
            waitFor([] { return false; }, 200);
        }
        player->setURL(flaky.url("/b"));
        if (!waitFor([&] { return player->engine().state() == State::Playing; }, 10000))
            fail("did not play before the outage");
        const int requests = flaky.requests("/b");
        flaky.setDown(true);
        waitFor([] { return false; }, 2000);
        flaky.setDown(false);
        reconnected = waitFor([&] { return flaky.requests("/b") > requests; }, 15000)
            && waitFor([&] { return player->engine().state() == State::Playing; }, 10000);
        if (!reconnected)
            std::fprintf(stderr, "FAIL: did not reconnect\n");
        player.reset();
        // Sessions end on threads of their own, shortly after.
        waitFor([] { return false; }, 3000);
    }
    gst_deinit();
    std::fprintf(stderr, "%d objects alive at exit\n", alive);
    return alive > 0 ? 1 : reconnected ? 0 : 3;
}
