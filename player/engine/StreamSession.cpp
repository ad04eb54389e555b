#include "StreamSession.h"

#include <gst/base/gstbasesink.h>
#include <gst/gst.h>

#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

enum class Command { Dry, Refilled, ApplyVolume, Quit };

// playbin's flags: audio only, no video, no subtitles. Volume is applied after the cushion,
// where a change is heard at once instead of seconds later.
constexpr guint PlayFlagAudio = 0x2;

// The network queue before the decoder; the cushion itself is decoded audio after it.
constexpr guint64 NetworkQueueDuration = 20 * GST_SECOND;
constexpr gint NetworkQueueBytes = 4 * 1024 * 1024;
constexpr guint64 CushionMax = 30 * GST_SECOND;
// Cushion to refill after the n-th underrun: a link that stalls again and again is heard
// to stall once, because each wait leaves more in reserve.
constexpr guint64 CushionTargets[] = {1 * GST_SECOND, 2 * GST_SECOND, 4 * GST_SECOND,
                                      8 * GST_SECOND};
// With more than HoldFrom ahead of the output, the source waits before its next read until
// HoldMargin is left, at most HoldLongest, so that what a server sends in many small writes is
// read in a few large ones. The margin covers a late wake on a busy machine.
constexpr GstClockTime HoldFrom = 400 * GST_MSECOND;
constexpr GstClockTime HoldMargin = 300 * GST_MSECOND;
constexpr GstClockTime HoldLongest = 400 * GST_MSECOND;
// Once in a session, a sink that ran dry is given this long before it counts as dry: a link
// that delivers in chunks (an Ogg page of half a second) can bring the one after the first a
// few milliseconds late, a hiccup where a refill would be a second of silence. A link late
// again is refilled at once.
constexpr GstClockTime DryGrace = 100 * GST_MSECOND;
// A session whose thread has not ended this long after it was dropped is reported, once.
constexpr int TeardownGraceMs = 5000;

std::atomic<int> unfinishedDropped{0};

} // namespace

struct StreamSession::Shared {
    std::mutex mutex;            // commands, volume
    std::mutex postMutex;        // context; apart, so a streaming thread never waits on a setter
    std::condition_variable wake;
    std::deque<Command> commands;
    QObject* context = nullptr;   // cleared when the session is dropped
    Handler handler;
    double volume = 1.0;
    bool muted = false;
    std::atomic<bool> dropped{false};
    std::atomic<bool> finished{false};

    // Set up before the pipeline starts, then read by streaming threads.
    GstElement* pipeline = nullptr;
    GstElement* output = nullptr;   // the bin with the cushion queue and the sink
    GstElement* cushion = nullptr;
    GstElement* volumeElement = nullptr;
    GstElement* sink = nullptr;     // the element that plays, for its latency
    int underruns = 0;

    std::atomic<bool> played{false};      // the pipeline has reached PLAYING once
    std::atomic<bool> refilling{false};   // paused until the cushion is back
    std::atomic<bool> dryCheckPending{false};
    std::atomic<bool> graceSpent{false};   // the session's one hiccup has been waited out
    std::atomic<guint64> target{0};
    std::atomic<int> lastPercent{-1};
    std::atomic<bool> percentInFlight{false};
    std::atomic<gint64> lastArrival{0};    // monotonic µs of the last audio into the cushion
    std::atomic<bool> firstAfterDry{false};
    std::atomic<guint64> handedUntil{0};   // running time up to which the sink has audio
    GstSegment segment;                    // of the cushion's output; its streaming thread only
    std::mutex holdMutex;              // the source's wait between reads
    std::condition_variable holdWake;
    std::recursive_mutex clockMutex;   // dryCheck, and the elements while a check runs
    GstClockID dryCheck = nullptr;
    bool counted = false;   // among the abandoned; under postMutex

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

SessionEvent::Failure classify(const GError* error)
{
    if (error->domain == GST_RESOURCE_ERROR)
        return error->code == GST_RESOURCE_ERROR_NOT_FOUND
                || error->code == GST_RESOURCE_ERROR_NOT_AUTHORIZED
            ? SessionEvent::Failure::Permanent
            : SessionEvent::Failure::Transient;
    if (error->domain == GST_STREAM_ERROR)
        return SessionEvent::Failure::Type;
    if (error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_MISSING_PLUGIN)
        return SessionEvent::Failure::Type;
    return SessionEvent::Failure::Transient;
}

// Server text on one line.
QString oneLine(const gchar* text)
{
    return QString::fromUtf8(text).simplified();
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
            s->played = true;
            event.kind = SessionEvent::Kind::Playing;
            s->post(event);
        }
        break;
    }
    case GST_MESSAGE_TAG: {
        GstTagList* tags = nullptr;
        gst_message_parse_tag(message, &tags);
        gchar* title = nullptr;
        if (gst_tag_list_get_string(tags, GST_TAG_TITLE, &title)) {
            event.kind = SessionEvent::Kind::Title;
            event.text = oneLine(title);
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
        event.text = oneLine(error->message);
        event.failure = s->output && gst_object_has_as_ancestor(GST_MESSAGE_SRC(message),
                                                                GST_OBJECT(s->output))
            ? SessionEvent::Failure::Output
            : classify(error);
        g_error_free(error);
        s->post(event);
        break;
    }
    default:
        break;
    }
    gst_message_unref(message);
    return GST_BUS_DROP;
}

