#include "StreamSession.h"

#include <gst/gst.h>

#include <QMetaObject>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

enum class Command { Pause, Resume, ApplyVolume, Quit };

// playbin's flags: audio and software volume only, no video, no subtitles.
constexpr guint PlayFlagAudio = 0x2;
constexpr guint PlayFlagSoftVolume = 0x10;

// Deep enough that a repeatedly stalling link can build a cushion of several seconds.
constexpr guint64 QueueDuration = 20 * GST_SECOND;
constexpr gint QueueBytes = 4 * 1024 * 1024;

qint64 monotonicNs()
{
    return g_get_monotonic_time() * 1000;
}

// The desktop's output where there is one, a clocked fakesink where there is none, so that a
// machine without sound still connects, plays and shows its state.
GstElement* makeSystemSink()
{
    static const bool hasOutput = [] {
        GstElement* probe = gst_element_factory_make("autoaudiosink", nullptr);
        if (!probe)
            return false;
        gst_object_ref_sink(probe);
        const bool ok = gst_element_set_state(probe, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
        bool real = ok;
        if (ok && GST_IS_BIN(probe)) {
            // autoaudiosink may settle for a fakesink of its own; that is fine too.
            real = true;
        }
        gst_element_set_state(probe, GST_STATE_NULL);
        gst_object_unref(probe);
        return real;
    }();
    if (hasOutput)
        if (GstElement* sink = gst_element_factory_make("autoaudiosink", nullptr))
            return sink;
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    if (sink)
        g_object_set(sink, "sync", TRUE, nullptr);
    return sink;
}

} // namespace

struct StreamSession::Shared {
    std::mutex mutex;            // commands, pipeline, volume
    std::mutex postMutex;        // context; apart, so a streaming thread never waits on a setter
    std::condition_variable wake;
    std::deque<Command> commands;
    QObject* context = nullptr;   // cleared when the session is dropped
    Handler handler;
    GstElement* pipeline = nullptr;
    double volume = 1.0;
    bool muted = false;
    std::atomic<qint64> playedUntil{0};   // monotonic ns up to which the output has audio

    void post(SessionEvent event)
    {
        const std::lock_guard lock(postMutex);
        if (!context)
            return;
        QMetaObject::invokeMethod(
            context, [h = handler, event = std::move(event)] { h(event); }, Qt::QueuedConnection);
    }

    void push(Command c)
    {
        {
            const std::lock_guard lock(mutex);
            commands.push_back(c);
        }
        wake.notify_one();
    }
};

namespace {

using Shared = StreamSession::Shared;

bool isPermanent(const GError* error)
{
    if (error->domain == GST_RESOURCE_ERROR)
        return error->code == GST_RESOURCE_ERROR_NOT_FOUND
            || error->code == GST_RESOURCE_ERROR_NOT_AUTHORIZED;
    if (error->domain == GST_STREAM_ERROR)
        return true;
    if (error->domain == GST_CORE_ERROR)
        return error->code == GST_CORE_ERROR_MISSING_PLUGIN;
    return false;
}

// Runs on whatever thread posts the message: read it, hand it over, touch nothing else.
GstBusSyncReply onBusMessage(GstBus*, GstMessage* message, gpointer data)
{
    Shared* s = static_cast<std::shared_ptr<Shared>*>(data)->get();
    SessionEvent event;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_STATE_CHANGED: {
        if (GST_MESSAGE_SRC(message) != GST_OBJECT(s->pipeline))
            break;
        GstState oldState, newState, pending;
        gst_message_parse_state_changed(message, &oldState, &newState, &pending);
        if (newState == GST_STATE_PLAYING) {
            event.kind = SessionEvent::Kind::Playing;
            s->post(event);
        }
        break;
    }
    case GST_MESSAGE_BUFFERING:
        event.kind = SessionEvent::Kind::Buffering;
        gst_message_parse_buffering(message, &event.percent);
        s->post(event);
        break;
    case GST_MESSAGE_TAG: {
        GstTagList* tags = nullptr;
        gst_message_parse_tag(message, &tags);
        gchar* title = nullptr;
        if (gst_tag_list_get_string(tags, GST_TAG_TITLE, &title)) {
            event.kind = SessionEvent::Kind::Title;
            event.text = QString::fromUtf8(title).trimmed();
            g_free(title);
            s->post(event);
        }
        gst_tag_list_unref(tags);
        break;
    }
    case GST_MESSAGE_EOS:
        event.kind = SessionEvent::Kind::EndOfStream;
        s->post(event);
        break;
    case GST_MESSAGE_ERROR: {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        event.kind = SessionEvent::Kind::Error;
        event.text = QString::fromUtf8(error->message);
        event.permanent = isPermanent(error);
        g_error_free(error);
        s->post(event);
        break;
    }
    default:
        break;
    }
    return GST_BUS_DROP;
}

