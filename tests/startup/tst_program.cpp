// The tolva executable itself, copied into a temporary folder and worked
// only from outside, through its tray icon, with real keys and clicks
// (run by with_tray_host.sh).
#include "real_tray_clicks.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using namespace RealClicks;

namespace {

QByteArray settingsText(int station)
{
    return "[NomerRadio]\r\n " + QByteArray::number(station) + " \r\n";
}

std::optional<QByteArray> fileText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QString xdotoolOutput(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(5000))
        return {};
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

QRect windowGeometry(const QString& id)
{
    QRect place;
    const QStringList lines = xdotoolOutput({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id})
                                  .split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QString value = line.section(QLatin1Char('='), 1);
        if (line.startsWith(QLatin1String("X=")))
            place.moveLeft(value.toInt());
        else if (line.startsWith(QLatin1String("Y=")))
            place.moveTop(value.toInt());
        else if (line.startsWith(QLatin1String("WIDTH=")))
            place.setWidth(value.toInt());
        else if (line.startsWith(QLatin1String("HEIGHT=")))
            place.setHeight(value.toInt());
    }
    return place;
}

// Windows of the program that are mapped; the tray icon is the small one.
QList<QRect> programWindows()
{
    QList<QRect> found;
    const QStringList ids = xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                           QStringLiteral("--classname"), QStringLiteral("^tolva$")})
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& id : ids)
        found.append(windowGeometry(id));
    return found;
}

QPoint trayIconOnScreen()
{
    for (const QRect& place : programWindows())
        if (place.width() > 0 && place.width() <= 48 && place.height() <= 48)
            return place.center();
    return {};
}

bool mainWindowShown()
{
    for (const QRect& place : programWindows())
        if (place.width() > 300)
            return true;
    return false;
}

// Shown windows other than the tray icon: the main window and the question.
int windowsShown()
{
    int count = 0;
    for (const QRect& place : programWindows())
        count += place.width() > 48 ? 1 : 0;
    return count;
}

bool keys(const QStringList& names)
{
    QStringList arguments{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("100")};
    arguments += names;
    return xdotool(arguments);
}

}  // namespace

class TstProgram : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QProcess> program;

    QString ini() const { return dir->filePath(QStringLiteral("Tolva.ini")); }
    QString elsewhere() const { return dir->filePath(QStringLiteral("elsewhere")); }

    void start()
    {
        const QString copy = dir->filePath(QStringLiteral("tolva"));
        QVERIFY(QFile::copy(QStringLiteral(TOLVA_EXECUTABLE), copy));
        program = std::make_unique<QProcess>();
        program->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Started from elsewhere: the program's folder is its own, not the current one.
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("elsewhere")));
        program->setWorkingDirectory(elsewhere());
        program->start(copy, {});
        QVERIFY(program->waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(!trayIconOnScreen().isNull() && mainWindowShown(), 20000);
        QTest::qWait(500);
    }

    // Opens the tray menu and picks an item by keyboard: Down for the first
    // (Hide / Show), Up for the last (Exit).
    void trayMenu(const QString& key)
    {
        const QPoint icon = trayIconOnScreen();
        QVERIFY(!icon.isNull());
        QVERIFY(click(icon, Right));
        QTest::qWait(500);
        QVERIFY(keys({key, QStringLiteral("Return")}));
        QTest::qWait(500);
    }

    bool ended(int ms)
    {
        return program->state() == QProcess::NotRunning || program->waitForFinished(ms);
    }

private Q_SLOTS:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }

    void cleanup()
    {
        if (program && program->state() != QProcess::NotRunning) {
            program->kill();
            program->waitForFinished(5000);
        }
        program.reset();
        dir.reset();
    }

    // "Выход" from the tray with the window shown ends the program at once
    // and stores the station it started with.
    void exitWhileShown_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("first run") << QByteArray() << settingsText(0);
        QTest::newRow("station 16 kept") << settingsText(16) << settingsText(16);
        QTest::newRow("station out of range") << settingsText(99) << settingsText(0);
    }
    void exitWhileShown()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        if (!before.isEmpty()) {
            QFile file(ini());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(before);
        }
        start();
        trayMenu(QStringLiteral("Up"));
        QVERIFY(ended(10000));
        QCOMPARE(program->exitStatus(), QProcess::NormalExit);
        QCOMPARE(program->exitCode(), 0);
        QCOMPARE(fileText(ini()).value_or("none"), after);
        QVERIFY(QDir(elsewhere()).isEmpty());
    }

    // Hidden, then "Выход": the window comes back with the question; Enter
    // answers No and the program goes on; the next "Выход" ends it.
    void exitWhileHidden()
    {
        start();
        trayMenu(QStringLiteral("Down"));
        QTRY_VERIFY_WITH_TIMEOUT(!mainWindowShown(), 5000);

        trayMenu(QStringLiteral("Up"));
        QTRY_VERIFY_WITH_TIMEOUT(mainWindowShown(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(windowsShown(), 2, 5000);  // the window and its question
        QTest::qWait(500);
        QVERIFY(keys({QStringLiteral("Return")}));
        QTRY_COMPARE_WITH_TIMEOUT(windowsShown(), 1, 5000);
        QTest::qWait(500);
        QCOMPARE(program->state(), QProcess::Running);
        QVERIFY(!QFile::exists(ini()));
        QVERIFY(mainWindowShown());

        trayMenu(QStringLiteral("Up"));
        QVERIFY(ended(10000));
        QCOMPARE(program->exitCode(), 0);
        QCOMPARE(fileText(ini()).value_or("none"), settingsText(0));
    }
};

QTEST_MAIN(TstProgram)
#include "tst_program.moc"
