#pragma once

#include "LoadRadioM.h"
#include "clsRadio.h"
#include "frmForma.h"
#include "usrReklamaX.h"
#include "station_numbers.h"

#include <QImage>
#include <QString>

#include <memory>

// A fresh main window with its list built, as start-up leaves it, over the
// built-in stations or, when madeUp >= 0, that many made-up ones.
inline std::unique_ptr<frmForma> BuiltWindow(qint32 savedStation, int madeUp = -1)
{
    if (madeUp < 0) {
        // Nothing listens on port 1: tuning stays on this machine.
        LoadRadio(StreamHosts{"127.0.0.1:1", "127.0.0.1:1", "127.0.0.1:1"});
    } else {
        Radio().Start();
        for (int i = 0; i < madeUp; ++i)
            Radio().NewRadio(QStringLiteral("Станция %1").arg(i), QStringLiteral("http://127.0.0.1:1/%1").arg(i),
                             QStringLiteral("Город"), QStringLiteral("%1 FM").arg(90 + i), QStringLiteral("стиль"));
    }
    NomerRadio = savedStation;
    NomerSel = 0;
    auto window = std::make_unique<frmForma>();
    window->usrReklamaX1->setReklamaURL(QStringLiteral("http://127.0.0.1:1/reklama/"));
    window->show();
    window->ShowRadio();
    return window;
}

inline bool RowHighlighted(const QImage& image, int n)
{
    const int y = 18 * n;
    return image.pixel(1, y) == qRgb(255, 128, 128) && image.pixel(1, y + 8) == qRgb(255, 0, 0)
        && image.pixel(1, y + 16) == qRgb(128, 0, 0);
}
