// The tray module where the desktop has no notification area (offscreen),
// and the mapping of icon activations onto the main window.
#include "Tray.h"
#include "app_globals.h"

#include <QLabel>
#include <QMenu>
#include <QTest>

#include <memory>

namespace {

// A stand-in main window with the two parts the tray uses.
struct Owner {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QLabel* picIcon = new QLabel(window.get());
    QMenu* pMenu = new QMenu(window.get());
    Owner() { TrayAdd(*picIcon, *pMenu, ProgramTitle()); }
};

enum State { Hidden, Shown, Minimized };

}  // namespace

class TstTray : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        FormVisible = 0;
        TrayData = {};
    }

    void cutTip_data()
    {
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QString>("shown");
        const QString prefix = ProgramTitle() + QStringLiteral(" - Играет: ");
        const QString emoji = QString::fromUtf8("\xF0\x9F\x93\xBB");  // one character, two UTF-16 units
        QTest::newRow("33-character name fits") << prefix + QString(33, u'x') << prefix + QString(33, u'x');
        QTest::newRow("34-character name loses one") << prefix + QString(34, u'x') << prefix + QString(33, u'x');
        QTest::newRow("Cyrillic 100") << QString(100, QChar(0x0416)) << QString(63, QChar(0x0416));
        QTest::newRow("pair across the cut is dropped whole")
            << QString(62, u'a') + emoji + u'b' << QString(62, u'a');
        QTest::newRow("pair before the cut stays") << QString(61, u'a') + emoji + u'b' << QString(61, u'a') + emoji;
    }
    void cutTip()
    {
        QFETCH(QString, tip);
        QFETCH(QString, shown);
        QCOMPARE(TrayCutTip(tip), shown);
        Owner owner;
        TrayTip(tip);
        QCOMPARE(TrayData.tip, shown);
    }

    // Without a notification area there is no icon, and the window stays reachable.
    void addWithoutTray()
    {
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        TrayTip(QStringLiteral("before any icon"));
        TrayMessage(QSystemTrayIcon::DoubleClick);
        Owner owner;
        owner.window->show();
        TrayAdd(*owner.picIcon, *owner.pMenu, ProgramTitle());
        QVERIFY(!TrayData.icon);
        QVERIFY(owner.window->findChildren<QSystemTrayIcon*>().isEmpty());
        TrayDelete();
        QVERIFY(owner.window->isVisible());
        QCOMPARE(int(FormVisible), 0);
    }

    void activation_data()
    {
        QTest::addColumn<int>("reason");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        using R = QSystemTrayIcon;
        QTest::newRow("double-click shows a hidden window") << int(R::DoubleClick) << int(Hidden) << int(Shown);
        QTest::newRow("double-click leaves it minimized") << int(R::DoubleClick) << int(Minimized) << int(Minimized);
        QTest::newRow("context, hidden") << int(R::Context) << int(Hidden) << int(Hidden);
        QTest::newRow("single click, hidden") << int(R::Trigger) << int(Hidden) << int(Hidden);
        QTest::newRow("single click, minimized") << int(R::Trigger) << int(Minimized) << int(Minimized);
    }
    void activation()
    {
        QFETCH(int, reason);
        QFETCH(int, before);
        QFETCH(int, after);
        Owner owner;
        QWidget& window = *owner.window;
        if (before != Hidden) {
            FormVisible = -1;
            before == Minimized ? window.showMinimized() : window.show();
        }
        QCoreApplication::processEvents();
        TrayMessage(static_cast<QSystemTrayIcon::ActivationReason>(reason));
        QCoreApplication::processEvents();
        QCOMPARE(window.isVisible(), after != Hidden);
        QCOMPARE(window.isMinimized(), after == Minimized);
        QCOMPARE(int(FormVisible), after == Hidden ? 0 : -1);
        // The menu is the platform's to open, never the module's.
        QVERIFY(!owner.pMenu->isVisible());

        owner.window.reset();  // once the owner is gone, activations do nothing
        TrayMessage(static_cast<QSystemTrayIcon::ActivationReason>(reason));
    }
};

QTEST_MAIN(TstTray)
#include "tst_tray.moc"
