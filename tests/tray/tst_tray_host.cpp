// The tray icon on a real X notification area (run by with_tray_host.sh),
// clicked with real pointer events.
#include "Tray.h"
#include "app_globals.h"
#include "real_tray_clicks.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace RealClicks;

class TstTrayHost : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> window;
    QLabel* picIcon = nullptr;
    QMenu* pMenu = nullptr;

    // Adds the icon and waits until the tray has taken it and it answers a
    // click; returns its middle on screen. The probe is a single left click,
    // which the icon ignores.
    QPoint addIcon(const QString& tip)
    {
        TrayAdd(*picIcon, *pMenu, tip);
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
    void initTestCase() { QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000); }

    void init()
    {
        FormVisible = 0;
        TrayData = {};
        window = std::make_unique<QWidget>();
        window->resize(300, 200);
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

    void clicks_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("repeat");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<bool>("shownAfter");
        QTest::newRow("right click, shown") << Right << 1 << false << true;
        QTest::newRow("right click, hidden") << Right << 1 << true << false;
        QTest::newRow("double-click brings a hidden window back") << Left << 2 << true << true;
        QTest::newRow("double-click on a shown window") << Left << 2 << false << true;
        QTest::newRow("single click, hidden") << Left << 1 << true << false;
        QTest::newRow("middle click, hidden") << Middle << 1 << true << false;
    }
    void clicks()
    {
        QFETCH(int, button);
        QFETCH(int, repeat);
        QFETCH(bool, hidden);
        QFETCH(bool, shownAfter);
        if (!hidden) {
            FormVisible = -1;
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        }
        const QPoint at = addIcon(ProgramTitle());
        QVERIFY2(!at.isNull(), "the tray did not take the icon");
        QCOMPARE(TrayData.icon->parent(), picIcon);
        QVERIFY(!TrayData.icon->icon().isNull());
        const QString playing = ProgramTitle() + QStringLiteral(" - Играет: ") + QString(40, QChar(0x0420));
        TrayTip(playing);
        QCOMPARE(TrayData.icon->toolTip(), playing.left(63));
        QSignalSpy menuShows(pMenu, &QMenu::aboutToShow);

        QVERIFY(click(at, button, repeat));
        QTest::qWait(600);
        if (button == Right) {
            // Opened by the platform once, at the pointer; dismissed, it stays closed.
            QTRY_VERIFY_WITH_TIMEOUT(pMenu->isVisible(), 5000);
            QVERIFY(pMenu->geometry().adjusted(-40, -40, 40, 40).contains(at));
            QTest::keyClick(pMenu, Qt::Key_Escape);
            QTest::qWait(300);
            QVERIFY(!pMenu->isVisible());
        }
        QCOMPARE(menuShows.count(), button == Right ? 1 : 0);
        QCOMPARE(window->isVisible(), shownAfter);
        QCOMPARE(int(FormVisible), shownAfter ? -1 : 0);
        if (hidden && shownAfter)
            QTRY_VERIFY_WITH_TIMEOUT(window->isActiveWindow(), 5000);
    }
};

QTEST_MAIN(TstTrayHost)
#include "tst_tray_host.moc"
