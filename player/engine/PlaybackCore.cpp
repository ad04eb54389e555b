#include "PlaybackCore.h"

#include "PlaylistParser.h"
#include "StreamSession.h"
#include "status_text.h"

#include <QDBusConnection>
#include <QNetworkInformation>

#include <gst/gst.h>

namespace {

constexpr int MaxPlaylistDepth = 4;
constexpr int MaxReconnectDelaySeconds = 30;
// A stream that played this long before it dropped starts its retries from the shortest delay;
// one that keeps dropping at once keeps the growing delay.
constexpr qint64 SteadyPlayMs = 10000;

QString toGstUri(const QUrl& url)
{
    QUrl u = url;
    // Windows Media playlists name mms:// addresses that their servers also speak over HTTP.
    if (u.scheme() == QLatin1String("mms") || u.scheme() == QLatin1String("mmsh"))
        u.setScheme(QStringLiteral("http"));
    return QString::fromUtf8(u.toEncoded());
}

bool isHttp(const QUrl& url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

} // namespace

PlaybackCore::PlaybackCore(Settings settings, Events events)
    : events_(std::move(events))
    , volume_(settings.volume)
    , muted_(settings.muted)
    , sinkFactory_(std::move(settings.audioSinkFactory))
    , fetcher_(new PlaylistFetcher(this))
{
    connect(fetcher_, &PlaylistFetcher::stream, this, &PlaybackCore::onStream);
    connect(fetcher_, &PlaylistFetcher::playlist, this, &PlaybackCore::onPlaylist);
    connect(fetcher_, &PlaylistFetcher::failed, this, &PlaybackCore::onFetchFailed);

    reconnectTimer_.setSingleShot(true);
    connect(&reconnectTimer_, &QTimer::timeout, this, &PlaybackCore::open);
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, &PlaybackCore::onDeadline);
    setNetworkTimeout(settings.networkTimeoutMs);
    // The face shows this already.
    statusText_ = ::statusText(state_, problem_, bufferingPercent_, reconnectDelay_, nowPlaying_);
}

PlaybackCore::~PlaybackCore() = default;

namespace {
// Of the two MP3 decoders Debian ranks alike, GStreamer takes libav's by name; loading it maps
// libavcodec, libavfilter and a hundred libraries behind them (some 30 MB for one radio
// stream). libmpg123 decodes the same streams alone. Ranks the user set are left as they are.
void PreferLeanMp3Decoder()
{
    if (qEnvironmentVariableIsSet("GST_PLUGIN_FEATURE_RANK"))
        return;
    GstRegistry* const registry = gst_registry_get();
    GstPluginFeature* const lean = gst_registry_lookup_feature(registry, "mpg123audiodec");
    GstPluginFeature* const heavy = gst_registry_lookup_feature(registry, "avdec_mp3");
    if (lean && heavy && gst_plugin_feature_get_rank(lean) <= gst_plugin_feature_get_rank(heavy))
        gst_plugin_feature_set_rank(lean, gst_plugin_feature_get_rank(heavy) + 1);
    if (lean)
        gst_object_unref(lean);
    if (heavy)
        gst_object_unref(heavy);
}
}  // namespace

void PlaybackCore::prepare()
{
    if (prepared_)
        return;
    prepared_ = true;
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);
    PreferLeanMp3Decoder();
    watchWakeUps();
}

// The network coming back, or the machine waking up, cut the wait of a reconnecting station.
void PlaybackCore::watchWakeUps()
{
    if (QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this,
                [this](QNetworkInformation::Reachability r) {
                    if (r == QNetworkInformation::Reachability::Online)
                        retryNow();
                });
    }
    QDBusConnection bus = QDBusConnection::systemBus();
    if (bus.isConnected())
        bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                    QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                    this, SLOT(onPrepareForSleep(bool)));
}

void PlaybackCore::onPrepareForSleep(bool sleeping)
{
    if (!sleeping)
        retryNow();
}

void PlaybackCore::retryNow()
{
    if (state_ != State::Reconnecting || !reconnectTimer_.isActive())
        return;
    reconnectTimer_.stop();
    open();
}

void PlaybackCore::setUrl(const QString& url)
{
    url_ = url;
    if (url.isEmpty()) {
        stop();
        return;
    }
    play();
}

