#pragma once

#include "PlaybackEngine.h"

#include <QString>
#include <QtPlugin>

#include <functional>
#include <memory>

// The engine proper, which lives in a module of its own (loaded once the window is on screen),
// so that starting the program does not wait for the dynamic loader to bring in GStreamer and
// Qt Network. PlaybackEngine is its face: the calls and values are the same as there.
class EngineCore {
public:
    using State = PlaybackEngine::State;
    using Problem = PlaybackEngine::Problem;

    // What the engine tells its face, each once the value has changed; on the UI thread.
    struct Events {
        std::function<void(State)> stateChanged;
        std::function<void(int)> bufferingChanged;
        std::function<void(const QString&)> nowPlayingChanged;
        std::function<void(const QString&)> statusTextChanged;
        std::function<void(int)> volumeChanged;
        std::function<void(bool)> mutedChanged;
    };
    // What the face was told before the engine came.
    struct Settings {
        int volume = 100;
        bool muted = false;
        int networkTimeoutMs = 10000;
        std::function<GstElement*()> audioSinkFactory;
    };

    virtual ~EngineCore() = default;

    virtual void prepare() = 0;
    virtual void setUrl(const QString& url) = 0;
    virtual void play() = 0;
    virtual void stop() = 0;
    virtual void retryNow() = 0;
    virtual void setVolume(int volume) = 0;
    virtual void setMuted(bool muted) = 0;
    virtual void setAudioSinkFactory(std::function<GstElement*()> factory) = 0;
    virtual void setNetworkTimeout(int ms) = 0;

    virtual State state() const = 0;
    virtual Problem problem() const = 0;
    virtual QString nowPlaying() const = 0;
    virtual int bufferingPercent() const = 0;
    virtual int reconnectDelaySeconds() const = 0;
    virtual QString statusText() const = 0;
    virtual int volume() const = 0;
    virtual bool isMuted() const = 0;
};

class EngineCoreFactory {
public:
    virtual ~EngineCoreFactory() = default;
    virtual std::unique_ptr<EngineCore> create(EngineCore::Settings settings, EngineCore::Events events) = 0;
    // Sessions of every engine dropped whose thread has not ended yet.
    virtual int abandonedSessions() const = 0;
};

#define EngineCoreFactory_iid "Tolva.EngineCoreFactory/1"
Q_DECLARE_INTERFACE(EngineCoreFactory, EngineCoreFactory_iid)
