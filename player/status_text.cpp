#include "status_text.h"

QString statusText(PlaybackEngine::State state, PlaybackEngine::Problem problem, int bufferingPercent,
                   int reconnectDelaySeconds, const QString& nowPlaying)
{
    using State = PlaybackEngine::State;
    switch (state) {
    case State::Stopped:
        return QStringLiteral("Остановлено");
    case State::Connecting:
        return QStringLiteral("Подключение…");
    case State::Buffering:
        return QStringLiteral("Буферизация %1%").arg(bufferingPercent);
    case State::Playing:
        if (nowPlaying.isEmpty())
            return QStringLiteral("Воспроизведение");
        return QStringLiteral("Воспроизведение: %1").arg(nowPlaying);
    case State::Reconnecting:
        if (reconnectDelaySeconds > 0)
            return QStringLiteral("Повторное подключение через %1 с…").arg(reconnectDelaySeconds);
        return QStringLiteral("Повторное подключение…");
    case State::Error:
        if (problem == PlaybackEngine::Problem::BadAddress)
            return QStringLiteral("Ошибка: неверный адрес");
        if (problem == PlaybackEngine::Problem::NoAudioOutput)
            return QStringLiteral("Ошибка: нет вывода звука");
        if (problem == PlaybackEngine::Problem::BadPlaylist)
            return QStringLiteral("Ошибка: неверный список воспроизведения");
        return QStringLiteral("Ошибка: поток недоступен");
    }
    return {};
}
