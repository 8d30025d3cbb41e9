#pragma once

// Pictures for the picture-frame tests: PNG bytes of a solid colour, and
// frames with an opaque band round a see-through middle.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>

namespace pvsm::test {

inline QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

inline QByteArray solidPng(QColor colour, QSize size = {16, 12})
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return pngBytes(image);
}

// A frame of `size` whose outer `band` pixels are `colour`, the rest clear.
inline QByteArray bandFramePng(QSize size, int band, QRgb colour)
{
    QImage frame(size, QImage::Format_ARGB32);
    frame.fill(Qt::transparent);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            if (x < band || y < band || x >= size.width() - band || y >= size.height() - band)
                frame.setPixel(x, y, colour);
    return pngBytes(frame);
}

} // namespace pvsm::test
