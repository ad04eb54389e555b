#include "program_folder.h"
#include "settings_file.h"
#include "station_numbers.h"

#include <QTemporaryDir>
#include <QtTest>

class TestSettingsFile : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private Q_SLOTS:
    void init()
    {
        SetProgramFolder(dir_.path());
        QFile::remove(SettingsFile::Path());
    }

    // Byte-exact, and in one rename: a reader holding the old file keeps it whole;
    // an unwritable folder changes nothing and reports nothing. Reading back: the fuzz target.
    void write_data()
    {
        QTest::addColumn<int>("nomer");
        QTest::addColumn<QString>("folder");  // empty: the program's own
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("16") << 16 << QString() << QByteArray("[NomerRadio]\r\n 16 \r\n");
        QTest::newRow("-1") << -1 << QString() << QByteArray("[NomerRadio]\r\n-1 \r\n");
        QTest::newRow("folder is a plain file") << 9 << "Tolva.ini" << QByteArray("old");
        QTest::newRow("folder missing") << 9 << "gone" << QByteArray("old");
    }
    void write()
    {
        QFETCH(int, nomer);
        QFETCH(QString, folder);
        QFile old(SettingsFile::Path());
        QVERIFY(old.open(QIODevice::ReadWrite) && old.write("old") && old.flush() && old.seek(0));
        if (!folder.isEmpty())
            SetProgramFolder(dir_.filePath(folder));
        NomerRadio = nomer;
        SettingsFile::WriteSettings();
        SetProgramFolder(dir_.path());
        QCOMPARE(old.readAll(), QByteArray("old"));
        QFile now(SettingsFile::Path());
        QVERIFY(now.open(QIODevice::ReadOnly));
        QTEST(now.readAll(), "bytes");
        QCOMPARE(QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"Tolva.ini"});
    }

    void read_data()
    {
        QTest::addColumn<QByteArray>("bytes");  // null: no file at all
        QTest::addColumn<int>("expected");      // 77 = left unchanged
        QTest::newRow("bare LF, no final line end") << QByteArray("[NomerRadio]\n7") << 7;
        QTest::newRow("quoted first field") << QByteArray("\"[NomerRadio]\"\r\n 6 \r\n") << 6;
        QTest::newRow("number then text") << QByteArray("[NomerRadio]\r\n 8 junk\r\n") << 8;
        QTest::newRow("fraction rounds") << QByteArray("[NomerRadio]\r\n 2.7 \r\n") << 3;
        QTest::newRow("half to even") << QByteArray("[NomerRadio]\r\n 2.5 \r\n") << 2;
        QTest::newRow("32-bit max") << QByteArray("[NomerRadio]\r\n 2147483647 \r\n") << 2147483647;
        QTest::newRow("beyond 32 bits") << QByteArray("[NomerRadio]\r\n 2147483648 \r\n") << 77;
        QTest::newRow("other case") << QByteArray("[nomerradio]\r\n 5 \r\n") << 77;
        QTest::newRow("extra text") << QByteArray("[NomerRadio] x\r\n 5 \r\n") << 77;
        QTest::newRow("only marker") << QByteArray("[NomerRadio]\r\n") << 77;
        QTest::newRow("empty") << QByteArray("") << 77;
        QTest::newRow("no file") << QByteArray() << 77;
        QTest::newRow("garbage") << QByteArray("\x00\xff\xfe\x01[NomerRadio]\r\n 3", 17) << 77;
    }
    void read()
    {
        QFETCH(QByteArray, bytes);
        QFile f(SettingsFile::Path());
        QVERIFY(bytes.isNull() || (f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush()));
        NomerRadio = 77;
        SettingsFile::ReadSettings();
        QTEST(NomerRadio, "expected");
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settings_file.moc"
