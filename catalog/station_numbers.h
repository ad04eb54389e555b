#pragma once

#include <QtGlobal>

// Application-wide station numbers, 0-based like the catalog.
inline qint32 NomerRadio = 0;  // current station: last tuned, or restored from the settings file
inline qint32 NomerSel = 0;    // highlighted row of the list; tuning plays this one
inline qint32 NomerLast = -1;  // last row of the list, a copy of KolRadio taken when the list is built
