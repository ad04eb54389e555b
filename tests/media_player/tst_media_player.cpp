// The control bar as a view of the engine: its controls reach the engine, and what a server
// sends is shown as text, also in the tooltip.
#include "MediaPlayer.h"
#include "PlaybackEngine.h"
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
    SoundServer sound;

private Q_SLOTS:
    void initTestCase() { QVERIFY2(sound.start(), qPrintable(sound.log())); }

    void controlsReachTheEngine()
    {
        MediaPlayer player;
        QCOMPARE(player.engine().state(), PlaybackEngine::State::Stopped);
        QCOMPARE(player.statusLine(), QStringLiteral("Остановлено"));
        auto* slider = player.findChild<QSlider*>(QStringLiteral("volume"));
        auto* mute = player.findChild<QToolButton*>(QStringLiteral("mute"));
        QVERIFY(slider && mute);
        slider->setValue(35);
        QCOMPARE(player.engine().volume(), 35);
        mute->click();
        QVERIFY(player.engine().isMuted());
        player.engine().setVolume(250);
        QCOMPARE(slider->value(), 100);
    }

    void serverTextStaysText()
    {
        StreamServer server;
        QVERIFY(server.start());
        QFile mp3(QStringLiteral(TOLVA_TEST_DATA "/tone440.mp3"));
        QVERIFY(mp3.open(QIODevice::ReadOnly));
        const QByteArray title = "<b>Hit</b> & <img src=x>";
        server.addStream(QStringLiteral("/icy"), {.audio = mp3.readAll(), .icyTitle = title});
        MediaPlayer player;
        player.setURL(server.url(QStringLiteral("/icy")));
        auto* status = player.findChild<QLabel*>(QStringLiteral("status"));
        QVERIFY(status);
        QTRY_VERIFY_WITH_TIMEOUT(status->text().contains(QLatin1String(title)), 10000);
        QCOMPARE(status->textFormat(), Qt::PlainText);
        // What Qt's tooltip would show: markup when it looks like some.
        const QString tip = status->toolTip();
        QTextDocument shown;
        if (Qt::mightBeRichText(tip))
            shown.setHtml(tip);
        else
            shown.setPlainText(tip);
        QVERIFY2(shown.toPlainText().contains(QLatin1String(title)), qPrintable(tip));
    }
};

QTEST_MAIN(TestMediaPlayer)
#include "tst_media_player.moc"
