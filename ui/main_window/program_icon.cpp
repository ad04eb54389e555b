#include "program_icon.h"

#include <QGuiApplication>

// The resource file is compiled into this static library; make sure the
// linker keeps it.
static void initResources()
{
    static bool done = false;
    if (!done) {
        Q_INIT_RESOURCE(main_window);
        done = true;
    }
}

QIcon ProgramIcon()
{
    initResources();
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(size == 32 ? QStringLiteral(":/tolva/tolva.png") : QStringLiteral(":/tolva/tolva-%1.png").arg(size),
                     QSize(size, size));
    return icon;
}

QPixmap ProgramPixmap()
{
    // 32 x 32 on screen, drawn with as many pixels as the screen has there.
    return ProgramIcon().pixmap(QSize(32, 32), qApp ? qApp->devicePixelRatio() : 1.0);
}
