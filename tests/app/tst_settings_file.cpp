#include "program_folder.h"
#include "settings_file.h"
#include "station_numbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class TestSettingsFile : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;

    void writeRaw(const QByteArray& bytes)
    {
        QFile f(dir_->filePath("Tolva.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readRaw()
    {
        QFile f(dir_->filePath("Tolva.ini"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        SetProgramFolder(dir_->path());
        NomerRadio = 0;
    }
    void cleanup()
    {
        QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        SetProgramFolder({});
    }

    void pathIsBesideTheProgram()
    {
        QCOMPARE(SettingsFile::Path(), dir_->path() + "/Tolva.ini");
        SetProgramFolder("/");
        QCOMPARE(SettingsFile::Path(), QStringLiteral("/Tolva.ini"));
        SetProgramFolder({});
        QCOMPARE(SettingsFile::Path(), QCoreApplication::applicationDirPath() + "/Tolva.ini");
    }

    void formatIsByteExact_data()
    {
        QTest::addColumn<int>("nomer");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("3") << 3 << QByteArray("[NomerRadio]\r\n 3 \r\n");
        QTest::newRow("0") << 0 << QByteArray("[NomerRadio]\r\n 0 \r\n");
        QTest::newRow("16") << 16 << QByteArray("[NomerRadio]\r\n 16 \r\n");
        QTest::newRow("-1") << -1 << QByteArray("[NomerRadio]\r\n-1 \r\n");
        QTest::newRow("min") << std::numeric_limits<qint32>::min() << QByteArray("[NomerRadio]\r\n-2147483648 \r\n");
    }
    void formatIsByteExact()
    {
        QFETCH(int, nomer);
        NomerRadio = nomer;
        SettingsFile::WriteSettings();
        QTEST(readRaw(), "bytes");
    }

    void ownFilesRoundTrip_data()
    {
        QTest::addColumn<int>("nomer");
        QTest::newRow("0") << 0;
        QTest::newRow("5") << 5;
        QTest::newRow("16") << 16;
        QTest::newRow("-1") << -1;
    }
    void ownFilesRoundTrip()
    {
        QFETCH(int, nomer);
        NomerRadio = nomer;
        SettingsFile::WriteSettings();
        NomerRadio = 77;
        SettingsFile::ReadSettings();
        QCOMPARE(NomerRadio, nomer);
    }

    void readerRules_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("expected");  // 77 = left unchanged
        QTest::newRow("own form") << QByteArray("[NomerRadio]\r\n 5 \r\n") << 5;
        QTest::newRow("bare LF") << QByteArray("[NomerRadio]\n7\n") << 7;
        QTest::newRow("no final line end") << QByteArray("[NomerRadio]\r\n9") << 9;
        QTest::newRow("leading blanks") << QByteArray("   [NomerRadio]\r\n\t 4\r\n") << 4;
        QTest::newRow("comma on one line") << QByteArray("[NomerRadio],12\r\n") << 12;
        QTest::newRow("quoted marker") << QByteArray("\"[NomerRadio]\"\r\n 6 \r\n") << 6;
        QTest::newRow("quoted other") << QByteArray("\"[Nomer,Radio]\"\r\n 6 \r\n") << 77;
        QTest::newRow("number then text") << QByteArray("[NomerRadio]\r\n 8 junk\r\n") << 8;
        QTest::newRow("number then comma") << QByteArray("[NomerRadio]\r\n11,3\r\n") << 11;
        QTest::newRow("minus one") << QByteArray("[NomerRadio]\r\n-1 \r\n") << -1;
        QTest::newRow("beyond catalog") << QByteArray("[NomerRadio]\r\n 25 \r\n") << 25;
        QTest::newRow("fraction rounds") << QByteArray("[NomerRadio]\r\n 2.7 \r\n") << 3;
        QTest::newRow("half to even") << QByteArray("[NomerRadio]\r\n 2.5 \r\n") << 2;
        QTest::newRow("32-bit max") << QByteArray("[NomerRadio]\r\n 2147483647 \r\n") << 2147483647;
        QTest::newRow("beyond 32 bits") << QByteArray("[NomerRadio]\r\n 2147483648 \r\n") << 77;
        QTest::newRow("far beyond") << QByteArray("[NomerRadio]\r\n 99999999999999999999 \r\n") << 77;
        QTest::newRow("other case") << QByteArray("[nomerradio]\r\n 5 \r\n") << 77;
        QTest::newRow("extra text") << QByteArray("[NomerRadio] x\r\n 5 \r\n") << 77;
        QTest::newRow("other marker") << QByteArray("[Station]\r\n 5 \r\n") << 77;
        QTest::newRow("only marker") << QByteArray("[NomerRadio]\r\n") << 77;
        QTest::newRow("marker no line end") << QByteArray("[NomerRadio]") << 77;
        QTest::newRow("empty") << QByteArray() << 77;
        QTest::newRow("not a number") << QByteArray("[NomerRadio]\r\n five \r\n") << 77;
        QTest::newRow("garbage") << QByteArray("\x00\xff\xfe\x01[NomerRadio]\r\n 3", 17) << 77;
        QTest::newRow("unclosed quote") << QByteArray("\"[NomerRadio]\r\n 3 \r\n") << 77;
    }
    void readerRules()
    {
        QFETCH(QByteArray, bytes);
        writeRaw(bytes);
        NomerRadio = 77;
        SettingsFile::ReadSettings();
        QTEST(NomerRadio, "expected");
    }

    void missingFileLeavesNumber()
    {
        NomerRadio = 0;
        SettingsFile::ReadSettings();
        QCOMPARE(NomerRadio, 0);
    }

    void binaryGarbageOfAnySize()
    {
        QByteArray junk(1 << 20, '\0');
        for (int i = 0; i < junk.size(); ++i)
            junk[i] = static_cast<char>((i * 7919) & 0xff);
        writeRaw(junk);
        NomerRadio = 0;
        SettingsFile::ReadSettings();
        QCOMPARE(NomerRadio, 0);
    }

    void readOnlyFolderIsLeftAlone()
    {
        if (geteuid() == 0)
            QSKIP("root writes into read-only folders");
        writeRaw("[NomerRadio]\r\n 4 \r\n");
        QVERIFY(QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::ExeOwner));
        NomerRadio = 9;
        SettingsFile::WriteSettings();  // must not throw or report
        QCOMPARE(readRaw(), QByteArray("[NomerRadio]\r\n 4 \r\n"));
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{"Tolva.ini"});
    }

    void readOnlyFileIsLeftAlone()
    {
        if (geteuid() == 0)
            QSKIP("root writes into read-only files");
        writeRaw("[NomerRadio]\r\n 4 \r\n");
        QVERIFY(QFile::setPermissions(dir_->filePath("Tolva.ini"), QFile::ReadOwner));
        NomerRadio = 9;
        SettingsFile::WriteSettings();
        QCOMPARE(readRaw(), QByteArray("[NomerRadio]\r\n 4 \r\n"));
    }

    void folderThatIsAFileIsSilent()
    {
        // Unwritable even for root: the "folder" is a plain file.
        const QString notAFolder = dir_->filePath("plain");
        QFile f(notAFolder);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        SetProgramFolder(notAFolder);
        NomerRadio = 3;
        SettingsFile::WriteSettings();
        QCOMPARE(QFileInfo(notAFolder).size(), 0);
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{"plain"});
    }

    void missingFolderIsSilent()
    {
        SetProgramFolder(dir_->filePath("gone"));
        NomerRadio = 3;
        SettingsFile::WriteSettings();
        SettingsFile::ReadSettings();
        QCOMPARE(NomerRadio, 3);
        QVERIFY(!QFile::exists(dir_->filePath("gone")));
    }

    void writeIsOldOrNew()
    {
        // The new text goes to a temporary file that replaces the old one in
        // a single rename: an interrupted write leaves the old file whole.
        writeRaw("[NomerRadio]\r\n 4 \r\n");
        const QString path = dir_->filePath("Tolva.ini");
        QFile old(path);
        QVERIFY(old.open(QIODevice::ReadOnly));  // a reader holding the old file keeps it whole
        NomerRadio = 12;
        SettingsFile::WriteSettings();
        QCOMPARE(old.readAll(), QByteArray("[NomerRadio]\r\n 4 \r\n"));
        QCOMPARE(readRaw(), QByteArray("[NomerRadio]\r\n 12 \r\n"));
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{"Tolva.ini"});
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settings_file.moc"
