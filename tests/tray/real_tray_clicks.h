#pragma once

// Real pointer clicks on a tray icon, sent through the X server with xdotool.
#include <QPoint>
#include <QProcess>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

namespace RealClicks {

inline constexpr int Left = 1, Middle = 2, Right = 3;

inline bool xdotool(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    return process.waitForFinished(5000) && process.exitCode() == 0;
}

inline bool click(const QPoint& at, int button, int repeat = 1)
{
    return xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                    QStringLiteral("click"), QStringLiteral("--repeat"), QString::number(repeat),
                    QStringLiteral("--delay"), QStringLiteral("60"), QString::number(button)});
}

// Waits until the tray has taken the icon and it answers a click; returns its
// middle on screen, or a null point. The probe is a single left click, which
// the icon ignores.
inline QPoint waitForIcon(QSystemTrayIcon& icon)
{
    QSignalSpy activated(&icon, &QSystemTrayIcon::activated);
    for (int attempt = 0; attempt < 20 && activated.isEmpty(); ++attempt) {
        QTest::qWait(250);
        const QRect place = icon.geometry();
        if (!place.isEmpty())
            click(place.center(), Left);
        QTest::qWait(250);
    }
    if (activated.isEmpty())
        return {};
    QTest::qWait(500);  // the probe must not count as half of a double-click
    return icon.geometry().center();
}

}  // namespace RealClicks
