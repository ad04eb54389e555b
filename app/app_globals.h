#pragma once

#include <QString>
#include <QtGlobal>

// -1 while the main window is shown, 0 while it is hidden to the tray.
// False at start; start-up sets it as its last step. Minimizing leaves it alone.
inline qint16 FormVisible = 0;

inline QString ProgramTitle()
{
    return QStringLiteral("Радиоприёмник Tolva");
}
