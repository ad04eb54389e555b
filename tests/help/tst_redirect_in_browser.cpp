// Loads written redirect pages in a real browser engine and checks which
// address it then asks a local server for.
#include "SaveFileUrlm.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QtTest>

class TestRedirectInBrowser : public QObject {
    Q_OBJECT

    QTcpServer server_;
    QList<QByteArray> targets_;  // request targets, favicon left out

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(server_.listen(QHostAddress::LocalHost));
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (socket->state() != QAbstractSocket::ConnectedState || !socket->canReadLine())
                        return;  // answered already, or the request line is not all there
                    const QList<QByteArray> request = socket->readLine().split(' ');
                    if (request.size() == 3 && request[1] != "/favicon.ico")
                        targets_.append(request[1]);
                    socket->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
                    socket->disconnectFromHost();
                });
            }
        });
    }

    void browserGoesToExactlyTheAddress_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("requested");
        QTest::newRow("plain") << "/station/page.html" << QByteArray("/station/page.html");
        QTest::newRow("character reference look-alikes")
            << "/a?x=1&copy=2&lt=3&amp;y=2&sort" << QByteArray("/a?x=1&copy=2&lt=3&amp;y=2&sort");
        QTest::newRow("apostrophe, percent codes kept") << "/it's/a%20b" << QByteArray("/it%27s/a%20b");
        QTest::newRow("Cyrillic") << "/Радио" << QByteArray("/%D0%A0%D0%B0%D0%B4%D0%B8%D0%BE");
        QTest::newRow("markup stays inside the address")
            << "/x'><script>location.href='/injected'</script>"
            << QByteArray("/x%27%3E%3Cscript%3Elocation.href=%27/injected%27%3C/script%3E");
    }
    void browserGoesToExactlyTheAddress()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, requested);
        targets_.clear();
        QTemporaryDir dir;
        QFile file(dir.filePath("0.html"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(RedirectPage(QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()) + path));
        file.close();

        QWebEngineProfile profile;  // off the record: nothing kept between rows
        QWebEnginePage page(&profile);
        // Desktop browsers follow a local page's refresh to the web; the
        // embedded engine needs to be told it may.
        page.settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
        page.load(QUrl::fromLocalFile(file.fileName()));
        QTRY_VERIFY_WITH_TIMEOUT(!targets_.isEmpty(), 20000);
        QTest::qWait(300);  // time for a script that should not be there to navigate
        QCOMPARE(targets_, QList<QByteArray>{requested});
    }
};

QTEST_MAIN(TestRedirectInBrowser)
#include "tst_redirect_in_browser.moc"
