// The engine's face built with a module that is nowhere to be found: a play ends in a clear
// error, neither a crash nor a pretended play, and stopping clears it.
#include "PlaybackEngine.h"

#include <QSignalSpy>
#include <QTest>

class TestNoEngine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void playEndsInError()
    {
        PlaybackEngine engine;
        QSignalSpy states(&engine, &PlaybackEngine::stateChanged);
        engine.prepare();
        engine.setUrl(QStringLiteral("http://localhost/"));
        QCOMPARE(states.count(), 1);
        QCOMPARE(engine.problem(), PlaybackEngine::Problem::NoEngine);
        QCOMPARE(engine.statusText(), QStringLiteral("Ошибка: нет модуля воспроизведения"));
        engine.stop();
        QCOMPARE(engine.statusText(), QStringLiteral("Остановлено"));
        QCOMPARE(PlaybackEngine::abandonedSessions(), 0);
    }
};

QTEST_GUILESS_MAIN(TestNoEngine)
#include "tst_no_engine.moc"
