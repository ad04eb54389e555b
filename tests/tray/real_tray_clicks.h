#pragma once

// Real pointer clicks and keys, sent through the X server with xdotool.
#include <QPoint>
#include <QProcess>

namespace RealClicks {

inline constexpr int Left = 1, Middle = 2, Right = 3;

inline bool xdotool(const QStringList& arguments) { return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0; }

inline bool click(const QPoint& at, int button, int repeat = 1)
{
    return xdotool(QStringLiteral("mousemove %1 %2 click --repeat %3 --delay 60 %4")
                       .arg(at.x()).arg(at.y()).arg(repeat).arg(button).split(u' '));
}

}  // namespace RealClicks
