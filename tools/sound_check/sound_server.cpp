#include "sound_server.h"

#include <QLocalSocket>
#include <QTest>

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
    return QTest::qWaitFor([this] {
        QLocalSocket probe;
        probe.connectToServer(dir_.filePath(QStringLiteral("native")));
        return probe.waitForConnected(200);
    }, 5000);
}
