#include "LoadRadioM.h"
#include "MediaPlayer.h"
#include "SaveINIm.h"
#include "Tray.h"
#include "app_globals.h"
#include "audio_capture.h"
#include "clsRadio.h"
#include "frmForma.h"
#include "page_server.h"
#include "program_folder.h"
#include "station_numbers.h"
#include "stream_server.h"
#include "usrReklamaX.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString kBestFm = QStringLiteral("/online/moskva_fm/best_fm_online.m3u");
const QString kPlaying = QStringLiteral("Радиоприёмник Tolva - Играет: ");

QByteArray sample(const char* name)
{
    QFile f(QStringLiteral(TOLVA_TEST_DATA "/") + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing sample %s", name);
    return f.readAll();
}

int adRequests(const PageServer& ads)
{
    int n = 0;
    for (const QString& path : ads.requests())
        n += path.startsWith(QStringLiteral("/reklama/")) ? 1 : 0;
    return n;
}

}  // namespace

// The main window as start-up leaves it, with the stations, the panel and the
// player pointed at servers on this machine and decoded audio captured.
class TestTuning : public QObject {
    Q_OBJECT

    StreamServer streams_;
    PageServer ads_;
    QTemporaryDir folder_;
    AudioCapture capture_;
    std::unique_ptr<frmForma> form_;

    void buildWindow(qint32 saved)
    {
        NomerRadio = saved;
        form_ = std::make_unique<frmForma>();
        form_->usrReklamaX1->setReklamaURL(ads_.url(QStringLiteral("/reklama/")).toString());
        form_->WindowsMediaPlayer->setAudioSinkFactory([this] { return capture_.makeSink(); });
        form_->setExitRoutine([this] { return SaveINI(*form_); });
        form_->show();
        form_->ShowRadio();
        TrayAdd(*form_->picIcon, *form_->pMenu, ProgramTitle());
        FormVisible = -1;
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(folder_.isValid());
        SetProgramFolder(folder_.path());
        QVERIFY(streams_.start() != 0);
        StreamServer::Stream tone;
        tone.audio = sample("tone440.mp3");
        tone.burstSeconds = 1;
        streams_.addStream(QStringLiteral("/best"), tone);
        streams_.addFile(kBestFm, (QStringLiteral("#EXTM3U\n") + streams_.url(QStringLiteral("/best")) + "\n").toUtf8(),
                         "audio/x-mpegurl");
        // Every other station's playlist is missing: a 404 from a live server.
        QVERIFY(ads_.start());
        for (int n = 0; n < 5; ++n)
            ads_.addPage(QStringLiteral("/reklama/%1.html").arg(n), "<html><body>ad</body></html>");
        LoadRadio(StreamHosts{streams_.host(), QStringLiteral("127.0.0.1:1"), QStringLiteral("127.0.0.1:1")});
    }

    void cleanup()
    {
        if (form_)
            form_->setExitRoutine({});
        TrayDelete();
        form_.reset();
        QFile::remove(folder_.filePath("Tolva.ini"));
        capture_.reset();
        ads_.clearRequests();
    }

