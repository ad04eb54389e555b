#include "PlaybackEngine.h"

#include "StreamSession.h"

#include <gst/gst.h>

namespace {

constexpr int MaxPlaylistDepth = 4;
constexpr int MaxReconnectDelaySeconds = 30;
// A stream that played this long before it dropped starts its retries from the shortest delay;
// one that keeps dropping at once keeps the growing delay.
constexpr qint64 SteadyPlayMs = 10000;
// The output counts as dry once it has had nothing for this long.
constexpr qint64 DryAfterMs = 120;
// With the type given, the first audio comes within a few frames; a server that names the
// wrong type gets no sound at all, so after this long the decoder chain is left to find out.
constexpr int TypeHintTrustMs = 2000;
// Cushion to rebuild after the n-th underrun: a link that stalls again and again is heard
// to stall once, because each wait leaves more in reserve.
constexpr int RebufferTargetsMs[] = {1000, 2000, 4000, 8000};

QString toGstUri(const QUrl& url)
{
    QUrl u = url;
    // Windows Media playlists name mms:// addresses that their servers also speak over HTTP.
    if (u.scheme() == QLatin1String("mms") || u.scheme() == QLatin1String("mmsh"))
        u.setScheme(QStringLiteral("http"));
    return QString::fromUtf8(u.toEncoded());
}

} // namespace

PlaybackEngine::PlaybackEngine(QObject* parent)
    : QObject(parent), fetcher_(new PlaylistFetcher(this))
{
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);
    connect(fetcher_, &PlaylistFetcher::stream, this, &PlaybackEngine::onStream);
    connect(fetcher_, &PlaylistFetcher::playlist, this, &PlaybackEngine::onPlaylist);
    connect(fetcher_, &PlaylistFetcher::failed, this, &PlaybackEngine::onFetchFailed);

    reconnectTimer_.setSingleShot(true);
    connect(&reconnectTimer_, &QTimer::timeout, this, &PlaybackEngine::open);
    outputWatch_.setInterval(50);
    connect(&outputWatch_, &QTimer::timeout, this, &PlaybackEngine::checkOutput);
    hintWatch_.setSingleShot(true);
    hintWatch_.setInterval(TypeHintTrustMs);
    connect(&hintWatch_, &QTimer::timeout, this, &PlaybackEngine::dropTypeHint);
    rebufferTimer_.setInterval(100);
    connect(&rebufferTimer_, &QTimer::timeout, this, &PlaybackEngine::onRebufferTick);
}

PlaybackEngine::~PlaybackEngine() = default;

void PlaybackEngine::setUrl(const QString& url)
{
    url_ = url;
    if (url.isEmpty()) {
        stop();
        return;
    }
    play();
}

void PlaybackEngine::play()
{
    if (url_.isEmpty())
        return;
    stop();
    attempt_ = 0;
    underruns_ = 0;
    playingSince_.invalidate();
    open();
}

void PlaybackEngine::stop()
{
    reconnectTimer_.stop();
    fetcher_->cancel();
    dropSession();
    pending_.clear();
    problem_ = Problem::None;
    setNowPlaying({});
    setState(State::Stopped);
}

void PlaybackEngine::setVolume(int volume)
{
    volume_ = std::clamp(volume, 0, 100);
    if (session_)
        session_->setVolume(volume_ / 100.0);
}

void PlaybackEngine::setMuted(bool muted)
{
    muted_ = muted;
    if (session_)
        session_->setMuted(muted_);
}

void PlaybackEngine::setAudioSinkFactory(std::function<GstElement*()> factory)
{
    sinkFactory_ = std::move(factory);
}

void PlaybackEngine::setNetworkTimeout(int ms)
{
    timeoutMs_ = std::max(100, ms);
    fetcher_->setTimeout(timeoutMs_);
}

void PlaybackEngine::open()
{
    dropSession();
    pending_.clear();
    visited_.clear();
    anyTransient_ = false;
    anyBadPlaylist_ = false;
    anyGone_ = false;
    everPlayed_ = false;
    problem_ = Problem::None;
    const QUrl url = QUrl::fromUserInput(url_);
    if (!url.isValid() || url.host().isEmpty()) {
        problem_ = Problem::BadAddress;
        setState(State::Error);
        return;
    }
    pending_.push_back({url, 0});
    setState(attempt_ > 0 ? State::Reconnecting : State::Connecting);
    tryNext();
}

void PlaybackEngine::tryNext()
{
    dropSession();
    while (!pending_.empty()) {
        current_ = pending_.front();
        pending_.pop_front();
        // A list that names itself, or lists nested too deep, end instead of looping.
        if (current_.depth > MaxPlaylistDepth || visited_.contains(current_.url)) {
            anyBadPlaylist_ = true;
            continue;
        }
        visited_.insert(current_.url);
        fetcher_->fetch(current_.url);
        return;
    }
    giveUp();
}

void PlaybackEngine::onStream(const QUrl& url, const QByteArray& contentType)
{
    streamUrl_ = url;
    streamType_ = contentType;
    startSession();
}

void PlaybackEngine::startSession()
{
    const QUrl url = streamUrl_;
    const QByteArray contentType = streamType_;
    const quint64 id = ++sessionId_;
    GstElement* sink = sinkFactory_ ? sinkFactory_() : nullptr;
    StreamSession::Options options;
    options.timeoutSeconds = (timeoutMs_ + 999) / 1000;
    options.volume = volume_ / 100.0;
    options.muted = muted_;
    options.contentType = contentType;
    session_ = std::make_unique<StreamSession>(
        this, [this, id](const SessionEvent& e) { onSessionEvent(id, e); }, toGstUri(url), sink,
        options);
    if (!contentType.isEmpty())
        hintWatch_.start();
}

