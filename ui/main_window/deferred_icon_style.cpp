#include "deferred_icon_style.h"

#include <QIconEngine>
#include <QPainter>
#include <QPointer>

namespace {

// Stands for one of the style's icons and reads it the first time it is asked
// for a picture or a size.
class DeferredIcon : public QIconEngine {
public:
    DeferredIcon(QStyle* style, QStyle::StandardPixmap which)
        : style_(style), which_(which)
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    QIconEngine* clone() const override { return new DeferredIcon(*this); }

private:
    const QIcon& icon()
    {
        if (!read_ && style_) {
            icon_ = style_->standardIcon(which_);
            read_ = true;
        }
        return icon_;
    }

    QPointer<QStyle> style_;
    QStyle::StandardPixmap which_;
    QIcon icon_;
    bool read_ = false;
};

}  // namespace

QIcon DeferredIconStyle::standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const
{
    if (icon == SP_ToolBarHorizontalExtensionButton)
        return QIcon(new DeferredIcon(baseStyle(), icon));
    return QProxyStyle::standardIcon(icon, option, widget);
}