// --- the cushion -------------------------------------------------------------------------

void scheduleDryCheck(Shared* s, const std::shared_ptr<Shared>& keep, GstClockTime at);

// Clock time at which the sink will have played all it was given.
GstClockTime sinkRunsOutAt(Shared* s)
{
    const GstClockTime latency = GST_IS_BASE_SINK(s->sink) ? gst_base_sink_get_latency(GST_BASE_SINK(s->sink)) : 0;
    return gst_element_get_base_time(s->pipeline) + s->handedUntil + latency;
}

// On the clock's thread, when the sink would have played everything it was given.
gboolean onDryCheck(GstClock*, GstClockTime, GstClockID, gpointer data)
{
    const std::shared_ptr<Shared>& keep = *static_cast<std::shared_ptr<Shared>*>(data);
    Shared* s = keep.get();
    const std::lock_guard lock(s->clockMutex);
    if (s->dryCheck) {
        gst_clock_id_unref(s->dryCheck);
        s->dryCheck = nullptr;
    }
    s->dryCheckPending = false;
    if (s->refilling || s->dropped)
        return TRUE;
    guint queued = 0;
    g_object_get(s->cushion, "current-level-buffers", &queued, nullptr);
    if (queued > 0)
        return TRUE;   // audio came in time
    GstClock* clock = gst_element_get_clock(s->pipeline);
    if (!clock)
        return TRUE;
    const GstClockTime now = gst_clock_get_time(clock);
    gst_object_unref(clock);
    const GstClockTime out = sinkRunsOutAt(s);
    if (now < out) {
        scheduleDryCheck(s, keep, out);   // more came, and went straight through: watch its end
        return TRUE;
    }
    if (!s->graceSpent.exchange(true)) {
        scheduleDryCheck(s, keep, out + DryGrace);
        return TRUE;
    }
    s->push(Command::Dry);
    return TRUE;
}

void scheduleDryCheck(Shared* s, const std::shared_ptr<Shared>& keep, GstClockTime at)
{
    const std::lock_guard lock(s->clockMutex);
    if (s->dropped || s->dryCheckPending.exchange(true))
        return;
    GstClock* clock = gst_element_get_clock(s->pipeline);
    if (!clock) {
        s->dryCheckPending = false;
        return;
    }
    GstClockID id = gst_clock_new_single_shot_id(clock, at);
    gst_object_unref(clock);
    s->dryCheck = gst_clock_id_ref(id);
    gst_clock_id_wait_async(id, onDryCheck, new std::shared_ptr<Shared>(keep),
                            [](gpointer p) { delete static_cast<std::shared_ptr<Shared>*>(p); });
    gst_clock_id_unref(id);
}

// The queue found itself empty. Often the next audio is on its way in time: only a sink that
// has played all it had counts as dry.
void onCushionEmpty(GstElement*, gpointer data)
{
    const auto& keep = *static_cast<std::shared_ptr<Shared>*>(data);
    if (!keep->played || keep->refilling || keep->dropped)
        return;
    scheduleDryCheck(keep.get(), keep, sinkRunsOutAt(keep.get()));
}

