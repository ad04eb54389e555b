#include "audio_capture.h"

#include <gst/app/gstappsink.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

namespace {
constexpr int Rate = 44100;
constexpr int Window = Rate / 50;      // 20 ms
constexpr double Quiet = 200;          // RMS below this is silence (-44 dBFS)
constexpr qint64 WindowNs = qint64(Window) * GST_SECOND / Rate;
}

struct AudioCapture::State {
    struct Heard {
        qint64 endNs;
        bool loud;
    };
    mutable std::mutex mutex;
    std::vector<Heard> windows;
    double energy = 0;     // of the window being filled
    int filled = 0;
    std::vector<qint16> recent;   // last half second
    bool recording = false;

    void add(const qint16* data, int count, qint64 arrivedNs)
    {
        const std::lock_guard lock(mutex);
        recording = true;
        for (int i = 0; i < count; ++i) {
            energy += double(data[i]) * data[i];
            if (++filled == Window) {
                const qint64 end = arrivedNs - qint64(count - 1 - i) * GST_SECOND / Rate;
                windows.push_back({end, std::sqrt(energy / Window) >= Quiet});
                energy = 0;
                filled = 0;
            }
        }
        recent.insert(recent.end(), data, data + count);
        if (recent.size() > Rate / 2)
            recent.erase(recent.begin(), recent.end() - Rate / 2);
    }

    // Loud windows from the first on, up to untilNs (0: all).
    template <class F>
    void eachRun(qint64 untilNs, F f) const
    {
        // f(loud, windows in the run, ends at)
        size_t i = 0;
        while (i < windows.size() && !windows[i].loud)
            ++i;
        while (i < windows.size() && (untilNs == 0 || windows[i].endNs <= untilNs)) {
            const bool loud = windows[i].loud;
            size_t j = i;
            while (j < windows.size() && windows[j].loud == loud
                   && (untilNs == 0 || windows[j].endNs <= untilNs))
                ++j;
            f(loud, qint64(j - i), windows[j - 1].endNs);
            i = j;
        }
    }
};

struct AudioCapture::Pipeline {
    GstElement* bin = nullptr;
    ~Pipeline()
    {
        if (bin) {
            gst_element_set_state(bin, GST_STATE_NULL);
            gst_object_unref(bin);
        }
    }
};

AudioCapture::AudioCapture(const QString& source)
    : d(std::make_shared<State>()), pipeline_(std::make_unique<Pipeline>())
{
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);
    // A short fragment asks the null sink to render in small blocks too, so what reaches the
    // monitor is what is being heard, within some 10 ms.
    GError* error = nullptr;
    pipeline_->bin = gst_parse_launch(
        "pulsesrc name=src latency-time=10000 buffer-time=100000 ! audioconvert ! audioresample"
        " ! audio/x-raw,format=S16LE,rate=44100,channels=1,layout=interleaved"
        " ! appsink name=out sync=false",
        &error);
    if (!pipeline_->bin) {
        qWarning("recorder: %s", error ? error->message : "?");
        g_clear_error(&error);
        return;
    }
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline_->bin), "src");
    g_object_set(src, "device", source.toUtf8().constData(), "client-name", "recorder", nullptr);
    gst_object_unref(src);
    GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline_->bin), "out");
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink* appsink, gpointer data) {
        if (GstSample* sample = gst_app_sink_pull_sample(appsink)) {
            GstBuffer* buffer = gst_sample_get_buffer(sample);
            GstMapInfo map;
            if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                static_cast<State*>(data)->add(reinterpret_cast<const qint16*>(map.data),
                                               int(map.size / 2), g_get_monotonic_time() * 1000);
                gst_buffer_unmap(buffer, &map);
            }
            gst_sample_unref(sample);
        }
        return GST_FLOW_OK;
    };
    // The state outlives the pipeline: destruction stops it first.
    gst_app_sink_set_callbacks(GST_APP_SINK(out), &callbacks, d.get(), nullptr);
    gst_object_unref(out);
    gst_element_set_state(pipeline_->bin, GST_STATE_PLAYING);
}

AudioCapture::~AudioCapture() = default;

bool AudioCapture::isRecording() const
{
    const std::lock_guard lock(d->mutex);
    return d->recording;
}

void AudioCapture::reset()
{
    const std::lock_guard lock(d->mutex);
    d->windows.clear();
    d->recent.clear();
}

qint64 AudioCapture::firstSoundNs(qint64 afterNs) const
{
    const std::lock_guard lock(d->mutex);
    for (const State::Heard& w : d->windows)
        if (w.loud && w.endNs - WindowNs >= afterNs)
            return w.endNs - WindowNs;
    return 0;
}

qint64 AudioCapture::lastSoundNs() const
{
    const std::lock_guard lock(d->mutex);
    for (auto w = d->windows.rbegin(); w != d->windows.rend(); ++w)
        if (w->loud)
            return w->endNs;
    return 0;
}

double AudioCapture::secondsHeard() const
{
    const std::lock_guard lock(d->mutex);
    qint64 loud = 0;
    for (const State::Heard& w : d->windows)
        loud += w.loud;
    return double(loud) * Window / Rate;
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
    const std::lock_guard lock(d->mutex);
    // Per 20 ms window, so that a click or the noise of a near-silent stretch (an MP3 loop's
    // padding) does not count: loud windows near the median only.
    const std::vector<qint16>& r = d->recent;
    std::vector<int> crossings;
    for (size_t start = 0; start + Window <= r.size(); start += Window) {
        double energy = 0;
        int n = 0;
        for (size_t i = start; i < start + Window; ++i) {
            energy += double(r[i]) * r[i];
            n += i > start && r[i - 1] < 0 && r[i] >= 0;
        }
        if (std::sqrt(energy / Window) >= Quiet)
            crossings.push_back(n);
    }
    if (crossings.size() < 5)
        return 0;   // too short or too quiet to be the tone
    std::vector<int> sorted = crossings;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const int median = sorted[sorted.size() / 2];
    int total = 0, windows = 0;
    for (const int n : crossings)
        if (std::abs(n - median) * 4 <= median + 4) {
            total += n;
            ++windows;
        }
    return total * double(Rate) / (double(windows) * Window);
}

QList<qint64> AudioCapture::gapsMs(qint64 minMs, qint64 untilNs) const
{
    const std::lock_guard lock(d->mutex);
    QList<qint64> gaps;
    d->eachRun(untilNs, [&](bool loud, qint64 count, qint64) {
        const qint64 ms = count * WindowNs / 1000000;
        if (!loud && ms > minMs)
            gaps.append(ms);
    });
    return gaps;
}

qint64 AudioCapture::silentMs(qint64 minMs, qint64 untilNs) const
{
    qint64 total = 0;
    for (const qint64 g : gapsMs(minMs, untilNs))
        total += g;
    return total;
}
