// The main window: the station list as built and as driven by keys and mouse,
// and the window's commands. How rows are drawn is checked on a real X server
// by tst_list_scaled.
#include "MediaPlayer.h"
#include "app_globals.h"
#include "clsRadio.h"
#include "frmForma.h"
#include "opened_urls.h"
#include "program_folder.h"
#include "station_numbers.h"
#include "usrReklamaX.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// A shown window with its list built, as start-up leaves it, over made-up stations
// (the built-in ones are drawn in tst_list_scaled).
std::unique_ptr<frmForma> BuiltWindow(qint32 savedStation, int stations = 17)
{
    Radio().Start();
    for (int i = 0; i < stations; ++i)  // nothing listens on port 1
        Radio().NewRadio(QStringLiteral("Станция %1").arg(i), QStringLiteral("http://127.0.0.1:1/%1").arg(i),
                         QStringLiteral("Город"), QStringLiteral("%1 FM").arg(90 + i), QStringLiteral("стиль"));
    NomerRadio = savedStation;
    NomerSel = 0;
    auto window = std::make_unique<frmForma>();
    window->usrReklamaX1->setReklamaURL(QStringLiteral("http://127.0.0.1:1/reklama/"));
    window->show();
    window->ShowRadio();
    return window;
}

QRgb at(const QImage& image, int x, int y) { return image.pixel(x, y) | 0xFF000000; }
QImage rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }

