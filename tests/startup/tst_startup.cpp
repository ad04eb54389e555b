// The whole program on a real tray (run by with_tray_host.sh): start-up and
// shutdown with the real window and settings file; tuning end to end against
// servers on this machine; and the tolva executable itself.
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
#include "real_tray_clicks.h"
#include "settings_file.h"
#include "sound_server.h"
#include "station_numbers.h"
#include "stream_server.h"
#include "usrReklamaX.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kBestFm = u"/online/moskva_fm/best_fm_online.m3u"_s, kStream = u"/best"_s;
const QString kPlaying = u"Радиоприёмник Tolva - Играет: "_s;

QByteArray fileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("none");
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

// Answers the exit question once it is on screen, with Enter or Yes, and keeps what it looked like.
struct Answerer : QObject {
    QString seen;
    QTimer poll;
    Answerer(QWidget* form, bool yes)
    {
        connect(&poll, &QTimer::timeout, this, [=, this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll.stop();
            seen = u"%1|%2|icon %3|buttons %4|default %5|shown %6"_s.arg(box->windowTitle(), box->text())
                       .arg(box->icon()).arg(box->standardButtons().toInt())
                       .arg(box->standardButton(box->defaultButton())).arg(form->isVisible());
            yes ? box->button(QMessageBox::Yes)->click() : QTest::keyClick(box, Qt::Key_Return);
        });
        poll.start(20);
    }
};

}  // namespace

class TstStartup : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    SoundServer sound_;   // the desktop's output, up before any player
    StreamServer streams_;
    PageServer ads_;
    std::unique_ptr<AudioCapture> capture_;

    int adRequests() const { return int(ads_.requests().filter(QRegularExpression(u"^/reklama/"_s)).size()); }

    // Start-up as the program does it, then stations, panel and player pointed at this machine.
    frmForma* startLocal()
    {
        Main();
        LoadRadio(StreamHosts{streams_.host(), u"127.0.0.1:1"_s, u"127.0.0.1:1"_s});
        frmForma* form = MainForm();
        form->usrReklamaX1->setReklamaURL(ads_.url(u"/reklama/"_s).toString());
        return form;
    }

