// The whole program on a real tray (run by with_tray_host.sh): start-up and
// closing with the real window and settings file, tuning against servers on
// this machine heard at a real sound server, and the tolva executable itself.
#include "LoadRadioM.h"
#include "MainM.h"
#include "MediaPlayer.h"
#include "PlaybackEngine.h"
#include "Tray.h"
#include "app_globals.h"
#include "audio_capture.h"
#include "clsRadio.h"
#include "frmForma.h"
#include "page_server.h"
#include "program_folder.h"
#include "qt_translations.h"
#include "real_tray_clicks.h"
#include "settings_file.h"
#include "sound_server.h"
#include "station_numbers.h"
#include "stream_server.h"
#include "usrReklamaX.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString kBestFm = u"/online/moskva_fm/best_fm_online.m3u"_s, kStream = u"/best"_s;

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

// Answers the exit question with Enter once it shows, and keeps what it looked like.
struct Answerer : QTimer {
    QString seen;
    Answerer()
    {
        connect(this, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !isActive())
                return;
            stop();
            // Room for the title as a window manager draws it: bold, larger, beside its buttons.
            QFont title = box->font();
            title.setBold(true);
            title.setPointSizeF(title.pointSizeF() * 1.25);
            seen = u"%1|%2|%3/%4|warning %5, Yes/No %6, default No %7|shown %8|wide %9"_s
                       .arg(box->windowTitle(), box->text(), box->button(QMessageBox::Yes)->text().remove(u'&'),
                            box->button(QMessageBox::No)->text().remove(u'&'))
                       .arg(box->icon() == QMessageBox::Warning)
                       .arg(box->standardButtons() == (QMessageBox::Yes | QMessageBox::No))
                       .arg(box->defaultButton() == box->button(QMessageBox::No)).arg(box->parentWidget()->isVisible())
                       .arg(box->width() >= QFontMetrics(title).horizontalAdvance(box->windowTitle()) + 100);
            QTest::keyClick(box, Qt::Key_Return);
        });
        start(20);
    }
};

}  // namespace

