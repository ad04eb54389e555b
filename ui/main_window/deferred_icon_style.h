#pragma once

#include <QProxyStyle>

// The platform's style, except that the menu bar's overflow arrow is read when
// it is first drawn. Qt reads it for every menu bar it makes, and reading it
// loads every image format plugin (some 2 ms before the first frame) for an
// arrow the fixed-size window never shows.
class DeferredIconStyle : public QProxyStyle {
public:
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const override;
};
