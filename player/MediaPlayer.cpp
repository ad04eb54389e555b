#include "MediaPlayer.h"

#include "PlaybackEngine.h"
#include "status_text.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

namespace {

constexpr int BarWidth = 624;
constexpr int BarHeight = 46;

MediaPlayer::State toState(PlaybackEngine::State s)
{
    return static_cast<MediaPlayer::State>(static_cast<int>(s));
}

} // namespace

MediaPlayer::MediaPlayer(QWidget* parent)
    : QWidget(parent),
      engine_(new PlaybackEngine(this)),
      playStop_(new QToolButton(this)),
      mute_(new QToolButton(this)),
      volume_(new QSlider(Qt::Horizontal, this)),
      status_(new QLabel(this))
{
    setFixedSize(BarWidth, BarHeight);
    setContextMenuPolicy(Qt::PreventContextMenu);

    playStop_->setObjectName(QStringLiteral("playStop"));
    playStop_->setAutoRaise(true);
    playStop_->setIconSize(QSize(24, 24));
    mute_->setObjectName(QStringLiteral("mute"));
    mute_->setAutoRaise(true);
    mute_->setCheckable(true);
    volume_->setObjectName(QStringLiteral("volume"));
    volume_->setRange(0, 100);
    volume_->setValue(engine_->volume());
    volume_->setFixedWidth(110);
    volume_->setToolTip(QStringLiteral("Громкость"));
    status_->setObjectName(QStringLiteral("status"));
    status_->setTextFormat(Qt::PlainText);
    status_->setMinimumWidth(0);
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 6, 2);
    layout->setSpacing(4);
    layout->addWidget(playStop_);
    layout->addWidget(mute_);
    layout->addWidget(volume_);
    layout->addSpacing(8);
    layout->addWidget(status_, 1);

    connect(playStop_, &QToolButton::clicked, this, &MediaPlayer::onPlayStop);
    connect(mute_, &QToolButton::toggled, this, &MediaPlayer::setMuted);
    connect(volume_, &QSlider::valueChanged, this, &MediaPlayer::setVolume);
    connect(engine_, &PlaybackEngine::stateChanged, this, [this](PlaybackEngine::State s) {
        refresh();
        Q_EMIT stateChanged(toState(s));
    });
    connect(engine_, &PlaybackEngine::bufferingChanged, this, [this](int percent) {
        refresh();
        Q_EMIT bufferingChanged(percent);
    });
    connect(engine_, &PlaybackEngine::nowPlayingChanged, this, [this](const QString& title) {
        refresh();
        Q_EMIT nowPlayingChanged(title);
    });
    refresh();
}

MediaPlayer::~MediaPlayer() = default;

QString MediaPlayer::URL() const
{
    return engine_->url();
}

void MediaPlayer::setURL(const QString& url)
{
    engine_->setUrl(url);
}

MediaPlayer::State MediaPlayer::state() const
{
    return toState(engine_->state());
}

QString MediaPlayer::nowPlaying() const
{
    return engine_->nowPlaying();
}

QString MediaPlayer::statusLine() const
{
    return status_->text();
}

int MediaPlayer::volume() const
{
    return engine_->volume();
}

void MediaPlayer::setVolume(int volume)
{
    engine_->setVolume(volume);
    if (volume_->value() != engine_->volume())
        volume_->setValue(engine_->volume());
}

bool MediaPlayer::isMuted() const
{
    return engine_->isMuted();
}

void MediaPlayer::setMuted(bool muted)
{
    engine_->setMuted(muted);
    if (mute_->isChecked() != muted)
        mute_->setChecked(muted);
    refresh();
}

void MediaPlayer::setAudioSinkFactory(std::function<GstElement*()> factory)
{
    engine_->setAudioSinkFactory(std::move(factory));
}

void MediaPlayer::setNetworkTimeout(int ms)
{
    engine_->setNetworkTimeout(ms);
}

void MediaPlayer::onPlayStop()
{
    // A live stream cannot wait paused, so the one button stops and plays anew.
    if (engine_->state() == PlaybackEngine::State::Stopped || engine_->state() == PlaybackEngine::State::Error)
        engine_->play();
    else
        engine_->stop();
}

void MediaPlayer::refresh()
{
    const PlaybackEngine::State s = engine_->state();
    const bool idle = s == PlaybackEngine::State::Stopped || s == PlaybackEngine::State::Error;
    playStop_->setIcon(style()->standardIcon(idle ? QStyle::SP_MediaPlay : QStyle::SP_MediaStop));
    playStop_->setToolTip(idle ? QStringLiteral("Воспроизвести") : QStringLiteral("Остановить"));
    playStop_->setEnabled(!idle || !engine_->url().isEmpty());
    const bool muted = engine_->isMuted();
    mute_->setIcon(style()->standardIcon(muted ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
    mute_->setToolTip(muted ? QStringLiteral("Включить звук") : QStringLiteral("Выключить звук"));
    const QString text = statusText(s, engine_->problem(), engine_->bufferingPercent(),
                                    engine_->reconnectDelaySeconds(), engine_->nowPlaying());
    status_->setText(text);
    status_->setToolTip(plainToolTip(text));
}
