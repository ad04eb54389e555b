#pragma once

#include "PlaybackEngine.h"

#include <QString>

// The control bar's status line in words, as the listener reads it.
QString statusText(PlaybackEngine::State state, PlaybackEngine::Problem problem, int bufferingPercent,
                   int reconnectDelaySeconds, const QString& nowPlaying);

// Text a server sent (a stream title) as one line of plain text: line breaks and control
// characters become spaces, runs of blanks one space, and it is cut to a status line's length.
QString plainServerText(const QString& text);
inline constexpr qsizetype MaxServerTextLength = 256;
