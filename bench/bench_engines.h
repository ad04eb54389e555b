#pragma once

#include <QString>

#include <memory>

// One engine under measurement, playing to the desktop's output as it would for a user.
class BenchEngine {
public:
    virtual ~BenchEngine() = default;
    virtual void play(const QString& url) = 0;
    virtual void stop() = 0;
};

std::unique_ptr<BenchEngine> makeOurPlayer();
std::unique_ptr<BenchEngine> makeDefaultPlaybin();   // follows no playlists: give it the stream
std::unique_ptr<BenchEngine> makeVlcListPlayer();    // VLC's defaults, media-list player
