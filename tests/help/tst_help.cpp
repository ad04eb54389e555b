// The Help menu and web links: F1, the About window and its site link, and the redirect page
// written into the program folder and handed to the desktop (recorded here), then loaded in a
// real browser engine, which must ask a local server for exactly the address.
#include "SaveFileUrlm.h"
#include "app_globals.h"
#include "frmForma.h"
#include "opened_urls.h"
#include "page_server.h"
#include "program_folder.h"
#include "tolva_config.h"

#include <QLabel>
#include <QScreen>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QtTest>

class TestHelp : public QObject {
    Q_OBJECT

    PageServer server_;

private Q_SLOTS:
    void initTestCase() { QVERIFY(server_.start()); }

    // Each call writes the first page name that opens; a later, shorter page replaces the
    // earlier one whole; past the bounded number of names nothing opens. The browser then
    // goes to exactly the address, whatever it holds.
    void redirectPage_data()
    {
        QTest::addColumn<int>("blocked");  // page names taken by folders
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("requested");
        QTest::newRow("&-look-alikes, 0.html a folder") << 1 << "/a?x=1&copy=2&lt=3&amp;y=2&sort" << "/a?x=1&copy=2&lt=3&amp;y=2&sort";
        QTest::newRow("Cyrillic, percent codes kept") << 0 << "/Радио/a%20b" << "/%D0%A0%D0%B0%D0%B4%D0%B8%D0%BE/a%20b";
        QTest::newRow("markup stays inside the address") << 0 << "/x'><script>location.href='/injected'</script>"
                                                         << "/x%27%3E%3Cscript%3Elocation.href=%27/injected%27%3C/script%3E";
        QTest::newRow("every name taken") << RedirectPageAttempts << "/" << "";
    }
    void redirectPage()
    {
        QFETCH(int, blocked);
        QFETCH(QString, path);
        QFETCH(QString, requested);
        QTemporaryDir folder;
        SetProgramFolder(folder.path());
        const auto page = [&folder](int n) { return folder.filePath(QString::number(n) + ".html"); };
        for (int n = 0; n < blocked; ++n)
            QVERIFY(QDir().mkdir(page(n)));  // a folder cannot be opened for writing, even by root
        OpenedUrls opened;
        const QString address = server_.url({}).toString() + path;
        SaveFileUrl(address + "/a/longer/address/first");
        SaveFileUrl(address);
        QCOMPARE(opened.urls, QList<QUrl>(blocked < RedirectPageAttempts ? 2 : 0, QUrl::fromLocalFile(page(blocked))));
        if (opened.urls.isEmpty())
            return;  // gave up after the bounded number of names
        QFile file(page(blocked));
        QVERIFY(file.open(QIODevice::ReadOnly)
                && file.readAll().endsWith("'><meta http-equiv='Content-Type' content='text/html; charset=windows-1251'>"
                                           "<title>WWW</title></head><body></body></html>\r\n"));

        server_.clearRequests();
        QWebEnginePage browser;  // the default profile keeps nothing on disk
        // Desktop browsers follow a local page's refresh to the web; the embedded engine needs to be told it may.
        browser.settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
        browser.load(opened.urls.last());
        const auto requests = [this] { return server_.requests().filter(QRegularExpression("^(?!/favicon.ico$)")); };
        QTRY_VERIFY_WITH_TIMEOUT(!requests().isEmpty(), 20000);
        QTest::qWait(300);  // time for a script that should not be there to navigate
        QCOMPARE(requests(), QStringList{requested});
    }

    // The Help menu. F1 opens the help document from the program folder, though the current
    // folder holds one of that name, with the handler started in the program folder and the
    // process's own folder kept; with none in the program folder, nothing opens. The About
    // window, opened twice: modal over the main window with its icon, centred; the tray's
    // commands change nothing under it; the site link writes the site's
    // redirect page and opens it under the wait cursor; closed by Enter, then the close box.
    void helpMenu()
    {
        QTemporaryDir folder, elsewhere;
        SetProgramFolder(folder.path());
        OpenedUrls opened;
        QString handlerFolder;
        bool busy = false;  // the wait cursor over everything while a page is handed over
        opened.onOpen = [&](const QUrl&) {
            handlerFolder = QDir::currentPath();
            busy = QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
        };
        frmForma window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));  // shortcuts need the active window

        const QString help = QStringLiteral("Справка.html"), before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()) && QFile(help).open(QIODevice::WriteOnly));
        QTest::keyClick(window.ListPicture, Qt::Key_F1);
        QVERIFY(QFile(folder.filePath(help)).open(QIODevice::WriteOnly));
        QTest::keyClick(window.ListPicture, Qt::Key_F1);
        QCOMPARE(QDir::currentPath(), QDir(elsewhere.path()).canonicalPath());
        QDir::setCurrent(before);
        QCOMPARE(handlerFolder, QDir(folder.path()).canonicalPath());

        FormVisible = -1;
        for (const bool enter : {true, false}) {
            QTimer::singleShot(0, &window, [&] {
                QWidget* about = QApplication::activeModalWidget();
                QVERIFY(about && about->parentWidget() == &window);
                QTimer::singleShot(5000, about, &QWidget::close);  // a failed check must not hang
                QCOMPARE(about->frameGeometry().center(), about->screen()->availableGeometry().center());
                QCOMPARE(about->windowIcon().pixmap(32).toImage(), window.windowIcon().pixmap(32).toImage());
                window.pMenuExit->trigger();
                window.pMenuHideShow->trigger();
                QVERIFY(about->isVisible() && window.isVisible() && FormVisible == -1);
                QTest::mouseClick(about->findChild<QLabel*>("Label1"), Qt::LeftButton);
                QVERIFY(busy);
                QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
                QCOMPARE(about->cursor().shape(), Qt::ArrowCursor);
                if (enter)
                    QTest::keyClick(about, Qt::Key_Enter);
                else
                    about->close();
            });
            window.HelpOprog->trigger();  // returns only when the About window has closed
            QCOMPARE(QApplication::activeModalWidget(), nullptr);
        }
        QFile written(folder.filePath("0.html"));
        const QUrl page = QUrl::fromLocalFile(written.fileName());
        QCOMPARE(opened.urls, QList<QUrl>({QUrl::fromLocalFile(folder.filePath(help)), page, page}));
        QVERIFY(written.open(QIODevice::ReadOnly) && written.readAll() == RedirectPage(QString::fromUtf8(TolvaConfig::SiteUrl)));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
