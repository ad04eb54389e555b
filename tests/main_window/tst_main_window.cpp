// The main window at twice the scale (QT_SCALE_FACTOR=2): the station list as built and
// as driven by keys and mouse (offscreen); the built-in list as drawn, the icon and the
// window's commands on a real X server (tst_main_window_x). The Help menu is tested in
// tests/help; tuning, the exit question and the tray's Exit at the whole program in
// tests/startup.
#include "LoadRadioM.h"
#include "app_globals.h"
#include "clsRadio.h"
#include "deferred_icon_style.h"
#include "frmForma.h"
#include "station_numbers.h"
#include "usrReklamaX.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QScrollBar>
#include <QtTest>

#include <memory>

namespace {

// A shown, active window with its list built, as start-up leaves it, over the 17 built-in
// stations or as many made-up ones as asked for. Nothing listens on port 1.
std::unique_ptr<frmForma> BuiltWindow(qint32 savedStation, int stations = 17)
{
    LoadRadio(StreamHosts{"127.0.0.1:1", "127.0.0.1:1", "127.0.0.1:1"});
    if (stations != 17)
        Radio().Start();
    for (int i = Radio().KolRadio() + 1; i < stations; ++i)
        Radio().NewRadio(QStringLiteral("Станция %1").arg(i), QStringLiteral("http://127.0.0.1:1/%1").arg(i), {}, {}, {});
    NomerRadio = savedStation;
    NomerSel = 0;
    auto window = std::make_unique<frmForma>();
    window->usrReklamaX1->setReklamaURL(QStringLiteral("http://127.0.0.1:1/reklama/"));
    window->show();
    window->ShowRadio();
    window->activateWindow();
    static_cast<void>(QTest::qWaitForWindowActive(window.get()));  // keys check the focus
    return window;
}

// One step of input: a key by name, to the focus; "press:y", "release:y", "dclick:y" send the
// list that mouse event at height y; "arrow" clicks the scrollbar's lower arrow (one row);
// "wheel" turns the wheel a notch over the list (three rows).
void act(frmForma& w, const QString& step)
{
    static const QMap<QString, QEvent::Type> mouse{{"press", QEvent::MouseButtonPress},
        {"release", QEvent::MouseButtonRelease}, {"dclick", QEvent::MouseButtonDblClick}};
    const QString verb = step.section(u':', 0, 0);
    const double n = step.section(u':', 1).toDouble();
    if (mouse.contains(verb)) {
        QMouseEvent event(mouse[verb], {300, n}, w.ListPicture->mapToGlobal(QPointF(300, n)), Qt::LeftButton,
                          Qt::LeftButton, {});
        QApplication::sendEvent(w.ListPicture, &event);
    } else if (verb == u"arrow") {
        QTest::mouseClick(w.VScroll1, Qt::LeftButton, {}, QPoint(8, w.VScroll1->height() - 4));
    } else if (verb == u"wheel") {
        QWheelEvent turn({300, 40}, w.ListPicture->mapToGlobal(QPointF(300, 40)), {}, {0, -120}, Qt::NoButton, {},
                         Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.ListPicture, &turn);
    } else {
        QWidget* const focus = QApplication::focusWidget();
        QVERIFY(focus);
        QTest::keyClick(focus, QKeySequence(step)[0].key());
    }
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The list as built from the saved station, then after keys and mouse: the highlight
    // and the view, which station plays, the scrollbar, and what is drawn.
    void list_data()
    {
        QTest::addColumn<QList<int>>("setup");     // stations, saved station
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QList<int>>("expected");  // highlight, view, playing
        const auto row = [](const char* name, QList<int> setup, const char* steps, QList<int> expected) {
            QTest::newRow(name) << setup << QString::fromLatin1(steps) << expected;
        };
        row("built, saved 16", {17, 16}, "", {16, 3, 16});
        row("built, saved 25", {17, 25}, "", {0, 0, 0});
        row("built 14, saved 13", {14, 13}, "", {13, 0, 13});
        row("built 3, saved 2", {3, 2}, "", {2, 0, 2});
        row("no stations: the list takes no input", {0, 4}, "", {0, 0, 4});
        row("down from 13", {17, 13}, "Down", {14, 1, 13});
        row("up from 1, view 1", {17, 1}, "arrow Up", {0, 0, 1});
        row("up, row above the view", {17, 1}, "wheel Up", {3, 3, 1});
        row("page down from 10", {17, 10}, "PgDown", {16, 3, 10});
        row("page up from 15", {17, 15}, "PgUp", {2, 2, 15});
        row("home from 9", {17, 9}, "Home", {0, 0, 9});
        row("end from 2", {17, 2}, "End", {16, 3, 2});
        row("left does nothing", {17, 4}, "Left", {4, 0, 4});
        // Near a row's top and bottom: press and release on one row select it, a double-click tunes.
        row("press on 3, release on 4", {17, 0}, "press:55 release:88", {0, 0, 0});
        row("double-click tunes", {17, 0}, "press:55 release:70 dclick:70 release:70", {3, 0, 3});
        row("tuned, then away", {17, 0}, "press:55 release:70 dclick:70 release:70 Down", {4, 0, 3});
        // Focus that leaves the list by Tab, or lands on the scrollbar, comes back to it; the
        // wheel over the list turns the scrollbar as its own wheel does.
        row("Tab", {17, 2}, "Tab Down", {3, 0, 2});
        row("click on the scrollbar", {17, 2}, "arrow Down", {3, 1, 2});
        row("wheel over the list", {17, 2}, "wheel", {2, 3, 2});
        // The row under y: rounded half to even, then truncated toward zero.
        row("y 17.5 rounds to 18", {17, 10}, "press:17.5 release:17.5", {1, 0, 10});
        row("y -17.4 truncates to 0", {17, 10}, "press:-17.4 release:-17.4", {0, 0, 10});
        row("y past the last row", {17, 10}, "press:306 release:306", {10, 0, 10});
        row("y nan", {17, 10}, "press:nan release:nan", {10, 0, 10});
    }
    void list()
    {
        QFETCH(QList<int>, setup);
        QFETCH(QString, steps);
        QFETCH(QList<int>, expected);
        const int n = setup[0], sel = expected[0], view = expected[1], playing = expected[2];
        const auto window = BuiltWindow(setup[1], n);
        const QImage before = window->ListPicture->image();
        const int selBefore = NomerSel;
        for (const QString& step : steps.split(u' ', Qt::SkipEmptyParts))
            act(*window, step);
        const QScrollBar* bar = window->VScroll1;
        QCOMPARE(QList<int>({NomerSel, bar->value(), NomerRadio, window->NomerDown}), expected + QList<int>{-1});
        QCOMPARE(QList<int>({bar->maximum(), bar->isEnabled() && n > 0, window->ListPicture->isEnabled(),
                             window->ListPicture->height(), window->ListPicture->y()}),
                 QList<int>({qMax(n - 14, 0), n > 14, n > 0, 18 * qMax(n, 1), -18 * view}));
        QCOMPARE(window->pMenuReStart->isEnabled(), steps.contains(u"dclick") && sel == playing);  // on the station playing
        const QImage image = window->ListPicture->image();
        if (sel == selBefore)
            QCOMPARE(image, before);  // only a moved highlight redraws
        for (int r = 0; r < qMax(n, 1); ++r)
            QVERIFY2((image.pixel(2, 36 * r + 16) == qRgb(255, 0, 0)) == (r == sel && n > 0), "exactly the highlight is red");
        if (steps.isEmpty() && n < 14)  // below a short list, the viewport's darker yellow
            QCOMPARE(window->picBox->grab().toImage().pixel(6, 4 + 36 * qMax(n, 1)), qRgb(234, 234, 0));
    }

    // Twice as large on screen, every built-in station row drawn in the screen's own pixels
    // rather than enlarged, clear of the scrollbar; 14 rows shown inside the viewport's border,
    // which cuts off the last separator; the 64-pixel icon where 32 logical pixels show, the
    // other sizes set after the first frame.
    void builtInListAndCommands()
    {
        if (QGuiApplication::platformName() != u"xcb")
            QSKIP("on the X server: tst_main_window_x");
        const auto window = BuiltWindow(0);
        QProcess xdo;  // the window's size in the X server's pixels
        xdo.start(QStringLiteral("xdotool"), {"getwindowgeometry", "--shell", QString::number(window->winId())});
        QVERIFY(xdo.waitForFinished(5000));
        const QString geometry = QString::fromLatin1(xdo.readAllStandardOutput());
        QVERIFY2(geometry.contains(QStringLiteral("WIDTH=%1\nHEIGHT=%2").arg(window->width() * 2).arg(window->height() * 2)),
                 qPrintable(geometry));

        const QImage image = window->ListPicture->image();
        const QImage shown = window->picBox->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.copy(4, 4, 1206, 502), image.copy(0, 0, 1206, 502));
        QVERIFY(shown.pixel(6, 506) != qRgb(128, 128, 128));
        const QFontMetrics metrics(window->ListPicture->font());
        for (int row = 0; row < 17; ++row) {
            // Edges two device lines each: light red, red band, dark red for the highlight,
            // yellow otherwise; a grey separator; the number and the four texts in their columns.
            const bool lit = row == 0;
            QImage expected(1206, 36, QImage::Format_RGB32);
            expected.setDevicePixelRatio(2);
            expected.fill(lit ? qRgb(255, 0, 0) : qRgb(255, 255, 0));
            QPainter painter(&expected);
            painter.setFont(window->ListPicture->font());
            const int columns[] = {4, 194, 344, 494};
            for (int c = 0; c < 4; ++c) {
                const QString text = (c == 0 ? QStringLiteral("%1 ").arg(row + 1) : QString()) + Radio().List(row, c + 1);
                painter.drawText(QPoint(columns[c], 1 + metrics.ascent()), text);
                QVERIFY2(columns[c] + metrics.boundingRect(text).right() < 603, qPrintable(text));  // clear of the scrollbar
            }
            painter.fillRect(0, 0, 603, 1, lit ? qRgb(255, 128, 128) : qRgb(255, 255, 0));
            painter.fillRect(0, 16, 603, 1, lit ? qRgb(128, 0, 0) : qRgb(255, 255, 0));
            painter.fillRect(0, 17, 603, 1, qRgb(128, 128, 128));
            painter.end();
            QCOMPARE(image.copy(0, 36 * row, 1206, 36), expected);  // not an enlarged picture
        }

        QImage big = QImage(QStringLiteral(":/tolva/tolva-64.png")).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        big.setDevicePixelRatio(2);
        QTRY_COMPARE(window->windowIcon().availableSizes().size(), 8);  // every size, once drawn
        for (const QPixmap& icon : {window->windowIcon().pixmap(QSize(32, 32)), window->picIcon->pixmap()})
            QCOMPARE(icon.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), big);
        // The menu bar's overflow arrow, read when first drawn, is the style's own.
        const DeferredIconStyle deferred;
        const auto arrow = [](const QStyle& style) {
            return style.standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton).pixmap(16).toImage();
        };
        QVERIFY(!arrow(deferred).isNull());
        QCOMPARE(arrow(deferred), arrow(*deferred.baseStyle()));

        // Its commands: fixed in size; "Скрыть / Показать" hides and shows; Menu Exit asks the
        // exit routine once, as the close box does (a zero answer closes: tests/startup).
        const QSize size = window->size();
        window->resize(900, 700);
        QCOMPARE(window->size(), size);
        FormVisible = -1;
        for (const qint16 expected : {0, -1}) {
            window->pMenuHideShow->trigger();
            QCOMPARE(QList<int>({FormVisible, window->isVisible()}), QList<int>({expected, expected != 0}));
        }
        int asked = 0;
        window->setExitRoutine([&asked] { return ++asked; });  // non-zero: stay
        window->MenuExit->trigger();
        QCOMPARE(QList<int>({asked, window->isVisible()}), QList<int>({1, true}));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
