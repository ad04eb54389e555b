#include "audio_capture.h"

#include <gst/app/gstappsink.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

namespace {
constexpr int Rate = 44100, Window = Rate / 50;   // 20 ms
constexpr double Quiet = 200;
constexpr int HalfSecond = 25;   // windows
struct Heard {
    qint64 endNs;
    double rms;
    int crossings;   // upward zero crossings
};
} // namespace

struct AudioCapture::State {
    mutable std::mutex mutex;
    std::vector<Heard> windows;
    double energy = 0;
    int filled = 0, crossings = 0;
    qint16 last = 0;
    bool recording = false;

    void add(const qint16* data, int count, qint64 arrivedNs)
    {
        const std::lock_guard lock(mutex);
        recording = true;
        for (int i = 0; i < count; ++i) {
            energy += double(data[i]) * data[i];
            crossings += last < 0 && data[i] >= 0;
            last = data[i];
            if (++filled == Window) {
                windows.push_back({arrivedNs - qint64(count - 1 - i) * GST_SECOND / Rate,
                                   std::sqrt(energy / Window), crossings});
                energy = filled = crossings = 0;
            }
        }
    }
    std::vector<Heard> recent() const
    {
        return {windows.end() - std::min<size_t>(windows.size(), HalfSecond), windows.end()};
    }
};

void AudioCapture::Stop::operator()(GstElement* pipeline) const
{
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
}

AudioCapture::AudioCapture(const QString& source) : d(std::make_unique<State>())
{
    gst_init(nullptr, nullptr);
    // Small fragments make the null sink render in small blocks too: what reaches the monitor
    // is what is being heard, within some 10 ms.
    pipeline_.reset(gst_parse_launch(
        qPrintable(QStringLiteral("pulsesrc device=%1 client-name=recorder latency-time=10000 "
                                  "buffer-time=100000 ! audioconvert ! audioresample ! "
                                  "audio/x-raw,format=S16LE,rate=44100,channels=1 ! "
                                  "appsink name=out sync=false").arg(source)),
        nullptr));
    GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline_.get()), "out");
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink* sink, gpointer state) {
        GstSample* sample = gst_app_sink_pull_sample(sink);
        GstMapInfo map;
        if (sample && gst_buffer_map(gst_sample_get_buffer(sample), &map, GST_MAP_READ)) {
            static_cast<State*>(state)->add(reinterpret_cast<const qint16*>(map.data),
                                            int(map.size / 2), g_get_monotonic_time() * 1000);
            gst_buffer_unmap(gst_sample_get_buffer(sample), &map);
        }
        if (sample)
            gst_sample_unref(sample);
        return GST_FLOW_OK;
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(out), &callbacks, d.get(), nullptr);
    gst_object_unref(out);
    gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING);
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
}

qint64 AudioCapture::firstSoundNs(qint64 afterNs) const
{
    const std::lock_guard lock(d->mutex);
    const qint64 windowNs = qint64(Window) * GST_SECOND / Rate;
    for (const Heard& w : d->windows)
        if (w.rms >= Quiet && w.endNs - windowNs >= afterNs)
            return w.endNs - windowNs;
    return 0;
}

double AudioCapture::secondsHeard() const
{
    const std::lock_guard lock(d->mutex);
    return std::count_if(d->windows.begin(), d->windows.end(), [](const Heard& w) { return w.rms >= Quiet; })
        * double(Window) / Rate;
}

double AudioCapture::level() const
{
    const std::lock_guard lock(d->mutex);
    const std::vector<Heard> r = d->recent();
    double energy = 0;
    for (const Heard& w : r)
        energy += w.rms * w.rms;
    return r.empty() ? 0 : std::sqrt(energy / r.size());
}

double AudioCapture::frequency() const
{
    const std::lock_guard lock(d->mutex);
    // Loud windows near the median only: a click or an MP3 loop's padding does not count.
    std::vector<int> n;
    for (const Heard& w : d->recent())
        if (w.rms >= Quiet)
            n.push_back(w.crossings);
    if (n.size() < 5)
        return 0;
    std::sort(n.begin(), n.end());
    const int median = n[n.size() / 2];
    std::erase_if(n, [median](int c) { return std::abs(c - median) * 4 > median + 4; });
    double total = 0;
    for (const int c : n)
        total += c;
    return total * Rate / (double(n.size()) * Window);
}

QList<qint64> AudioCapture::gapsMs(qint64 minMs, qint64 untilNs) const
{
    const std::lock_guard lock(d->mutex);
    QList<qint64> gaps;
    qint64 silent = -1;   // ms; -1: before the first sound
    for (const Heard& w : d->windows) {
        if (untilNs != 0 && w.endNs > untilNs)
            break;
        if (w.rms >= Quiet) {
            if (silent > minMs)
                gaps.append(silent);
            silent = 0;
        } else if (silent >= 0) {
            silent += 1000 * Window / Rate;
        }
    }
    if (silent > minMs)
        gaps.append(silent);
    return gaps;
}
