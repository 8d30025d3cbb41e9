#include "TextTexture.h"

#include <QColor>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>

#include <algorithm>

namespace pvsm {

namespace {

constexpr int kMaxTextureSide = 4096;

struct TextureState
{
    QMutex mutex;
    QImage installed; // null: the generated texture
    QImage generated;
    QImage tile;      // texture + mirror, for the current texture
    quint64 serial = 1;
};

TextureState &state()
{
    static TextureState s;
    return s;
}

QImage currentLocked(TextureState &s)
{
    if (!s.installed.isNull()) return s.installed;
    if (s.generated.isNull()) s.generated = makeRainbowTexture();
    return s.generated;
}

} // namespace

QImage makeRainbowTexture(QSize sizePx)
{
    const int w = std::clamp(sizePx.width(), 2, kMaxTextureSide);
    const int h = std::clamp(sizePx.height(), 2, kMaxTextureSide);
    QImage image(w, h, QImage::Format_RGB32);
    QRgb *first = reinterpret_cast<QRgb *>(image.scanLine(0));
    // Red (0°) to violet (300°): stopping short of the full circle keeps the
    // two ends apart, and the mirrored tiling joins like colours anyway.
    for (int x = 0; x < w; ++x)
        first[x] = QColor::fromHsvF(300.0f / 360.0f * float(x) / float(w - 1), 0.9f, 1.0f).rgb();
    for (int y = 1; y < h; ++y) std::copy(first, first + w, reinterpret_cast<QRgb *>(image.scanLine(y)));
    return image;
}

QImage rainbowTexture()
{
    TextureState &s = state();
    QMutexLocker lock(&s.mutex);
    return currentLocked(s);
}

void setRainbowTexture(const QImage &texture)
{
    TextureState &s = state();
    QMutexLocker lock(&s.mutex);
    s.installed = texture.isNull() ? QImage() : texture.convertToFormat(QImage::Format_RGB32);
    s.tile = QImage();
    ++s.serial;
}

bool setRainbowTextureBytes(const QByteArray &encoded)
{
    QImage image;
    if (encoded.isEmpty() || !image.loadFromData(encoded)) return false;
    if (image.width() > kMaxTextureSide || image.height() > kMaxTextureSide) return false;
    setRainbowTexture(image);
    return true;
}

QSizeF rainbowTextureScale(int compositionWidthPx, int compositionHeightPx, int targetScreenWidthPx,
                           int targetScreenHeightPx)
{
    if (targetScreenWidthPx <= 0 || targetScreenHeightPx <= 0 || compositionWidthPx <= 0 || compositionHeightPx <= 0)
        return {1.0, 1.0};
    if (compositionWidthPx == targetScreenWidthPx) return {1.0, 1.0};
    return {double(compositionWidthPx) / targetScreenWidthPx, double(compositionHeightPx) / targetScreenHeightPx};
}

quint64 rainbowTextureSerial()
{
    TextureState &s = state();
    QMutexLocker lock(&s.mutex);
    return s.serial;
}

QImage rainbowBrushTile()
{
    TextureState &s = state();
    QMutexLocker lock(&s.mutex);
    if (s.tile.isNull()) {
        const QImage texture = currentLocked(s);
        QImage tile(texture.width() * 2, texture.height(), QImage::Format_RGB32);
        QPainter p(&tile);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, 0, texture);
        p.drawImage(texture.width(), 0, texture.mirrored(true, false));
        p.end();
        s.tile = tile;
    }
    return s.tile;
}

} // namespace pvsm