// The queue holds the target again after a dry spell.
void onCushionRunning(GstElement*, gpointer data)
{
    Shared* s = static_cast<std::shared_ptr<Shared>*>(data)->get();
    if (s->refilling)
        s->push(Command::Refilled);
}

// What leaves the cushion for the sink: how far ahead the sink is fed, in running time.
GstPadProbeReturn onCushionOut(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    auto* s = static_cast<Shared*>(data);
    if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT)
            gst_event_copy_segment(event, &s->segment);
        return GST_PAD_PROBE_OK;
    }
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!GST_BUFFER_PTS_IS_VALID(buffer) || s->segment.format != GST_FORMAT_TIME)
        return GST_PAD_PROBE_OK;
    const GstClockTime end = GST_BUFFER_PTS(buffer)
        + (GST_BUFFER_DURATION_IS_VALID(buffer) ? GST_BUFFER_DURATION(buffer) : 0);
    const guint64 running = gst_segment_to_running_time(&s->segment, GST_FORMAT_TIME, end);
    if (GST_CLOCK_TIME_IS_VALID(running))
        s->handedUntil = running;
    return GST_PAD_PROBE_OK;
}

// The percentage on the status line; one post on its way at a time, it carries the latest.
void postPercent(const std::shared_ptr<Shared>& keep)
{
    Shared* s = keep.get();
    if (s->percentInFlight.exchange(true))
        return;
    const std::lock_guard lock(s->postMutex);
    if (!s->context)
        return;
    QMetaObject::invokeMethod(
        s->context,
        [h = s->handler, keep] {
            keep->percentInFlight = false;
            SessionEvent event;
            event.kind = SessionEvent::Kind::Buffering;
            event.percent = keep->lastPercent;
            if (keep->refilling)
                h(event);
        },
        Qt::QueuedConnection);
}

// While refilling, what comes in moves the percentage. The first audio after a dry spell
// tells how long the link was away; a link that stalls that long again is to be heard
// to stall once, so the cushion has to outlast it (what it held back may come in a rush).
GstPadProbeReturn onCushionIn(GstPad*, GstPadProbeInfo*, gpointer data)
{
    const auto& keep = *static_cast<std::shared_ptr<Shared>*>(data);
    Shared* s = keep.get();
    const gint64 now = g_get_monotonic_time();
    const gint64 before = s->lastArrival.exchange(now);
    if (!s->refilling)
        return GST_PAD_PROBE_OK;
    if (s->firstAfterDry.exchange(false)) {
        const guint64 away = guint64(std::max<gint64>(0, now - before)) * 1000;
        s->target = std::min(CushionTargets[std::size(CushionTargets) - 1], s->target + away);
        g_object_set(s->cushion, "min-threshold-time", guint64(s->target), nullptr);
    }
    guint64 level = 0;
    g_object_get(s->cushion, "current-level-time", &level, nullptr);
    const int percent = int(std::min<guint64>(99, level * 100 / std::max<guint64>(1, s->target)));
    if (s->lastPercent.exchange(percent) != percent)
        postPercent(keep);
    return GST_PAD_PROBE_OK;
}

// How long the output can play from what it holds: the sink's share and the cushion's.
GstClockTime aheadOfOutput(Shared* s)
{
    GstClock* clock = gst_element_get_clock(s->pipeline);
    if (!clock)
        return 0;
    const GstClockTime now = gst_clock_get_time(clock);
    gst_object_unref(clock);
    const GstClockTime end = sinkRunsOutAt(s);
    guint64 queued = 0;
    g_object_get(s->cushion, "current-level-time", &queued, nullptr);
    return (end > now ? end - now : 0) + queued;
}