// Keeps account of how far ahead the output is fed; read by the UI thread to spot a dry queue.
GstPadProbeReturn onAudioBuffer(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    auto* s = static_cast<Shared*>(data);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    const qint64 duration =
        GST_BUFFER_DURATION_IS_VALID(buffer) ? qint64(GST_BUFFER_DURATION(buffer)) : 0;
    const qint64 now = monotonicNs();
    const qint64 until = s->playedUntil.load();
    s->playedUntil.store(std::max(until, now) + duration);
    return GST_PAD_PROBE_OK;
}

// Caps that the server's content type stands for, so the decoder chain can be built from the
// first bytes instead of after typefinding has gathered 2 KB (an eighth of a second of a
// 128 kbit/s stream that arrives in real time). Null where typefinding must decide.
GstCaps* capsForContentType(const QByteArray& contentType)
{
    const QByteArray type = contentType.split(';').first().trimmed().toLower();
    if (type == "audio/mpeg" || type == "audio/mp3" || type == "audio/x-mpeg")
        return gst_caps_from_string("audio/mpeg, mpegversion=(int)1");
    if (type == "audio/aac" || type == "audio/aacp" || type == "audio/x-aac")
        return gst_caps_from_string("audio/mpeg, mpegversion=(int)4, stream-format=(string)adts");
    return nullptr;
}

struct SourceHints {
    guint timeout;
    QByteArray contentType;
};

// Where the server said what it sends (and sends no ICY metadata, which the source unwraps
// first), the typefinder is told instead of left to gather data.
void onElementSetup(GstElement*, GstElement* element, gpointer data)
{
    GstElementFactory* factory = gst_element_get_factory(element);
    if (!factory || g_strcmp0(GST_OBJECT_NAME(factory), "typefind") != 0)
        return;
    if (GstCaps* caps = capsForContentType(static_cast<SourceHints*>(data)->contentType)) {
        g_object_set(element, "force-caps", caps, nullptr);
        gst_caps_unref(caps);
    }
}

void onSourceSetup(GstElement*, GstElement* source, gpointer data)
{
    const auto* hints = static_cast<SourceHints*>(data);
    const guint timeout = hints->timeout;
    GObjectClass* klass = G_OBJECT_GET_CLASS(source);
    if (g_object_class_find_property(klass, "iradio-mode"))
        g_object_set(source, "iradio-mode", TRUE, nullptr);
    if (g_object_class_find_property(klass, "timeout"))
        g_object_set(source, "timeout", timeout, nullptr);
    // Reconnecting is the engine's job, with its own growing delay.
    if (g_object_class_find_property(klass, "retries"))
        g_object_set(source, "retries", 0, nullptr);
    if (g_object_class_find_property(klass, "user-agent"))
        g_object_set(source, "user-agent", "Tolva/7.3", nullptr);
}

