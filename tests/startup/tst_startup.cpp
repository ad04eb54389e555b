// The program on a real tray (run by with_tray_host.sh): the tolva executable
// itself, and the exit question as this process shows it.
#include "LoadRadioM.h"
#include "MainM.h"
#include "Tray.h"
#include "clsRadio.h"
#include "frmForma.h"
#include "qt_translations.h"
#include "real_tray_clicks.h"
#include "settings_file.h"
#include "station_numbers.h"
#include "stream_server.h"
#include "usrReklamaX.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray fileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : "none";
}

// Where the program's tray icon (the small window) or main window is on screen; null if not shown.
QRect programWindow(bool icon)
{
    QProcess xdo;
    xdo.start(u"xdotool"_s, u"search --onlyvisible --classname ^tolva$ getwindowgeometry --shell %@"_s.split(u' '));
    xdo.waitForFinished(5000);
    QMap<QString, int> value;
    for (const QString& line : QString::fromLatin1(xdo.readAllStandardOutput()).split(u'\n')) {
        value[line.section(u'=', 0, 0)] = line.section(u'=', 1).toInt();
        if (line.startsWith(u"SCREEN=") && (value[u"WIDTH"_s] <= 48) == icon)
            return QRect(value[u"X"_s], value[u"Y"_s], value[u"WIDTH"_s], value[u"HEIGHT"_s]);
    }
    return {};
}

}  // namespace

class TstStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { DestroyMainForm(); }

    // In this process: Enter tunes the highlighted station, Enter again and the tray's
    // reconnect item connect anew. Closed while hidden in the tray, the window comes back
    // behind the question: on a Russian desktop a warning with "Да" and "Нет", "Нет"
    // preselected, wide enough for its title.
    void tuneAndAsk()
    {
        QVERIFY(LoadQtTranslations(QLocale(QLocale::Russian, QLocale::Russia)));
        Main();
        QTRY_VERIFY(TrayData.icon);  // up once the window is drawn
        StreamServer streams;  // answers 404: each tuning asks once and stays in error
        QVERIFY(streams.start() != 0);
        LoadRadio(StreamHosts{streams.host(), streams.host(), streams.host()});
        MainForm()->usrReklamaX1->setReklamaURL(streams.url(u"/ad/"_s));
        const QString station = QUrl(Radio().List(NomerSel, 0)).path();
        for (int tunings = 1; tunings <= 3; ++tunings) {
            tunings < 3 ? QTest::keyClick(MainForm()->ListPicture, Qt::Key_Return) : MainForm()->pMenuReStart->trigger();
            QTRY_COMPARE(streams.requests(station), tunings);
        }
        // Each tuning names the station in the title and the tray's tooltip and asks for an ad.
        QVERIFY(MainForm()->windowTitle().endsWith(u": "_s + Radio().List(NomerSel, 1)));
        QCOMPARE(MainForm()->findChild<QSystemTrayIcon*>()->toolTip(), TrayCutTip(MainForm()->windowTitle()));
        QTRY_VERIFY(!streams.requests().filter(u"/ad/"_s).isEmpty());
        MainForm()->pMenuHideShow_Click();
        QString seen;
        QTimer poll;  // the question shows inside close()
        connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll.stop();
            // Room for the title as a window manager draws it: bold, larger, beside its buttons.
            QFont title = box->font();
            title.setBold(true);
            title.setPointSizeF(title.pointSizeF() * 1.25);
            seen = u"%1/%2|warning %3, default No %4|shown %5|wide %6"_s
                       .arg(box->button(QMessageBox::Yes)->text().remove(u'&'), box->button(QMessageBox::No)->text().remove(u'&'))
                       .arg(box->icon() == QMessageBox::Warning && box->buttons().size() == 2)
                       .arg(box->defaultButton() == box->button(QMessageBox::No)).arg(MainForm()->isVisible())
                       .arg(box->width() >= QFontMetrics(title).horizontalAdvance(box->windowTitle()) + 100);
            QTest::keyClick(box, Qt::Key_Return);
        });
        poll.start(20);
        QVERIFY(!MainForm()->close());
        QCOMPARE(seen, u"Да/Нет|warning 1, default No 1|shown 1|wide 1"_s);
    }

    // The executable, copied away with a station stored beside it and started from another
    // folder on a Russian desktop, shows the panel's start page with no tuning: the title
    // in dark letters, centred under the menu bar. Hidden by the tray menu's "Скрыть /
    // Показать", its "Выход" asks: Enter keeps it, shown and writing nothing; Yes ends it,
    // writing the station back beside the executable.
    void realProgram()
    {
        QTemporaryDir programDir;
        const QString exe = programDir.filePath(u"tolva"_s), elsewhere = programDir.filePath(u"elsewhere"_s);
        QVERIFY(QFile::copy(QStringLiteral(TOLVA_EXECUTABLE), exe) && QDir().mkdir(elsewhere));
        QFile ini(programDir.filePath(u"Tolva.ini"_s));
        const QByteArray stored = "[NomerRadio]\n3";  // read as 3, written otherwise
        QVERIFY(ini.open(QIODevice::WriteOnly) && ini.write(stored) && ini.flush());
        QProcess program;  // its destructor kills it should the test fail
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.setWorkingDirectory(elsewhere);
        qputenv("LANG", "ru_RU.UTF-8");  // for the program: a Russian desktop
        program.start(exe, {});
        const auto startPageShown = [] {
            const QRect place = programWindow(false);
            const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0, place.x(), place.y(), place.width(), 100).toImage();
            int left = shot.width(), right = -1, dark = 0;
            for (int y = 20; y < shot.height(); ++y)
                for (int x = 100; x < shot.width() - 100; ++x)
                    if (qGray(shot.pixel(x, y)) < 96)
                        ++dark, left = std::min(left, x), right = std::max(right, x);
            return place.width() > 600 && dark > 150 && std::abs((left + right) / 2 - place.width() / 2) <= 6;
        };
        // Polled against the clock and taken at the first sighting: QTRY counts its own steps
        // (each screen grab here takes real time) and asks once more after its loop.
        bool shown = false;
        for (QDeadlineTimer deadline(30000); !(shown = startPageShown()) && !deadline.hasExpired();)
            QTest::qWait(100);
        QVERIFY(shown);
        QTRY_VERIFY_WITH_TIMEOUT(!programWindow(true).isNull(), 20000);
        // Hide, Exit, Enter (No); hide, Exit, Tab and space (Yes). Menus open from the tray icon.
        for (const QString& keys : {u"Down Return"_s, u"Up Return"_s, u"Return"_s, u"Down Return"_s, u"Up Return"_s, u"Tab space"_s}) {
            QTest::qWait(500);
            QVERIFY(program.state() == QProcess::Running && fileText(ini.fileName()) == stored);  // nothing written yet
            if (keys.startsWith(u"Down") || keys.startsWith(u"Up"))  // a menu item
                QVERIFY(RealClicks::click(programWindow(true).center(), RealClicks::Right));
            QTest::qWait(500);
            QVERIFY(RealClicks::xdotool((u"key --delay 100 "_s + keys).split(u' ')));
        }
        QVERIFY(program.waitForFinished(10000));
        QVERIFY(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0);
        QCOMPARE(fileText(ini.fileName()), SettingsFile::Format(3));
        QVERIFY(QDir(elsewhere).isEmpty());
    }
};

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
