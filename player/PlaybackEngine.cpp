#include "PlaybackEngine.h"

#include "engine_core.h"
#include "module_loader.h"
#include "status_text.h"

#include <algorithm>
#include <optional>

namespace {

EngineCoreFactory* LoadEngineModule()
{
    return LoadModule<EngineCoreFactory>(QStringLiteral(TOLVA_ENGINE_FILE), QStringLiteral(TOLVA_ENGINE_BUILT),
                                         "playback engine");
}

// Loaded once per process, and never unloaded.
std::optional<EngineCoreFactory*>& Module()
{
    static std::optional<EngineCoreFactory*> module;
    return module;
}

} // namespace

PlaybackEngine::PlaybackEngine(QObject* parent)
    : QObject(parent), statusText_(::statusText(state_, problem_, 0, 0, {}))
{
}

PlaybackEngine::~PlaybackEngine() = default;

EngineCore* PlaybackEngine::core()
{
    if (core_)
        return core_.get();
    std::optional<EngineCoreFactory*>& module = Module();
    if (!module)
        module = LoadEngineModule();
    if (!*module)
        return nullptr;
    EngineCore::Events events;
    events.stateChanged = [this](State state) { Q_EMIT stateChanged(state); };
    events.bufferingChanged = [this](int percent) { Q_EMIT bufferingChanged(percent); };
    events.nowPlayingChanged = [this](const QString& title) { Q_EMIT nowPlayingChanged(title); };
    events.statusTextChanged = [this](const QString& text) { Q_EMIT statusTextChanged(text); };
    events.volumeChanged = [this](int volume) { Q_EMIT volumeChanged(volume); };
    events.mutedChanged = [this](bool muted) { Q_EMIT mutedChanged(muted); };
    core_ = (*module)->create({volume_, muted_, timeoutMs_, std::move(sinkFactory_)}, std::move(events));
    return core_.get();
}

void PlaybackEngine::prepare()
{
    if (EngineCore* const engine = core())
        engine->prepare();
}

void PlaybackEngine::setUrl(const QString& url)
{
    url_ = url;
    if (url.isEmpty() && !core_)
        setIdle(State::Stopped, Problem::None);
    else if (EngineCore* const engine = core())
        engine->setUrl(url);
    else
        setIdle(State::Error, Problem::NoEngine);
}

void PlaybackEngine::play()
{
    if (url_.isEmpty())
        return;
    if (EngineCore* const engine = core())
        engine->play();
    else
        setIdle(State::Error, Problem::NoEngine);
}

void PlaybackEngine::stop()
{
    if (core_)
        core_->stop();
    else
        setIdle(State::Stopped, Problem::None);
}

void PlaybackEngine::retryNow()
{
    if (core_)
        core_->retryNow();
}

PlaybackEngine::State PlaybackEngine::state() const
{
    return core_ ? core_->state() : state_;
}

PlaybackEngine::Problem PlaybackEngine::problem() const
{
    return core_ ? core_->problem() : problem_;
}

QString PlaybackEngine::nowPlaying() const
{
    return core_ ? core_->nowPlaying() : QString();
}

int PlaybackEngine::bufferingPercent() const
{
    return core_ ? core_->bufferingPercent() : 0;
}

int PlaybackEngine::reconnectDelaySeconds() const
{
    return core_ ? core_->reconnectDelaySeconds() : 0;
}

QString PlaybackEngine::statusText() const
{
    return core_ ? core_->statusText() : statusText_;
}

int PlaybackEngine::volume() const
{
    return core_ ? core_->volume() : volume_;
}

bool PlaybackEngine::isMuted() const
{
    return core_ ? core_->isMuted() : muted_;
}

void PlaybackEngine::setVolume(int volume)
{
    if (core_) {
        core_->setVolume(volume);
        return;
    }
    volume = std::clamp(volume, 0, 100);
    if (volume_ == volume)
        return;
    volume_ = volume;
    Q_EMIT volumeChanged(volume_);
}

void PlaybackEngine::setMuted(bool muted)
{
    if (core_) {
        core_->setMuted(muted);
        return;
    }
    if (muted_ == muted)
        return;
    muted_ = muted;
    Q_EMIT mutedChanged(muted_);
}

int PlaybackEngine::abandonedSessions()
{
    const std::optional<EngineCoreFactory*>& module = Module();
    return module && *module ? (*module)->abandonedSessions() : 0;
}

void PlaybackEngine::setAudioSinkFactory(std::function<GstElement*()> factory)
{
    if (core_)
        core_->setAudioSinkFactory(std::move(factory));
    else
        sinkFactory_ = std::move(factory);
}

void PlaybackEngine::setNetworkTimeout(int ms)
{
    if (core_)
        core_->setNetworkTimeout(ms);
    else
        timeoutMs_ = ms;
}

// Without the engine: stopped, or the error that says it is missing.
void PlaybackEngine::setIdle(State state, Problem problem)
{
    problem_ = problem;
    if (state_ != state) {
        state_ = state;
        Q_EMIT stateChanged(state);
    }
    const QString text = ::statusText(state_, problem_, 0, 0, {});
    if (text == statusText_)
        return;
    statusText_ = text;
    Q_EMIT statusTextChanged(text);
}
