#include "program_icon.h"

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

QPixmap ProgramPixmap()
{
    initResources();
    return QPixmap(QStringLiteral(":/tolva/tolva.png"));
}

QIcon ProgramIcon()
{
    return QIcon(ProgramPixmap());
}