// On the source's thread, after each read while playing: read again only when the output needs
// it. Each read of a few bytes wakes the network, the source and every queue behind them; what
// waits meanwhile gathers in the socket and comes in one read.
GstPadProbeReturn onSourceRead(GstPad*, GstPadProbeInfo*, gpointer data)
{
    Shared* s = static_cast<std::shared_ptr<Shared>*>(data)->get();
    if (!s->played || s->refilling || s->dropped)
        return GST_PAD_PROBE_OK;
    const GstClockTime ahead = aheadOfOutput(s);
    if (ahead <= HoldFrom)
        return GST_PAD_PROBE_OK;
    const auto wait = std::chrono::nanoseconds(std::min(ahead - HoldMargin, HoldLongest));
    std::unique_lock lock(s->holdMutex);
    s->holdWake.wait_for(lock, wait, [s] { return s->dropped || s->refilling; });
    return GST_PAD_PROBE_OK;
}

// --- opening -----------------------------------------------------------------------------

// The desktop's output as it is now: a sound server started after the program is found at the
// next tuning. PulseAudio first, opened directly: autoaudiosink's search through every sink
// costs some 40 ms before the first sound. Null where nothing plays sound (autoaudiosink
// would settle for a fakesink).
GstElement* openDesktopOutput()
{
    if (GstElement* pulse = gst_element_factory_make("pulsesink", nullptr)) {
        gst_object_ref_sink(pulse);
        if (gst_element_set_state(pulse, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE)
            return pulse;
        gst_element_set_state(pulse, GST_STATE_NULL);
        gst_object_unref(pulse);
    }
    GstElement* sink = gst_element_factory_make("autoaudiosink", nullptr);
    if (!sink)
        return nullptr;
    gst_object_ref_sink(sink);
    bool real = gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    if (real && GST_IS_BIN(sink)) {
        GstIterator* it = gst_bin_iterate_sinks(GST_BIN(sink));
        GValue item = G_VALUE_INIT;
        real = gst_iterator_next(it, &item) == GST_ITERATOR_OK;
        if (real) {
            auto* child = GST_ELEMENT(g_value_get_object(&item));
            GstElementFactory* factory = gst_element_get_factory(child);
            real = factory && g_strcmp0(GST_OBJECT_NAME(factory), "fakesink") != 0;
            g_value_reset(&item);
        }
        gst_iterator_free(it);
    }
    if (!real) {
        gst_element_set_state(sink, GST_STATE_NULL);
        gst_object_unref(sink);
        return nullptr;
    }
    return sink;
}

// The element among sink and its children that plays, for its latency.
GstElement* playingElement(GstElement* sink)
{
    if (!GST_IS_BIN(sink))
        return GST_ELEMENT(gst_object_ref(sink));
    GstElement* found = nullptr;
    GstIterator* it = gst_bin_iterate_sinks(GST_BIN(sink));
    GValue item = G_VALUE_INIT;
    if (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        found = GST_ELEMENT(g_value_dup_object(&item));
        g_value_reset(&item);
    }
    gst_iterator_free(it);
    return found ? found : GST_ELEMENT(gst_object_ref(sink));
}

// Caps for a stream the server names as MPEG audio or AAC (and sends without ICY metadata,
// which the source unwraps first), so typefinding does not wait for 2 KB, an eighth of a second
// of a 128 kbit/s stream that arrives in real time. Null where typefinding must decide.
GstCaps* capsForType(const QByteArray& contentType)
{
    const QByteArray type = contentType.split(';').first().trimmed().toLower();
    if (type == "audio/mpeg" || type == "audio/mp3" || type == "audio/x-mpeg")
        return gst_caps_from_string("audio/mpeg, mpegversion=(int)1");
    if (type == "audio/aac" || type == "audio/aacp" || type == "audio/x-aac")
        return gst_caps_from_string("audio/mpeg, mpegversion=(int)4, stream-format=(string)adts");
    return nullptr;
}

// Length of the MPEG audio (layer I to III) or ADTS frame whose header is at b, 0 if none is.
gsize frameLength(const guint8* b)
{
    if (b[0] != 0xff)
        return 0;
    if ((b[1] & 0xf6) == 0xf0)   // ADTS
        return ((b[3] & 0x03) << 11) | (b[4] << 3) | (b[5] >> 5);
    static const int kbps[2][3][16] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static const int rates[3] = {44100, 48000, 32000};
    const int version = (b[1] >> 3) & 3;   // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const int layer = 4 - ((b[1] >> 1) & 3);
    const int bitrate = b[2] >> 4, rateIndex = (b[2] >> 2) & 3, padding = (b[2] >> 1) & 1;
    if ((b[1] & 0xe0) != 0xe0 || version == 1 || layer == 4 || bitrate == 0 || bitrate == 15
        || rateIndex == 3)
        return 0;
    const int rate = rates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const int bps = kbps[version == 3 ? 0 : 1][layer - 1][bitrate] * 1000;
    if (layer == 1)
        return (12 * bps / rate + padding) * 4;
    return (layer == 3 && version != 3 ? 72 : 144) * bps / rate + padding;
}

// Whether the first bytes contradict the named type: two frames in a row somewhere near the
// start, or too little to tell.
bool contradictsType(const guint8* b, gsize size)
{
    for (const char* magic : {"OggS", "fLaC", "RIFF", "ID3"})
        if (size >= 4 && memcmp(b, magic, strlen(magic)) == 0)
            return magic[0] != 'I';
    const gsize scan = std::min<gsize>(size, 4096);
    for (gsize i = 0; i + 6 <= scan; ++i) {
        const gsize length = frameLength(b + i);
        if (length < 7)
            continue;
        if (i + length + 6 > size || frameLength(b + i + length) != 0)
            return false;
    }
    return size >= 2048;
}

struct Hint {
    bool icy = false;
    bool given = false;   // the typefinder was told
};

GstCaps* readHeaders(const GstStructure* headers, Hint* hint)
{
    QByteArray contentType;
    for (int i = 0; i < gst_structure_n_fields(headers); ++i) {
        const gchar* name = gst_structure_nth_field_name(headers, i);
        const GValue* value = gst_structure_get_value(headers, name);
        if (g_ascii_strcasecmp(name, "icy-metaint") == 0)
            hint->icy = true;
        else if (g_ascii_strcasecmp(name, "content-type") == 0 && G_VALUE_HOLDS_STRING(value))
            contentType = g_value_get_string(value);
    }
    return hint->icy ? nullptr : capsForType(contentType);
}

// On the source's output: the response headers come as an event before the first bytes, and
// before the segment, which is where the typefinder takes caps as its answer.
GstPadProbeReturn onSourceOut(GstPad* pad, GstPadProbeInfo* info, gpointer data)
{
    auto* hint = static_cast<Hint*>(data);
    if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) != GST_EVENT_CUSTOM_DOWNSTREAM_STICKY
            || !gst_event_has_name(event, "http-headers"))
            return GST_PAD_PROBE_OK;
        const GValue* v = gst_structure_get_value(gst_event_get_structure(event), "response-headers");
        GstCaps* caps = v && GST_VALUE_HOLDS_STRUCTURE(v) ? readHeaders(gst_value_get_structure(v), hint) : nullptr;
        if (!caps)
            return GST_PAD_PROBE_REMOVE;
        if (GstPad* peer = gst_pad_get_peer(pad)) {
            hint->given = gst_pad_send_event(peer, gst_event_new_caps(caps));
            gst_object_unref(peer);
        }
        gst_caps_unref(caps);
        return hint->given ? GST_PAD_PROBE_OK : GST_PAD_PROBE_REMOVE;
    }
    // A server that names the wrong type: a type error, and the engine opens it untold.
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstMapInfo map;
    if (hint->given && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        const bool wrong = contradictsType(map.data, map.size);
        gst_buffer_unmap(buffer, &map);
        if (wrong) {
            GstElement* source = gst_pad_get_parent_element(pad);
            GError* error = g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_WRONG_TYPE,
                                                "not the type the server named");
            gst_element_post_message(source, gst_message_new_error(GST_OBJECT(source), error, nullptr));
            g_error_free(error);
            gst_object_unref(source);
        }
    }
    return GST_PAD_PROBE_REMOVE;
}

