#include "audio_capture.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <cmath>
#include <mutex>
#include <vector>

namespace {

constexpr int Rate = 44100;
constexpr qint64 DeviceBufferNs = 200 * GST_MSECOND;

qint64 nowNs()
{
    return g_get_monotonic_time() * 1000;
}

} // namespace

struct AudioCapture::State {
    mutable std::mutex mutex;
    qint64 first = 0;
    qint64 lastEnd = 0;          // arrival time of the last buffer plus its length
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
        lastEnd = std::min(std::max(at, lastEnd) + duration, at + duration + DeviceBufferNs);
        samples += count;
        recent.insert(recent.end(), data, data + count);
        const size_t keep = Rate / 2;
        if (recent.size() > keep)
            recent.erase(recent.begin(), recent.end() - keep);
    }
};

namespace {

GstFlowReturn onSample(GstAppSink* sink, gpointer data)
{
    auto* s = static_cast<std::shared_ptr<AudioCapture::State>*>(data)->get();
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_OK;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        s->add(reinterpret_cast<const qint16*>(map.data), int(map.size / 2), nowNs());
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

} // namespace

AudioCapture::AudioCapture() : d(std::make_shared<State>())
{
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);
}

AudioCapture::~AudioCapture() = default;

GstElement* AudioCapture::makeSink()
{
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    GstCaps* caps = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "rate",
                                        G_TYPE_INT, Rate, "channels", G_TYPE_INT, 1, "layout",
                                        G_TYPE_STRING, "interleaved", nullptr);
    g_object_set(sink, "caps", caps, "sync", TRUE, nullptr);
    gst_caps_unref(caps);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = onSample;
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
    d->first = 0;
    d->lastEnd = 0;
    d->samples = 0;
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

double AudioCapture::frequency() const
{
    const std::lock_guard lock(d->mutex);
    const std::vector<qint16>& r = d->recent;
    if (r.size() < Rate / 10)
        return 0;
    double energy = 0;
    int crossings = 0;
    for (size_t i = 1; i < r.size(); ++i) {
        energy += double(r[i]) * r[i];
        if (r[i - 1] < 0 && r[i] >= 0)
            ++crossings;
    }
    if (energy / r.size() < 300.0 * 300.0)
        return 0;   // too quiet to be the tone
    return crossings * double(Rate) / r.size();
}

double AudioCapture::level() const
{
    const std::lock_guard lock(d->mutex);
    if (d->recent.empty())
        return 0;
    double energy = 0;
    for (const qint16 v : d->recent)
        energy += double(v) * v;
    return std::sqrt(energy / d->recent.size());
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
    if (d->first != 0) {
        const qint64 open = (nowNs() - d->lastEnd) / 1000000;
        if (open > minMs)
            total += open;
    }
    return total;
}
