#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

// A drawing surface that keeps everything drawn on it in an image of its own
// size (in the screen's device pixels). Drawing happens only through the calls
// below; painting just copies the image to the screen, so moving the widget
// never redraws anything.
// Input arrives as signals in the surface's own pixel coordinates.
class RetainedSurface : public QWidget {
    Q_OBJECT

public:
    RetainedSurface(const QColor& background, QWidget* parent = nullptr);

    QColor backColor() const { return background_; }
    QColor foreColor() const { return foreground_; }
    void setForeColor(const QColor& colour) { foreground_ = colour; }

    // Everything in the background colour.
    void clear();
    // Both corners are included.
    void fillRect(int x1, int y1, int x2, int y2, const QColor& colour);
    // One pixel high, from x1 to x2 inclusive.
    void drawHorizontalLine(int x1, int x2, int y, const QColor& colour);
    // Unclipped text in the widget's font and the fore colour, its top at top.
    void drawText(int x, int top, const QString& text);

    const QImage& image() { return surface(); }

Q_SIGNALS:
    void keyDown(qint16 keyCode, Qt::KeyboardModifiers modifiers);
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y);
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y);
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage& surface();  // the image, at the widget's present size

    QColor background_;
    QColor foreground_ = Qt::black;
    QImage image_;
};
