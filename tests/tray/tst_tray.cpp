// The tray, run twice: offscreen, where the desktop has no notification area,
// and by with_tray_host.sh on a real X tray, clicked for real.
#include "Tray.h"
#include "app_globals.h"
#include "real_tray_clicks.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include <signal.h>

using namespace RealClicks;

namespace {
enum State { Hidden, Shown, Minimized };
}

class TstTray : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> window;  // a stand-in main window with the parts the tray uses
    QLabel* picIcon = nullptr;
    QMenu* pMenu = nullptr;
    bool hostTray = false;
    bool sniHost = false;  // the tray is a status-notifier host on the session bus

    QProcess laterHost;  // a notification area started by the test itself

    QPoint addIcon()
    {
        TrayAdd(*picIcon, *pMenu, ProgramTitle());
        return iconOnScreen();
    }

    // Waits until the icon answers a probing left click (which it ignores)
    // and returns its middle on screen; null if it never does.
    QPoint iconOnScreen()
    {
        if (!TrayData.icon)
            return {};
        QSignalSpy activated(TrayData.icon.data(), &QSystemTrayIcon::activated);
        for (int attempt = 0; attempt < 20 && activated.isEmpty(); ++attempt) {
            QTest::qWait(250);
            if (!TrayData.icon->geometry().isEmpty())
                click(TrayData.icon->geometry().center(), Left);
            QTest::qWait(250);
        }
        QTest::qWait(500);  // the probe must not count as half of a double-click
        return activated.isEmpty() ? QPoint() : TrayData.icon->geometry().center();
    }

