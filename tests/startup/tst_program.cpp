// The tolva executable itself, copied into a temporary folder, started from
// another one and ended through its tray menu with real clicks and keys (run
// by with_tray_host.sh).
#include "real_tray_clicks.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace RealClicks;
using namespace Qt::StringLiterals;

namespace {

QByteArray settingsText(int station)
{
    return "[NomerRadio]\r\n " + QByteArray::number(station) + " \r\n";
}

// Middle of the program's tray icon, its one small mapped window; null if none.
QPoint trayIcon()
{
    QProcess xdo;
    xdo.start(u"xdotool"_s, u"search --onlyvisible --classname ^tolva$ getwindowgeometry --shell %@"_s.split(u' '));
    xdo.waitForFinished(5000);
    QMap<QString, int> value;
    for (const QString& line : QString::fromLatin1(xdo.readAllStandardOutput()).split(u'\n')) {
        value[line.section(u'=', 0, 0)] = line.section(u'=', 1).toInt();
        const QRect place(value[u"X"_s], value[u"Y"_s], value[u"WIDTH"_s], value[u"HEIGHT"_s]);
        if (line.startsWith(u"SCREEN=") && place.width() > 0 && place.width() <= 48 && place.height() <= 48)
            return place.center();
    }
    return {};
}

}  // namespace

class TstProgram : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // "Выход" from the tray with the window shown ends the program at once and
    // stores the station beside the executable, not in the current folder.
    void exitWritesBesideProgram_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("first run") << QByteArray() << settingsText(0);
        QTest::newRow("station 16 kept") << settingsText(16) << settingsText(16);
    }
    void exitWritesBesideProgram()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        QFile ini(dir.filePath(u"Tolva.ini"_s));
        QVERIFY(before.isEmpty() || (ini.open(QIODevice::WriteOnly) && ini.write(before) && ini.flush()));
        ini.close();
        QVERIFY(QFile::copy(QStringLiteral(TOLVA_EXECUTABLE), dir.filePath(u"tolva"_s)));
        QVERIFY(QDir(dir.path()).mkdir(u"elsewhere"_s));

        QProcess program;  // its destructor kills it should the test fail
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.setWorkingDirectory(dir.filePath(u"elsewhere"_s));
        program.start(dir.filePath(u"tolva"_s), {});
        QTRY_VERIFY_WITH_TIMEOUT(!trayIcon().isNull(), 20000);
        QTest::qWait(500);
        QVERIFY(click(trayIcon(), Right));
        QTest::qWait(500);
        QVERIFY(xdotool(u"key --delay 100 Up Return"_s.split(u' ')));  // the menu's last item, "Выход"
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), after);
        QVERIFY(QDir(dir.filePath(u"elsewhere"_s)).isEmpty());
    }
};

QTEST_MAIN(TstProgram)
#include "tst_program.moc"
