#pragma once

#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>

class QLabel;
class QMenu;

// The one notification-area icon of the program and the parts it belongs to.
struct TrayRecord {
    QPointer<QSystemTrayIcon> icon;  // child of owner; null where no tray exists
    QString tip;                     // the tooltip as shown, already cut
    QPointer<QLabel> owner;          // picIcon of the main window: the icon's picture
    QPointer<QMenu> menu;            // pMenu of the main window: the pop-up menu
    bool statusNotifier = false;     // the icon went to a status-notifier host, not the X tray
};

extern TrayRecord TrayData;

// Longest tooltip the icon shows.
inline constexpr qsizetype TrayTipLength = 63;

// Puts picIcon's picture into the notification area with pMenu as its pop-up
// menu. Where the desktop has no notification area it does nothing.
void TrayAdd(QLabel& picIcon, QMenu& pMenu, const QString& Tip);
// Changes only the tooltip.
void TrayTip(const QString& Tip);
// Removes the icon.
void TrayDelete();
// Handles one activation of the icon: a double-click (on a status-notifier
// host: the activation it sends for a click) brings a hidden main window
// back; the context request makes the main window the active one and, on the
// X tray, opens pMenu at the pointer (a status-notifier host shows it
// itself). While a modal window is open it only comes to the front.
// Everything else is ignored.
void TrayMessage(QSystemTrayIcon::ActivationReason reason);

// Tip as the icon shows it: its first 63 characters, never half a surrogate pair.
QString TrayCutTip(const QString& Tip);
