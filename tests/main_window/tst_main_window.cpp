// The main window: the station list as drawn and as driven by keys and mouse,
// the window's size and menus, and its commands.
#include "LoadRadioM.h"
#include "MediaPlayer.h"
#include "app_globals.h"
#include "clsRadio.h"
#include "frmForma.h"
#include "opened_urls.h"
#include "program_folder.h"
#include "station_numbers.h"
#include "usrReklamaX.h"

#include <QFrame>
#include <QWheelEvent>
#include <QMenuBar>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

// A fresh window with its list built, as start-up leaves it, over the
// built-in stations or, when madeUp >= 0, that many made-up ones.
std::unique_ptr<frmForma> BuiltWindow(qint32 savedStation, int madeUp = -1)
{
    if (madeUp < 0) {
        LoadRadio(StreamHosts{"127.0.0.1:1", "127.0.0.1:1", "127.0.0.1:1"});  // nothing listens on port 1
    } else {
        Radio().Start();
        for (int i = 0; i < madeUp; ++i)
            Radio().NewRadio(QStringLiteral("Станция %1").arg(i), QStringLiteral("http://127.0.0.1:1/%1").arg(i),
                             QStringLiteral("Город"), QStringLiteral("%1 FM").arg(90 + i), QStringLiteral("стиль"));
    }
    NomerRadio = savedStation;
    NomerSel = 0;
    auto window = std::make_unique<frmForma>();
    window->usrReklamaX1->setReklamaURL(QStringLiteral("http://127.0.0.1:1/reklama/"));
    window->show();
    window->ShowRadio();
    return window;
}

QRgb at(const QImage& image, int x, int y) { return image.pixel(x, y) | 0xFF000000; }

bool lineIs(const QImage& image, int y, QRgb colour)
{
    for (int x = 0; x <= 602; ++x)
        if (at(image, x, y) != colour)
            return false;
    return true;
}

bool RowHighlighted(const QImage& image, int n)
{
    return at(image, 1, 18 * n) == qRgb(255, 128, 128) && at(image, 1, 18 * n + 8) == qRgb(255, 0, 0)
        && at(image, 1, 18 * n + 16) == qRgb(128, 0, 0);
}

const QRgb kYellow = qRgb(255, 255, 0);

// What building shows: highlighted row and scrollbar.
struct ViewCase { int stations, saved, highlighted, maximum, value; };
// One key on a list built with saved highlighted; view >= 0 drags the thumb there first.
struct KeyCase { int stations, saved, view, key, newSel, newView; };
// Built-in list, row 0 highlighted: press on pressRow (-1: none), release on releaseRow.
struct ClickCase { int pressRow, releaseRow, newSel; bool doubleClick; };

}  // namespace