private Q_SLOTS:
    void initTestCase()
    {
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
            ads_.addPage(u"/reklama/%1.html"_s.arg(n), "<html><body>ad</body></html>");
    }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        SetProgramFolder(dir->path());
        NomerRadio = NomerSel = FormVisible = 0;
        TrayData = {};
    }

    void cleanup()
    {
        DestroyMainForm();
        capture_->reset();
        ads_.clearRequests();
    }

    // Start-up from what the folder holds, then a close request. Shown: ends
    // without a question, writing where it can. Hidden: the window comes back
    // and asks; No keeps everything and the next close, now shown, ends
    // without a question; Yes writes the current station.
    void startAndClose_data()
    {
        QTest::addColumn<int>("stored");  // -1: no settings file
        QTest::addColumn<QString>("problem");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("first run, no settings file") << -1 << QString() << false << false << SettingsFile::Format(0);
        // As root no permission keeps a file from being read; a folder is never a file.
        QTest::newRow("settings file is a folder") << -1 << "unreadable" << false << false << QByteArray("none");
        QTest::newRow("program folder missing") << -1 << "unwritable" << false << false << QByteArray("none");
        QTest::newRow("hidden, Enter answers No") << 3 << QString() << true << false << SettingsFile::Format(8);
        QTest::newRow("hidden, Yes") << 3 << QString() << true << true << SettingsFile::Format(8);
    }
    void startAndClose()
    {
        QFETCH(int, stored);
        QFETCH(QString, problem);
        QFETCH(bool, hidden);
        QFETCH(bool, yes);
        QFETCH(QByteArray, written);
        QFile ini(dir->filePath(u"Tolva.ini"_s));
        if (stored >= 0)
            QVERIFY(ini.open(QIODevice::WriteOnly) && ini.write(SettingsFile::Format(stored)) && ini.flush());
        ini.close();
        if (problem == u"unreadable")
            QVERIFY(QDir(dir->path()).mkdir(u"Tolva.ini"_s));
        if (problem == u"unwritable")
            SetProgramFolder(dir->filePath(u"not/there"_s));

        Main();
        frmForma* const form = MainForm();
        QVERIFY(form && form->isVisible());
        QCOMPARE(int(FormVisible), -1);
        QCOMPARE(QList<qint32>({NomerSel, NomerRadio}), QList<qint32>(2, qMax(stored, 0)));
        QCOMPARE(form->windowTitle(), ProgramTitle());  // nothing plays
        const QPointer<QSystemTrayIcon> icon = TrayData.icon;
        QVERIFY(icon && icon->isVisible());
        QCOMPARE(icon->toolTip(), u"Радиоприёмник Tolva"_s);
        if (hidden) {
            form->pMenuHideShow_Click();
            QVERIFY(!form->isVisible());
            NomerRadio = 8;  // as if station 8 had been tuned since
        }

        const QPointer<frmForma> alive(form);
        Answerer answerer(form, yes);
        QCOMPARE(form->close(), !hidden || yes);
        QCOMPARE(answerer.seen, !hidden ? QString()
                                        : u"Радиоприёмник Tolva|Закрыть программу?|icon %1|buttons %2|default %3|shown 1"_s
                                              .arg(QMessageBox::Warning)
                                              .arg((QMessageBox::Yes | QMessageBox::No).toInt())
                                              .arg(QMessageBox::No));
        if (hidden && !yes) {
            QVERIFY(form->isVisible());
            QCOMPARE(int(FormVisible), -1);
            QCOMPARE(fileText(ini.fileName()), SettingsFile::Format(3));
            QVERIFY(icon && icon->isVisible());
            Answerer second(form, false);
            QVERIFY(form->close());
            QVERIFY(second.seen.isEmpty());
        }
        QTRY_VERIFY(!alive);
        QVERIFY(!icon);
        QCOMPARE(fileText(SettingsFile::Path()), written);
        QCOMPARE(QFileInfo(ini).isDir(), problem == u"unreadable");
    }

    // The executable, copied away and started from another folder: "Выход" from
    // the tray menu, window shown, ends it at once, writing beside the executable.
    void programWritesBesideItself()
    {
        QTemporaryDir programDir;
        const QString exe = programDir.filePath(u"tolva"_s), elsewhere = programDir.filePath(u"elsewhere"_s);
        QVERIFY(QFile::copy(QStringLiteral(TOLVA_EXECUTABLE), exe) && QDir().mkdir(elsewhere));
        QProcess program;  // its destructor kills it should the test fail
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.setWorkingDirectory(elsewhere);
        program.start(exe, {});
        QTRY_VERIFY_WITH_TIMEOUT(!trayIcon().isNull(), 20000);
        QTest::qWait(500);
        QVERIFY(RealClicks::click(trayIcon(), RealClicks::Right));
        QTest::qWait(500);
        QVERIFY(RealClicks::xdotool(u"key --delay 100 Up Return"_s.split(u' ')));  // the last item, "Выход"
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(fileText(programDir.filePath(u"Tolva.ini"_s)), SettingsFile::Format(0));
        QVERIFY(QDir(elsewhere).isEmpty());
    }

    // Down and Enter tune Best FM; Enter again and the reconnect item connect anew, each with another ad.
    void tuneBestFm()
    {
        frmForma* const form = startLocal();
        QVERIFY(!form->pMenuReStart->isEnabled());
        QTest::keyClick(form->ListPicture, Qt::Key_Down);
        QCOMPARE(NomerSel, 1);
        QCOMPARE(streams_.requests(kBestFm), 0);  // moving the highlight plays nothing

        QTest::keyClick(form->ListPicture, Qt::Key_Return);
        QCOMPARE(form->windowTitle(), kPlaying + "Best FM");
        QCOMPARE(TrayData.icon->toolTip(), kPlaying + "Best FM");
        QCOMPARE(NomerRadio, 1);
        QVERIFY(form->pMenuReStart->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(streams_.requests(kBestFm) == 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(capture_->secondsHeard() > 1.0, 10000);
        QVERIFY(qAbs(capture_->frequency() - 440) < 22);
        QCOMPARE(form->WindowsMediaPlayer->engine().state(), PlaybackEngine::State::Playing);
        QTRY_COMPARE_WITH_TIMEOUT(adRequests(), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(streams_.openConnections(kStream), 1, 5000);

        const int streamRequests = streams_.requests(kStream);
        QTest::keyClick(form->ListPicture, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(streams_.requests(kBestFm), 2, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(streams_.requests(kStream) > streamRequests, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(streams_.openConnections(kStream), 1, 5000);  // the old one closed
        QTRY_COMPARE_WITH_TIMEOUT(adRequests(), 2, 10000);
        QCOMPARE(form->windowTitle(), kPlaying + "Best FM");
        form->pMenuReStart->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(streams_.requests(kBestFm), 3, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(adRequests(), 3, 10000);

        const QPointer<frmForma> alive(form);
        QVERIFY(form->close());  // shown: asks nothing, stores station 1
        QTRY_VERIFY(!alive);
        QCOMPARE(fileText(SettingsFile::Path()), SettingsFile::Format(1));
    }

    // Row 4 lives on a host where nothing listens; row 2's playlist is missing.
    void unreachableStationStillNamesItself()
    {
        frmForma* const form = startLocal();
        for (const int row : {4, 2}) {
            form->Add(0, 0);
            NomerSel = row;
            form->Add(1, 0);
            QTest::keyClick(form->ListPicture, Qt::Key_Return);
            QCOMPARE(form->windowTitle(), kPlaying + Radio().List(row, 1));
            QCOMPARE(TrayData.icon->toolTip(), kPlaying + Radio().List(row, 1));
            QCOMPARE(NomerRadio, row);
            // The player's own status line tells; the program asks nothing.
            QTRY_VERIFY_WITH_TIMEOUT(form->WindowsMediaPlayer->engine().state() == PlaybackEngine::State::Error
                                         || form->WindowsMediaPlayer->engine().state() == PlaybackEngine::State::Reconnecting,
                                     10000);
            QCOMPARE(QApplication::activeModalWidget(), nullptr);
        }
    }
};

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