struct SourceSetup {
    guint timeout;
    bool typeHint;
    std::shared_ptr<Shared> session;
};

void onSourceSetup(GstElement*, GstElement* source, gpointer data)
{
    const auto* setup = static_cast<SourceSetup*>(data);
    GObjectClass* klass = G_OBJECT_GET_CLASS(source);
    if (g_object_class_find_property(klass, "iradio-mode"))
        g_object_set(source, "iradio-mode", TRUE, nullptr);
    if (g_object_class_find_property(klass, "timeout"))
        g_object_set(source, "timeout", setup->timeout, nullptr);
    // Reconnecting is the engine's job, with its own growing delay.
    if (g_object_class_find_property(klass, "retries"))
        g_object_set(source, "retries", 0, nullptr);
    if (g_object_class_find_property(klass, "user-agent"))
        g_object_set(source, "user-agent", "Tolva/7.3", nullptr);
    GstPad* pad = gst_element_get_static_pad(source, "src");
    if (!pad)
        return;
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, onSourceRead, new std::shared_ptr<Shared>(setup->session),
                      [](gpointer p) { delete static_cast<std::shared_ptr<Shared>*>(p); });
    if (setup->typeHint && g_object_class_find_property(klass, "iradio-mode"))
        gst_pad_add_probe(pad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                          onSourceOut, new Hint, [](gpointer p) { delete static_cast<Hint*>(p); });
    gst_object_unref(pad);
}

