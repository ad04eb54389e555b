#include "app_globals.h"
#include "list_fixture.h"

#include "opened_urls.h"
#include "program_folder.h"

#include <QAction>
#include <QFile>
#include <QFrame>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

static QStringList texts(const QList<QAction*>& actions)
{
    QStringList out;
    for (const QAction* action : actions)
        out << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return out;
}

class TestMainWindowLayout : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The window as start-up leaves it: fixed, centred, menus, focus on the list.
    void startUpState()
    {
        const auto window = BuiltWindow(0);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        const QPoint centre = window->screen()->availableGeometry().center();
        QVERIFY((window->frameGeometry().center() - centre).manhattanLength() <= 2);
        QCOMPARE(window->centralWidget()->size(), QSize(632, 389));
        QCOMPARE(window->centralWidget()->y(), window->menuBar()->geometry().bottom() + 1);
        window->resize(900, 700);
        QCOMPARE(window->size(), window->minimumSize());
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));

        QCOMPARE(texts(window->menuBar()->actions()), (QStringList{"Меню", "Справка"}));
        QCOMPARE(texts(window->pMenu->actions()),
                 (QStringList{"Скрыть / Показать", "Повторить подключение", "-", "Выход"}));
        QVERIFY(!window->pMenuReStart->isEnabled());

        // Focus handed to the viewport or the scrollbar comes back to the list.
        QCOMPARE(QApplication::focusWidget(), window->ListPicture);
        window->picBox->setFocus(Qt::MouseFocusReason);
        QCOMPARE(QApplication::focusWidget(), window->ListPicture);
        window->VScroll1->setFocusPolicy(Qt::StrongFocus);
        window->VScroll1->setFocus(Qt::MouseFocusReason);
        QCOMPARE(QApplication::focusWidget(), window->ListPicture);
    }

    // F1 from any control and the menu item hand the program folder's help
    // document to the desktop; without the document nothing is opened.
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

    void aboutCommandIsModalAndFresh()
    {
        const auto window = BuiltWindow(0);
        for (int shown = 0; shown < 2; ++shown) {
            QTimer::singleShot(0, [] {
                QWidget* about = QApplication::activeModalWidget();
                QVERIFY(about && about->windowTitle() == QStringLiteral("О программе"));
                about->close();
            });
            window->HelpOprog->trigger();  // returns only when the About window has closed
            QCOMPARE(QApplication::activeModalWidget(), nullptr);
        }
    }

    // Every way of closing asks the exit routine; non-zero keeps the window.
    void closing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("answer");  // "hidden" is pMenuExit while hidden
        for (const char* how : {"close box", "MenuExit", "pMenuExit", "hidden"})
            for (const int answer : {1, 0})
                QTest::addRow("%s, answer %d", how, answer) << how << answer;
    }
    void closing()
    {
        QFETCH(QString, how);
        QFETCH(int, answer);
        const auto window = BuiltWindow(0);
        int asked = 0;
        window->setExitRoutine([&]() -> qint32 { return ++asked, answer; });
        if (how == "hidden")
            window->hide();
        if (how == "close box")
            window->close();
        else
            (how == "MenuExit" ? window->MenuExit : window->pMenuExit)->trigger();
        QCOMPARE(asked, 1);
        QCOMPARE(window->isVisible(), answer > 0 && how != "hidden");
    }

    void hideShowTogglesTwice()
    {
        const auto window = BuiltWindow(0);
        FormVisible = -1;
        for (const qint16 expected : {0, -1}) {
            window->pMenuHideShow->trigger();
            QCOMPARE(FormVisible, expected);
            QCOMPARE(window->isVisible(), expected != 0);
        }
    }
};

QTEST_MAIN(TestMainWindowLayout)
#include "tst_main_window_layout.moc"
