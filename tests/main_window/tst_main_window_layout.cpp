#include "app_globals.h"
#include "list_fixture.h"
#include "MediaPlayer.h"
#include "usrReklamaX.h"

#include "opened_urls.h"
#include "program_folder.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QtTest>

class TestMainWindowLayout : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        FillCatalog(17, true);
        FormVisible = 0;
    }

    void clientAreaIsFixed()
    {
        const auto window = BuiltWindow(0);
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->centralWidget()->size(), QSize(632, 389));
        QCOMPARE(window->centralWidget()->y(), window->menuBar()->geometry().bottom() + 1);
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QCOMPARE(window->width(), 632);

        window->resize(900, 700);
        QCOMPARE(window->centralWidget()->size(), QSize(632, 389));
        QCOMPARE(window->size(), window->minimumSize());

        const Qt::WindowFlags flags = window->windowFlags();
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(flags & Qt::WindowTitleHint);
        QCOMPARE(window->windowTitle(), QStringLiteral("Радиоприёмник Tolva"));
    }

    void centredAtFirstShow()
    {
        frmForma window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QPoint centre = window.screen()->availableGeometry().center();
        QVERIFY(qAbs(window.frameGeometry().center().x() - centre.x()) <= 1);
        QVERIFY(qAbs(window.frameGeometry().center().y() - centre.y()) <= 1);
    }

    void controlsAreWhereTheyBelong()
    {
        const auto window = BuiltWindow(0);
        const std::pair<QWidget*, QRect> controls[] = {{window->usrReklamaX1, {4, 0, 625, 73}},
                                                        {window->WindowsMediaPlayer, {4, 80, 624, 46}},
                                                        {window->picBox, {4, 130, 624, 255}},
                                                        {window->VScroll1, {609, 132, 17, 251}},
                                                        {window->picIcon, {0, 16, 36, 36}}};
        for (const auto& [control, geometry] : controls) {
            QCOMPARE(control->parentWidget(), window->centralWidget());
            QCOMPARE(control->geometry(), geometry);
        }
    }

    void listSitsInTheViewportBesideTheScrollbar()
    {
        const auto window = BuiltWindow(0);
        QCOMPARE(window->picBox->contentsRect(), QRect(2, 2, 620, 251));
        const QPoint origin = window->ListPicture->mapTo(window->centralWidget(), QPoint(0, 0));
        QCOMPARE(origin, QPoint(6, 132));
        QCOMPARE(window->ListPicture->width(), 603);
        // The surface ends exactly where the scrollbar begins.
        QCOMPARE(origin.x() + window->ListPicture->width(), window->VScroll1->x());
        const QImage shot = window->grab().toImage();
        const int top = window->centralWidget()->y();
        QCOMPARE(QColor(shot.pixel(608, top + 140)), QColor(255, 0, 0));
        QVERIFY(QColor(shot.pixel(610, top + 140)) != QColor(255, 0, 0));
        // Viewport clips the surface: the border rows stay border when scrolled.
        window->VScroll1->setValue(3);
        const QImage scrolled = window->picBox->grab().toImage();
        QVERIFY(QColor(scrolled.pixel(100, 0)) != QColor(255, 255, 0));
        QVERIFY(QColor(scrolled.pixel(100, 1)) != QColor(255, 255, 0));
    }

    void icon()
    {
        const auto window = BuiltWindow(0);
        QVERIFY(!window->picIcon->isVisible());
        QCOMPARE(window->picIcon->pixmap().size(), QSize(32, 32));
        QVERIFY(!window->windowIcon().isNull());
        QCOMPARE(window->windowIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32),
                 window->picIcon->pixmap().toImage().convertToFormat(QImage::Format_ARGB32));
        // Few colours: a 16-colour drawing.
        const QImage image = window->picIcon->pixmap().toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                colours.insert(image.pixel(x, y));
        QVERIFY(colours.size() > 4 && colours.size() <= 16);
    }

    void menus()
    {
        const auto window = BuiltWindow(0);
        const QList<QAction*> bar = window->menuBar()->actions();
        QCOMPARE(bar.size(), 2);
        QCOMPARE(bar[0]->text(), QStringLiteral("Меню"));
        QCOMPARE(bar[1]->text(), QStringLiteral("Справка"));
        QCOMPARE(bar[0]->menu(), window->Menu);
        QCOMPARE(bar[1]->menu(), window->Help);
        QCOMPARE(window->Menu->actions(), QList<QAction*>{window->MenuExit});
        QCOMPARE(window->MenuExit->text(), QStringLiteral("Выход"));
        QCOMPARE(window->Help->actions(), (QList<QAction*>{window->HelpCallHelp, window->HelpOprog}));
        QCOMPARE(window->HelpCallHelp->text(), QStringLiteral("Вызов справки"));
        QCOMPARE(window->HelpCallHelp->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(window->HelpOprog->text(), QStringLiteral("О программе"));

        QCOMPARE(window->pMenu->title(), QString());
        QCOMPARE(window->pMenu->actions(), (QList<QAction*>{window->pMenuHideShow, window->pMenuReStart,
                                                             window->pMenuSep, window->pMenuExit}));
        QCOMPARE(window->pMenuHideShow->text(), QStringLiteral("Скрыть / Показать"));
        QCOMPARE(window->pMenuReStart->text(), QStringLiteral("Повторить подключение"));
        QVERIFY(!window->pMenuReStart->isEnabled());
        QVERIFY(window->pMenuSep->isSeparator());
        QCOMPARE(window->pMenuExit->text(), QStringLiteral("Выход"));
        QVERIFY(!bar.contains(window->pMenu->menuAction()));
    }

    // F1 anywhere and the menu item hand the program folder's help document
    // to the desktop; without the document nothing is opened.
    void helpCommand_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("documentThere");
        for (const char* how : {"F1 on the list", "F1 on the window", "menu item"}) {
            QTest::newRow(how) << how << true;
            QTest::newRow(qPrintable(QStringLiteral("%1, no document").arg(how))) << how << false;
        }
    }
    void helpCommand()
    {
        QFETCH(QString, how);
        QFETCH(bool, documentThere);
        QTemporaryDir folder;
        SetProgramFolder(folder.path());
        const QString document = folder.filePath(QStringLiteral("Справка.html"));
        if (documentThere) {
            QFile f(document);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        OpenedUrls opened;
        const auto window = BuiltWindow(0);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        const QString title = window->windowTitle();
        if (how == "menu item")
            window->HelpCallHelp->trigger();
        else
            QTest::keyClick(how == "F1 on the list" ? static_cast<QWidget*>(window->ListPicture) : window.get(),
                            Qt::Key_F1);
        SetProgramFolder({});
        QVERIFY(!window->Help->isVisible());
        QCOMPARE(opened.urls, documentThere ? QList<QUrl>{QUrl::fromLocalFile(document)} : QList<QUrl>{});
        QCOMPARE(window->windowTitle(), title);
        QCOMPARE(NomerSel, 0);
        QVERIFY(QDir(folder.path()).entryList(QDir::Files)
                == (documentThere ? QStringList{QStringLiteral("Справка.html")} : QStringList{}));
    }

    void aboutCommandIsModalAndFresh()
    {
        const auto window = BuiltWindow(0);
        QStringList seen;
        for (int i = 0; i < 2; ++i) {
            QTimer::singleShot(0, [&] {
                QWidget* about = QApplication::activeModalWidget();
                QVERIFY(about);
                seen << about->windowTitle();
                about->close();
            });
            window->HelpOprog->trigger();  // returns when the About window has closed
            QCOMPARE(QApplication::activeModalWidget(), nullptr);
        }
        QCOMPARE(seen, (QStringList{QStringLiteral("О программе"), QStringLiteral("О программе")}));
    }

    void focusComesBackToTheList()
    {
        const auto window = BuiltWindow(0);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QCOMPARE(QApplication::focusWidget(), window->ListPicture);
        window->picBox->setFocus(Qt::MouseFocusReason);
        QCOMPARE(QApplication::focusWidget(), window->ListPicture);
        window->VScroll1->setFocusPolicy(Qt::StrongFocus);
        window->VScroll1->setFocus(Qt::MouseFocusReason);
        QCOMPARE(QApplication::focusWidget(), window->ListPicture);
        // Below the last row of a short list: a click on the viewport.
        FillCatalog(3);
        const auto shortList = BuiltWindow(0);
        shortList->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(shortList.get()));
        QTest::mouseClick(shortList->picBox, Qt::LeftButton, {}, QPoint(100, 200));
        QCOMPARE(QApplication::focusWidget(), shortList->ListPicture);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(NomerSel, 1);
    }

    // Every way of closing asks the exit routine; non-zero keeps the window.
    void closing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("hidden");
        for (const char* how : {"close box", "MenuExit", "pMenuExit"}) {
            QTest::newRow(qPrintable(QStringLiteral("%1, declined").arg(how))) << how << 1 << false;
            QTest::newRow(qPrintable(QStringLiteral("%1, accepted").arg(how))) << how << 0 << false;
        }
        QTest::newRow("pMenuExit while hidden, declined") << "pMenuExit" << 1 << true;
        QTest::newRow("pMenuExit while hidden, accepted") << "pMenuExit" << 0 << true;
        QTest::newRow("close box, no routine") << "close box" << -1 << false;
    }
    void closing()
    {
        QFETCH(QString, how);
        QFETCH(int, answer);
        QFETCH(bool, hidden);
        const auto window = BuiltWindow(0);
        int asked = 0;
        bool visibleWhenAsked = false;
        if (answer >= 0) {
            window->setExitRoutine([&]() -> qint32 {
                ++asked;
                visibleWhenAsked = window->isVisible();
                return answer;
            });
        }
        if (hidden)
            window->hide();
        if (how == "close box")
            window->close();
        else if (how == "MenuExit")
            window->MenuExit->trigger();
        else
            window->pMenuExit->trigger();
        QCOMPARE(asked, answer >= 0 ? 1 : 0);
        QCOMPARE(visibleWhenAsked, answer >= 0 && !hidden);
        QCOMPARE(window->isVisible(), answer > 0 && !hidden);
        QCOMPARE(NomerSel, 0);
    }

    void hideShowTogglesTwice()
    {
        const auto window = BuiltWindow(0);
        FormVisible = -1;
        window->pMenuHideShow->trigger();
        QCOMPARE(FormVisible, qint16(0));
        QVERIFY(!window->isVisible());
        window->pMenuHideShow->trigger();
        QCOMPARE(FormVisible, qint16(-1));
        QVERIFY(window->isVisible());
    }
};

QTEST_MAIN(TestMainWindowLayout)
#include "tst_main_window_layout.moc"