// One step of input: "active" activates the window; a key by name, to the focus if any; "view<v>" drags the thumb; "press<r>",
// "release<r>", "dclick<r>" act on row r; "arrow" and "thumb" click the scrollbar with the
// focus elsewhere; "wheel" turns the wheel over the list; "k<code>" and "y<y>" (press and
// release at y) call the list's handlers.
void act(frmForma& w, const QString& step)
{
    static const QMap<QString, Qt::Key> keys{{"Down", Qt::Key_Down}, {"Up", Qt::Key_Up}, {"PgDn", Qt::Key_PageDown},
        {"PgUp", Qt::Key_PageUp}, {"Home", Qt::Key_Home}, {"End", Qt::Key_End}, {"Left", Qt::Key_Left},
        {"Return", Qt::Key_Return}, {"Tab", Qt::Key_Tab}, {"Backtab", Qt::Key_Backtab}};
    const int n = QString(step).remove(QRegularExpression(QStringLiteral("\\D"))).toInt();
    const QPoint release(590, 18 * n + 16);  // the row's last line, far right
    QScrollBar* bar = w.VScroll1;
    if (step == QLatin1String("active")) {
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
    } else if (keys.contains(step)) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : w.ListPicture, keys[step]);
    } else if (step == QLatin1String("arrow") || step == QLatin1String("thumb")) {
        w.WindowsMediaPlayer->findChild<QWidget*>("mute")->setFocus();
        const QPoint at = step == QLatin1String("arrow") ? QPoint(bar->rect().center().x(), bar->rect().bottom() - 3)
                                                         : QPoint(8, 30);
        QTest::mouseClick(bar, Qt::LeftButton, {}, at);
    } else if (step == QLatin1String("wheel")) {
        QWheelEvent turn({300, 40}, w.ListPicture->mapToGlobal(QPointF(300, 40)), {}, {0, -120}, Qt::NoButton, {},
                         Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.ListPicture, &turn);
    } else if (step.startsWith(u'k')) {
        w.ListPicture_KeyDown(qint16(n), 0);
    } else if (step.startsWith(u'y')) {
        w.ListPicture_MouseDown(1, 0, 0, step.mid(1).toDouble());
        w.ListPicture_MouseUp(1, 0, 0, step.mid(1).toDouble());
    } else if (step.startsWith(QLatin1String("view"))) {
        bar->setSliderDown(true);
        bar->setSliderPosition(n);
        bar->setSliderDown(false);
    } else if (step.startsWith(QLatin1String("press"))) {
        QTest::mousePress(w.ListPicture, Qt::LeftButton, {}, QPoint(200, 18 * n + 1));
    } else {  // the platform's order for a double-click: press, release, double-click, release
        if (step.startsWith(QLatin1String("dclick")))
            QTest::mouseDClick(w.ListPicture, Qt::LeftButton, {}, release);
        QTest::mouseRelease(w.ListPicture, Qt::LeftButton, {}, release);
    }
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The list as built from the saved station, then after keys and mouse: the highlight
    // and the view, which station plays, the scrollbar, and what the viewport shows.
    void list_data()
    {
        QTest::addColumn<QList<int>>("setup");     // stations, saved station
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QList<int>>("expected");  // highlight, view, playing
        const auto row = [](const char* name, QList<int> setup, const char* steps, QList<int> expected) {
            QTest::newRow(name) << setup << QString::fromLatin1(steps) << expected;
        };
        row("built, saved 13", {17, 13}, "", {13, 0, 13});
        row("built, saved 14", {17, 14}, "", {14, 1, 14});
        row("built, saved 16", {17, 16}, "", {16, 3, 16});
        row("built, saved 25", {17, 25}, "", {0, 0, 0});
        row("built 14, saved 13", {14, 13}, "", {13, 0, 13});
        row("built 3, saved 2", {3, 2}, "", {2, 0, 2});
        row("no stations: nothing acts", {0, 4}, "End k35 press0 release0 y5", {0, 0, 4});
        row("down from 13", {17, 13}, "Down", {14, 1, 13});
        row("up from 14", {17, 14}, "Up", {13, 1, 14});
        row("up from 1, view 1", {17, 1}, "view1 Up", {0, 0, 1});
        row("up, row above the view", {17, 1}, "view3 Up", {3, 3, 1});
        row("page down from 10", {17, 10}, "PgDn", {16, 3, 10});
        row("page up from 15", {17, 15}, "PgUp", {2, 2, 15});
        row("home from 9", {17, 9}, "Home", {0, 0, 9});
        row("end from 2", {17, 2}, "End", {16, 3, 2});
        row("14 stations, page down", {14, 0}, "PgDn", {13, 0, 0});
        row("left does nothing", {17, 4}, "Left", {4, 0, 4});
        row("dragging only scrolls", {17, 0}, "view1 view3 view2", {0, 2, 0});
        row("Enter tunes the highlight", {17, 0}, "Down Down Return", {2, 0, 2});
        row("press on 3, release on 4", {17, 0}, "press3 release4", {0, 0, 0});
        row("press and release on 3", {17, 0}, "press3 release3", {3, 0, 0});
        row("press on the lit row", {17, 0}, "press0 release0", {0, 0, 0});
        row("release without press", {17, 0}, "release3", {0, 0, 0});
        row("double-click tunes", {17, 0}, "press3 release3 dclick3", {3, 0, 3});
        row("tuned, then away", {17, 0}, "press3 release3 dclick3 Down", {4, 0, 3});
        row("tuned, away and back", {17, 0}, "press3 release3 dclick3 Down Up", {3, 0, 3});
        // Focus that leaves the list, or lands on the scrollbar, comes back to it; the wheel
        // over the list turns the scrollbar three rows a notch, as the scrollbar's own does.
        row("Tab", {17, 2}, "active Tab Down", {3, 0, 2});
        row("Shift+Tab", {17, 2}, "active Backtab Down", {3, 0, 2});
        row("click on the scrollbar's arrow", {17, 2}, "active arrow Down", {3, 1, 2});
        row("click on the thumb", {17, 2}, "active thumb Down", {3, 0, 2});
        row("wheel over the list", {17, 2}, "wheel", {2, 3, 2});
        // The row under y: rounded half to even, then truncated toward zero.
        row("y 17.5 rounds to 18", {17, 10}, "y17.5", {1, 0, 10});
        row("y -17.4 truncates to 0", {17, 10}, "y-17.4", {0, 0, 10});
        row("y -17.5 rounds to -18", {17, 10}, "y-17.5", {10, 0, 10});
        row("y 305.4 last row", {17, 10}, "y305.4", {16, 3, 10});
        row("y past the last row", {17, 10}, "y306", {10, 0, 10});
        row("y nan", {17, 10}, "ynan", {10, 0, 10});
    }
    void list()
    {
        QFETCH(QList<int>, setup);
        QFETCH(QString, steps);
        QFETCH(QList<int>, expected);
        const int n = setup[0], sel = expected[0], view = expected[1], playing = expected[2];
        const auto window = BuiltWindow(setup[1], n);
        const int selBefore = NomerSel;
        const QString title = window->windowTitle();
        const QImage before = window->ListPicture->image();
        for (const QString& step : steps.split(u' ', Qt::SkipEmptyParts))
            act(*window, step);
        QCOMPARE(QList<int>({NomerSel, window->VScroll1->value(), NomerRadio, window->NomerDown}),
                 expected + QList<int>{-1});
        const QScrollBar* bar = window->VScroll1;
        QCOMPARE(QList<int>({bar->maximum(), bar->isEnabled() && n > 0, window->ListPicture->isEnabled(),
                             window->ListPicture->height(), window->ListPicture->y()}),
                 QList<int>({qMax(n - 14, 0), n > 14, n > 0, 18 * qMax(n, 1), -18 * view}));
        const bool tuned = !steps.isEmpty() && playing != setup[1];
        QVERIFY(tuned ? window->windowTitle().endsWith(Radio().List(playing, 1)) : window->windowTitle() == title);
        QCOMPARE(window->pMenuReStart->isEnabled(), tuned && sel == playing);  // reconnect: on the station playing

        const QImage image = window->ListPicture->image();
        if (sel == selBefore)
            QCOMPARE(image, before);  // only a moved highlight redraws
        for (int r = 0; r < n; ++r)
            QVERIFY2((at(image, 1, 18 * r + 8) == qRgb(255, 0, 0)) == (r == sel), "exactly the highlight is red");
        if (n == 0)
            QVERIFY(rgb(image) == rgb(image.copy(0, 0, 1, 1).scaled(603, 18)) && at(image, 0, 0) == qRgb(255, 255, 0));
        // As built, the viewport shows the rows in view inside its 2-pixel border, the last
        // separator cut off; below a short list, its own darker yellow.
        if (!steps.isEmpty())
            return;
        const QImage shown = rgb(window->picBox->grab().toImage());
        const int h = qMin(251, 18 * qMax(n, 1));
        QCOMPARE(shown.copy(2, 2, 603, h), rgb(image).copy(0, 18 * view, 603, h));
        QVERIFY(at(shown, 100, 0) != qRgb(255, 255, 0) && at(shown, 100, 1) != qRgb(255, 255, 0));
        QVERIFY(at(shown, 3, 2 + h) != qRgb(128, 128, 128));
        if (n < 14)
            QCOMPARE(QList<QRgb>({at(shown, 2, 2 + h), at(shown, 606, 252)}), QList<QRgb>(2, qRgb(234, 234, 0)));
    }

    // F1 on any control and the menu item open the folder's help document; without it, nothing.
    void helpCommand()
    {
        QTemporaryDir folder;
        SetProgramFolder(folder.path());
        OpenedUrls opened;
        const auto window = BuiltWindow(0);
        act(*window, QStringLiteral("active"));  // shortcuts need the active window
        const QString document = folder.filePath(QStringLiteral("Справка.html"));
        for (const bool present : {false, true}) {
            QVERIFY(!present || QFile(document).open(QIODevice::WriteOnly));
            QTest::keyClick(window->ListPicture, Qt::Key_F1);
            QTest::keyClick(window->VScroll1, Qt::Key_F1);
            window->HelpCallHelp->trigger();
        }
        SetProgramFolder({});
        QCOMPARE(opened.urls, QList<QUrl>(3, QUrl::fromLocalFile(document)));
    }

    // The About window, opened twice from the menu: modal over the main window with its icon,
    // fixed, centred, its flag, OK focused in its grey; closed by Enter, then by the close
    // box. Tray commands meanwhile change nothing under it.
    void aboutWindow()
    {
        const auto window = BuiltWindow(0);
        FormVisible = -1;
        for (const bool enter : {true, false}) {
            QTimer::singleShot(0, [&window, enter] {
                QWidget* about = QApplication::activeModalWidget();
                QVERIFY(about && about->parentWidget() == window.get());
                QTimer::singleShot(5000, about, &QWidget::close);  // a failed check must not hang
                QVERIFY(!(about->windowFlags() & (Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint)));
                QCOMPARE(about->minimumSize(), about->maximumSize());
                QCOMPARE(about->frameGeometry().center(), about->screen()->availableGeometry().center());
                QCOMPARE(about->windowIcon().pixmap(32).toImage(), window->windowIcon().pixmap(32).toImage());
                const QImage flag = about->findChild<QLabel*>("Picture1")->grab().toImage();
                for (int y = 0; y < flag.height(); ++y)  // white, blue, red
                    QCOMPARE(flag.pixel(flag.width() / 2, y), y < 15 ? qRgb(255, 255, 255) : y < 31 ? qRgb(0, 0, 255) : qRgb(255, 0, 0));
                auto* ok = about->findChild<QPushButton*>("OK");
                QCOMPARE(about->focusWidget(), ok);
                QCOMPARE(ok->grab().toImage().pixel(6, 6), qRgb(224, 224, 224));
                window->pMenuExit->trigger();
                window->pMenuHideShow->trigger();
                QVERIFY(about->isVisible() && window->isVisible() && FormVisible == -1);
                enter ? QTest::keyClick(ok, Qt::Key_Enter) : void(about->close());
                QVERIFY(!about->isVisible());
            });
            window->HelpOprog->trigger();  // returns only when the About window has closed
            QCOMPARE(QApplication::activeModalWidget(), nullptr);
        }
    }

    // The close box, Menu Exit and the tray's Exit each ask the exit routine once;
    // non-zero keeps the window.
    void closing()
    {
        for (const int how : {0, 1, 2}) {
            for (const int answer : {1, 0}) {
                const auto window = BuiltWindow(0);
                int asked = 0;
                window->setExitRoutine([&]() -> qint32 { return ++asked, answer; });
                how == 0 ? void(window->close()) : (how == 1 ? window->MenuExit : window->pMenuExit)->trigger();
                QVERIFY2(asked == 1 && window->isVisible() == (answer > 0), qPrintable(QString::number(how)));
            }
        }
    }

    // A fixed client area, no maximising; "Скрыть / Показать" toggles twice.
    void fixedSizeAndHideShow()
    {
        const auto window = BuiltWindow(0);
        window->resize(900, 700);
        QCOMPARE(window->centralWidget()->size(), QSize(632, 389));
        QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
        FormVisible = -1;
        for (const qint16 expected : {0, -1}) {
            window->pMenuHideShow->trigger();
            QCOMPARE(QList<int>({FormVisible, window->isVisible()}), QList<int>({expected, expected != 0}));
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
