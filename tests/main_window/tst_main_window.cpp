// The main window: the station list as built and as driven by keys and mouse,
// and the window's commands. How rows are drawn is checked on a real X server
// by tst_list_scaled; tuning, the exit question and the tray's Exit at the
// whole program by tests/startup.
#include "app_globals.h"
#include "clsRadio.h"
#include "frmForma.h"
#include "opened_urls.h"
#include "program_folder.h"
#include "station_numbers.h"
#include "usrReklamaX.h"

#include <QFrame>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QtTest>

#include <memory>

namespace {

// A shown, active window with its list built, as start-up leaves it, over made-up stations
// (the built-in ones are drawn in tst_list_scaled).
std::unique_ptr<frmForma> BuiltWindow(qint32 savedStation, int stations = 17)
{
    Radio().Start();
    for (int i = 0; i < stations; ++i)  // nothing listens on port 1
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

// One step of input: a key by name, to the focus; "press:r", "release:r" on row r, "dclick:r"
// the double-click and its release; "view:v" scrolls to row v; "arrow" clicks the scrollbar's
// lower arrow; "wheel" turns the wheel over the list; "y:y" calls the list's handlers for a
// press and release at y.
void act(frmForma& w, const QString& step)
{
    const QString verb = step.section(u':', 0, 0);
    const double n = step.section(u':', 1).toDouble();
    const QPoint lastLine(590, 18 * int(n) + 16);  // of the row, far right
    QScrollBar* const bar = w.VScroll1;
    if (verb == u"press") {
        QTest::mousePress(w.ListPicture, Qt::LeftButton, {}, QPoint(200, 18 * int(n) + 1));
    } else if (verb == u"release") {
        QTest::mouseRelease(w.ListPicture, Qt::LeftButton, {}, lastLine);
    } else if (verb == u"dclick") {  // after a press and release, as the platform orders them
        QTest::mouseDClick(w.ListPicture, Qt::LeftButton, {}, lastLine);
        QTest::mouseRelease(w.ListPicture, Qt::LeftButton, {}, lastLine);
    } else if (verb == u"view") {
        bar->setValue(int(n));
    } else if (verb == u"arrow") {
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(8, bar->height() - 4));
    } else if (verb == u"wheel") {
        QWheelEvent turn({300, 40}, w.ListPicture->mapToGlobal(QPointF(300, 40)), {}, {0, -120}, Qt::NoButton, {},
                         Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.ListPicture, &turn);
    } else if (verb == u"y") {
        w.ListPicture_MouseDown(1, 0, 0, n);
        w.ListPicture_MouseUp(1, 0, 0, n);
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
        row("up from 1, view 1", {17, 1}, "view:1 Up", {0, 0, 1});
        row("up, row above the view", {17, 1}, "view:3 Up", {3, 3, 1});
        row("page down from 10", {17, 10}, "PgDown", {16, 3, 10});
        row("page up from 15", {17, 15}, "PgUp", {2, 2, 15});
        row("home from 9", {17, 9}, "Home", {0, 0, 9});
        row("end from 2", {17, 2}, "End", {16, 3, 2});
        row("left does nothing", {17, 4}, "Left", {4, 0, 4});
        row("scrolling moves only the view", {17, 0}, "view:2", {0, 2, 0});
        row("press on 3, release on 4", {17, 0}, "press:3 release:4", {0, 0, 0});
        row("press and release on 3", {17, 0}, "press:3 release:3", {3, 0, 0});
        row("double-click tunes", {17, 0}, "press:3 release:3 dclick:3", {3, 0, 3});
        row("tuned, then away", {17, 0}, "press:3 release:3 dclick:3 Down", {4, 0, 3});
        // Focus that leaves the list by Tab, or lands on the scrollbar, comes back to it; the
        // wheel over the list turns the scrollbar as its own wheel does.
        row("Tab", {17, 2}, "Tab Down", {3, 0, 2});
        row("click on the scrollbar", {17, 2}, "arrow Down", {3, 1, 2});
        row("wheel over the list", {17, 2}, "wheel", {2, 3, 2});
        // The row under y: rounded half to even, then truncated toward zero.
        row("y 17.5 rounds to 18", {17, 10}, "y:17.5", {1, 0, 10});
        row("y -17.4 truncates to 0", {17, 10}, "y:-17.4", {0, 0, 10});
        row("y 305.4 last row", {17, 10}, "y:305.4", {16, 3, 10});
        row("y past the last row", {17, 10}, "y:306", {10, 0, 10});
        row("y nan", {17, 10}, "y:nan", {10, 0, 10});
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
        const RetainedSurface* list = window->ListPicture;
        QCOMPARE(QList<int>({NomerSel, bar->value(), NomerRadio, window->NomerDown}), expected + QList<int>{-1});
        QCOMPARE(QList<int>({bar->maximum(), bar->isEnabled() && n > 0, list->isEnabled(), list->height(), list->y()}),
                 QList<int>({qMax(n - 14, 0), n > 14, n > 0, 18 * qMax(n, 1), -18 * view}));
        QCOMPARE(window->pMenuReStart->isEnabled(), steps.contains(u"dclick") && sel == playing);  // on the station playing

        const QImage image = list->image();
        if (sel == selBefore)
            QCOMPARE(image, before);  // only a moved highlight redraws
        for (int r = 0; r < qMax(n, 1); ++r)
            QVERIFY2((image.pixel(1, 18 * r + 8) == qRgb(255, 0, 0)) == (r == sel && n > 0), "exactly the highlight is red");
        if (!steps.isEmpty())
            return;
        // As built, the viewport shows the rows in view inside its border, which cuts off the
        // last separator; below a short list, the viewport's darker yellow.
        const QImage shown = window->picBox->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const int h = qMin(251, 18 * qMax(n, 1));
        QCOMPARE(shown.copy(2, 2, 603, h), image.copy(0, 18 * view, 603, h));
        const QRgb below = shown.pixel(3, 2 + h);
        QVERIFY(n < 14 ? below == qRgb(234, 234, 0) : below != qRgb(128, 128, 128));
    }

    // F1 opens the help document from the program folder, though the current folder holds
    // one of that name, with the handler started in the program folder and the process's own
    // folder kept; with none in the program folder, nothing opens.
    void helpKey()
    {
        QTemporaryDir folder, elsewhere;
        const QString name = QStringLiteral("Справка.html"), before = QDir::currentPath();
        SetProgramFolder(folder.path());
        QVERIFY(QDir::setCurrent(elsewhere.path()) && QFile(name).open(QIODevice::WriteOnly));
        OpenedUrls opened;
        QString handlerFolder;
        opened.onOpen = [&handlerFolder](const QUrl&) { handlerFolder = QDir::currentPath(); };
        const auto window = BuiltWindow(0);
        QTest::keyClick(window->ListPicture, Qt::Key_F1);
        QVERIFY(QFile(folder.filePath(name)).open(QIODevice::WriteOnly));
        QTest::keyClick(window->ListPicture, Qt::Key_F1);
        const QString current = QDir::currentPath();
        QDir::setCurrent(before);
        SetProgramFolder({});
        QCOMPARE(current, QDir(elsewhere.path()).canonicalPath());
        QCOMPARE(handlerFolder, QDir(folder.path()).canonicalPath());
        QCOMPARE(opened.urls, QList<QUrl>{QUrl::fromLocalFile(folder.filePath(name))});
    }

    // The About window, opened twice from the menu: modal over the main window with its icon,
    // fixed, centred, OK focused in its grey; closed by Enter, then by the close
    // box. The tray's commands meanwhile change nothing under it.
    void aboutWindow()
    {
        const auto window = BuiltWindow(0);
        FormVisible = -1;
        for (const bool enter : {true, false}) {
            QTimer::singleShot(0, window.get(), [&window, enter] {
                QWidget* about = QApplication::activeModalWidget();
                QVERIFY(about && about->parentWidget() == window.get());
                QTimer::singleShot(5000, about, &QWidget::close);  // a failed check must not hang
                QVERIFY(!(about->windowFlags() & (Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint)));
                QCOMPARE(about->minimumSize(), about->maximumSize());
                QCOMPARE(about->frameGeometry().center(), about->screen()->availableGeometry().center());
                QCOMPARE(about->windowIcon().pixmap(32).toImage(), window->windowIcon().pixmap(32).toImage());
                auto* ok = about->findChild<QPushButton*>("OK");
                QCOMPARE(about->focusWidget(), ok);
                QCOMPARE(ok->grab().toImage().pixel(6, 6), qRgb(224, 224, 224));
                window->pMenuExit->trigger();
                window->pMenuHideShow->trigger();
                QVERIFY(about->isVisible() && window->isVisible() && FormVisible == -1);
                if (enter)
                    QTest::keyClick(ok, Qt::Key_Enter);
                else
                    about->close();
            });
            window->HelpOprog->trigger();  // returns only when the About window has closed
            QCOMPARE(QApplication::activeModalWidget(), nullptr);
        }
    }

    // Fixed in size; "Скрыть / Показать" hides and shows; Menu Exit asks the exit routine
    // once, as the close box does (a zero answer closes: tests/startup).
    void commands()
    {
        const auto window = BuiltWindow(0);
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
