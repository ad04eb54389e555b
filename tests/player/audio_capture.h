#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <memory>

// What a sound server's sink plays, recorded from its monitor as a listener would hear it: when
// sound began, where it went silent, which tone it carries. Silence is a 20 ms window whose RMS
// is below a threshold. Records from construction to destruction; safe to read from the test
// thread while it fills. Times are g_get_monotonic_time() * 1000, the same in every process.
class AudioCapture {
public:
    explicit AudioCapture(const QString& source = QStringLiteral("t.monitor"));
    ~AudioCapture();
    AudioCapture(const AudioCapture&) = delete;
    AudioCapture& operator=(const AudioCapture&) = delete;

    bool isRecording() const;   // the monitor delivers
    void reset();               // forget what was heard

    qint64 firstSoundNs(qint64 afterNs = 0) const;   // first loud window from afterNs on; 0: none
    double secondsHeard() const;                     // loud windows, in seconds
    double level() const;       // RMS of the last half second, 0..32767
    double frequency() const;   // of the last half second, by zero crossings; 0 when quiet
    // Silences longer than minMs after the first sound, in ms; the open one at the end included
    // when it lasts beyond minMs.
    QList<qint64> gapsMs(qint64 minMs, qint64 untilNs = 0) const;
    qint64 silentMs(qint64 minMs, qint64 untilNs = 0) const;   // their sum
    qint64 lastSoundNs() const;

    struct State;

private:
    std::shared_ptr<State> d;
    struct Pipeline;
    std::unique_ptr<Pipeline> pipeline_;
};