void PlaybackCore::play()
{
    if (url_.isEmpty())
        return;
    stop();
    attempt_ = 0;
    underruns_ = 0;
    playingSince_.invalidate();
    open();
}

void PlaybackCore::stop()
{
    reconnectTimer_.stop();
    deadline_.stop();
    fetcher_->cancel();
    dropSession();
    pending_.clear();
    problem_ = Problem::None;
    setNowPlaying({});
    setState(State::Stopped);
}

void PlaybackCore::setVolume(int volume)
{
    volume = std::clamp(volume, 0, 100);
    if (volume_ == volume)
        return;
    volume_ = volume;
    if (session_)
        session_->setVolume(volume_ / 100.0);
    events_.volumeChanged(volume_);
}

void PlaybackCore::setMuted(bool muted)
{
    if (muted_ == muted)
        return;
    muted_ = muted;
    if (session_)
        session_->setMuted(muted_);
    events_.mutedChanged(muted_);
}

void PlaybackCore::setAudioSinkFactory(std::function<GstElement*()> factory)
{
    sinkFactory_ = std::move(factory);
}

void PlaybackCore::setNetworkTimeout(int ms)
{
    timeoutMs_ = std::max(100, ms);
    fetcher_->setTimeout(timeoutMs_);
}

void PlaybackCore::open()
{
    prepare();
    // Everything of the last attempt goes first: nothing it queued may start after this.
    fetcher_->cancel();
    dropSession();
    pending_.clear();
    visited_.clear();
    anyTransient_ = false;
    anyBadPlaylist_ = false;
    anyGone_ = false;
    everPlayed_ = false;
    problem_ = Problem::None;
    const QUrl url = QUrl::fromUserInput(url_);
    if (!isStreamAddress(url)) {
        fail(Problem::BadAddress);
        return;
    }
    pending_.push_back({url});
    setState(attempt_ > 0 ? State::Reconnecting : State::Connecting);
    deadline_.start(timeoutMs_ * 3 / 2);
    tryNext();
}

void PlaybackCore::tryNext()
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
        // A stream is opened once, by GStreamer; only what is named like a list is fetched.
        if (isPlaylistAddress(current_.url) && isHttp(current_.url))
            fetch();
        else
            onStream(current_.url);
        return;
    }
    giveUp();
}

void PlaybackCore::fetch()
{
    current_.fetched = true;
    fetcher_->fetch(current_.url);
}

void PlaybackCore::onStream(const QUrl& url)
{
    if (current_.undecodable) {
        // Asked again, the server still sends something that is neither a list nor playable.
        (current_.depth > 0 ? anyBadPlaylist_ : anyGone_) = true;
        tryNext();
        return;
    }
    streamUrl_ = url;
    typeHint_ = true;
    startSession();
}

void PlaybackCore::startSession()
{
    dropSession();
    const quint64 id = sessionId_;
    GstElement* sink = sinkFactory_ ? sinkFactory_() : nullptr;
    StreamSession::Options options;
    options.timeoutSeconds = (timeoutMs_ + 999) / 1000;
    options.volume = volume_ / 100.0;
    options.muted = muted_;
    options.typeHint = typeHint_;
    options.underrunsSoFar = underruns_;
    session_ = std::make_unique<StreamSession>(
        this, [this, id](const SessionEvent& e) { onSessionEvent(id, e); }, toGstUri(streamUrl_),
        sink, options);
}

void PlaybackCore::onPlaylist(const QUrl&, const QStringList& entries)
{
    // Entries go before what is left, in their order: depth first, like a nested list reads.
    for (auto it = entries.crbegin(); it != entries.crend(); ++it)
        pending_.push_front({QUrl(*it), current_.depth + 1});
    tryNext();
}

void PlaybackCore::onFetchFailed(const QUrl&, PlaylistFetcher::Failure failure)
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

