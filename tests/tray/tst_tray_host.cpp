// The tray icon on a real X notification area (run by with_tray_host.sh),
// clicked with real pointer events.
#include "Tray.h"
#include "app_globals.h"
#include "real_tray_clicks.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <memory>

namespace {

struct Owner {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QLabel* picIcon = new QLabel(window.get());
    QMenu* pMenu = new QMenu(window.get());
    QAction* hideShow = pMenu->addAction(QStringLiteral("Скрыть / Показать"));  // a menu needs an item to open

    Owner()
    {
        QPixmap picture(32, 32);
        picture.fill(Qt::darkRed);
        picIcon->setPixmap(picture);
        picIcon->hide();
        window->resize(300, 200);
    }
};

using namespace RealClicks;

}  // namespace

class TstTrayHost : public QObject {
    Q_OBJECT

    std::unique_ptr<Owner> owner;

    // Adds the icon and waits until the tray has taken it and it answers clicks.
    QPoint addIcon(const QString& tip)
    {
        TrayAdd(*owner->picIcon, *owner->pMenu, tip);
        return TrayData.icon ? waitForIcon(*TrayData.icon) : QPoint();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
    }

    void init()
    {
        FormVisible = 0;
        TrayData = {};
        owner = std::make_unique<Owner>();
    }

    void cleanup()
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        owner.reset();
        QTest::qWait(50);
    }

    void iconAndTooltip()
    {
        const QPoint at = addIcon(ProgramTitle());
        QVERIFY2(!at.isNull(), "the tray did not take the icon");
        QSystemTrayIcon* icon = TrayData.icon.data();
        QVERIFY(icon->isVisible());
        QCOMPARE(icon->parent(), owner->picIcon);
        QCOMPARE(icon->toolTip(), ProgramTitle());
        QVERIFY(!icon->icon().isNull());
        QCOMPARE(icon->contextMenu(), owner->pMenu);

        const QString playing = ProgramTitle() + QStringLiteral(" - Играет: ") + QString(40, QChar(0x0420));
        TrayTip(playing);
        QCOMPARE(icon->toolTip(), playing.left(63));
        QCOMPARE(TrayData.icon.data(), icon);  // the same icon, only the tip changed
    }

    // The platform opens pMenu on the context request; it must open once only,
    // and the window's visibility does not change.
    void contextOpensMenuOnce_data()
    {
        QTest::addColumn<bool>("hidden");
        QTest::newRow("window shown") << false;
        QTest::newRow("window hidden") << true;
    }
    void contextOpensMenuOnce()
    {
        QFETCH(bool, hidden);
        if (!hidden) {
            FormVisible = -1;
            owner->window->show();
            QVERIFY(QTest::qWaitForWindowExposed(owner->window.get()));
        }
        const QPoint at = addIcon(ProgramTitle());
        QVERIFY(!at.isNull());
        QSignalSpy activated(TrayData.icon.data(), &QSystemTrayIcon::activated);
        QSignalSpy shown(owner->pMenu, &QMenu::aboutToShow);

        QVERIFY(click(at, Right));
        QTRY_VERIFY_WITH_TIMEOUT(owner->pMenu->isVisible(), 5000);
        QTest::qWait(300);
        QCOMPARE(shown.count(), 1);
        QCOMPARE(QApplication::activePopupWidget(), owner->pMenu);
        QVERIFY(activated.contains({QVariant::fromValue(QSystemTrayIcon::Context)}));
        // The menu opens at the pointer.
        QVERIFY(owner->pMenu->geometry().adjusted(-40, -40, 40, 40).contains(at));

        // Dismissed without a choice: nothing changes.
        QTest::keyClick(owner->pMenu, Qt::Key_Escape);
        QTRY_VERIFY(!owner->pMenu->isVisible());
        QTest::qWait(300);
        QVERIFY(!owner->pMenu->isVisible());  // and it does not come back
        QCOMPARE(shown.count(), 1);
        QCOMPARE(owner->window->isVisible(), !hidden);
        QCOMPARE(int(FormVisible), hidden ? 0 : -1);
        QVERIFY(TrayData.icon->isVisible());
    }

    void clicks_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("repeat");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<bool>("shownAfter");

        QTest::newRow("double-click brings a hidden window back") << Left << 2 << true << true;
        QTest::newRow("double-click on a shown window") << Left << 2 << false << true;
        QTest::newRow("single click, hidden") << Left << 1 << true << false;
        QTest::newRow("middle click, hidden") << Middle << 1 << true << false;
        QTest::newRow("middle double-click, hidden") << Middle << 2 << true << false;
    }
    void clicks()
    {
        QFETCH(int, button);
        QFETCH(int, repeat);
        QFETCH(bool, hidden);
        QFETCH(bool, shownAfter);

        if (!hidden) {
            FormVisible = -1;
            owner->window->show();
            QVERIFY(QTest::qWaitForWindowExposed(owner->window.get()));
        }
        const QPoint at = addIcon(ProgramTitle());
        QVERIFY(!at.isNull());
        QSignalSpy activated(TrayData.icon.data(), &QSystemTrayIcon::activated);
        QSignalSpy shows(owner->pMenu, &QMenu::aboutToShow);

        QVERIFY(click(at, button, repeat));
        QTRY_VERIFY_WITH_TIMEOUT(!activated.isEmpty(), 5000);
        QTest::qWait(600);

        QCOMPARE(owner->window->isVisible(), shownAfter);
        QCOMPARE(int(FormVisible), shownAfter ? -1 : 0);
        QCOMPARE(shows.count(), 0);
        if (hidden && shownAfter)
            QTRY_VERIFY_WITH_TIMEOUT(owner->window->isActiveWindow(), 5000);
    }

    void deleteRemovesIcon()
    {
        const QPoint at = addIcon(ProgramTitle());
        QVERIFY(!at.isNull());
        const QPointer<QSystemTrayIcon> icon = TrayData.icon;
        TrayDelete();
        QVERIFY(!TrayData.icon);
        QTRY_VERIFY(!icon);
        // Nothing answers at the old place any more.
        QVERIFY(click(at, Left, 2));
        QTest::qWait(600);
        QVERIFY(!owner->window->isVisible());
        QCOMPARE(int(FormVisible), 0);
    }
};

QTEST_MAIN(TstTrayHost)
#include "tst_tray_host.moc"
