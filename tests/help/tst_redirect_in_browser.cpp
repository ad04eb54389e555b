// Loads written redirect pages in a real browser engine and checks which
// address it then asks a local server for: the one real proof of escaping.
#include "SaveFileUrlm.h"
#include "page_server.h"

#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QtTest>

class TestRedirectInBrowser : public QObject {
    Q_OBJECT

    PageServer server_;

private Q_SLOTS:
    void initTestCase() { QVERIFY(server_.start()); }

    void browserGoesToExactlyTheAddress_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("requested");
        QTest::newRow("plain") << "/station/page.html" << "/station/page.html";
        QTest::newRow("character reference look-alikes")
            << "/a?x=1&copy=2&lt=3&amp;y=2&sort" << "/a?x=1&copy=2&lt=3&amp;y=2&sort";
        QTest::newRow("Cyrillic, percent codes kept") << "/Радио/a%20b" << "/%D0%A0%D0%B0%D0%B4%D0%B8%D0%BE/a%20b";
        QTest::newRow("markup stays inside the address")
            << "/x'><script>location.href='/injected'</script>"
            << "/x%27%3E%3Cscript%3Elocation.href=%27/injected%27%3C/script%3E";
    }
    void browserGoesToExactlyTheAddress()
    {
        QFETCH(QString, path);
        QFETCH(QString, requested);
        server_.clearRequests();
        QTemporaryDir dir;
        QFile file(dir.filePath("0.html"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(RedirectPage(server_.url({}).toString() + path)) > 0);
        file.close();
        QWebEngineProfile profile;  // off the record: nothing kept between rows
        QWebEnginePage page(&profile);
        // Desktop browsers follow a local page's refresh to the web; the embedded engine needs to be told it may.
        page.settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
        page.load(QUrl::fromLocalFile(file.fileName()));
        const auto requests = [this] { return server_.requests().filter(QRegularExpression("^(?!/favicon.ico$)")); };
        QTRY_VERIFY_WITH_TIMEOUT(!requests().isEmpty(), 20000);
        QTest::qWait(300);  // time for a script that should not be there to navigate
        QCOMPARE(requests(), QStringList{requested});
    }
};

QTEST_MAIN(TestRedirectInBrowser)
#include "tst_redirect_in_browser.moc"
