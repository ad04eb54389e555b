#pragma once

#include "LoadRadioM.h"
#include "clsRadio.h"
#include "frmForma.h"
#include "usrReklamaX.h"
#include "station_numbers.h"

#include <QImage>
#include <QString>

#include <memory>

// Fills the one catalog with count made-up stations (0: empty), or with the
// built-in table when count is 17 and builtIn is set.
inline void FillCatalog(int count, bool builtIn = false)
{
    if (builtIn) {
        // Nothing listens on port 1: tuning stays on this machine.
        LoadRadio(StreamHosts{"127.0.0.1:1", "127.0.0.1:1", "127.0.0.1:1"});
        return;
    }
    Radio().Start();
    for (int i = 0; i < count; ++i)
        Radio().NewRadio(QStringLiteral("Станция %1").arg(i), QStringLiteral("http://127.0.0.1:1/%1").arg(i),
                         QStringLiteral("Город"), QStringLiteral("%1 FM").arg(90 + i), QStringLiteral("стиль"));
}

// A fresh main window with its list built, as start-up leaves it.
inline std::unique_ptr<frmForma> BuiltWindow(qint32 savedStation)
{
    NomerRadio = savedStation;
    NomerSel = 0;
    NomerLast = -1;
    auto window = std::make_unique<frmForma>();
    window->usrReklamaX1->setReklamaURL(QStringLiteral("http://127.0.0.1:1/reklama/"));
    window->show();
    window->ShowRadio();
    return window;
}

inline QRgb Rgb(int r, int g, int b)
{
    return qRgb(r, g, b);
}

// Row n of the surface's image is drawn highlighted.
inline bool RowHighlighted(const QImage& image, int n)
{
    const int y = 18 * n;
    return image.pixel(1, y) == qRgb(255, 128, 128) && image.pixel(1, y + 8) == qRgb(255, 0, 0)
        && image.pixel(1, y + 16) == qRgb(128, 0, 0);
}
