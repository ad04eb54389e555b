// The tray module where the desktop has no notification area (offscreen),
// and the mapping of icon activations onto the main window.
#include "Tray.h"
#include "app_globals.h"

#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QTest>
#include <QWidget>

#include <memory>

namespace {

// A stand-in main window with the two parts the tray uses.
struct Owner {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QLabel* picIcon = new QLabel(window.get());
    QMenu* pMenu = new QMenu(window.get());

    Owner()
    {
        QPixmap picture(32, 32);
        picture.fill(Qt::darkGreen);
        picIcon->setPixmap(picture);
        picIcon->hide();
        window->resize(200, 100);
    }
};

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

        const QString title = ProgramTitle();
        const QString prefix = title + QStringLiteral(" - Играет: ");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("program title") << title << title;
        QTest::newRow("prefix is 30") << prefix << prefix;
        QTest::newRow("33-character name fits")
            << prefix + QString(33, QLatin1Char('x')) << prefix + QString(33, QLatin1Char('x'));
        QTest::newRow("34-character name loses one")
            << prefix + QString(34, QLatin1Char('x')) << prefix + QString(33, QLatin1Char('x'));
        QTest::newRow("exactly 63") << QString(63, QLatin1Char('a')) << QString(63, QLatin1Char('a'));
        QTest::newRow("64") << QString(64, QLatin1Char('a')) << QString(63, QLatin1Char('a'));
        QTest::newRow("Cyrillic 100") << QString(100, QChar(0x0416)) << QString(63, QChar(0x0416));
        const QString emoji = QString::fromUtf8("\xF0\x9F\x93\xBB");  // one character, two UTF-16 units
        QTest::newRow("pair across the cut is dropped whole")
            << QString(62, QLatin1Char('a')) + emoji + QStringLiteral("b") << QString(62, QLatin1Char('a'));
        QTest::newRow("pair before the cut stays")
            << QString(61, QLatin1Char('a')) + emoji + QStringLiteral("bc")
            << QString(61, QLatin1Char('a')) + emoji;
    }
    void cutTip()
    {
        QFETCH(QString, tip);
        QFETCH(QString, shown);
        QCOMPARE(TrayCutTip(tip), shown);
        QVERIFY(TrayCutTip(tip).size() <= TrayTipLength);

        Owner owner;
        TrayAdd(*owner.picIcon, *owner.pMenu, QStringLiteral("first"));
        TrayTip(tip);
        QCOMPARE(TrayData.tip, shown);
    }

    // Without a notification area there is no icon; the window keeps its state.
    void addWithoutTray()
    {
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        Owner owner;
        owner.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(owner.window.get()));
        TrayAdd(*owner.picIcon, *owner.pMenu, ProgramTitle() + QString(70, QLatin1Char('!')));
        QVERIFY(!TrayData.icon);
        QCOMPARE(TrayData.tip.size(), TrayTipLength);
        QCOMPARE(TrayData.owner.data(), owner.picIcon);
        QCOMPARE(TrayData.menu.data(), owner.pMenu);
        QVERIFY(owner.window->isVisible());
        QVERIFY(owner.window->findChildren<QSystemTrayIcon*>().isEmpty());
        TrayTip(QStringLiteral("x"));
        TrayDelete();
        QVERIFY(owner.window->isVisible());
    }

    void activation_data()
    {
        QTest::addColumn<int>("reason");
        QTest::addColumn<bool>("hidden");     // hidden to the tray, FormVisible 0
        QTest::addColumn<bool>("minimized");  // minimized while shown
        QTest::addColumn<bool>("shownAfter");
        QTest::addColumn<bool>("minimizedAfter");
        QTest::addColumn<int>("formVisibleAfter");

        using R = QSystemTrayIcon;
        QTest::newRow("double-click shows a hidden window") << int(R::DoubleClick) << true << false << true << false << -1;
        QTest::newRow("double-click on a shown window") << int(R::DoubleClick) << false << false << true << false << -1;
        QTest::newRow("double-click leaves a minimized window") << int(R::DoubleClick) << false << true << true << true << -1;
        QTest::newRow("context keeps a hidden window hidden") << int(R::Context) << true << false << false << false << 0;
        QTest::newRow("context on a shown window") << int(R::Context) << false << false << true << false << -1;
        QTest::newRow("single click, hidden") << int(R::Trigger) << true << false << false << false << 0;
        QTest::newRow("single click, minimized") << int(R::Trigger) << false << true << true << true << -1;
        QTest::newRow("middle button, hidden") << int(R::MiddleClick) << true << false << false << false << 0;
        QTest::newRow("unknown, hidden") << int(R::Unknown) << true << false << false << false << 0;
    }
    void activation()
    {
        QFETCH(int, reason);
        QFETCH(bool, hidden);
        QFETCH(bool, minimized);
        QFETCH(bool, shownAfter);
        QFETCH(bool, minimizedAfter);
        QFETCH(int, formVisibleAfter);

        Owner owner;
        QWidget& window = *owner.window;
        TrayAdd(*owner.picIcon, *owner.pMenu, ProgramTitle());
        if (!hidden) {
            FormVisible = -1;
            minimized ? window.showMinimized() : window.show();
        }
        QCoreApplication::processEvents();

        TrayMessage(static_cast<QSystemTrayIcon::ActivationReason>(reason));
        QCoreApplication::processEvents();

        QCOMPARE(window.isVisible(), shownAfter);
        QCOMPARE(window.isMinimized(), minimizedAfter);
        QCOMPARE(int(FormVisible), formVisibleAfter);
        // The menu is the platform's to open; the module never opens it itself.
        QVERIFY(!owner.pMenu->isVisible());
    }

    // Calls before any icon exists, or after its owner is gone, do nothing.
    void withoutOwner()
    {
        TrayMessage(QSystemTrayIcon::DoubleClick);
        TrayTip(QStringLiteral("tip"));
        TrayDelete();
        QCOMPARE(int(FormVisible), 0);
        {
            Owner owner;
            TrayAdd(*owner.picIcon, *owner.pMenu, ProgramTitle());
        }
        QVERIFY(!TrayData.owner);
        TrayMessage(QSystemTrayIcon::DoubleClick);
        TrayMessage(QSystemTrayIcon::Context);
        QCOMPARE(int(FormVisible), 0);
    }
};

QTEST_MAIN(TstTray)
#include "tst_tray.moc"
