// Brushes of the text and background fills: the four linear-gradient modes,
// the mirrored half-rectangle gradients and the rainbow texture.
#pragma once

#include <QBrush>
#include <QRectF>
#include <QRgb>
#include <QSizeF>

namespace pvsm {

// Linear-gradient modes, as the text style dialog names them.
enum GradientMode {
    kGradientHorizontal = 0,       // "左右渐变": start at the left edge, end at the right
    kGradientVertical = 1,         // "上下渐变": start at the top, end at the bottom
    kGradientForwardDiagonal = 2,  // "左上右下渐变": start top-left, end bottom-right
    kGradientBackwardDiagonal = 3, // "右上左下渐变": start top-right, end bottom-left
};

// A two-colour linear gradient of `mode` (0 … 3) whose one period is `rect`:
// the start colour lies on the rectangle's start corner or edge, the end colour
// on the opposite one; the diagonal modes keep their colour bands parallel to
// the rectangle's other diagonal, whatever its aspect. Outside the rectangle
// the gradient repeats mirrored (start–end–start–…), so a brush of half a box
// paints start–end–start across the whole box. Colours are ARGB.
// Returns Qt::NoBrush for another mode or an empty rectangle.
QBrush LinearGradientBrush(const QRectF &rect, QRgb startArgb, QRgb endArgb, int mode);

// The fill brush of a text pattern laid out in `layout`:
// 0 solid start colour; 2 the rainbow texture (tiled with every second tile
// mirrored, anchored at the device origin, scaled by `textureScale`);
// 4, 6, 8, 10 gradient modes 0 … 3 over the layout rectangle; 12, 14, 16, 18
// the same modes over half the rectangle (half the width for mode 0, half the
// height for mode 1, half of both for the diagonals) anchored at its top-left
// corner, mirrored beyond it. Any other pattern (odd, negative, above 18) and
// a missing texture give Qt::NoBrush: the text is then not filled.
QBrush TextPatternBrush(int pattern, const QRectF &layout, QRgb startArgb, QRgb endArgb,
                        QSizeF textureScale = {1.0, 1.0});

} // namespace pvsm
