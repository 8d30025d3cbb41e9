#pragma once

#include "FixedSeed.h"
#include "Random.h"
#include "clsMemDC.h"

#include <QColor>
#include <QImage>
#include <QPainter>

namespace pvsm::test {

// Two pictures that differ in every pixel and have structure (so a shifted or
// mirrored copy differs from the original).
inline clsMemDC patternCanvas(QSize size, bool second)
{
    clsMemDC c(size.width(), size.height(), 0);
    QImage &img = c.image();
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int r = (x * 255) / std::max(1, size.width() - 1);
            const int g = (y * 255) / std::max(1, size.height() - 1);
            line[x] = second ? qRgb(255 - g, 40 + (r / 2), (x ^ y) & 0xFF) : qRgb(r, g, 128 + ((x + y) & 0x3F));
        }
    }
    return c;
}


} // namespace pvsm::test