class TstStartup : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    SoundServer sound_;  // the desktop's output, up before any player
    StreamServer streams_;
    PageServer ads_;
    std::unique_ptr<AudioCapture> capture_;

    int adRequests() const { return int(ads_.requests().filter(QRegularExpression(u"^/reklama/"_s)).size()); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(LoadQtTranslations(QLocale(QLocale::Russian, QLocale::Russia)));  // as on a Russian desktop
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
        QVERIFY2(sound_.start(), qPrintable(sound_.log()));
        capture_ = std::make_unique<AudioCapture>();
        QTRY_VERIFY_WITH_TIMEOUT(capture_->isRecording(), 5000);
        QVERIFY(streams_.start() != 0);
        StreamServer::Stream tone;
        QFile mp3(QStringLiteral(TOLVA_TEST_DATA "/tone440.mp3"));
        QVERIFY(mp3.open(QIODevice::ReadOnly));
        tone.audio = mp3.readAll();
        tone.burstSeconds = 1;
        streams_.addStream(kStream, tone);
        streams_.addFile(kBestFm, ("#EXTM3U\n" + streams_.url(kStream) + "\n").toUtf8(), "audio/x-mpegurl");
        QVERIFY(ads_.start());
        for (int n = 0; n < 5; ++n)
            ads_.addPage(u"/reklama/%1.html"_s.arg(n), "ad");
    }

    void init()
    {
        QVERIFY(QDir(dir_.path()).removeRecursively() && QDir().mkpath(dir_.path()));
        SetProgramFolder(dir_.path());
        NomerRadio = NomerSel = FormVisible = 0;
    }

    void cleanup()
    {
        DestroyMainForm();
        capture_->reset();
        ads_.clearRequests();
    }

    // Start-up from what the folder holds: a first run, a settings file
    // that cannot be read, a stored station. A shown window closes without
    // a question, writing where it can.
    void startAndClose_data()
    {
        QTest::addColumn<int>("stored");  // -1: none; -2: the settings file is a folder (unreadable even for root)
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("first run") << -1 << SettingsFile::Format(0);
        QTest::newRow("settings file is a folder") << -2 << QByteArray("none");
        QTest::newRow("station 3 stored") << 3 << SettingsFile::Format(3);
    }
    void startAndClose()
    {
        QFETCH(int, stored);
        QFile ini(SettingsFile::Path());
        QVERIFY(stored == -1 || (stored < 0 ? QDir().mkdir(ini.fileName()) : ini.open(QIODevice::WriteOnly)
                                                  && ini.write(SettingsFile::Format(stored)) && ini.flush()));
        ini.close();
        Main();
        const QPointer<frmForma> form = MainForm();
        QVERIFY(form && form->isVisible());
        QCOMPARE(QList<qint32>({NomerSel, NomerRadio, FormVisible}), QList<qint32>({qMax(stored, 0), qMax(stored, 0), -1}));
        const QPointer<QSystemTrayIcon> icon = TrayData.icon;
        QVERIFY(icon && icon->isVisible());
        QCOMPARE(icon->toolTip(), ProgramTitle());
        Answerer answerer;
        QVERIFY(form->close());
        QTRY_VERIFY(!form);
        QVERIFY(!icon && answerer.seen.isEmpty());
        QTEST(fileText(ini.fileName()), "written");
        QCOMPARE(QFileInfo(ini).isDir(), stored == -2);
    }

    // Nothing plays at first. Down moves the highlight only; Enter tunes
    // Best FM, heard at the output; Enter again and the reconnect item
    // connect anew; each tuning shows another ad. A station whose host does
    // not answer names itself all the same. Closing the hidden window brings
    // it back and asks; Enter answers No and keeps everything; closed shown,
    // it ends and stores the station.
    void tuneAndClose()
    {
        Main();
        LoadRadio(StreamHosts{streams_.host(), u"127.0.0.1:1"_s, u"127.0.0.1:1"_s});
        const QPointer<frmForma> form = MainForm();
        form->usrReklamaX1->setReklamaURL(ads_.url(u"/reklama/"_s).toString());
        const auto shows = [&form](const QString& station) {
            const QString title = ProgramTitle() + (station.isEmpty() ? QString() : u" - Играет: "_s + station);
            return form->windowTitle() == title && TrayData.icon->toolTip() == title;
        };
        QVERIFY(shows({}) && !form->pMenuReStart->isEnabled());
        QTest::keyClick(form->ListPicture, Qt::Key_Down);
        QCOMPARE(streams_.requests(kBestFm), 0);

        for (int tunings = 1; tunings <= 3; ++tunings) {
            const int streamRequests = streams_.requests(kStream);
            tunings < 3 ? QTest::keyClick(form->ListPicture, Qt::Key_Return) : form->pMenuReStart->trigger();
            QVERIFY(shows(u"Best FM"_s) && form->pMenuReStart->isEnabled());
            QTRY_COMPARE_WITH_TIMEOUT(streams_.requests(kBestFm), tunings, 5000);
            QTRY_VERIFY_WITH_TIMEOUT(streams_.requests(kStream) > streamRequests, 5000);
            QTRY_COMPARE_WITH_TIMEOUT(streams_.openConnections(kStream), 1, 5000);  // any old one closed
            QTRY_COMPARE_WITH_TIMEOUT(adRequests(), tunings, 10000);
            if (tunings == 1) {
                QTRY_VERIFY_WITH_TIMEOUT(capture_->secondsHeard() > 1.0, 10000);
                QVERIFY(qAbs(capture_->frequency() - 440) < 22);
            }
        }

        for (const auto key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return})
            QTest::keyClick(form->ListPicture, key);
        QVERIFY(shows(Radio().List(4, 1)));
        QTRY_VERIFY_WITH_TIMEOUT(form->WindowsMediaPlayer->engine().state() != PlaybackEngine::State::Playing, 10000);
        QTest::qWait(500);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);

        form->pMenuHideShow_Click();
        QVERIFY(!form->isVisible());
        Answerer answerer;
        QVERIFY(!form->close());
        QCOMPARE(answerer.seen, u"Радиоприёмник Tolva|Закрыть программу?|Да/Нет|warning 1, Yes/No 1, default No 1|shown 1|wide 1"_s);
        QVERIFY(form->isVisible() && TrayData.icon->isVisible());
        QCOMPARE(fileText(SettingsFile::Path()), "none");
        Answerer second;
        QVERIFY(form->close() && second.seen.isEmpty());
        QTRY_VERIFY(!form);
        QCOMPARE(fileText(SettingsFile::Path()), SettingsFile::Format(4));
    }

    // The executable, copied away and started from another folder on a
    // Russian desktop, shows the panel's start page with no tuning: the title
    // in dark letters, centred under the menu bar. Hidden by the tray menu's
    // "Скрыть / Показать", its "Выход" asks, and Yes ends it; it writes
    // beside the executable.
    void realProgram()
    {
        QTemporaryDir programDir;
        const QString exe = programDir.filePath(u"tolva"_s), elsewhere = programDir.filePath(u"elsewhere"_s);
        QVERIFY(QFile::copy(QStringLiteral(TOLVA_EXECUTABLE), exe) && QDir().mkdir(elsewhere));
        QProcess program;  // its destructor kills it should the test fail
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.setWorkingDirectory(elsewhere);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"LANG"_s, u"ru_RU.UTF-8"_s);
        program.setProcessEnvironment(env);
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
        for (const QString& keys : {u"Down Return"_s, u"Up Return"_s, u"Tab space"_s}) {
            QTest::qWait(500);
            if (keys != u"Tab space")  // the last answers the question
                QVERIFY(RealClicks::click(programWindow(true).center(), RealClicks::Right));
            QTest::qWait(500);
            QVERIFY(RealClicks::xdotool((u"key --delay 100 "_s + keys).split(u' ')));
        }
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(fileText(programDir.filePath(u"Tolva.ini"_s)), SettingsFile::Format(0));
        QVERIFY(QDir(elsewhere).isEmpty());
    }
};

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
