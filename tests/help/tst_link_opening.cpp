#include "OpURL.h"
#include "SaveFileUrlm.h"
#include "opened_urls.h"
#include "program_folder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {
const QByteArray Head = "<html><head><meta http-equiv='refresh' content='0; url=";
const QByteArray Tail =
    "'><meta http-equiv='Content-Type' content='text/html; charset=windows-1251'>"
    "<title>WWW</title></head><body></body></html>\r\n";

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
}  // namespace

class TestLinkOpening : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<OpenedUrls> opened_;

    QUrl pageUrl(int n) const
    {
        return QUrl::fromLocalFile(dir_->filePath(QString::number(n) + ".html"));
    }

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        SetProgramFolder(dir_->path());
        opened_ = std::make_unique<OpenedUrls>();
    }
    void cleanup()
    {
        opened_.reset();
        SetProgramFolder({});
    }

    void redirectPage_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QByteArray>("inAttribute");

        QTest::newRow("plain") << "http://tolva.example/" << QByteArray("http://tolva.example/");
        QTest::newRow("empty") << "" << QByteArray();
        QTest::newRow("query and fragment kept")
            << "https://a.example:8080/p/q.html?x=1;y=%41#top"
            << QByteArray("https://a.example:8080/p/q.html?x=1;y=%41#top");
        QTest::newRow("apostrophe") << "http://a.example/it's" << QByteArray("http://a.example/it%27s");
        QTest::newRow("leaves attribute and adds script")
            << "http://a.example/'><script>alert(1)</script><a href='"
            << QByteArray("http://a.example/%27%3E%3Cscript%3Ealert(1)%3C/script%3E%3Ca%20href=%27");
        QTest::newRow("double quote") << "http://a.example/\"x\"" << QByteArray("http://a.example/%22x%22");
        QTest::newRow("ampersand is not a character reference")
            << "http://a.example/?a=1&copy=2" << QByteArray("http://a.example/?a=1&amp;copy=2");
        QTest::newRow("line breaks stay out of the one line")
            << "http://a.example/\r\n<b>" << QByteArray("http://a.example/%0D%0A%3Cb%3E");
        QTest::newRow("Cyrillic as UTF-8 percent codes")
            << "http://a.example/Радио"
            << QByteArray("http://a.example/%D0%A0%D0%B0%D0%B4%D0%B8%D0%BE");
    }
    void redirectPage()
    {
        QFETCH(QString, address);
        QFETCH(QByteArray, inAttribute);
        const QByteArray page = RedirectPage(address);
        QCOMPARE(page, Head + inAttribute + Tail);
        // One line, plain ASCII (so valid Windows-1251), closed by CR LF.
        QCOMPARE(page.count('\n'), 1);
        QCOMPARE(page.count('\r'), 1);
        for (const char c : page)
            QVERIFY(static_cast<unsigned char>(c) < 0x80);
        // The address can end neither the attribute nor the tag.
        const QByteArray inserted = page.mid(Head.size(), page.size() - Head.size() - Tail.size());
        QVERIFY(!inserted.contains('\''));
        QVERIFY(!inserted.contains('<'));
        QVERIFY(!inserted.contains('>'));
    }

    void writesPageZeroAndOpensIt()
    {
        SaveFileUrl(QStringLiteral("http://tolva.example/"));
        QCOMPARE(opened_->urls, QList<QUrl>{pageUrl(0)});
        QCOMPARE(ReadAll(dir_->filePath("0.html")), Head + "http://tolva.example/" + Tail);
    }

    void secondLinkOverwritesPageZero()
    {
        SaveFileUrl(QStringLiteral("http://first.example/a/very/long/address/to/be/shortened"));
        SaveFileUrl(QStringLiteral("http://second.example/"));
        QCOMPARE(opened_->urls, (QList<QUrl>{pageUrl(0), pageUrl(0)}));
        QCOMPARE(ReadAll(dir_->filePath("0.html")), Head + "http://second.example/" + Tail);
        QVERIFY(!QFile::exists(dir_->filePath("1.html")));
    }

    void unopenablePagesAreSkipped_data()
    {
        QTest::addColumn<int>("blocked");
        QTest::newRow("page 0 blocked") << 1;
        QTest::newRow("pages 0 to 2 blocked") << 3;
    }
    void unopenablePagesAreSkipped()
    {
        QFETCH(int, blocked);
        // A folder cannot be opened for writing, not even by root.
        for (int n = 0; n < blocked; ++n)
            QVERIFY(QDir(dir_->path()).mkdir(QString::number(n) + ".html"));
        SaveFileUrl(QStringLiteral("http://tolva.example/"));
        QCOMPARE(opened_->urls, QList<QUrl>{pageUrl(blocked)});
        QCOMPARE(ReadAll(dir_->filePath(QString::number(blocked) + ".html")),
                 Head + "http://tolva.example/" + Tail);
    }

    void noPageWritableOpensNothing_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("missing folder") << QStringLiteral("missing/deeper");
        QTest::newRow("folder is a plain file") << QStringLiteral("plain");
        QTest::newRow("every name taken") << QString();
    }
    void noPageWritableOpensNothing()
    {
        QFETCH(QString, folder);
        if (folder == "plain") {
            QFile f(dir_->filePath(folder));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        if (folder.isEmpty()) {
            for (int n = 0; n < RedirectPageAttempts; ++n)
                QVERIFY(QDir(dir_->path()).mkdir(QString::number(n) + ".html"));
        } else {
            SetProgramFolder(dir_->filePath(folder));
        }
        SaveFileUrl(QStringLiteral("http://tolva.example/"));
        QVERIFY(opened_->urls.isEmpty());
        QVERIFY(!QFile::exists(dir_->filePath(QString::number(RedirectPageAttempts) + ".html")));
    }

    void pendingEventsRunBeforeOpening()
    {
        bool ranBeforeOpen = false;
        bool ran = false;
        QTimer::singleShot(0, this, [&ran] { ran = true; });
        opened_->onOpen = [&](const QUrl&) { ranBeforeOpen = ran; };
        SaveFileUrl(QStringLiteral("http://tolva.example/"));
        QVERIFY(ranBeforeOpen);
    }

    void bareNameMeansProgramFolder()
    {
        QTemporaryDir elsewhere;
        QVERIFY(elsewhere.isValid());
        for (const QString& folder : {dir_->path(), elsewhere.path()}) {
            QFile f(QDir(folder).filePath("Справка.html"));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        ShellOpen(QStringLiteral("Справка.html"));
        QDir::setCurrent(before);
        QCOMPARE(opened_->urls, QList<QUrl>{QUrl::fromLocalFile(dir_->filePath("Справка.html"))});
    }

    void opensWhatItIsGiven_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("opens");
        QTest::newRow("full path") << QStringLiteral("<dir>/doc.html") << true;
        QTest::newRow("web address") << QStringLiteral("http://tolva.example/a?b=c") << true;
        QTest::newRow("missing document") << QStringLiteral("Справка.html") << false;
        QTest::newRow("missing full path") << QStringLiteral("<dir>/none.html") << false;
        QTest::newRow("empty") << QString() << false;
    }
    void opensWhatItIsGiven()
    {
        QFETCH(QString, file);
        QFETCH(bool, opens);
        {
            QFile f(dir_->filePath("doc.html"));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        file.replace("<dir>", dir_->path());
        ShellOpen(file);
        if (!opens) {
            QVERIFY(opened_->urls.isEmpty());
            return;
        }
        QCOMPARE(opened_->urls.size(), 1);
        const QUrl url = opened_->urls.first();
        QCOMPARE(url.isLocalFile() ? url.toLocalFile() : url.toString(), file);
    }
};

QTEST_MAIN(TestLinkOpening)
#include "tst_link_opening.moc"
