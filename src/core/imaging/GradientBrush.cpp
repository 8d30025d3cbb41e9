#include "GradientBrush.h"

#include "TextTexture.h"

#include <QLinearGradient>
#include <QTransform>

#include <cmath>

namespace pvsm {

QBrush LinearGradientBrush(const QRectF &rect, QRgb startArgb, QRgb endArgb, int mode)
{
    if (!(rect.width() > 0) || !(rect.height() > 0) || !std::isfinite(rect.x()) || !std::isfinite(rect.y()))
        return Qt::NoBrush;
    // The gradient is built on the unit square and stretched onto the
    // rectangle, which keeps the diagonal modes corner to corner.
    QLinearGradient gradient;
    switch (mode) {
    case kGradientHorizontal: gradient = QLinearGradient(0, 0, 1, 0); break;
    case kGradientVertical: gradient = QLinearGradient(0, 0, 0, 1); break;
    case kGradientForwardDiagonal: gradient = QLinearGradient(0, 0, 1, 1); break;
    case kGradientBackwardDiagonal: gradient = QLinearGradient(1, 0, 0, 1); break;
    default: return Qt::NoBrush;
    }
    gradient.setColorAt(0.0, QColor::fromRgba(startArgb));
    gradient.setColorAt(1.0, QColor::fromRgba(endArgb));
    gradient.setSpread(QGradient::ReflectSpread);
    QBrush brush(gradient);
    brush.setTransform(QTransform(rect.width(), 0, 0, rect.height(), rect.x(), rect.y()));
    return brush;
}

QBrush TextPatternBrush(int pattern, const QRectF &layout, QRgb startArgb, QRgb endArgb, QSizeF textureScale)
{
    if (pattern == 0) return QBrush(QColor::fromRgba(startArgb));
    if (pattern == 2) {
        const QImage tile = rainbowBrushTile();
        if (tile.isNull()) return Qt::NoBrush;
        QBrush brush(tile);
        const double sx = textureScale.width(), sy = textureScale.height();
        if (std::isfinite(sx) && std::isfinite(sy) && sx > 0 && sy > 0 && (sx != 1.0 || sy != 1.0))
            brush.setTransform(QTransform::fromScale(sx, sy));
        return brush;
    }
    if (pattern < 4 || pattern > 18 || pattern % 2 != 0) return Qt::NoBrush;
    const int k = pattern / 2 - 2;
    const int mode = k % 4;
    QRectF period = layout;
    if (k >= 4) {
        if (mode != kGradientVertical) period.setWidth(layout.width() / 2);
        if (mode != kGradientHorizontal) period.setHeight(layout.height() / 2);
    }
    return LinearGradientBrush(period, startArgb, endArgb, mode);
}

} // namespace pvsm
