// Keyboard and mouse on the station list: moving the highlight and tuning.
#include "frmForma.h"

#include "OpenRadioM.h"
#include "station_list_geometry.h"
#include "station_numbers.h"

#include <QScrollBar>

#include <algorithm>
#include <cmath>

using namespace StationList;

namespace {

enum VirtualKey : qint16 {
    KeyEnter = 13,
    KeyPageUp = 33,
    KeyPageDown = 34,
    KeyEnd = 35,
    KeyHome = 36,
    KeyUp = 38,
    KeyDown = 40,
};

// Row under a y position: rounded half to even, then divided by the pitch and
// truncated toward zero. -1 when it names no row of the list.
qint32 rowAt(double y)
{
    const double row = std::trunc(std::nearbyint(y) / RowPitch);
    if (!std::isfinite(row) || row < 0 || row > NomerLast)
        return -1;
    return static_cast<qint32>(row);
}

}  // namespace

void frmForma::ListPicture_KeyDown(qint16 KeyCode, qint16)
{
    if (NomerLast < 0)
        return;  // an empty list takes no input

    const auto moveTo = [this](qint32 row) {
        Add(0, 0);
        NomerSel = row;
        Add(1, 0);
    };
    switch (KeyCode) {
    case KeyEnter:
        NomerRadio = NomerSel;
        tune();
        break;
    case KeyUp:
        if (NomerSel != 0) {
            const int v = VScroll1->value();
            moveTo(NomerSel < v || NomerSel > v + VisibleRows - 1 ? v : NomerSel - 1);
        }
        break;
    case KeyDown:
        if (NomerSel != NomerLast)
            moveTo(NomerSel + 1);
        break;
    case KeyPageUp:
        if (NomerSel != 0)
            moveTo(std::max(NomerSel - PageRows, 0));
        break;
    case KeyPageDown:
        if (NomerSel != NomerLast)
            moveTo(std::min(NomerSel + PageRows, NomerLast));
        break;
    case KeyHome:
        if (NomerSel != 0)
            moveTo(0);
        break;
    case KeyEnd:
        if (NomerSel != NomerLast)
            moveTo(NomerLast);
        break;
    default:
        break;
    }
}

void frmForma::ListPicture_MouseDown(qint16, qint16, double, double Y)
{
    const qint32 row = rowAt(Y);
    NomerDown = row == NomerSel ? -1 : row;
}

void frmForma::ListPicture_MouseUp(qint16, qint16, double, double Y)
{
    if (NomerDown != -1 && rowAt(Y) == NomerDown) {
        Add(0, 0);
        NomerSel = NomerDown;
        Add(1, 0);
    }
    NomerDown = -1;
}

void frmForma::ListPicture_DblClick()
{
    // The first click has already highlighted the row under the pointer.
    tune();
}

void frmForma::tune()
{
    OpenRadio(*this, *WindowsMediaPlayer, *usrReklamaX1);
    tuned_ = true;
    updateReStart();
}

void frmForma::updateReStart()
{
    // The reconnect item tunes the highlighted row, so it is offered only
    // while that row is the station playing.
    pMenuReStart->setEnabled(tuned_ && NomerSel == NomerRadio);
}
