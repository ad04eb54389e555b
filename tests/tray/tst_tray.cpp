// The tray on both kinds of notification area, as with_tray_host.sh starts them: an
// X tray (trayer) clicked with xdotool, and a status-notifier host whose Activate
// comes over D-Bus. Run bare (offscreen) there is no notification area at all.
#include "Tray.h"
#include "app_globals.h"
#include "real_tray_clicks.h"

#include <QApplication>
#include <QDBusInterface>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include <signal.h>

using namespace RealClicks;
using namespace Qt::StringLiterals;

namespace {
enum State { Hidden, Shown, Minimized };
// sni: the row is for the status-notifier host, which reports a click and never a
// double-click; modal: an application-modal window is open.
struct Case { int button, clicks; bool sni, modal; State before, after; };
}  // namespace
Q_DECLARE_METATYPE(Case)

class TstTray : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> window;  // a stand-in main window with the parts the tray uses
    QLabel* picIcon = nullptr;
    QMenu* pMenu = nullptr;
    bool xTray = false, sniHost = false;
    QProcess laterHost;  // a notification area started by the test itself

    // Waits until the icon answers a probing left click (which it ignores); its middle on screen.
    QPoint iconOnScreen()
    {
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
        sniHost = qEnvironmentVariable("TOLVA_TRAY_HOST") == u"sni";
        xTray = QGuiApplication::platformName() == u"xcb" && !sniHost;
        if (QGuiApplication::platformName() == u"xcb")
            QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
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
        pMenu = new QMenu(window.get());
        pMenu->addAction(u"item"_s);  // a menu needs an item to open
    }
    void cleanup() { window.reset(); }

    // The tooltip as OpenRadio sets it, cut; on a real tray also the icon's own. With no
    // notification area there is no icon, and nothing fails.
    void cutTip_data()
    {
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QString>("shown");
        const QString emoji = QString::fromUtf8("\xF0\x9F\x93\xBB");  // one character, two UTF-16 units
        QTest::newRow("63 fit") << QString(63, u'x') << QString(63, u'x');
        QTest::newRow("64th cut") << QString(64, u'x') << QString(63, u'x');
        QTest::newRow("pair across the cut dropped") << QString(62, u'a') + emoji + u'b' << QString(62, u'a');
        QTest::newRow("pair before the cut stays") << QString(61, u'a') + emoji + u'b' << QString(61, u'a') + emoji;
    }
    void cutTip()
    {
        TrayTip(u"before any icon"_s);
        TrayAdd(*picIcon, *pMenu, ProgramTitle());
        QFETCH(QString, tip);
        TrayTip(tip);
        QTEST(TrayData.tip, "shown");
        if (QGuiApplication::platformName() == u"xcb")
            QVERIFY(TrayData.icon && TrayData.icon->toolTip() == TrayData.tip && TrayData.icon->parent() == picIcon
                    && !TrayData.icon->icon().isNull());
        else
            QVERIFY(!TrayData.icon && window->findChildren<QSystemTrayIcon*>().isEmpty());
        TrayDelete();
    }

    // On the X tray a real click; on the status-notifier host the Activate it sends for a click.
    void activation_data()
    {
        QTest::addColumn<Case>("c");
        QTest::newRow("double-click shows a hidden window") << Case{Left, 2, false, false, Hidden, Shown};
        QTest::newRow("click does nothing") << Case{Left, 1, false, false, Hidden, Hidden};
        QTest::newRow("middle click does nothing") << Case{Middle, 1, false, false, Hidden, Hidden};
        QTest::newRow("right click: menu, window stays") << Case{Right, 1, false, false, Shown, Shown};
        QTest::newRow("right double-click: menu at each release") << Case{Right, 2, false, false, Hidden, Hidden};
        QTest::newRow("status notifier: click shows it") << Case{Left, 1, true, false, Hidden, Shown};
        QTest::newRow("status notifier: modal first") << Case{Left, 1, true, true, Hidden, Hidden};
        QTest::newRow("status notifier: minimized stays so") << Case{Left, 1, true, false, Minimized, Minimized};
    }
    void activation()
    {
        QFETCH(const Case, c);
        const auto [button, clicks, sni, modal, before, after] = c;
        if (!(sni ? sniHost : xTray))
            QSKIP("another tray's row");
        if (before != Hidden) {
            FormVisible = -1;
            before == Minimized ? window->showMinimized() : window->show();
            QVERIFY(before == Minimized || QTest::qWaitForWindowExposed(window.get()));
        }
        QWidget dialog;
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.setVisible(modal);
        QSignalSpy menuShows(pMenu, &QMenu::aboutToShow);
        TrayAdd(*picIcon, *pMenu, ProgramTitle());
        QPoint at;
        if (xTray) {
            QVERIFY2(!(at = iconOnScreen()).isNull(), "the tray did not take the icon");
            QVERIFY(click(at, button, clicks));
            QTest::qWait(600);
        } else {  // the items as the watcher lists them, activated from outside as a host does
            QVERIFY(TrayData.statusNotifier);
            const QDBusConnection host = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"host"_s);
            const QString watcher = u"org.kde.StatusNotifierWatcher"_s;
            QStringList items;
            QTRY_VERIFY_WITH_TIMEOUT(!(items = QDBusInterface(watcher, u"/StatusNotifierWatcher"_s, watcher, host)
                                                   .property("RegisteredStatusNotifierItems").toStringList()).isEmpty(), 10000);
            QSignalSpy activated(TrayData.icon.data(), &QSystemTrayIcon::activated);
            for (const QString& item : items)  // earlier rows' icons, gone, may still be listed
                QVERIFY(host.send(QDBusMessage::createMethodCall(item.section(u'/', 0, 0), u"/StatusNotifierItem"_s,
                                                                 u"org.kde.StatusNotifierItem"_s, u"Activate"_s) << 0 << 0));
            QVERIFY(activated.wait(5000));  // handled: the spy is connected after the tray's own slot
        }
        const int menus = button == Right ? clicks : 0;
        if (menus) {  // opened at the pointer; dismissed, it stays closed
            QTRY_VERIFY_WITH_TIMEOUT(pMenu->isVisible(), 5000);
            QVERIFY(pMenu->geometry().adjusted(-40, -40, 40, 40).contains(at));
            QTest::keyClick(pMenu, Qt::Key_Escape);
            QTRY_VERIFY(!pMenu->isVisible());
        }
        QTRY_COMPARE_WITH_TIMEOUT(window->isVisible(), after != Hidden, 5000);
        QCOMPARE(menuShows.count(), menus);
        QCOMPARE(window->isMinimized(), after == Minimized);
        QCOMPARE(int(FormVisible), after == Hidden ? 0 : -1);
        if (before != after)
            QTRY_VERIFY_WITH_TIMEOUT(window->isActiveWindow(), 5000);
        window.reset();  // once the owner is gone, activations do nothing
        TrayMessage(QSystemTrayIcon::DoubleClick);
    }

    // A notification area that starts after the program (login order) still gets
    // the icon. Runs last: the test's own tray replaces the script's.
    void hostStartsLater()
    {
        if (!xTray)
            QSKIP("needs a real X tray (with_tray_host.sh)");
        const int first = qEnvironmentVariableIntValue("TOLVA_TRAY_HOST_PID");
        QVERIFY(first > 0 && ::kill(first, SIGTERM) == 0);
        QTRY_VERIFY_WITH_TIMEOUT(!QSystemTrayIcon::isSystemTrayAvailable(), 10000);
        TrayAdd(*picIcon, *pMenu, ProgramTitle());
        laterHost.start(u"trayer"_s, qEnvironmentVariable("TOLVA_TRAY_HOST_ARGS").split(u' '));
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
        QVERIFY2(!iconOnScreen().isNull(), "the icon did not go up in the new notification area");
    }
};

QTEST_MAIN(TstTray)
#include "tst_tray.moc"