void run(std::shared_ptr<Shared> s, QByteArray uri, GstElement* sink, SourceHints hints)
{
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    if (!playbin) {
        if (sink)
            gst_object_unref(sink);
        SessionEvent event;
        event.text = QStringLiteral("playbin missing");
        event.permanent = true;
        s->post(event);
        return;
    }
    gst_object_ref_sink(playbin);
    if (!sink)
        sink = makeSystemSink();
    if (sink)
        gst_object_ref_sink(sink);

    double volume;
    bool muted;
    {
        const std::lock_guard lock(s->mutex);
        volume = s->volume;
        muted = s->muted;
    }
    g_object_set(playbin, "uri", uri.constData(), "flags", PlayFlagAudio | PlayFlagSoftVolume,
                 "buffer-duration", gint64(QueueDuration), "buffer-size", QueueBytes,
                 "volume", volume, "mute", gboolean(muted), nullptr);
    if (sink)
        g_object_set(playbin, "audio-sink", sink, nullptr);
    auto* setupHints = new SourceHints(std::move(hints));
    g_signal_connect_data(playbin, "source-setup", G_CALLBACK(onSourceSetup), setupHints,
                          [](gpointer p, GClosure*) { delete static_cast<SourceHints*>(p); },
                          GConnectFlags(0));
    if (GstCaps* caps = capsForContentType(setupHints->contentType)) {
        gst_caps_unref(caps);
        g_signal_connect(playbin, "element-setup", G_CALLBACK(onElementSetup), setupHints);
    }

    GstPad* sinkPad = sink ? gst_element_get_static_pad(sink, "sink") : nullptr;
    gulong probe = 0;
    if (sinkPad)
        probe = gst_pad_add_probe(sinkPad, GST_PAD_PROBE_TYPE_BUFFER, onAudioBuffer, s.get(), nullptr);

    GstBus* bus = gst_element_get_bus(playbin);
    {
        const std::lock_guard lock(s->mutex);
        s->pipeline = playbin;
    }
    gst_bus_set_sync_handler(bus, onBusMessage, new std::shared_ptr<Shared>(s),
                             [](gpointer p) { delete static_cast<std::shared_ptr<Shared>*>(p); });

    bool quit = false;
    {
        const std::lock_guard lock(s->mutex);
        quit = !s->commands.empty() && s->commands.back() == Command::Quit;
    }
    if (!quit && gst_element_set_state(playbin, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        SessionEvent event;
        event.text = QStringLiteral("cannot start");
        s->post(event);
    }
    while (!quit) {
        Command c;
        {
            std::unique_lock lock(s->mutex);
            s->wake.wait(lock, [&] { return !s->commands.empty(); });
            c = s->commands.front();
            s->commands.pop_front();
        }
        switch (c) {
        case Command::Pause:
            gst_element_set_state(playbin, GST_STATE_PAUSED);
            break;
        case Command::Resume:
            s->playedUntil.store(monotonicNs());
            gst_element_set_state(playbin, GST_STATE_PLAYING);
            break;
        case Command::ApplyVolume: {
            double volume;
            bool muted;
            {
                const std::lock_guard lock(s->mutex);
                volume = s->volume;
                muted = s->muted;
            }
            g_object_set(playbin, "volume", volume, "mute", gboolean(muted), nullptr);
            break;
        }
        case Command::Quit:
            quit = true;
            break;
        }
    }

    gst_element_set_state(playbin, GST_STATE_NULL);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    if (sinkPad) {
        if (probe)
            gst_pad_remove_probe(sinkPad, probe);
        gst_object_unref(sinkPad);
    }
    {
        const std::lock_guard lock(s->mutex);
        s->pipeline = nullptr;
    }
    if (sink)
        gst_object_unref(sink);
    gst_object_unref(playbin);
}

} // namespace

StreamSession::StreamSession(QObject* context, Handler handler, const QString& uri,
                             GstElement* audioSink, const Options& options)
    : d(std::make_shared<Shared>())
{
    d->context = context;
    d->handler = std::move(handler);
    d->volume = options.volume;
    d->muted = options.muted;
    SourceHints hints{guint(std::max(1, options.timeoutSeconds)), options.contentType};
    std::thread(run, d, uri.toUtf8(), audioSink, std::move(hints)).detach();
}

StreamSession::~StreamSession()
{
    {
        const std::lock_guard lock(d->postMutex);
        d->context = nullptr;
    }
    d->push(Command::Quit);
}

void StreamSession::pause()
{
    d->push(Command::Pause);
}

void StreamSession::resume()
{
    d->push(Command::Resume);
}

// Applied on the session's thread: playbin's setters take locks a state change may hold.
void StreamSession::setVolume(double volume)
{
    {
        const std::lock_guard lock(d->mutex);
        d->volume = volume;
    }
    d->push(Command::ApplyVolume);
}

void StreamSession::setMuted(bool muted)
{
    {
        const std::lock_guard lock(d->mutex);
        d->muted = muted;
    }
    d->push(Command::ApplyVolume);
}

qint64 StreamSession::starvedMs() const
{
    const qint64 until = d->playedUntil.load();
    if (until == 0)
        return 0;
    return std::max<qint64>(0, monotonicNs() - until) / 1000000;
}
