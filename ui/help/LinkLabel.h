#pragma once

#include <QLabel>
#include <QString>

// A one-line label that acts as a web link: it carries its address in Tag
// and reports a left click released over it.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

    QString Tag() const { return tag_; }
    void setTag(const QString& tag) { tag_ = tag; }

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString tag_;
    bool pressed_ = false;
};
