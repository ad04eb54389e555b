#include "Tray.h"

#include "app_globals.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QTimer>

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

// Qt's own choice: a status-notifier host on the session bus takes the icon
// where there is one (always off X11), else the X notification area.
bool hostSpeaksStatusNotifier()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(watcher))
        return false;
    QDBusInterface properties(watcher, QStringLiteral("/StatusNotifierWatcher"), watcher, bus);
    return properties.property("IsStatusNotifierHostRegistered").toBool();
}

// The X notification area's icon opens its menu when the right button goes
// down, and while the menu is up the second press of a right double-click
// only closes it. Here the menu opens at every right-button release instead.
// The icon's window is Qt's own; its name is the only handle on it.
class RightReleaseOpensMenu : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick
            && type != QEvent::MouseButtonRelease)
            return false;
        if (static_cast<QMouseEvent*>(event)->button() != Qt::RightButton
            || watched->objectName() != QLatin1String("QSystemTrayIconSysWindow"))
            return false;
        if (type == QEvent::MouseButtonRelease) {
            // After the press has closed a menu still open.
            QTimer::singleShot(0, qApp, [] { TrayMessage(QSystemTrayIcon::Context); });
            return true;
        }
        // A press closes an open menu; otherwise it does nothing.
        return !QApplication::activePopupWidget();
    }
};

void watchXTrayClicks()
{
    static QPointer<RightReleaseOpensMenu> filter;
    if (!filter) {
        filter = new RightReleaseOpensMenu(qApp);
        qApp->installEventFilter(filter);
    }
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
    // On X11 the icon goes up even before there is a notification area: Qt
    // puts it in as soon as one appears (a panel started after the program).
    if (!QSystemTrayIcon::isSystemTrayAvailable() && QGuiApplication::platformName() != QLatin1String("xcb"))
        return;  // no notification area: the window keeps its taskbar entry instead

    delete TrayData.icon.data();  // a second add replaces the icon instead of doubling it
    TrayData.statusNotifier = hostSpeaksStatusNotifier();
    auto* icon = new QSystemTrayIcon(iconOf(picIcon), &picIcon);
    icon->setToolTip(TrayData.tip);
    if (TrayData.statusNotifier)
        icon->setContextMenu(&pMenu);  // the host shows it, at a right-button release
    else
        watchXTrayClicks();
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
        // A status-notifier host reports its left click as the icon's
        // activation and never a double-click: that activation is the one
        // that brings the window back. On the X tray it is a single click.
        if (reason == QSystemTrayIcon::Trigger && TrayData.statusNotifier)
            reason = QSystemTrayIcon::DoubleClick;
        // The About window is modal: its owner must not change under it.
        if (QWidget* modal = QApplication::activeModalWidget();
            modal && (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Context)) {
            modal->raise();
            modal->activateWindow();
            return;
        }
        switch (reason) {
        case QSystemTrayIcon::Context:
            // A shown window comes to the front so the menu's choice lands on
            // it; a hidden one stays hidden.
            if (form->isVisible())
                form->activateWindow();
            if (!TrayData.statusNotifier && TrayData.menu)
                TrayData.menu->popup(QCursor::pos());
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
