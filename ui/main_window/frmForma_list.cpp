// Drawing the station list into the retained surface, and scrolling it.
#include "frmForma.h"

#include "clsRadio.h"
#include "station_cell_text.h"
#include "station_list_geometry.h"
#include "station_numbers.h"

#include <QScrollBar>

using namespace StationList;

void frmForma::Add(qint32 Index, qint32 NewLine)
{
    // A row outside the catalog has nothing to show; drawing it would only
    // paint past the end of the surface.
    if (NomerSel < 0 || NomerSel > Radio().KolRadio())
        return;

    const int y = RowPitch * NomerSel;
    ListPicture->fillRect(0, y, LastX, y + BandHeight - 1, Index != 0 ? Highlight() : ListPicture->backColor());
    for (int c = 1; c <= 4; ++c)
        ListPicture->drawText(ColumnX[c - 1], y + 1, CellText(Radio(), NomerSel, c));

    if (Index == 0)
        return;
    updateReStart();
    ListPicture->drawHorizontalLine(0, LastX, y, HighlightTopEdge());
    ListPicture->drawHorizontalLine(0, LastX, y + BandHeight - 1, HighlightBottomEdge());
    if (NewLine == 1)
        return;

    const int v = VScroll1->value();
    if (NomerSel < v) {
        VScroll1->setValue(NomerSel);
        moveSurfaceToScroll();
    } else if (NomerSel - v > VisibleRows - 1) {
        VScroll1->setValue(NomerSel - (VisibleRows - 1));
        moveSurfaceToScroll();
    }
}

void frmForma::ShowRadio()
{
    NomerLast = Radio().KolRadio();
    const bool hasRows = NomerLast > -1;
    ListPicture->setGeometry(0, 0, ListPicture->width(), hasRows ? RowPitch * (NomerLast + 1) : RowPitch);
    ListPicture->setEnabled(hasRows);
    ListPicture->clear();
    if (!hasRows)
        return;

    for (NomerSel = 0; NomerSel <= NomerLast; ++NomerSel) {
        Add(0, 1);
        ListPicture->drawHorizontalLine(0, LastX, RowPitch * NomerSel + BandHeight, Separator());
    }
    if (NomerRadio < 0 || NomerRadio > NomerLast)
        NomerRadio = 0;

    NomerSel = NomerRadio;
    Add(1, 1);
    SetupScroll();
}

void frmForma::SetupScroll()
{
    if (NomerLast > VisibleRows - 1) {
        VScroll1->setMaximum(NomerLast - (VisibleRows - 1));
        VScroll1->setValue(NomerSel >= VisibleRows - 1 ? NomerSel - (VisibleRows - 1) : 0);
    } else {
        VScroll1->setValue(0);
    }
    VScroll1->setEnabled(Radio().KolRadio() > VisibleRows - 1);
}

void frmForma::moveSurfaceToScroll()
{
    ListPicture->move(0, -RowPitch * VScroll1->value());
}

void frmForma::VScroll1_Change()
{
    moveSurfaceToScroll();
}

void frmForma::VScroll1_Scroll()
{
    moveSurfaceToScroll();
}

void frmForma::VScroll1_GotFocus()
{
    ListPicture->setFocus();
}

void frmForma::picBox_GotFocus()
{
    // A disabled surface (empty catalog) refuses the focus; that is fine.
    ListPicture->setFocus();
}
