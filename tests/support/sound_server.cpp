#include "sound_server.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

SoundServer::SoundServer(const QStringList& sinks) : sinks_(sinks)
{
    process_.setProcessChannelMode(QProcess::MergedChannels);
}

SoundServer::~SoundServer()
{
    stop();
}

QString SoundServer::address() const
{
    return QStringLiteral("unix:") + dir_.filePath(QStringLiteral("native"));
}

bool SoundServer::start()
{
    // Set before any player opens its output: libpulse reads it when a client connects.
    qputenv("PULSE_SERVER", address().toUtf8());
    const QString dir = dir_.path();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "PULSE_RUNTIME_PATH", "XDG_CONFIG_HOME"})
        env.insert(QLatin1String(name), dir);
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    process_.setProcessEnvironment(env);
    process_.setWorkingDirectory(dir);
    // -n: no default.pa, so no sound card and no D-Bus modules; anonymous clients, as no
    // cookie is shared with them.
    QStringList args{QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                     QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--disallow-exit"),
                     QStringLiteral("--use-pid-file=no"), QStringLiteral("--log-target=stderr")};
    for (const QString& sink : sinks_)
        args << QStringLiteral("-L") << QStringLiteral("module-null-sink sink_name=%1").arg(sink);
    args << QStringLiteral("-L")
         << QStringLiteral("module-native-protocol-unix socket=%1/native auth-anonymous=1").arg(dir);
    process_.start(QStringLiteral("pulseaudio"), args);
    if (!process_.waitForStarted(5000))
        return false;
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && isRunning()) {
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

QString SoundServer::log()
{
    return QString::fromLocal8Bit(process_.readAll());
}
