#pragma once

#include "clsRadio.h"

#include <QString>

#include <stdexcept>

namespace StationList {

// What the list shows in one cell: column 1 is the row's number, a space and the
// name; columns 2 to 4 the city, the frequency and the style. A count set by hand
// beyond the stored stations leaves those rows' texts blank.
inline QString CellText(const clsRadio& radio, qint32 row, qint32 column)
{
    QString text;
    try {
        text = radio.List(row, column);
    } catch (const std::out_of_range&) {
    }
    return column == 1 ? QString::number(row + 1) + QLatin1Char(' ') + text : text;
}

}  // namespace StationList
