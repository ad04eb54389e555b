#include "MediaPlayer.h"

#include "PlaybackEngine.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

namespace {

constexpr int BarWidth = 624;
constexpr int BarHeight = 46;

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
    connect(mute_, &QToolButton::toggled, engine_, &PlaybackEngine::setMuted);
    connect(volume_, &QSlider::valueChanged, engine_, &PlaybackEngine::setVolume);
    connect(engine_, &PlaybackEngine::volumeChanged, volume_, &QSlider::setValue);
    connect(engine_, &PlaybackEngine::mutedChanged, this, &MediaPlayer::refresh);
    connect(engine_, &PlaybackEngine::stateChanged, this, &MediaPlayer::refresh);
    connect(engine_, &PlaybackEngine::statusTextChanged, this, &MediaPlayer::refresh);
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

QString MediaPlayer::statusLine() const
{
    return status_->text();
}

void MediaPlayer::onPlayStop()
{
    // A live stream cannot wait paused, so the one button stops and plays anew.
    const PlaybackEngine::State s = engine_->state();
    if (s == PlaybackEngine::State::Stopped || s == PlaybackEngine::State::Error)
        engine_->play();
    else
        engine_->stop();
}

void MediaPlayer::paintEvent(QPaintEvent* event)
{
    // The icons come from the desktop's icon theme, which takes a search: the
    // bar's first frame goes without them (the buttons keep their size), they
    // follow on the next turn.
    if (!iconsDue_) {
        iconsDue_ = true;
        QTimer::singleShot(0, this, &MediaPlayer::refresh);
    }
    QWidget::paintEvent(event);
}

void MediaPlayer::refresh()
{
    const PlaybackEngine::State s = engine_->state();
    const bool idle = s == PlaybackEngine::State::Stopped || s == PlaybackEngine::State::Error;
    if (iconsDue_)
        playStop_->setIcon(style()->standardIcon(idle ? QStyle::SP_MediaPlay : QStyle::SP_MediaStop));
    playStop_->setToolTip(idle ? QStringLiteral("Воспроизвести") : QStringLiteral("Остановить"));
    playStop_->setEnabled(!idle || !engine_->url().isEmpty());
    const bool muted = engine_->isMuted();
    if (mute_->isChecked() != muted)
        mute_->setChecked(muted);
    if (iconsDue_)
        mute_->setIcon(style()->standardIcon(muted ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
    mute_->setToolTip(muted ? QStringLiteral("Включить звук") : QStringLiteral("Выключить звук"));
    const QString text = engine_->statusText();
    if (status_->text() == text)
        return;
    status_->setText(text);
    // The line is cut at the bar's width; the tooltip shows it whole. Server text must stay
    // text there too, where Qt would take anything that looks like HTML as markup.
    status_->setToolTip(Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal));
}
