#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A private PulseAudio with null sinks and no sound card: what the player plays is recorded from
// "<sink>.monitor". It lives in a temporary folder; start() points this process (and its
// children) at it through PULSE_SERVER. It ends with this object.
class SoundServer {
public:
    explicit SoundServer(const QStringList& sinks = {QStringLiteral("t")}) : sinks_(sinks) {}
    ~SoundServer() { process_.terminate(); process_.waitForFinished(3000); }   // ~QProcess kills a stuck one

    bool start();   // false when the server did not come up within 5 s
    QString address() const { return QStringLiteral("unix:") + dir_.filePath(QStringLiteral("native")); }
    QString log() { return QString::fromLocal8Bit(process_.readAll()); }   // what it said so far

private:
    QStringList sinks_;
    QTemporaryDir dir_;
    QProcess process_;
};
