#include "RetainedSurface.h"

#include "virtual_key.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

RetainedSurface::RetainedSurface(const QColor& background, QWidget* parent)
    : QWidget(parent), background_(background)
{
    // The image covers every pixel, so Qt need not erase behind it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void RetainedSurface::clear()
{
    // The next drawing makes a new image in the background colour.
    image_ = QImage();
    update();
}

QImage& RetainedSurface::surface()
{
    // Made when first drawn on or painted, not on every resize: a window
    // shown and then sized allocates and fills its surface once.
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    if (image_.size() == pixels && image_.devicePixelRatio() == ratio)
        return image_;
    // Keep what fits, like a picture box whose persistent image is resized.
    // The image has the screen's own pixels, so drawing on it stays sharp at
    // any scale; drawing coordinates remain the widget's.
    QImage resized(pixels, QImage::Format_RGB32);
    resized.setDevicePixelRatio(ratio);
    resized.fill(background_);
    if (!image_.isNull()) {
        QPainter painter(&resized);
        painter.drawImage(0, 0, image_);
    }
    image_ = std::move(resized);
    return image_;
}

void RetainedSurface::fillRect(int x1, int y1, int x2, int y2, const QColor& colour)
{
    const QRect area = QRect(QPoint(x1, y1), QPoint(x2, y2)).normalized();
    QPainter painter(&surface());
    painter.fillRect(area, colour);
    update(area);
}

void RetainedSurface::drawHorizontalLine(int x1, int x2, int y, const QColor& colour)
{
    fillRect(x1, y, x2, y, colour);
}

void RetainedSurface::drawText(int x, int top, const QString& text)
{
    QPainter painter(&surface());
    painter.setFont(font());
    painter.setPen(foreground_);
    const QFontMetrics metrics(font());
    painter.drawText(QPoint(x, top + metrics.ascent()), text);
    update(QRect(x, top, metrics.horizontalAdvance(text) + metrics.maxWidth(), metrics.height()));
}

void RetainedSurface::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect area = event->rect();
    const QImage& image = surface();
    const qreal ratio = image.devicePixelRatio();
    painter.drawImage(area, image, QRectF(area.topLeft() * ratio, area.size() * ratio));
}

void RetainedSurface::keyPressEvent(QKeyEvent* event)
{
    Q_EMIT keyDown(VirtualKeyCode(event->key()), event->modifiers());
}

void RetainedSurface::mousePressEvent(QMouseEvent* event)
{
    const QPointF at = event->position();
    Q_EMIT mouseDown(event->button(), event->modifiers(), at.x(), at.y());
}

void RetainedSurface::mouseReleaseEvent(QMouseEvent* event)
{
    const QPointF at = event->position();
    Q_EMIT mouseUp(event->button(), event->modifiers(), at.x(), at.y());
}

void RetainedSurface::mouseDoubleClickEvent(QMouseEvent*)
{
    // The second press of a double-click is the double-click and nothing else.
    Q_EMIT doubleClicked();
}
