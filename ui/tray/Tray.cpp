#include "Tray.h"

#include "app_globals.h"

#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPixmap>

TrayRecord TrayData;

namespace {

QWidget* mainWindow()
{
    return TrayData.owner ? TrayData.owner->window() : nullptr;
}

QIcon iconOf(const QLabel& picIcon)
{
    const QPixmap picture = picIcon.pixmap();
    if (!picture.isNull())
        return QIcon(picture);
    // A label without a picture still has its window's icon to offer.
    return picIcon.window()->windowIcon();
}

}  // namespace

QString TrayCutTip(const QString& Tip)
{
    qsizetype length = qMin(Tip.size(), TrayTipLength);
    if (length > 0 && length < Tip.size() && Tip.at(length - 1).isHighSurrogate()
        && Tip.at(length).isLowSurrogate())
        --length;
    return Tip.left(length);
}

void TrayAdd(QLabel& picIcon, QMenu& pMenu, const QString& Tip)
{
    TrayData.owner = &picIcon;
    TrayData.menu = &pMenu;
    TrayData.tip = TrayCutTip(Tip);
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;  // no notification area: the window keeps its taskbar entry instead

    delete TrayData.icon.data();  // a second add replaces the icon instead of doubling it
    auto* icon = new QSystemTrayIcon(iconOf(picIcon), &picIcon);
    icon->setToolTip(TrayData.tip);
    // The platform opens the menu itself (X11 tray, status-notifier host, ...).
    icon->setContextMenu(&pMenu);
    QObject::connect(icon, &QSystemTrayIcon::activated, icon, &TrayMessage);
    TrayData.icon = icon;
    icon->show();
}

void TrayTip(const QString& Tip)
{
    try {
        TrayData.tip = TrayCutTip(Tip);
        if (TrayData.icon)
            TrayData.icon->setToolTip(TrayData.tip);
    } catch (...) {
    }
}

void TrayDelete()
{
    if (!TrayData.icon)
        return;
    TrayData.icon->hide();
    // Later, not now: the call may come from inside one of the icon's own signals.
    TrayData.icon->deleteLater();
    TrayData.icon = nullptr;
}

void TrayMessage(QSystemTrayIcon::ActivationReason reason)
{
    try {
        QWidget* const form = mainWindow();
        if (!form)
            return;
        switch (reason) {
        case QSystemTrayIcon::Context:
            // The menu is already on its way; a shown window comes to the front
            // so the menu's choice lands on it. A hidden one stays hidden.
            if (form->isVisible())
                form->activateWindow();
            break;
        case QSystemTrayIcon::DoubleClick:
            if (FormVisible == 0) {
                FormVisible = -1;
                form->show();
                form->raise();
                form->activateWindow();
            }
            break;
        default:
            break;
        }
    } catch (...) {
    }
}
