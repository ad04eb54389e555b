// How links open, from the About window and in general: the redirect page written into the
// program folder, and documents named relative to it.
#include "OpURL.h"
#include "SaveFileUrlm.h"
#include "frmOprog.h"
#include "opened_urls.h"
#include "program_folder.h"
#include "tolva_config.h"

#include <QLabel>
#include <QtTest>

class TestHelp : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    OpenedUrls opened_;

    QString page(int n) const { return dir_->filePath(QString::number(n) + ".html"); }

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        SetProgramFolder(dir_->path());
        opened_.urls.clear();
        opened_.onOpen = nullptr;
    }

    // The site link writes the redirect page and opens it under the wait cursor; its caption is no link.
    void aboutLinkOpensSite()
    {
        frmOprog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::mouseClick(dialog.findChild<QLabel*>("Label2_5"), Qt::LeftButton);  // "Сайт:"
        QApplication::processEvents();
        QVERIFY(opened_.urls.isEmpty());
        QList<Qt::CursorShape> during;
        opened_.onOpen = [&](const QUrl&) {
            const QCursor* override = QGuiApplication::overrideCursor();
            during = {dialog.cursor().shape(), override ? override->shape() : Qt::ArrowCursor};
        };
        QTest::mouseClick(dialog.findChild<QLabel*>("Label1"), Qt::LeftButton);
        QCOMPARE(opened_.urls, QList<QUrl>{QUrl::fromLocalFile(page(0))});
        QFile written(page(0));
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), RedirectPage(QString::fromUtf8(TolvaConfig::SiteUrl)));
        QCOMPARE(during, QList<Qt::CursorShape>(2, Qt::WaitCursor));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
    }

    // Each call writes the first openable name, after running pending events; a later,
    // shorter page replaces the earlier one whole. Escaping is proven in tst_redirect_in_browser.
    void writesFirstOpenablePage_data()
    {
        QTest::addColumn<int>("blocked");  // names taken by folders; -1: no program folder
        QTest::addColumn<int>("calls");
        QTest::newRow("0.html reused") << 0 << 2;
        QTest::newRow("0.html a folder") << 1 << 1;
        QTest::newRow("every name taken") << RedirectPageAttempts << 1;
        QTest::newRow("folder missing") << -1 << 1;
    }
    void writesFirstOpenablePage()
    {
        QFETCH(int, blocked);
        QFETCH(int, calls);
        if (blocked < 0)
            SetProgramFolder(dir_->filePath("missing"));
        for (int n = 0; n < blocked; ++n)
            QVERIFY(QDir().mkdir(page(n)));  // a folder cannot be opened for writing, even by root
        bool ran = false, ranBeforeOpen = false;
        QTimer::singleShot(0, this, [&ran] { ran = true; });
        opened_.onOpen = [&](const QUrl&) { ranBeforeOpen = ran; };
        if (calls > 1)
            SaveFileUrl(QStringLiteral("http://first.example/a/very/long/address"));
        SaveFileUrl(QStringLiteral("http://tolva.example/"));
        if (blocked < 0 || blocked == RedirectPageAttempts) {
            QVERIFY(opened_.urls.isEmpty());
            QVERIFY(!QFile::exists(page(RedirectPageAttempts)));  // gave up, bounded
            return;
        }
        QCOMPARE(opened_.urls, QList<QUrl>(calls, QUrl::fromLocalFile(page(blocked))));
        QVERIFY(ranBeforeOpen);
        QFile f(page(blocked));
        QCOMPARE(f.open(QIODevice::ReadOnly) ? f.readAll() : "<unreadable>",
                 "<html><head><meta http-equiv='refresh' content='0; url=http://tolva.example/'><meta "
                 "http-equiv='Content-Type' content='text/html; charset=windows-1251'><title>WWW</title></head>"
                 "<body></body></html>\r\n");
    }

    // From another current folder that holds files of the same names, a bare name still
    // means the program folder; a file missing there opens nothing. The handler starts in
    // the program folder; the process stays where it was.
    void bareNameMeansTheProgramFolder()
    {
        QString handlerFolder;
        opened_.onOpen = [&](const QUrl&) { handlerFolder = QDir::currentPath(); };
        QTemporaryDir elsewhere;
        for (const QString& name : {dir_->filePath("Справка.html"), elsewhere.filePath("Справка.html"),
                                    elsewhere.filePath("elsewhere.html")})
            QVERIFY(QFile(name).open(QIODevice::WriteOnly));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        ShellOpen(QStringLiteral("Справка.html"));
        ShellOpen(QStringLiteral("elsewhere.html"));
        QCOMPARE(QDir::currentPath(), QDir(elsewhere.path()).canonicalPath());
        QDir::setCurrent(before);
        QCOMPARE(handlerFolder, QDir(dir_->path()).canonicalPath());
        QCOMPARE(opened_.urls, QList<QUrl>{QUrl::fromLocalFile(dir_->filePath("Справка.html"))});
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
