// Prints the time from process start to the panel's start page being shown
// and the memory (PSS) of the whole process tree while it shows it.
// Not a test: run by hand, e.g. under xvfb-run or with QT_QPA_PLATFORM=offscreen.
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

    const auto shown = [&](bool ok) {
        timespec now{};
        clock_gettime(CLOCK_BOOTTIME, &now);
        const double started = StatField(QStringLiteral("self"), 22).toDouble() / double(sysconf(_SC_CLK_TCK));
        out << "start page shown (" << (ok ? "ok" : "failed") << ") "
            << qRound((double(now.tv_sec) + double(now.tv_nsec) / 1e9 - started) * 1000) << " ms after process start\n";
        // Let the renderer settle before the memory is read.
        QTimer::singleShot(3000, &app, [&] {
            // This process and all its descendants.
            QStringList tree{QString::number(getpid())};
            const QStringList all = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
            for (qsizetype i = 0; i < tree.size(); ++i)
                for (const QString& pid : all)
                    if (StatField(pid, 4) == tree[i].toLatin1())
                        tree.append(pid);
            qint64 total = 0;
            for (const QString& pid : tree)
                for (const QByteArray& line : ProcFile(pid, "smaps_rollup").split('\n'))
                    if (line.startsWith("Pss:"))
                        total += line.mid(4).trimmed().split(' ').value(0).toLongLong();
            out << "PSS of the " << tree.size() << " processes: " << total << " KiB (" << (total + 512) / 1024
                << " MiB)\n";
            out.flush();
            app.quit();
        });
    };
    // The browser exists once the window is on screen.
    QObject::connect(panel, &usrReklamaX::browserCreated, &app, [&] {
        QObject::connect(panel->WebBrowser1->page(), &QWebEnginePage::loadFinished, &app, shown);
    });
    window.show();
    return app.exec();
}