void PlaybackEngine::onPlaylist(const QUrl&, const QStringList& entries)
{
    // Entries go before what is left, in their order: depth first, like a nested list reads.
    for (auto it = entries.crbegin(); it != entries.crend(); ++it)
        pending_.push_front({QUrl(*it), current_.depth + 1});
    tryNext();
}

void PlaybackEngine::onFetchFailed(const QUrl&, PlaylistFetcher::Failure failure)
{
    switch (failure) {
    case PlaylistFetcher::Failure::Transient:
        anyTransient_ = true;
        break;
    case PlaylistFetcher::Failure::Gone:
        // An entry that is gone makes the list a bad one; the address itself is unreachable.
        (current_.depth > 0 ? anyBadPlaylist_ : anyGone_) = true;
        break;
    case PlaylistFetcher::Failure::BadPlaylist:
        anyBadPlaylist_ = true;
        break;
    }
    tryNext();
}

void PlaybackEngine::onSessionEvent(quint64 id, const SessionEvent& event)
{
    if (id != sessionId_ || !session_)
        return;
    switch (event.kind) {
    case SessionEvent::Kind::Playing:
        if (state_ == State::Buffering && rebufferTimer_.isActive())
            break;   // our own resume is still to come
        everPlayed_ = true;
        hintWatch_.stop();
        if (!playingSince_.isValid())
            playingSince_.start();
        reconnectDelay_ = 0;
        setState(State::Playing);
        outputWatch_.start();
        break;
    case SessionEvent::Kind::Buffering:
        // A full network queue during a rebuffer means the cushion is there already.
        if (state_ == State::Buffering && event.percent >= 100)
            resumeAfterRebuffer();
        break;
    case SessionEvent::Kind::Title:
        setNowPlaying(event.text);
        break;
    case SessionEvent::Kind::EndOfStream:
        onSessionLost(false);
        break;
    case SessionEvent::Kind::Error:
        onSessionLost(event.permanent);
        break;
    }
}

void PlaybackEngine::onSessionLost(bool permanent)
{
    if (everPlayed_) {
        // A live stream that played and dropped is worth connecting to again.
        dropSession();
        scheduleReconnect();
        return;
    }
    if (permanent && !streamType_.isEmpty()) {
        dropTypeHint();
        return;
    }
    if (!permanent)
        anyTransient_ = true;
    else
        (current_.depth > 0 ? anyBadPlaylist_ : anyGone_) = true;
    tryNext();
}

void PlaybackEngine::dropTypeHint()
{
    if (!session_ || everPlayed_ || streamType_.isEmpty())
        return;
    // The server may have named the wrong type: let the decoder chain find out itself.
    streamType_.clear();
    dropSession();
    startSession();
}

void PlaybackEngine::giveUp()
{
    dropSession();
    if (anyTransient_) {
        scheduleReconnect();
        return;
    }
    problem_ = anyBadPlaylist_ && !anyGone_ ? Problem::BadPlaylist : Problem::Unreachable;
    setState(State::Error);
}

void PlaybackEngine::scheduleReconnect()
{
    if (playingSince_.isValid() && playingSince_.elapsed() >= SteadyPlayMs)
        attempt_ = 0;
    playingSince_.invalidate();
    ++attempt_;
    reconnectDelay_ = std::min(attempt_, MaxReconnectDelaySeconds);
    setNowPlaying({});
    setState(State::Reconnecting);
    reconnectTimer_.start(reconnectDelay_ * 1000);
}

void PlaybackEngine::checkOutput()
{
    if (!session_ || state_ != State::Playing) {
        outputWatch_.stop();
        return;
    }
    if (session_->starvedMs() > DryAfterMs)
        startRebuffer();
}

void PlaybackEngine::startRebuffer()
{
    outputWatch_.stop();
    const int step = std::min<int>(underruns_, std::size(RebufferTargetsMs) - 1);
    rebufferTargetMs_ = RebufferTargetsMs[step];
    ++underruns_;
    session_->pause();
    rebufferClock_.start();
    setBuffering(0);
    setState(State::Buffering);
    rebufferTimer_.start();
}

void PlaybackEngine::onRebufferTick()
{
    if (!session_ || state_ != State::Buffering) {
        rebufferTimer_.stop();
        return;
    }
    const qint64 elapsed = rebufferClock_.elapsed();
    setBuffering(int(std::min<qint64>(99, elapsed * 100 / rebufferTargetMs_)));
    if (elapsed >= rebufferTargetMs_)
        resumeAfterRebuffer();
}

void PlaybackEngine::resumeAfterRebuffer()
{
    rebufferTimer_.stop();
    setBuffering(100);
    session_->resume();
    // The Playing message of the resumed pipeline brings the state back.
}

void PlaybackEngine::dropSession()
{
    hintWatch_.stop();
    outputWatch_.stop();
    rebufferTimer_.stop();
    ++sessionId_;
    session_.reset();
}

void PlaybackEngine::setState(State state)
{
    if (state_ == state)
        return;
    state_ = state;
    Q_EMIT stateChanged(state);
}

void PlaybackEngine::setNowPlaying(const QString& title)
{
    if (nowPlaying_ == title)
        return;
    nowPlaying_ = title;
    Q_EMIT nowPlayingChanged(title);
}

void PlaybackEngine::setBuffering(int percent)
{
    if (bufferingPercent_ == percent)
        return;
    bufferingPercent_ = percent;
    Q_EMIT bufferingChanged(percent);
}
