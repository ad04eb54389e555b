#include "sound_server.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

bool SoundServer::start()
{
    // Before any player opens its output: libpulse reads it when a client connects.
    qputenv("PULSE_SERVER", address().toUtf8());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "PULSE_RUNTIME_PATH", "XDG_CONFIG_HOME"})
        env.insert(QLatin1String(name), dir_.path());
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    // -n: no default.pa, so no sound card and no D-Bus; anonymous clients, as no cookie is shared.
    QStringList args{"-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
                     "--use-pid-file=no", "--log-target=stderr"};
    for (const QString& sink : sinks_)
        args << "-L" << QStringLiteral("module-null-sink sink_name=%1").arg(sink);
    args << "-L" << "module-native-protocol-unix auth-anonymous=1 socket=" + dir_.filePath("native");
    process_.start(QStringLiteral("pulseaudio"), args);
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && process_.waitForStarted(1000) && process_.state() == QProcess::Running) {
        QLocalSocket probe;
        probe.connectToServer(dir_.filePath(QStringLiteral("native")));
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(50);
    }
    return false;
}

void SoundServer::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(1000);
    }
}
