#pragma once

#include "PlaybackEngine.h"

#include <QString>

// The control bar's status line in words, as the listener reads it.
QString statusText(PlaybackEngine::State state, PlaybackEngine::Problem problem, int bufferingPercent,
                   int reconnectDelaySeconds, const QString& nowPlaying);
