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

    QString ini() const { return dir_->filePath("Tolva.ini"); }
    void writeRaw(const QByteArray& bytes)
    {
        QFile f(ini());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readRaw()
    {
        QFile f(ini());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        SetProgramFolder(dir_->path());
    }
    void cleanup()
    {
        QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        SetProgramFolder({});
    }

    // Byte-exact, read back by the reader, and replacing the old file in one
    // rename: a reader holding the old one keeps it whole.
    void ownFiles_data()
    {
        QTest::addColumn<int>("nomer");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("0") << 0 << QByteArray("[NomerRadio]\r\n 0 \r\n");
        QTest::newRow("5") << 5 << QByteArray("[NomerRadio]\r\n 5 \r\n");
        QTest::newRow("16") << 16 << QByteArray("[NomerRadio]\r\n 16 \r\n");
        QTest::newRow("-1") << -1 << QByteArray("[NomerRadio]\r\n-1 \r\n");
        QTest::newRow("min") << std::numeric_limits<qint32>::min() << QByteArray("[NomerRadio]\r\n-2147483648 \r\n");
    }
    void ownFiles()
    {
        QFETCH(int, nomer);
        writeRaw("old");
        QFile old(ini());
        QVERIFY(old.open(QIODevice::ReadOnly));
        NomerRadio = nomer;
        SettingsFile::WriteSettings();
        QCOMPARE(old.readAll(), QByteArray("old"));
        QTEST(readRaw(), "bytes");
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{"Tolva.ini"});
        NomerRadio = 77;
        SettingsFile::ReadSettings();
        QCOMPARE(NomerRadio, nomer);
    }

    void reader_data()
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
    void reader()
    {
        QFETCH(QByteArray, bytes);
        if (!bytes.isNull())
            writeRaw(bytes);
        NomerRadio = 77;
        SettingsFile::ReadSettings();
        QTEST(NomerRadio, "expected");
    }

    // Nothing is reported, and nothing on disk changes.
    void unwritableFolder_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("read-only folder") << "read-only";
        QTest::newRow("folder is a plain file") << "plain";  // unwritable even for root
        QTest::newRow("folder missing") << "missing";
    }
    void unwritableFolder()
    {
        QFETCH(QString, how);
        writeRaw("[NomerRadio]\r\n 4 \r\n");
        if (how == "read-only") {
            if (geteuid() == 0)
                QSKIP("root writes into read-only folders");
            QVERIFY(QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::ExeOwner));
        } else {
            SetProgramFolder(dir_->filePath(how == "plain" ? "Tolva.ini" : "gone"));
        }
        NomerRadio = 9;
        SettingsFile::WriteSettings();
        QCOMPARE(readRaw(), QByteArray("[NomerRadio]\r\n 4 \r\n"));
        QCOMPARE(QDir(dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"Tolva.ini"});
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settings_file.moc"
