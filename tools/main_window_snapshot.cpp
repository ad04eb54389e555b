// Shows the main window with the built-in stations and saves a picture of it:
//   main_window_snapshot <out.png> [saved station] [keys to press, e.g. "dde"]
// Keys: d Down, u Up, n Page Down, p Page Up, h Home, e End.
#include "LoadRadioM.h"
#include "frmForma.h"
#include "station_numbers.h"

#include <QApplication>
#include <QScreen>
#include <QTest>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2)
        return std::fprintf(stderr, "usage: %s out.png [saved station] [keys]\n", argv[0]), 2;
    LoadRadio();
    NomerRadio = args.value(2).toInt();
    frmForma window;
    window.show();
    window.ShowRadio();
    window.activateWindow();
    QTest::qWait(300);
    const Qt::Key keys[] = {Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_Home, Qt::Key_End};
    for (const QChar letter : args.value(3)) {
        if (const int i = QStringLiteral("dunphe").indexOf(letter); i >= 0)
            QTest::keyClick(window.ListPicture, keys[i]);
    }
    QTest::qWait(300);

    // The whole screen where the platform can, else the window's own rendering.
    QPixmap shot;
    const QRect frame = window.frameGeometry();
    if (QScreen* screen = window.screen(); screen && QGuiApplication::platformName() == QLatin1String("xcb"))
        shot = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (shot.isNull() || shot.toImage().allGray())
        shot = window.grab();
    if (!shot.save(args[1]))
        return std::fprintf(stderr, "cannot write %s\n", qPrintable(args[1])), 1;
    std::printf("%s\n", qPrintable(args[1]));
    return 0;
}
