#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A private PulseAudio with null sinks and no sound card, for tests and the benchmark: what the
// player plays is recorded from "<sink>.monitor". It keeps everything in a temporary folder and
// points this process (and its children) at itself through PULSE_SERVER.
class SoundServer {
public:
    explicit SoundServer(const QStringList& sinks = {QStringLiteral("t")});
    ~SoundServer();   // ends the server

    bool start();     // false when the server did not come up within 5 s
    void stop();
    bool isRunning() const { return process_.state() == QProcess::Running; }
    QString address() const;   // "unix:<folder>/native", what PULSE_SERVER is set to
    QString log();   // what the server said so far

private:
    QStringList sinks_;
    QTemporaryDir dir_;
    QProcess process_;
};
