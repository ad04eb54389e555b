#pragma once

#include <QList>
#include <QString>

#include <memory>

// What a sound server's sink plays, recorded from its monitor in 20 ms windows as a listener
// hears it: a window is silent below -44 dBFS. Times are g_get_monotonic_time() * 1000, the same
// in every process. Records from construction on; safe to read while it fills.
class AudioCapture {
public:
    explicit AudioCapture(const QString& source = QStringLiteral("t.monitor"));
    ~AudioCapture();

    bool isRecording() const;   // the monitor delivers
    void reset();               // forget what was heard
    qint64 firstSoundNs(qint64 afterNs = 0) const;   // the first loud window from afterNs on; 0: none
    double secondsHeard() const;
    double level() const;       // RMS of the last half second, 0..32767
    double frequency() const;   // of the last half second's loud windows; 0 when too little
    // Silences over minMs from the first sound to untilNs (0: now), the open one at the end too.
    QList<qint64> gapsMs(qint64 minMs, qint64 untilNs = 0) const;

    struct State;

private:
    std::unique_ptr<State> d;
};
