// Prints the time from process start to the panel's start page being shown
// and the memory (PSS) of the whole process tree while it shows it.
// Not a test: run by hand, e.g. under xvfb-run or with QT_QPA_PLATFORM=offscreen.
#include "usrReklamaX.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <ctime>
#include <unistd.h>

namespace {
// Seconds since boot at which this process started.
double ProcessStartSeconds()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // Fields after the parenthesised command name; starttime is field 22.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.value(19).toDouble() / double(sysconf(_SC_CLK_TCK));
}

double NowSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

qint64 ParentOf(const QString& pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2).split(' ').value(1).toLongLong();
}

qint64 PssKiB(qint64 pid)
{
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!rollup.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : rollup.readAll().split('\n'))
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// This process and all its descendants.
QList<qint64> ProcessTree()
{
    QList<qint64> tree{qint64(getpid())};
    const QStringList all = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (qsizetype i = 0; i < tree.size(); ++i)
        for (const QString& pid : all)
            if (ParentOf(pid) == tree[i])
                tree.append(pid.toLongLong());
    return tree;
}
}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(632, 389);
    auto* panel = new usrReklamaX(&window);
    panel->setGeometry(4, 0, 625, 73);
    QTextStream out(stdout);

    QObject::connect(panel->WebBrowser1->page(), &QWebEnginePage::loadFinished, &app, [&](bool ok) {
        out << "start page shown (" << (ok ? "ok" : "failed") << ") "
            << qRound((NowSeconds() - ProcessStartSeconds()) * 1000) << " ms after process start\n";
        // Let the renderer settle before the memory is read.
        QTimer::singleShot(3000, &app, [&] {
            qint64 total = 0;
            for (const qint64 pid : ProcessTree()) {
                const qint64 pss = PssKiB(pid);
                total += pss;
                QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
                comm.open(QIODevice::ReadOnly);
                out << "  pid " << pid << " " << comm.readAll().trimmed() << ": " << pss << " KiB\n";
            }
            out << "PSS of the process tree: " << total << " KiB (" << (total + 512) / 1024 << " MiB)\n";
            out.flush();
            app.quit();
        });
    });
    window.show();
    return app.exec();
}
