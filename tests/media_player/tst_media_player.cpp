// The control bar as a view of the engine (what it plays is tst_player's): its icons, its volume
// and mute heard at the real output, it follows the engine, and what a server sends is shown as
// text, also in the tooltip.
#include "MediaPlayer.h"
#include "PlaybackEngine.h"
#include "audio_capture.h"
#include "sound_server.h"
#include "stream_server.h"

#include <QFile>
#include <QLabel>
#include <QSlider>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>

class TestMediaPlayer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void viewOfTheEngine()
    {
        SoundServer sound;
        StreamServer server;
        QVERIFY2(sound.start(), qPrintable(sound.log()));
        QVERIFY(server.start());
        QFile mp3(QStringLiteral(TOLVA_TEST_DATA "/tone440.mp3"));
        QVERIFY(mp3.open(QIODevice::ReadOnly));
        const QByteArray title = "<b>Hit</b> & <img src=x>";
        server.addStream(QStringLiteral("/icy"), {.audio = mp3.readAll(), .icyTitle = title});
        AudioCapture heard;
        QTRY_VERIFY_WITH_TIMEOUT(heard.isRecording(), 5000);

        MediaPlayer player;
        auto* slider = player.findChild<QSlider*>(QStringLiteral("volume"));
        auto* mute = player.findChild<QToolButton*>(QStringLiteral("mute"));
        auto* status = player.findChild<QLabel*>(QStringLiteral("status"));
        auto* playStop = player.findChild<QToolButton*>(QStringLiteral("playStop"));
        QVERIFY(slider && mute && status && playStop);
        player.show();  // the icons follow the first frame; the buttons stay where they were drawn
        const QRect places[] = {playStop->geometry(), mute->geometry()};
        QTRY_VERIFY(!playStop->icon().isNull() && !mute->icon().isNull());
        QVERIFY(playStop->geometry() == places[0] && mute->geometry() == places[1]);
        slider->setValue(25);   // before the engine is loaded: kept for it
        player.setURL(server.url(QStringLiteral("/icy")));
        QTRY_VERIFY_WITH_TIMEOUT(heard.secondsHeard() > 1.0, 10000);
        const double quarter = heard.level();
        slider->setValue(100);
        QTest::qWait(900);
        const double full = heard.level();
        QVERIFY2(qAbs(quarter / full - 0.25) < 0.05, qPrintable(QString::number(quarter / full)));
        slider->setValue(25);
        for (const bool muted : {false, true, false}) {
            if (mute->isChecked() != muted)
                mute->click();
            QTest::qWait(900);
            const double level = heard.level() / full;
            QVERIFY2(muted ? level < 0.003 : qAbs(level - 0.25) < 0.05, qPrintable(QString::number(level)));
        }
        player.engine().setVolume(250);
        QCOMPARE(slider->value(), 100);

        QVERIFY(status->text().contains(QLatin1String(title)));
        QCOMPARE(status->textFormat(), Qt::PlainText);
        // As Qt's tooltip shows it: the title's tags would make even plain text count as markup.
        QTextDocument shown;
        shown.setHtml(status->toolTip());
        QVERIFY2(shown.toPlainText().contains(QLatin1String(title)), qPrintable(status->toolTip()));
    }
};

QTEST_MAIN(TestMediaPlayer)
#include "tst_media_player.moc"
