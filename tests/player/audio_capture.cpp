#include "audio_capture.h"

#include <gst/app/gstappsink.h>

#include <cmath>
#include <mutex>
#include <vector>

namespace {
constexpr int Rate = 44100;
}

struct AudioCapture::State {
    mutable std::mutex mutex;
    qint64 first = 0;
    qint64 lastEnd = 0;          // when the audio heard so far ends
    qint64 samples = 0;
    std::vector<qint64> gaps;    // ns
    std::vector<qint16> recent;  // last half second

    void add(const qint16* data, int count, qint64 at)
    {
        const std::lock_guard lock(mutex);
        const qint64 duration = qint64(count) * GST_SECOND / Rate;
        if (first == 0)
            first = at;
        else if (at > lastEnd)
            gaps.push_back(at - lastEnd);
        lastEnd = std::min(std::max(at, lastEnd) + duration, at + duration + 200 * GST_MSECOND);
        samples += count;
        recent.insert(recent.end(), data, data + count);
        if (recent.size() > Rate / 2)
            recent.erase(recent.begin(), recent.end() - Rate / 2);
    }
};

AudioCapture::AudioCapture() : d(std::make_shared<State>())
{
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);
}

GstElement* AudioCapture::makeSink()
{
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    GstCaps* caps = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "rate",
                                        G_TYPE_INT, Rate, "channels", G_TYPE_INT, 1, "layout",
                                        G_TYPE_STRING, "interleaved", nullptr);
    g_object_set(sink, "caps", caps, "sync", TRUE, nullptr);
    gst_caps_unref(caps);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink* appsink, gpointer data) {
        if (GstSample* sample = gst_app_sink_pull_sample(appsink)) {
            GstBuffer* buffer = gst_sample_get_buffer(sample);
            GstMapInfo map;
            if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                static_cast<std::shared_ptr<State>*>(data)->get()->add(
                    reinterpret_cast<const qint16*>(map.data), int(map.size / 2),
                    g_get_monotonic_time() * 1000);
                gst_buffer_unmap(buffer, &map);
            }
            gst_sample_unref(sample);
        }
        return GST_FLOW_OK;
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, new std::shared_ptr<State>(d),
                               [](gpointer p) { delete static_cast<std::shared_ptr<State>*>(p); });
    return sink;
}

void AudioCapture::addSamples(const qint16* samples, int count, qint64 playNs)
{
    d->add(samples, count, playNs);
}

void AudioCapture::reset()
{
    const std::lock_guard lock(d->mutex);
    d->first = d->lastEnd = d->samples = 0;
    d->gaps.clear();
    d->recent.clear();
}

qint64 AudioCapture::firstAudioNs() const
{
    const std::lock_guard lock(d->mutex);
    return d->first;
}

double AudioCapture::secondsReceived() const
{
    const std::lock_guard lock(d->mutex);
    return double(d->samples) / Rate;
}

double AudioCapture::level() const
{
    const std::lock_guard lock(d->mutex);
    double energy = 0;
    for (const qint16 v : d->recent)
        energy += double(v) * v;
    return d->recent.empty() ? 0 : std::sqrt(energy / d->recent.size());
}

double AudioCapture::frequency() const
{
    const double rms = level();
    const std::lock_guard lock(d->mutex);
    const std::vector<qint16>& r = d->recent;
    if (r.size() < Rate / 10 || rms < 300)
        return 0;   // too short or too quiet to be the tone
    int crossings = 0;
    for (size_t i = 1; i < r.size(); ++i)
        crossings += r[i - 1] < 0 && r[i] >= 0;
    return crossings * double(Rate) / r.size();
}

QList<qint64> AudioCapture::gapsMs(qint64 minMs) const
{
    const std::lock_guard lock(d->mutex);
    QList<qint64> result;
    for (const qint64 g : d->gaps)
        if (g / 1000000 > minMs)
            result.append(g / 1000000);
    return result;
}

qint64 AudioCapture::silentMs(qint64 minMs) const
{
    qint64 total = 0;
    for (const qint64 g : gapsMs(minMs))
        total += g;
    const std::lock_guard lock(d->mutex);
    const qint64 open = d->first ? (g_get_monotonic_time() * 1000 - d->lastEnd) / 1000000 : 0;
    return open > minMs ? total + open : total;
}