private Q_SLOTS:
    void initTestCase()
    {
        hostTray = QGuiApplication::platformName() == QLatin1String("xcb");
        sniHost = qEnvironmentVariable("TOLVA_TRAY_HOST") == QLatin1String("sni");
        if (hostTray)
            QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
        else
            QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    }
    void init()
    {
        FormVisible = 0;
        TrayData = {};
        window = std::make_unique<QWidget>();
        picIcon = new QLabel(window.get());
        QPixmap picture(32, 32);
        picture.fill(Qt::darkRed);
        picIcon->setPixmap(picture);
        picIcon->hide();
        pMenu = new QMenu(window.get());
        pMenu->addAction(QStringLiteral("Скрыть / Показать"));  // a menu needs an item to open
    }
    void cleanup()
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        window.reset();
    }

    void cutTip_data()
    {
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QString>("shown");
        const QString prefix = ProgramTitle() + QStringLiteral(" - Играет: ");
        const QString emoji = QString::fromUtf8("\xF0\x9F\x93\xBB");  // one character, two UTF-16 units
        QTest::newRow("33-character name fits") << prefix + QString(33, u'x') << prefix + QString(33, u'x');
        QTest::newRow("34-character name loses one") << prefix + QString(34, u'x') << prefix + QString(33, u'x');
        QTest::newRow("pair across the cut dropped") << QString(62, u'a') + emoji + u'b' << QString(62, u'a');
        QTest::newRow("pair before the cut stays") << QString(61, u'a') + emoji + u'b' << QString(61, u'a') + emoji;
    }
    void cutTip()
    {
        QFETCH(QString, tip);
        QFETCH(QString, shown);
        QCOMPARE(TrayCutTip(tip), shown);
        TrayAdd(*picIcon, *pMenu, ProgramTitle());
        TrayTip(tip);
        QCOMPARE(TrayData.tip, shown);
    }

    // No icon, nothing fails, and the window stays reachable.
    void addWithoutTray()
    {
        if (hostTray)
            QSKIP("needs a desktop without a notification area");
        TrayTip(QStringLiteral("before any icon"));
        TrayMessage(QSystemTrayIcon::DoubleClick);
        window->show();
        TrayAdd(*picIcon, *pMenu, ProgramTitle());
        QVERIFY(!TrayData.icon);
        QVERIFY(window->findChildren<QSystemTrayIcon*>().isEmpty());
        TrayDelete();
        QVERIFY(window->isVisible());
        QCOMPARE(int(FormVisible), 0);
    }

    // Activations as the platform reports them; sni: the icon sits on a
    // status-notifier host, which reports a click and never a double-click.
    void activation_data()
    {
        QTest::addColumn<int>("reason");
        QTest::addColumn<bool>("sni");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::addColumn<bool>("modal");  // an application-modal window is open
        using R = QSystemTrayIcon;
        QTest::newRow("double-click shows a hidden window") << int(R::DoubleClick) << false << int(Hidden) << int(Shown) << false;
        QTest::newRow("double-click leaves it minimized") << int(R::DoubleClick) << false << int(Minimized) << int(Minimized) << false;
        QTest::newRow("X tray: click, hidden") << int(R::Trigger) << false << int(Hidden) << int(Hidden) << false;
        QTest::newRow("status notifier: click shows it") << int(R::Trigger) << true << int(Hidden) << int(Shown) << false;
        QTest::newRow("status notifier: click while modal") << int(R::Trigger) << true << int(Hidden) << int(Hidden) << true;
        QTest::newRow("context, hidden") << int(R::Context) << false << int(Hidden) << int(Hidden) << false;
    }
    void activation()
    {
        if (hostTray)
            QSKIP("mapped without a tray; the real clicks follow");
        QFETCH(int, reason);
        QFETCH(bool, sni);
        QFETCH(int, before);
        QFETCH(int, after);
        QFETCH(bool, modal);
        TrayAdd(*picIcon, *pMenu, ProgramTitle());
        TrayData.statusNotifier = sni;
        if (before != Hidden) {
            FormVisible = -1;
            before == Minimized ? window->showMinimized() : window->show();
        }
        QWidget dialog;
        dialog.setWindowModality(Qt::ApplicationModal);
        if (modal)
            dialog.show();
        QCoreApplication::processEvents();
        TrayMessage(static_cast<QSystemTrayIcon::ActivationReason>(reason));
        QCoreApplication::processEvents();
        QCOMPARE(window->isVisible(), after != Hidden);
        QCOMPARE(window->isMinimized(), after == Minimized);
        QCOMPARE(int(FormVisible), after == Hidden ? 0 : -1);
        // On the X tray the module opens the menu at a right-button release.
        QCOMPARE(pMenu->isVisible(), reason == QSystemTrayIcon::Context && !sni);
        pMenu->hide();
        window.reset();  // once the owner is gone, activations do nothing
        TrayMessage(static_cast<QSystemTrayIcon::ActivationReason>(reason));
    }

    void realClicks_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("repeat");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<bool>("shownAfter");
        QTest::newRow("right click, shown") << Right << 1 << false << true;
        QTest::newRow("right double-click leaves the menu open") << Right << 2 << true << false;
        QTest::newRow("double-click brings a hidden window back") << Left << 2 << true << true;
        QTest::newRow("single click, hidden") << Left << 1 << true << false;
        QTest::newRow("middle click, hidden") << Middle << 1 << true << false;
    }
    void realClicks()
    {
        if (!hostTray || sniHost)
            QSKIP("needs a real X tray (with_tray_host.sh)");
        QFETCH(int, button);
        QFETCH(int, repeat);
        QFETCH(bool, hidden);
        QFETCH(bool, shownAfter);
        if (!hidden) {
            FormVisible = -1;
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        }
        const QPoint at = addIcon();
        QVERIFY2(!at.isNull(), "the tray did not take the icon");
        QVERIFY(TrayData.icon->parent() == picIcon && !TrayData.icon->icon().isNull());
        const QString playing = ProgramTitle() + QStringLiteral(" - Играет: ") + QString(40, QChar(0x0420));
        TrayTip(playing);
        QCOMPARE(TrayData.icon->toolTip(), playing.left(63));
        QSignalSpy menuShows(pMenu, &QMenu::aboutToShow);

        QVERIFY(click(at, button, repeat));
        QTest::qWait(600);
        if (button == Right) {  // opened at each release, at the pointer; dismissed, it stays closed
            QTRY_VERIFY_WITH_TIMEOUT(pMenu->isVisible(), 5000);
            QVERIFY(pMenu->geometry().adjusted(-40, -40, 40, 40).contains(at));
            QTest::keyClick(pMenu, Qt::Key_Escape);
            QTest::qWait(300);
            QVERIFY(!pMenu->isVisible());
        }
        QCOMPARE(menuShows.count(), button == Right ? repeat : 0);
        QCOMPARE(window->isVisible(), shownAfter);
        QCOMPARE(int(FormVisible), shownAfter ? -1 : 0);
        if (hidden && shownAfter)
            QTRY_VERIFY_WITH_TIMEOUT(window->isActiveWindow(), 5000);
    }

    // A notification area that starts after the program (login order) still
    // gets the icon. Runs last: the test's own tray replaces the script's.
    void hostStartsLater()
    {
        if (!hostTray || sniHost)
            QSKIP("needs a real X tray (with_tray_host.sh)");
        const int first = qEnvironmentVariableIntValue("TOLVA_TRAY_HOST_PID");
        QVERIFY(first > 0 && ::kill(first, SIGTERM) == 0);
        QTRY_VERIFY_WITH_TIMEOUT(!QSystemTrayIcon::isSystemTrayAvailable(), 10000);
        TrayAdd(*picIcon, *pMenu, ProgramTitle());
        laterHost.start(QStringLiteral("trayer"), qEnvironmentVariable("TOLVA_TRAY_HOST_ARGS").split(u' '));
        QVERIFY(laterHost.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
        QVERIFY2(!iconOnScreen().isNull(), "the icon did not go up in the new notification area");
    }

    // On a status-notifier host the icon goes to the host, which activates
    // it for a left click as it would on KDE Plasma: that brings the hidden
    // window back.
    void statusNotifierClick()
    {
        if (!sniHost)
            QSKIP("needs a status-notifier host (TOLVA_TRAY_HOST=sni with_tray_host.sh)");
        TrayAdd(*picIcon, *pMenu, ProgramTitle());
        QVERIFY(TrayData.icon && TrayData.statusNotifier);
        QProcess host;  // what the host sends, from outside the program
        // Waits for a reply only from the watcher: this process answers the item's calls.
        const auto send = [&host](const QStringList& arguments) {
            const bool reply = arguments.first().contains(u"Watcher");
            host.start(QStringLiteral("dbus-send"), QStringList{"--session", reply ? "--print-reply" : "--type=method_call"} + arguments);
            return host.waitForFinished(5000) && host.exitCode() == 0
                ? QStringLiteral("sent ") + QString::fromUtf8(host.readAllStandardOutput())
                : QString();
        };
        QString item;
        QTRY_VERIFY_WITH_TIMEOUT(
            !(item = send({"--dest=org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                           "org.freedesktop.DBus.Properties.Get", "string:org.kde.StatusNotifierWatcher",
                           "string:RegisteredStatusNotifierItems"})
                         .section(u'"', 1, 1))
                 .isEmpty(),
            10000);
        QSignalSpy activated(TrayData.icon.data(), &QSystemTrayIcon::activated);
        QVERIFY(!send({"--dest=" + item.section(u'/', 0, 0), "/StatusNotifierItem",
                       "org.kde.StatusNotifierItem.Activate", "int32:0", "int32:0"})
                     .isNull());
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 5000);
        QCOMPARE(activated.value(0).value(0).value<QSystemTrayIcon::ActivationReason>(), QSystemTrayIcon::Trigger);
        QCOMPARE(int(FormVisible), -1);
    }
};

QTEST_MAIN(TstTray)
#include "tst_tray.moc"
