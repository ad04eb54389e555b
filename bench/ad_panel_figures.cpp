// Prints the time from process start to the panel's start page being shown
// and the memory (PSS) and threads of the whole process tree while it shows
// it; given an advertisement base address, also after the first tuning and
// after 30 more. Not a test: run by hand, e.g. under xvfb-run or offscreen:
//   build/bin/ad_panel_figures [http://127.0.0.1:8701/reklama/ [more tunings]]
#include "ad_profile.h"
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
QByteArray ProcFile(const QString& pid, const char* name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid, QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Field n of /proc/<pid>/stat, counted from the state (field 3) on.
QByteArray StatField(const QString& pid, int n)
{
    const QByteArray text = ProcFile(pid, "stat");
    return text.mid(text.lastIndexOf(')') + 2).split(' ').value(n - 3);
}
}  // namespace

int main(int argc, char** argv)
{
    SetAdBrowserSwitches();  // as the program does
    QApplication app(argc, argv);
    QWidget window;
    window.resize(632, 389);
    auto* panel = new usrReklamaX(&window);
    panel->setGeometry(4, 0, 625, 73);
    QTextStream out(stdout);

    // This process and all its descendants: PSS in KiB and threads.
    const auto figures = [&](const char* when) {
        QStringList tree{QString::number(getpid())};
        const QStringList all = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
        for (qsizetype i = 0; i < tree.size(); ++i)
            for (const QString& pid : all)
                if (StatField(pid, 4) == tree[i].toLatin1())
                    tree.append(pid);
        qint64 total = 0, threads = 0;
        for (const QString& pid : tree) {
            for (const QByteArray& line : ProcFile(pid, "smaps_rollup").split('\n'))
                if (line.startsWith("Pss:"))
                    total += line.mid(4).trimmed().split(' ').value(0).toLongLong();
            threads += StatField(pid, 20).toLongLong();
        }
        out << when << ": PSS of the " << tree.size() << " processes " << total << " KiB (" << (total + 512) / 1024
            << " MiB), " << threads << " threads\n";
        out.flush();
    };
    // With an advertisement base address (ending in '/'), tunings follow: 1, then 30 (or argv[2]) more.
    const QString ads = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const int more = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 30;
    int loads = 0;
    const auto loaded = [&](bool ok) {
        if (loads++ == 0) {
            timespec now{};
            clock_gettime(CLOCK_BOOTTIME, &now);
            const double started = StatField(QStringLiteral("self"), 22).toDouble() / double(sysconf(_SC_CLK_TCK));
            out << "start page shown (" << (ok ? "ok" : "failed") << ") "
                << qRound((double(now.tv_sec) + double(now.tv_nsec) / 1e9 - started) * 1000)
                << " ms after process start\n";
        }
        if (loads == 1 || loads == 2 || loads == more + 2 || ads.isEmpty()) {
            // Let the renderer settle before the memory is read.
            QTimer::singleShot(3000, &app, [&] {
                figures(loads == 1 ? "start page" : loads == 2 ? "after the first tuning" : "after the others");
                if (ads.isEmpty() || loads == more + 2)
                    app.quit();
                else
                    panel->Start();
            });
        } else {
            QTimer::singleShot(300, panel, &usrReklamaX::Start);
        }
    };
    panel->setReklamaURL(ads);
    // The browser exists once the window is on screen.
    QObject::connect(panel, &usrReklamaX::browserCreated, &app, [&] {
        QObject::connect(panel->WebBrowser1->page(), &QWebEnginePage::loadFinished, &app, loaded);
    });
    window.show();
    return app.exec();
}
