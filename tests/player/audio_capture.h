#pragma once

#include <QList>
#include <QtGlobal>

#include <memory>

typedef struct _GstElement GstElement;

// Collects the decoded audio a player hands to its application sink: when it is heard, where
// it paused, and which tone it carries. Like a sound card with a 200 ms buffer, it drops what
// comes late in a rush after a pause instead of counting it as heard later.
// Safe to read from the test thread while it fills.
class AudioCapture {
public:
    AudioCapture();
    ~AudioCapture();

    // A new clocked appsink (mono, 16 bit, 44.1 kHz) feeding this capture; floating reference.
    GstElement* makeSink();
    void reset();
    // For other engines' audio callbacks: mono 16-bit samples at 44.1 kHz, due to be heard at
    // playNs (g_get_monotonic_time() * 1000; libVLC's clock is the same monotonic clock).
    void addSamples(const qint16* samples, int count, qint64 playNs);

    qint64 firstAudioNs() const;   // g_get_monotonic_time() * 1000 of the first buffer, 0: none
    double secondsReceived() const;
    // Tone of the last half second: positive-going zero crossings per second, 0 when quiet.
    double frequency() const;
    double level() const;          // RMS of the last half second, 0..32767
    // Pauses in arrival longer than minMs, in ms, after the first audio.
    QList<qint64> gapsMs(qint64 minMs) const;
    qint64 silentMs(qint64 minMs) const;   // sum of those pauses, the open one included

    struct State;

private:
    std::shared_ptr<State> d;
};
