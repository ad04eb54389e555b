// Shows the main window with the built-in stations and saves a picture of it:
//   main_window_snapshot <out.png> [saved station] [keys to press, e.g. "dde"]
// Keys: d Down, u Up, n Page Down, p Page Up, h Home, e End.
#include "LoadRadioM.h"
#include "frmForma.h"
#include "station_numbers.h"

#include <QApplication>
#include <QScreen>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: %s out.png [saved station] [keys]\n", argv[0]);
        return 2;
    }
    LoadRadio();
    NomerRadio = args.size() > 2 ? args[2].toInt() : 0;

    frmForma window;
    window.show();
    window.ShowRadio();
    window.activateWindow();
    const auto settle = [] {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    };
    settle();

    const QString keys = args.size() > 3 ? args[3] : QString();
    for (const QChar key : keys) {
        static const QHash<QChar, Qt::Key> map{{'d', Qt::Key_Down},   {'u', Qt::Key_Up},   {'n', Qt::Key_PageDown},
                                               {'p', Qt::Key_PageUp}, {'h', Qt::Key_Home}, {'e', Qt::Key_End}};
        if (!map.contains(key))
            continue;
        QKeyEvent press(QEvent::KeyPress, map.value(key), Qt::NoModifier);
        QCoreApplication::sendEvent(window.ListPicture, &press);
    }
    settle();

    // The whole screen where the platform can, else the window's own rendering.
    QPixmap shot;
    if (QScreen* screen = window.screen(); screen && QGuiApplication::platformName() == QLatin1String("xcb"))
        shot = screen->grabWindow(0, window.frameGeometry().x(), window.frameGeometry().y(),
                                  window.frameGeometry().width(), window.frameGeometry().height());
    if (shot.isNull() || shot.toImage().allGray())
        shot = window.grab();
    if (!shot.save(args[1])) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args[1]));
        return 1;
    }
    std::printf("%s\n", qPrintable(args[1]));
    return 0;
}