    void downThenEnterPlaysBestFm()
    {
        buildWindow(0);
        QVERIFY(TrayData.icon);  // the test runs beside a real tray
        QCOMPARE(form_->windowTitle(), ProgramTitle());
        QCOMPARE(form_->WindowsMediaPlayer->URL(), QString());
        QVERIFY(!form_->pMenuReStart->isEnabled());

        QTest::keyClick(form_->ListPicture, Qt::Key_Down);
        QCOMPARE(NomerSel, 1);
        QCOMPARE(NomerRadio, 0);  // moving the highlight plays nothing
        QCOMPARE(streams_.requests(kBestFm), 0);

        QTest::keyClick(form_->ListPicture, Qt::Key_Return);
        QCOMPARE(form_->windowTitle(), kPlaying + "Best FM");
        QCOMPARE(TrayData.icon->toolTip(), kPlaying + "Best FM");
        QCOMPARE(NomerRadio, 1);
        QVERIFY(form_->pMenuReStart->isEnabled());

        QTRY_VERIFY_WITH_TIMEOUT(streams_.requests(kBestFm) == 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(capture_.secondsReceived() > 1.0, 10000);
        QVERIFY(qAbs(capture_.frequency() - 440) < 22);
        QCOMPARE(form_->WindowsMediaPlayer->state(), MediaPlayer::State::Playing);
        QTRY_COMPARE_WITH_TIMEOUT(adRequests(ads_), 1, 10000);

        // Closing the shown window asks nothing and stores station 1.
        QVERIFY(form_->close());
        QFile ini(folder_.filePath("Tolva.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), QByteArray("[NomerRadio]\r\n 1 \r\n"));
        QVERIFY(!TrayData.icon || !TrayData.icon->isVisible());
    }

    void enterAgainConnectsAnewWithAnotherAdvertisement()
    {
        buildWindow(1);
        QTest::keyClick(form_->ListPicture, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(streams_.openConnections(QStringLiteral("/best")) == 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(adRequests(ads_), 1, 10000);
        const int playlistRequests = streams_.requests(kBestFm);
        const int streamRequests = streams_.requests(QStringLiteral("/best"));

        QTest::keyClick(form_->ListPicture, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(streams_.requests(kBestFm), playlistRequests + 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(streams_.requests(QStringLiteral("/best")) > streamRequests, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(streams_.openConnections(QStringLiteral("/best")), 1, 5000);  // the old one closed
        QTRY_COMPARE_WITH_TIMEOUT(adRequests(ads_), 2, 10000);
        QCOMPARE(form_->windowTitle(), kPlaying + "Best FM");
        QCOMPARE(NomerRadio, 1);

        // The tray's reconnect item does the same.
        const int beforeRestart = streams_.requests(kBestFm);
        form_->pMenuReStart->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(streams_.requests(kBestFm), beforeRestart + 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(adRequests(ads_), 3, 10000);
    }

    void unreachableStationStillNamesItself()
    {
        buildWindow(0);
        // Row 4 lives on a host where nothing listens; row 2's playlist is missing.
        for (const int row : {4, 2}) {
            form_->Add(0, 0);
            NomerSel = row;
            form_->Add(1, 0);
            QTest::keyClick(form_->ListPicture, Qt::Key_Return);
            QCOMPARE(form_->windowTitle(), kPlaying + Radio().List(row, 1));
            QCOMPARE(TrayData.icon->toolTip(), kPlaying + Radio().List(row, 1));
            QCOMPARE(NomerRadio, row);
            // The player's own status line tells; the program asks nothing.
            QTRY_VERIFY_WITH_TIMEOUT(form_->WindowsMediaPlayer->state() == MediaPlayer::State::Error
                                         || form_->WindowsMediaPlayer->state() == MediaPlayer::State::Reconnecting,
                                     10000);
            QCOMPARE(QApplication::activeModalWidget(), nullptr);
        }
        // The user's remedy: tune a working station.
        form_->Add(0, 0);
        NomerSel = 1;
        form_->Add(1, 0);
        QTest::mouseDClick(form_->ListPicture, Qt::LeftButton, {}, QPoint(50, 18 * 1 + 5));
        QTRY_VERIFY_WITH_TIMEOUT(capture_.secondsReceived() > 0.5, 10000);
        QCOMPARE(NomerRadio, 1);
    }

    void startupDoesNotPlay()
    {
        buildWindow(1);
        QTest::qWait(500);
        QCOMPARE(form_->WindowsMediaPlayer->URL(), QString());
        QCOMPARE(form_->WindowsMediaPlayer->state(), MediaPlayer::State::Stopped);
        QCOMPARE(capture_.secondsReceived(), 0.0);
        QCOMPARE(TrayData.icon->toolTip(), ProgramTitle());
        QCOMPARE(NomerSel, 1);
    }
};

QTEST_MAIN(TestTuning)
#include "tst_tuning.moc"
