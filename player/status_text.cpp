#include "status_text.h"

#include <algorithm>

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
        if (plainServerText(nowPlaying).isEmpty())
            return QStringLiteral("Воспроизведение");
        return QStringLiteral("Воспроизведение: %1").arg(plainServerText(nowPlaying));
    case State::Reconnecting:
        if (reconnectDelaySeconds > 0)
            return QStringLiteral("Повторное подключение через %1 с…").arg(reconnectDelaySeconds);
        return QStringLiteral("Повторное подключение…");
    case State::Error:
        if (problem == PlaybackEngine::Problem::BadAddress)
            return QStringLiteral("Ошибка: неверный адрес");
        if (problem == PlaybackEngine::Problem::NoAudioOutput)
            return QStringLiteral("Ошибка: нет вывода звука");
        if (problem == PlaybackEngine::Problem::NoEngine)
            return QStringLiteral("Ошибка: нет модуля воспроизведения");
        if (problem == PlaybackEngine::Problem::BadPlaylist)
            return QStringLiteral("Ошибка: неверный список воспроизведения");
        return QStringLiteral("Ошибка: поток недоступен");
    }
    return {};
}

QString plainServerText(const QString& text)
{
    QString line;
    line.reserve(std::min(text.size(), MaxServerTextLength));
    bool blank = false;
    bool cut = false;
    for (const QChar c : text) {
        const QChar::Category category = c.category();
        if (c.isSpace() || category == QChar::Other_Control || category == QChar::Separator_Line
            || category == QChar::Separator_Paragraph) {
            blank = !line.isEmpty();
            continue;
        }
        if (line.size() + (blank ? 2 : 1) > MaxServerTextLength) {
            cut = true;
            break;
        }
        if (blank)
            line += QLatin1Char(' ');
        blank = false;
        line += c;
    }
    if (cut) {
        // Whole characters only: a surrogate pair stays together or goes.
        line.truncate(MaxServerTextLength - 1);
        if (line.back().isHighSurrogate())
            line.chop(1);
        line += QChar(0x2026);
    }
    return line;
}
