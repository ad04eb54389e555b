// Web links: the redirect page written into the program folder and handed to the desktop
// (recorded here), then loaded in a real browser engine, which must ask a local server for
// exactly the address; and the About window's site link.
#include "SaveFileUrlm.h"
#include "frmOprog.h"
#include "opened_urls.h"
#include "page_server.h"
#include "program_folder.h"
#include "tolva_config.h"

#include <QLabel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QtTest>

class TestHelp : public QObject {
    Q_OBJECT

    PageServer server_;

private Q_SLOTS:
    void initTestCase() { QVERIFY(server_.start()); }

    // Each call writes the first page name that opens, after running pending events; a later,
    // shorter page replaces the earlier one whole; past the bounded number of names nothing
    // opens. The browser then goes to exactly the address, whatever it holds.
    void redirectPage_data()
    {
        QTest::addColumn<int>("blocked");  // page names taken by folders
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("requested");
        QTest::newRow("plain") << 0 << "/station/page.html" << "/station/page.html";
        QTest::newRow("character reference look-alikes, 0.html a folder")
            << 1 << "/a?x=1&copy=2&lt=3&amp;y=2&sort" << "/a?x=1&copy=2&lt=3&amp;y=2&sort";
        QTest::newRow("Cyrillic, percent codes kept") << 0 << "/Радио/a%20b" << "/%D0%A0%D0%B0%D0%B4%D0%B8%D0%BE/a%20b";
        QTest::newRow("markup stays inside the address")
            << 0 << "/x'><script>location.href='/injected'</script>"
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
        bool ran = false, ranBeforeOpen = false;
        QTimer::singleShot(0, this, [&ran] { ran = true; });
        opened.onOpen = [&](const QUrl&) { ranBeforeOpen = ran; };
        const QString address = server_.url({}).toString() + path;
        SaveFileUrl(address + "/a/longer/address/first");
        SaveFileUrl(address);
        if (blocked == RedirectPageAttempts) {
            QVERIFY(opened.urls.isEmpty() && !QFile::exists(page(blocked)));
            return;
        }
        QCOMPARE(opened.urls, QList<QUrl>(2, QUrl::fromLocalFile(page(blocked))));
        QVERIFY(ranBeforeOpen);
        QFile file(page(blocked));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().endsWith("'><meta http-equiv='Content-Type' content='text/html; charset=windows-1251'>"
                                        "<title>WWW</title></head><body></body></html>\r\n"));

        server_.clearRequests();
        QWebEngineProfile profile;  // off the record: nothing kept between rows
        QWebEnginePage browser(&profile);
        // Desktop browsers follow a local page's refresh to the web; the embedded engine needs to be told it may.
        browser.settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
        browser.load(opened.urls.last());
        const auto requests = [this] { return server_.requests().filter(QRegularExpression("^(?!/favicon.ico$)")); };
        QTRY_VERIFY_WITH_TIMEOUT(!requests().isEmpty(), 20000);
        QTest::qWait(300);  // time for a script that should not be there to navigate
        QCOMPARE(requests(), QStringList{requested});
    }

    // The site link writes the site's redirect page and opens it under the wait cursor;
    // its caption is no link.
    void aboutLinkOpensSite()
    {
        QTemporaryDir folder;
        SetProgramFolder(folder.path());
        OpenedUrls opened;
        frmOprog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::mouseClick(dialog.findChild<QLabel*>("Label2_5"), Qt::LeftButton);  // "Сайт:"
        QApplication::processEvents();
        QVERIFY(opened.urls.isEmpty());
        Qt::CursorShape during = Qt::ArrowCursor;
        opened.onOpen = [&during](const QUrl&) {
            const QCursor* override = QGuiApplication::overrideCursor();
            during = override ? override->shape() : Qt::ArrowCursor;
        };
        QTest::mouseClick(dialog.findChild<QLabel*>("Label1"), Qt::LeftButton);
        QCOMPARE(during, Qt::WaitCursor);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
        QFile written(folder.filePath("0.html"));
        QCOMPARE(opened.urls, QList<QUrl>{QUrl::fromLocalFile(written.fileName())});
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), RedirectPage(QString::fromUtf8(TolvaConfig::SiteUrl)));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