void PlaybackCore::onSessionEvent(quint64 id, const SessionEvent& event)
{
    if (id != sessionId_ || !session_)
        return;   // from a session already dropped
    switch (event.kind) {
    case SessionEvent::Kind::Playing:
        everPlayed_ = true;
        deadline_.stop();
        if (!playingSince_.isValid())
            playingSince_.start();
        reconnectDelay_ = 0;
        setState(State::Playing);
        break;
    case SessionEvent::Kind::Buffering:
        if (state_ == State::Playing)
            ++underruns_;
        // A refill that gains nothing for the network timeout is as good as a dropped link;
        // one whose end is held in the paused output would otherwise never say so.
        deadline_.start(timeoutMs_);
        setBuffering(event.percent);
        setState(State::Buffering);
        break;
    case SessionEvent::Kind::Title:
        setNowPlaying(event.text);
        break;
    case SessionEvent::Kind::EndOfStream:
        if (everPlayed_) {
            dropSession();
            scheduleReconnect();
        } else {
            anyTransient_ = true;
            tryNext();
        }
        break;
    case SessionEvent::Kind::Error:
        onSessionError(event);
        break;
    }
}

void PlaybackCore::onSessionError(const SessionEvent& event)
{
    using Failure = SessionEvent::Failure;
    if (event.failure == Failure::Output) {
        fail(Problem::NoAudioOutput);
        return;
    }
    if (everPlayed_) {
        // A live stream that played and dropped is worth connecting to again.
        dropSession();
        scheduleReconnect();
        return;
    }
    switch (event.failure) {
    case Failure::Type:
        if (typeHint_) {
            // The server may have named the wrong type: let the decoder chain find out itself.
            typeHint_ = false;
            startSession();
            return;
        }
        current_.undecodable = true;
        if (!current_.fetched && isHttp(current_.url)) {
            // Perhaps a playlist under a name that does not say so.
            dropSession();
            fetch();
            return;
        }
        (current_.depth > 0 ? anyBadPlaylist_ : anyGone_) = true;
        break;
    case Failure::Permanent:
        (current_.depth > 0 ? anyBadPlaylist_ : anyGone_) = true;
        break;
    case Failure::Transient:
    case Failure::Output:
        anyTransient_ = true;
        break;
    }
    tryNext();
}

// Nothing heard within the deadline, or a refill stalled: a server that trickles is treated as
// one that is down.
void PlaybackCore::onDeadline()
{
    fetcher_->cancel();
    dropSession();
    pending_.clear();
    scheduleReconnect();
}

void PlaybackCore::giveUp()
{
    dropSession();
    if (anyTransient_) {
        scheduleReconnect();
        return;
    }
    fail(anyBadPlaylist_ && !anyGone_ ? Problem::BadPlaylist : Problem::Unreachable);
}

void PlaybackCore::fail(Problem problem)
{
    deadline_.stop();
    fetcher_->cancel();
    dropSession();
    pending_.clear();
    problem_ = problem;
    setNowPlaying({});
    setState(State::Error);
    updateStatus();
}

void PlaybackCore::scheduleReconnect()
{
    deadline_.stop();
    if (playingSince_.isValid() && playingSince_.elapsed() >= SteadyPlayMs)
        attempt_ = 0;
    playingSince_.invalidate();
    ++attempt_;
    reconnectDelay_ = std::min(attempt_, MaxReconnectDelaySeconds);
    setNowPlaying({});
    setState(State::Reconnecting);
    updateStatus();
    reconnectTimer_.start(reconnectDelay_ * 1000);
}

void PlaybackCore::dropSession()
{
    ++sessionId_;
    session_.reset();
}

void PlaybackCore::setState(State state)
{
    if (state_ != state) {
        state_ = state;
        events_.stateChanged(state);
    }
    updateStatus();
}

void PlaybackCore::setNowPlaying(const QString& title)
{
    if (nowPlaying_ == title)
        return;
    nowPlaying_ = title;
    events_.nowPlayingChanged(title);
    updateStatus();
}

void PlaybackCore::setBuffering(int percent)
{
    if (bufferingPercent_ == percent)
        return;
    bufferingPercent_ = percent;
    events_.bufferingChanged(percent);
    updateStatus();
}

void PlaybackCore::updateStatus()
{
    const QString text =
        ::statusText(state_, problem_, bufferingPercent_, reconnectDelay_, nowPlaying_);
    if (text == statusText_)
        return;
    statusText_ = text;
    events_.statusTextChanged(text);
}
