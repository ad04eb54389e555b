#pragma once

#include <QList>
#include <QtGlobal>

#include <memory>

typedef struct _GstElement GstElement;

// The decoded audio a player hands to its appsink: when it is heard, where it paused, which tone
// it carries. Like a sound card with a 200 ms buffer, it drops what comes in a rush after a pause
// instead of counting it as heard later. Safe to read from the test thread while it fills.
class AudioCapture {
public:
    AudioCapture();
    GstElement* makeSink();   // a clocked appsink, mono 16 bit 44.1 kHz; floating reference
    void reset();
    // For other engines' callbacks: samples as makeSink takes them, heard at playNs.
    void addSamples(const qint16* samples, int count, qint64 playNs);

    qint64 firstAudioNs() const;   // g_get_monotonic_time() * 1000 of the first buffer, 0: none
    double secondsReceived() const;
    double frequency() const;      // of the last half second, by zero crossings; 0 when quiet
    double level() const;          // RMS of the last half second, 0..32767
    QList<qint64> gapsMs(qint64 minMs) const;   // pauses longer than minMs after the first audio
    qint64 silentMs(qint64 minMs) const;        // their sum, the open one included

    struct State;

private:
    std::shared_ptr<State> d;
};