// The cushion queue, the volume and the sink in one bin, given to playbin as its audio sink.
GstElement* makeOutputBin(GstElement* sink, Shared* s, std::shared_ptr<Shared>* keep)
{
    GstElement* bin = gst_bin_new("output");
    GstElement* queue = gst_element_factory_make("queue", "cushion");
    g_object_set(queue, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time", CushionMax,
                 nullptr);
    GstElement* volume = gst_element_factory_make("volume", nullptr);
    gst_bin_add_many(GST_BIN(bin), queue, volume, sink, nullptr);
    gst_element_link_many(queue, volume, sink, nullptr);
    s->volumeElement = volume;
    GstPad* in = gst_element_get_static_pad(queue, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", in));
    const auto drop = [](gpointer p) { delete static_cast<std::shared_ptr<Shared>*>(p); };
    gst_pad_add_probe(in, GST_PAD_PROBE_TYPE_BUFFER, onCushionIn, new std::shared_ptr<Shared>(*keep), drop);
    gst_object_unref(in);
    GstPad* out = gst_element_get_static_pad(queue, "src");
    gst_pad_add_probe(out, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      onCushionOut, s, nullptr);
    gst_object_unref(out);
    const auto release = [](gpointer p, GClosure*) { delete static_cast<std::shared_ptr<Shared>*>(p); };
    g_signal_connect_data(queue, "underrun", G_CALLBACK(onCushionEmpty),
                          new std::shared_ptr<Shared>(*keep), release, GConnectFlags(0));
    g_signal_connect_data(queue, "running", G_CALLBACK(onCushionRunning),
                          new std::shared_ptr<Shared>(*keep), release, GConnectFlags(0));
    s->cushion = queue;
    return bin;
}

// The thread's last act; a session dropped before is no longer counted as abandoned.
void finish(Shared* s)
{
    const std::lock_guard lock(s->postMutex);
    s->finished = true;
    if (s->counted)
        --unfinishedDropped;
}

void postError(Shared* s, SessionEvent::Failure failure, const char* text)
{
    SessionEvent event;
    event.text = QString::fromUtf8(text);
    event.failure = failure;
    s->post(event);
}

void run(std::shared_ptr<Shared> s, QByteArray uri, GstElement* customSink,
         StreamSession::Options options)
{
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    GstElement* sink = customSink ? GST_ELEMENT(gst_object_ref_sink(customSink)) : openDesktopOutput();
    if (!playbin || !sink) {
        if (playbin)
            gst_object_unref(gst_object_ref_sink(playbin));
        if (sink)
            gst_object_unref(sink);
        postError(s.get(), playbin ? SessionEvent::Failure::Output : SessionEvent::Failure::Type,
                  playbin ? "no audio output" : "playbin missing");
        finish(s.get());
        return;
    }
    gst_object_ref_sink(playbin);
    s->pipeline = playbin;
    s->underruns = options.underrunsSoFar;
    s->sink = playingElement(sink);
    gst_segment_init(&s->segment, GST_FORMAT_UNDEFINED);
    s->output = GST_ELEMENT(gst_object_ref_sink(makeOutputBin(sink, s.get(), &s)));
    gst_object_unref(sink);   // the bin holds it

    double volume;
    bool muted;
    {
        const std::lock_guard lock(s->mutex);
        volume = s->volume;
        muted = s->muted;
    }
    g_object_set(s->volumeElement, "volume", volume, "mute", gboolean(muted), nullptr);
    g_object_set(playbin, "uri", uri.constData(), "flags", PlayFlagAudio,
                 "buffer-duration", gint64(NetworkQueueDuration), "buffer-size", NetworkQueueBytes,
                 "audio-sink", s->output, nullptr);
    g_signal_connect_data(playbin, "source-setup", G_CALLBACK(onSourceSetup),
                          new SourceSetup{guint(std::max(1, options.timeoutSeconds)), options.typeHint, s},
                          [](gpointer p, GClosure*) { delete static_cast<SourceSetup*>(p); },
                          GConnectFlags(0));

    GstBus* bus = gst_element_get_bus(playbin);
    gst_bus_set_sync_handler(bus, onBusMessage, new std::shared_ptr<Shared>(s),
                             [](gpointer p) { delete static_cast<std::shared_ptr<Shared>*>(p); });

    bool quit = s->dropped;
    if (!quit && gst_element_set_state(playbin, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        postError(s.get(), SessionEvent::Failure::Transient, "cannot start");
    while (!quit) {
        Command c;
        {
            std::unique_lock lock(s->mutex);
            s->wake.wait(lock, [&] { return !s->commands.empty(); });
            c = s->commands.front();
            s->commands.pop_front();
        }
        switch (c) {
        case Command::Dry: {
            if (s->refilling)
                break;
            const int step = std::min<int>(s->underruns++, std::size(CushionTargets) - 1);
            s->target = CushionTargets[step];
            s->lastPercent = 0;
            s->firstAfterDry = true;
            s->refilling = true;
            s->holdWake.notify_all();
            // The queue now holds back until it has the target; "running" says when.
            g_object_set(s->cushion, "min-threshold-time", guint64(s->target), nullptr);
            gst_element_set_state(playbin, GST_STATE_PAUSED);
            SessionEvent event;
            event.kind = SessionEvent::Kind::Buffering;
            s->post(event);
            break;
        }
        case Command::Refilled:
            if (!s->refilling)
                break;
            g_object_set(s->cushion, "min-threshold-time", guint64(0), nullptr);
            s->refilling = false;
            gst_element_set_state(playbin, GST_STATE_PLAYING);
            break;
        case Command::ApplyVolume: {
            const std::lock_guard lock(s->mutex);
            g_object_set(s->volumeElement, "volume", s->volume, "mute", gboolean(s->muted), nullptr);
            break;
        }
        case Command::Quit:
            quit = true;
            break;
        }
    }

    {
        const std::lock_guard lock(s->clockMutex);
        s->dropped = true;
        {
            const std::lock_guard hold(s->holdMutex);
            s->holdWake.notify_all();
        }
        if (s->dryCheck) {
            gst_clock_id_unschedule(s->dryCheck);
            gst_clock_id_unref(s->dryCheck);
            s->dryCheck = nullptr;
        }
    }
    gst_element_set_state(playbin, GST_STATE_NULL);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(s->output);
    gst_object_unref(s->sink);
    gst_object_unref(playbin);
    finish(s.get());
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
    std::thread(run, d, uri.toUtf8(), audioSink, options).detach();
}

StreamSession::~StreamSession()
{
    {
        const std::lock_guard lock(d->postMutex);
        d->context = nullptr;
        if (!d->finished) {
            d->counted = true;
            ++unfinishedDropped;
        }
    }
    d->dropped = true;
    d->push(Command::Quit);
    // One that hangs in teardown is told once; it is still counted by abandoned().
    QTimer::singleShot(TeardownGraceMs, [d = d] {
        if (!d->finished)
            qWarning("player: a dropped stream is still not torn down after %d ms", TeardownGraceMs);
    });
}

int StreamSession::abandoned()
{
    return unfinishedDropped;
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
