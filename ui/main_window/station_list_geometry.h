#pragma once

#include <QColor>
#include <QFont>

#include <array>

// Pixel geometry, font and colours of the self-drawn station list.
namespace StationList {

inline constexpr int RowPitch = 18;                      // row n spans y = 18n .. 18n + 17
inline constexpr int BandHeight = 17;                    // band y = 18n .. 18n + 16, separator at 18n + 17
inline constexpr int LastX = 602;                        // bands and lines run from x 0 to here
inline constexpr int SurfaceWidth = 603;
inline constexpr int VisibleRows = 14;                   // rows v .. v + 13 are in view
inline constexpr int PageRows = 13;                      // Page Up / Page Down step
inline constexpr std::array<int, 4> ColumnX{4, 194, 344, 494};

// Metric twin of Arial, whose widths are close to the design font's, so the
// longest texts end before the scrollbar.
inline QFont Font()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(11);  // 8.25 pt at 96 dpi; the whole layout is in those pixels
    return font;
}

inline QColor Background() { return {255, 255, 0}; }      // the surface
inline QColor ViewportBackground() { return {234, 234, 0}; }
inline QColor Highlight() { return {255, 0, 0}; }
inline QColor HighlightTopEdge() { return {255, 128, 128}; }
inline QColor HighlightBottomEdge() { return {128, 0, 0}; }
inline QColor Separator() { return {128, 128, 128}; }

}  // namespace StationList
