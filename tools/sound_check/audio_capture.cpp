#include "audio_capture.h"

#include <gst/app/gstappsink.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numeric>
#include <vector>

namespace {
// 8 kHz is plenty for the test tones and leaves the cores to the player.
constexpr int Rate = 8000, Window = Rate / 50, WindowMs = 20, HalfSecond = 25;
constexpr double Quiet = 200;
struct Heard {
    qint64 startNs;
    double rms;
    int crossings;   // upward zero crossings
    bool loud() const { return rms >= Quiet; }
};
} // namespace

struct AudioCapture::State {
    mutable std::mutex mutex;
    std::vector<Heard> windows;
    bool recording = false;
    double energy = 0;
    int filled = 0, crossings = 0;
    qint16 last = 0;
    GstElement* pipeline = nullptr;

    ~State()
    {
        gst_element_set_state(pipeline, GST_STATE_NULL);   // no sample arrives after this
        gst_object_unref(pipeline);
    }
    void add(const std::vector<qint16>& samples, qint64 arrivedNs)
    {
        const std::lock_guard lock(mutex);
        recording = true;
        for (size_t i = 0; i < samples.size(); ++i) {
            energy += double(samples[i]) * samples[i];
            crossings += last < 0 && samples[i] >= 0;
            last = samples[i];
            if (++filled == Window) {
                const qint64 endNs = arrivedNs - qint64(samples.size() - 1 - i) * GST_SECOND / Rate;
                windows.push_back({endNs - WindowMs * GST_MSECOND, std::sqrt(energy / Window), crossings});
                energy = filled = crossings = 0;
            }
        }
    }
    std::vector<Heard> heard(size_t lastOnly = SIZE_MAX) const
    {
        const std::lock_guard lock(mutex);
        return {windows.end() - std::min(windows.size(), lastOnly), windows.end()};
    }
};

AudioCapture::AudioCapture(const QString& source) : d(std::make_unique<State>())
{
    gst_init(nullptr, nullptr);
    // Small fragments make the null sink render in small blocks too: what reaches the monitor
    // is what is being heard, within some 10 ms.
    d->pipeline = gst_parse_launch(
        qPrintable(QStringLiteral("pulsesrc device=%1 client-name=recorder latency-time=10000 buffer-time=100000 "
                                  "! audioconvert ! audioresample ! audio/x-raw,format=S16LE,rate=%2,channels=1 "
                                  "! appsink name=out sync=false").arg(source).arg(Rate)),
        nullptr);
    GstElement* out = gst_bin_get_by_name(GST_BIN(d->pipeline), "out");
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink* sink, gpointer state) {
        GstSample* sample = gst_app_sink_pull_sample(sink);
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        std::vector<qint16> samples(gst_buffer_get_size(buffer) / 2);
        gst_buffer_extract(buffer, 0, samples.data(), samples.size() * 2);
        gst_sample_unref(sample);
        static_cast<State*>(state)->add(samples, g_get_monotonic_time() * 1000);
        return GST_FLOW_OK;
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(out), &callbacks, d.get(), nullptr);
    gst_object_unref(out);
    gst_element_set_state(d->pipeline, GST_STATE_PLAYING);
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
    for (const Heard& w : d->heard())
        if (w.loud() && w.startNs >= afterNs)
            return w.startNs;
    return 0;
}

double AudioCapture::secondsHeard() const
{
    const std::vector<Heard> all = d->heard();
    return std::ranges::count_if(all, &Heard::loud) * WindowMs / 1000.0;
}

double AudioCapture::level() const
{
    const std::vector<Heard> recent = d->heard(HalfSecond);
    const double energy = std::accumulate(recent.begin(), recent.end(), 0.0,
                                          [](double sum, const Heard& w) { return sum + w.rms * w.rms; });
    return recent.empty() ? 0 : std::sqrt(energy / recent.size());
}

double AudioCapture::frequency() const
{
    // Loud windows near the median only: a click or an MP3 loop's padding does not count.
    std::vector<int> n;
    for (const Heard& w : d->heard(HalfSecond))
        if (w.loud())
            n.push_back(w.crossings);
    if (n.size() < 5)
        return 0;
    std::ranges::sort(n);
    const int median = n[n.size() / 2];
    std::erase_if(n, [median](int c) { return std::abs(c - median) * 4 > median + 4; });
    return std::accumulate(n.begin(), n.end(), 0.0) * 1000 / (double(n.size()) * WindowMs);
}

QList<qint64> AudioCapture::gapsMs(qint64 minMs, qint64 untilNs) const
{
    QList<qint64> gaps;
    qint64 silent = -1;   // ms; -1: before the first sound
    for (const Heard& w : d->heard()) {
        if (untilNs != 0 && w.startNs + WindowMs * GST_MSECOND > untilNs)
            break;
        if (w.loud() && silent > minMs)
            gaps.append(silent);
        if (w.loud())
            silent = 0;
        else if (silent >= 0)
            silent += WindowMs;
    }
    if (silent > minMs)
        gaps.append(silent);
    return gaps;
}
