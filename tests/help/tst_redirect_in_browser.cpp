// Loads written redirect pages in a real browser engine and checks which
// address it then asks a local server for.
#include "SaveFileUrlm.h"

#include <QApplication>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QtTest>

namespace {
// Answers every request with a tiny page and keeps the request targets.
class RecordingServer : public QObject {
public:
    RecordingServer()
    {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(*socket); });
            }
        });
    }
    bool listen() { return server_.listen(QHostAddress::LocalHost); }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()); }

    QList<QByteArray> targets;

private:
    void serve(QTcpSocket& socket)
    {
        QByteArray& buffer = buffers_[&socket];
        buffer += socket.readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
        if (requestLine.size() == 3 && requestLine[1] != "/favicon.ico")
            targets.append(requestLine[1]);
        socket.write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 2\r\n"
                     "Connection: close\r\n\r\nok");
        socket.disconnectFromHost();
        buffers_.remove(&socket);
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> buffers_;
};
}  // namespace

class TestRedirectInBrowser : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void browserGoesToExactlyTheAddress_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("requested");

        QTest::newRow("plain") << "/station/page.html" << QByteArray("/station/page.html");
        QTest::newRow("query with ampersands")
            << "/a?x=1&copy=2&lt=3&amp=4" << QByteArray("/a?x=1&copy=2&lt=3&amp=4");
        QTest::newRow("character reference look-alikes")
            << "/a?x=1&amp;y=2&sort&copy" << QByteArray("/a?x=1&amp;y=2&sort&copy");
        QTest::newRow("apostrophe") << "/it's" << QByteArray("/it%27s");
        QTest::newRow("percent codes stay as they are") << "/a%20b?q=%27" << QByteArray("/a%20b?q=%27");
        QTest::newRow("Cyrillic") << "/Радио" << QByteArray("/%D0%A0%D0%B0%D0%B4%D0%B8%D0%BE");
        QTest::newRow("markup stays inside the address")
            << "/x'><script>location.href='/injected'</script>"
            << QByteArray("/x%27%3E%3Cscript%3Elocation.href=%27/injected%27%3C/script%3E");
    }
    void browserGoesToExactlyTheAddress()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, requested);

        RecordingServer server;
        QVERIFY(server.listen());
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath("0.html");
        {
            QFile page(file);
            QVERIFY(page.open(QIODevice::WriteOnly));
            page.write(RedirectPage(server.base() + path));
        }

        QWebEngineProfile profile;  // off the record: nothing kept between rows
        QWebEnginePage page(&profile);
        // Desktop browsers follow a local page's refresh to the web; the
        // embedded engine needs to be told it may.
        page.settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
        page.load(QUrl::fromLocalFile(file));
        QTRY_VERIFY_WITH_TIMEOUT(!server.targets.isEmpty(), 20000);
        // Give a script that should not be there the chance to navigate.
        QTest::qWait(300);
        QCOMPARE(server.targets, QList<QByteArray>{requested});
    }
};

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestRedirectInBrowser test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_redirect_in_browser.moc"
