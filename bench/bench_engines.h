#pragma once

#include "audio_capture.h"

#include <QString>

#include <memory>

// One engine under measurement; its decoded audio lands in capture.
class BenchEngine {
public:
    virtual ~BenchEngine() = default;
    virtual QString name() const = 0;
    virtual void play(const QString& url) = 0;
    virtual void stop() = 0;
    AudioCapture capture;
};

std::unique_ptr<BenchEngine> makeOurPlayer();
std::unique_ptr<BenchEngine> makeDefaultPlaybin();   // follows no playlists: give it the stream
std::unique_ptr<BenchEngine> makeVlcListPlayer();    // VLC's defaults, media-list player