Q_DECLARE_METATYPE(ViewCase)
Q_DECLARE_METATYPE(KeyCase)
Q_DECLARE_METATYPE(ClickCase)

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A highlighted and a normal row (the longest style): edges and separator, and between them
    // exactly the band with the four texts, tops at 18n + 1.
    void rows()
    {
        const auto window = BuiltWindow(0);
        const QImage image = window->ListPicture->grab().toImage();
        QCOMPARE(image.size(), QSize(603, 306));
        for (const int row : {0, 12}) {
            const bool lit = row == 0;
            const int y = 18 * row;
            QVERIFY(lineIs(image, y, lit ? qRgb(255, 128, 128) : kYellow));
            QVERIFY(lineIs(image, y + 16, lit ? qRgb(128, 0, 0) : kYellow));
            QVERIFY(lineIs(image, y + 17, qRgb(128, 128, 128)));
            QImage expected(603, 17, QImage::Format_RGB32);
            expected.fill(lit ? qRgb(255, 0, 0) : kYellow);
            QPainter painter(&expected);
            painter.setFont(window->ListPicture->font());
            const int columns[] = {4, 194, 344, 494};
            for (int c = 0; c < 4; ++c)
                painter.drawText(QPoint(columns[c], 1 + painter.fontMetrics().ascent()),
                                 (c == 0 ? QStringLiteral("%1 ").arg(row + 1) : QString()) + Radio().List(row, c + 1));
            painter.end();
            QCOMPARE(image.copy(0, y + 1, 603, 15).convertToFormat(QImage::Format_RGB32), expected.copy(0, 1, 603, 15));
        }
        // Every built-in text ends before the scrollbar, which starts at surface x 603.
        const QFontMetrics metrics(window->ListPicture->font());
        const int columns[] = {4, 194, 344, 494};
        for (int row = 0; row <= Radio().KolRadio(); ++row)
            for (int c = 0; c < 4; ++c) {
                const QString text = (c == 0 ? QStringLiteral("%1 ").arg(row + 1) : QString()) + Radio().List(row, c + 1);
                QVERIFY2(columns[c] + metrics.boundingRect(text).right() < 603, qPrintable(text));
            }
    }

    void viewAfterBuild_data()
    {
        QTest::addColumn<ViewCase>("c");
        QTest::newRow("17, saved 13") << ViewCase{17, 13, 13, 3, 0};
        QTest::newRow("17, saved 14") << ViewCase{17, 14, 14, 3, 1};
        QTest::newRow("17, saved 16") << ViewCase{17, 16, 16, 3, 3};
        QTest::newRow("17, saved 25") << ViewCase{17, 25, 0, 3, 0};
        QTest::newRow("15, saved 14") << ViewCase{15, 14, 14, 1, 1};
        QTest::newRow("14, saved 13") << ViewCase{14, 13, 13, 0, 0};
        QTest::newRow("3, saved 2") << ViewCase{3, 2, 2, 0, 0};
    }
    void viewAfterBuild()
    {
        QFETCH(ViewCase, c);
        const auto window = BuiltWindow(c.saved, c.stations == 17 ? -1 : c.stations);
        QCOMPARE(QList<int>({NomerSel, NomerRadio}), QList<int>(2, c.highlighted));
        QCOMPARE(window->VScroll1->maximum(), c.maximum);
        QCOMPARE(window->VScroll1->value(), c.value);
        QCOMPARE(window->VScroll1->isEnabled(), c.stations > 14);
        QCOMPARE(window->ListPicture->height(), 18 * c.stations);
        QCOMPARE(window->ListPicture->y(), -18 * c.value);
        for (int n = 0; n < c.stations; ++n)
            QCOMPARE(RowHighlighted(window->ListPicture->image(), n), n == c.highlighted);
        const QImage view = window->picBox->grab().toImage();
        if (c.stations < 14) {  // the viewport's darker yellow shows below the last separator
            QCOMPARE(at(view, 100, 1 + 18 * c.stations), qRgb(128, 128, 128));
            QCOMPARE(at(view, 2, 2 + 18 * c.stations), qRgb(234, 234, 0));
            QCOMPARE(at(view, 606, 252), qRgb(234, 234, 0));
        }
        if (c.saved == 16) {  // rows 3 to 16 inside the 2-pixel border, 16 at the bottom, its separator cut off
            QVERIFY(at(view, 100, 0) != kYellow && at(view, 100, 1) != kYellow && at(view, 3, 2) == kYellow);
            QCOMPARE(at(view, 3, 2 + 18 * 13), qRgb(255, 128, 128));
            QCOMPARE(at(view, 3, 2 + 250), qRgb(128, 0, 0));
            QVERIFY(at(view, 3, 2 + 251) != qRgb(128, 128, 128));
        }
    }

    // No rows: the saved number stays, and input changes and draws nothing.
    void emptyCatalog()
    {
        const auto window = BuiltWindow(4, 0);
        QCOMPARE(NomerRadio, 4);
        QVERIFY(!window->ListPicture->isEnabled());
        const QImage image = window->ListPicture->grab().toImage();
        QCOMPARE(image.size(), QSize(603, 18));
        for (int y = 0; y < 18; ++y)
            QVERIFY(lineIs(image, y, kYellow));
        window->ListPicture_KeyDown(35, 0);  // End
        window->ListPicture_MouseDown(1, 0, 10, 5);
        window->ListPicture_MouseUp(1, 0, 10, 5);
        QCOMPARE(NomerSel, 0);
        QVERIFY(lineIs(window->ListPicture->image(), 0, kYellow));
    }

    // Scrolling, by code or by dragging the thumb, only moves the surface.
    void scrollingMovesWithoutRedrawing()
    {
        const auto window = BuiltWindow(0);
        const QImage before = window->ListPicture->image();
        for (const bool drag : {false, true}) {
            window->VScroll1->setSliderDown(drag);
            for (const int v : {1, 3, 2}) {
                drag ? window->VScroll1->setSliderPosition(v) : window->VScroll1->setValue(v);
                QCOMPARE(window->ListPicture->y(), -18 * v);
            }
        }
        window->VScroll1->setSliderDown(false);
        QCOMPARE(window->ListPicture->image(), before);
    }

    void keys_data()
    {
        QTest::addColumn<KeyCase>("c");
        QTest::newRow("down from 13, view 0") << KeyCase{17, 13, -1, Qt::Key_Down, 14, 1};
        QTest::newRow("up from 14, view 1") << KeyCase{17, 14, -1, Qt::Key_Up, 13, 1};
        QTest::newRow("up from 1, view 1") << KeyCase{17, 1, 1, Qt::Key_Up, 0, 0};
        QTest::newRow("up, row above the dragged view") << KeyCase{17, 1, 3, Qt::Key_Up, 3, 3};
        QTest::newRow("page down from 10") << KeyCase{17, 10, -1, Qt::Key_PageDown, 16, 3};
        QTest::newRow("page up from 15") << KeyCase{17, 15, -1, Qt::Key_PageUp, 2, 2};
        QTest::newRow("home from 9") << KeyCase{17, 9, -1, Qt::Key_Home, 0, 0};
        QTest::newRow("end from 2") << KeyCase{17, 2, -1, Qt::Key_End, 16, 3};
        QTest::newRow("14 stations, page down from 0") << KeyCase{14, 0, -1, Qt::Key_PageDown, 13, 0};
        QTest::newRow("left does nothing") << KeyCase{17, 4, -1, Qt::Key_Left, 4, 0};
    }
    void keys()
    {
        QFETCH(KeyCase, c);
        const auto window = BuiltWindow(c.saved, c.stations == 17 ? -1 : c.stations);
        if (c.view >= 0) {
            window->VScroll1->setSliderDown(true);
            window->VScroll1->setSliderPosition(c.view);
            window->VScroll1->setSliderDown(false);
        }
        const QImage before = window->ListPicture->image();
        QTest::keyClick(window->ListPicture, Qt::Key(c.key));
        QCOMPARE(NomerSel, c.newSel);
        QCOMPARE(window->VScroll1->value(), c.newView);
        QCOMPARE(NomerRadio, c.saved);  // moving the highlight never tunes
        const QImage after = window->ListPicture->image();
        if (c.newSel == c.saved)
            QCOMPARE(after, before);  // a key that does not act draws nothing
        else
            QVERIFY(!RowHighlighted(after, c.saved) && RowHighlighted(after, c.newSel));
    }

    // Real mouse events on the surface, in its own coordinates.
    void clicks_data()
    {
        QTest::addColumn<ClickCase>("c");
        QTest::newRow("press on 3, release on 4") << ClickCase{3, 4, 0, false};
        QTest::newRow("press and release on 3") << ClickCase{3, 3, 3, false};
        QTest::newRow("press on the highlighted row") << ClickCase{0, 0, 0, false};
        QTest::newRow("release without press") << ClickCase{-1, 3, 0, false};
        QTest::newRow("double-click on 3 plays it") << ClickCase{3, 3, 3, true};
    }
    void clicks()
    {
        QFETCH(ClickCase, c);
        const auto window = BuiltWindow(0);
        const QImage before = window->ListPicture->image();
        if (c.pressRow >= 0) {
            QTest::mousePress(window->ListPicture, Qt::LeftButton, {}, QPoint(200, 18 * c.pressRow + 1));
            QCOMPARE(window->NomerDown, c.pressRow == 0 ? -1 : c.pressRow);
        }
        const QPoint release(590, 18 * c.releaseRow + 16);
        QTest::mouseRelease(window->ListPicture, Qt::LeftButton, {}, release);
        if (c.doubleClick) {  // the platform's order: press, release, double-click, release
            QTest::mouseDClick(window->ListPicture, Qt::LeftButton, {}, release);
            QTest::mouseRelease(window->ListPicture, Qt::LeftButton, {}, release);
        }
        QCOMPARE(window->NomerDown, -1);
        QCOMPARE(NomerSel, c.newSel);
        QCOMPARE(NomerRadio, c.doubleClick ? c.newSel : 0);
        QCOMPARE(window->windowTitle().endsWith(Radio().List(3, 1)), c.doubleClick);
        // The reconnect item only while the highlight is on the station playing.
        QCOMPARE(window->pMenuReStart->isEnabled(), c.doubleClick);
        if (c.doubleClick) {
            for (const auto& [key, enabled] : {std::pair{Qt::Key_Down, false}, std::pair{Qt::Key_Up, true}}) {
                QTest::keyClick(window->ListPicture, key);
                QCOMPARE(window->pMenuReStart->isEnabled(), enabled);
            }
        }
        const QImage after = window->ListPicture->image();
        if (c.newSel == 0)
            QCOMPARE(after, before);
        else
            QVERIFY(RowHighlighted(after, c.newSel) && !RowHighlighted(after, 0));
    }

    // Focus that leaves the list, or lands on the scrollbar, comes back to it;
    // the wheel over the list turns the scrollbar as its own wheel does.
    void listKeepsKeysAndWheel_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Tab") << "tab";
        QTest::newRow("Shift+Tab") << "backtab";
        QTest::newRow("click on the scrollbar's arrow") << "arrow";
        QTest::newRow("drag the thumb") << "thumb";
        QTest::newRow("wheel over the list") << "wheel";
    }
    void listKeepsKeysAndWheel()
    {
        QFETCH(QString, how);
        const auto window = BuiltWindow(2);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        auto* elsewhere = window->WindowsMediaPlayer->findChild<QWidget*>("mute");
        const QRect scroll = window->VScroll1->rect();
        if (how == "tab" || how == "backtab") {
            QTest::keyClick(window->ListPicture, how == "tab" ? Qt::Key_Tab : Qt::Key_Backtab);
        } else if (how == "wheel") {
            QWheelEvent turn(QPointF(300, 40), window->ListPicture->mapToGlobal(QPointF(300, 40)), {}, {0, -120},
                             Qt::NoButton, {}, Qt::NoScrollPhase, false);
            QApplication::sendEvent(window->VScroll1, &turn);
            const int own = window->VScroll1->value();
            QVERIFY(own > 0);
            window->VScroll1->setValue(0);
            QApplication::sendEvent(window->ListPicture, &turn);
            QCOMPARE(window->VScroll1->value(), own);
            QCOMPARE(window->ListPicture->y(), -18 * own);
            QCOMPARE(NomerSel, 2);  // the highlight stays
            return;
        } else {
            elsewhere->setFocus();
            QCOMPARE(QApplication::focusWidget(), elsewhere);
            const QPoint at = how == "arrow" ? QPoint(scroll.center().x(), scroll.bottom() - 3) : QPoint(8, 30);
            QTest::mousePress(window->VScroll1, Qt::LeftButton, {}, at);
            if (how == "thumb")
                QTest::mouseMove(window->VScroll1, at + QPoint(0, 40));
            QTest::mouseRelease(window->VScroll1, Qt::LeftButton, {}, at + QPoint(0, how == "thumb" ? 40 : 0));
        }
        QCOMPARE(QApplication::focusWidget(), window->ListPicture);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(NomerSel, 3);
    }

    // The row from y: rounded half to even, then truncated toward zero.
    void rowFromY_data()
    {
        QTest::addColumn<double>("y");
        QTest::addColumn<int>("row");
        QTest::newRow("17.4") << 17.4 << 0;
        QTest::newRow("17.5 rounds to 18") << 17.5 << 1;
        QTest::newRow("-17.4 truncates to 0") << -17.4 << 0;
        QTest::newRow("-17.5 rounds to -18") << -17.5 << -1;
        QTest::newRow("305.4 last row") << 305.4 << 16;
        QTest::newRow("past the last row") << 306.0 << -1;
        QTest::newRow("nan") << std::nan("") << -1;
    }
    void rowFromY()
    {
        QFETCH(double, y);
        QFETCH(int, row);
        const auto window = BuiltWindow(10);
        window->ListPicture_MouseDown(1, 0, 0, y);
        QCOMPARE(window->NomerDown, row);
        window->ListPicture_MouseUp(1, 0, 0, y);
        QCOMPARE(NomerSel, row == -1 ? 10 : row);
    }

    // F1 on any control and the menu item open the folder's help document; without it, nothing.
    void helpCommand()
    {
        QTemporaryDir folder;
        SetProgramFolder(folder.path());
        OpenedUrls opened;
        const auto window = BuiltWindow(0);
        window->activateWindow();  // shortcuts need the active window
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        const auto askAllWays = [&] {
            QTest::keyClick(window->ListPicture, Qt::Key_F1);
            QTest::keyClick(window->VScroll1, Qt::Key_F1);
            window->HelpCallHelp->trigger();
        };
        askAllWays();
        QCOMPARE(opened.urls, QList<QUrl>{});
        const QString document = folder.filePath(QStringLiteral("Справка.html"));
        QVERIFY(QFile(document).open(QIODevice::WriteOnly));
        askAllWays();
        SetProgramFolder({});
        QCOMPARE(opened.urls, QList<QUrl>(3, QUrl::fromLocalFile(document)));
    }

    // A fixed dialog over the main window with its icon; tray commands
    // meanwhile change nothing under it.
    void aboutCommandIsModalAndFresh()
    {
        const auto window = BuiltWindow(0);
        FormVisible = -1;
        for (int shown = 0; shown < 2; ++shown) {
            QTimer::singleShot(0, [&window] {
                QWidget* about = QApplication::activeModalWidget();
                QVERIFY(about && about->windowTitle() == QStringLiteral("О программе"));
                QCOMPARE(about->parentWidget(), window.get());
                QVERIFY(!(about->windowFlags() & (Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint)));
                QCOMPARE(about->windowIcon().pixmap(32).toImage(), window->windowIcon().pixmap(32).toImage());
                for (QAction* command : {window->pMenuExit, window->pMenuHideShow})
                    command->trigger();
                QVERIFY(about->isVisible() && window->isVisible());
                QCOMPARE(FormVisible, -1);
                about->close();
            });
            window->HelpOprog->trigger();  // returns only when the About window has closed
            QCOMPARE(QApplication::activeModalWidget(), nullptr);
        }
    }

    // Every way of closing asks the exit routine; non-zero keeps the window.
    void closing()
    {
        for (const char* how : {"close box", "MenuExit", "pMenuExit"}) {
            for (const int answer : {1, 0}) {
                const auto window = BuiltWindow(0);
                int asked = 0;
                window->setExitRoutine([&]() -> qint32 { return ++asked, answer; });
                if (how == QLatin1String("close box"))
                    window->close();
                else
                    (how == QLatin1String("MenuExit") ? window->MenuExit : window->pMenuExit)->trigger();
                QVERIFY2(asked == 1 && window->isVisible() == (answer > 0), how);
            }
        }
    }

    // Client area fixed at 632x389, exactly two menus, and "Скрыть / Показать" toggles twice.
    void windowMenusAndHideShow()
    {
        const auto window = BuiltWindow(0);
        QCOMPARE(window->centralWidget()->size(), QSize(632, 389));
        window->resize(900, 700);
        QCOMPARE(window->size(), window->minimumSize());
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
        QStringList menus;
        for (const QAction* action : window->menuBar()->actions())
            menus << action->text();
        QCOMPARE(menus, (QStringList{"Меню", "Справка"}));
        FormVisible = -1;
        for (const qint16 expected : {0, -1}) {
            window->pMenuHideShow->trigger();
            QCOMPARE(FormVisible, expected);
            QCOMPARE(window->isVisible(), expected != 0);
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
