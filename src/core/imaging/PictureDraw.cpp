#include "PictureDraw.h"

#include "Numbers.h"
#include "PictureLoad.h"
#include "clsMemDC.h"

#include <QPainter>

#include <algorithm>

namespace pvsm {

namespace {

QImage asStraightArgb(const QImage &image)
{
    return image.format() == QImage::Format_ARGB32 ? image : image.convertToFormat(QImage::Format_ARGB32);
}

// Draws `picture` (already at its drawn size) with its top-left at `at`.
void paintAt(QImage &surface, const QImage &picture, QPoint at)
{
    const QRect area = QRect(at, picture.size()) & surface.rect();
    if (area.isEmpty()) return;
    if (!picture.hasAlphaChannel() || surface.hasAlphaChannel()) {
        QPainter painter(&surface);
        painter.drawImage(at, picture);
        return;
    }
    const QImage background = surface.copy(area);
    const QImage part = picture.copy(area.translated(-at));
    QPainter painter(&surface);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(area.topLeft(), ComposeAlpha(background, part));
}

// Mode 2: the surface's own top-left block, repeated over the whole surface.
void tile(QImage &surface, QSize picture)
{
    const int w = picture.width(), h = picture.height();
    const int columns = IntPart(double(surface.width()) / w) + 1;
    const int rows = IntPart(double(surface.height()) / h) + 1;
    if (columns == 1 && rows == 1) return;
    const QImage block = surface.copy(QRect(0, 0, w, h) & surface.rect());
    QPainter painter(&surface);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (int c = 1; c <= columns; ++c)
        for (int r = 1; r <= rows; ++r)
            if (c != 1 || r != 1) painter.drawImage(QPoint((c - 1) * w, (r - 1) * h), block);
}

} // namespace

QSize FitSize(QSize picture, QSize surface)
{
    if (picture.isEmpty() || surface.isEmpty()) return {};
    const double W = surface.width(), H = surface.height(), w = picture.width(), h = picture.height();
    int32_t drawnW = 0, drawnH = 0;
    if (h / H > w / W) {
        drawnH = surface.height();
        drawnW = Nearest(w * (H / h));
    } else {
        drawnW = surface.width();
        drawnH = Nearest((W / w) * h);
    }
    return {std::clamp(drawnW, 1, surface.width()), std::clamp(drawnH, 1, surface.height())};
}

QRect PlacePicture(QSize surface, QSize picture, int32_t drawMode, QPoint position, RandomSource &random)
{
    if (surface.isEmpty() || picture.isEmpty()) return {};
    const int W = surface.width(), H = surface.height(), w = picture.width(), h = picture.height();
    auto centred = [&](QSize drawn) {
        return QRect(QPoint(Nearest((W - drawn.width()) / 2.0), Nearest((H - drawn.height()) / 2.0)), drawn);
    };
    switch (drawMode) {
    case kDrawCentred:
        if (W >= w && H >= h) return centred(picture);
        return centred(FitSize(picture, surface));
    case kDrawAtPosition:
        if (position != QPoint(0, 0)) return QRect(position, picture);
        random.reseedFromClock();
        {
            const double r1 = random.next();
            const double r2 = random.next();
            return QRect(QPoint(Nearest((W - w) * r1), Nearest((H - h) * r2)), picture);
        }
    case kDrawTiled: return QRect(QPoint(0, 0), picture);
    case kDrawFit: return centred(FitSize(picture, surface));
    case kDrawStretch: return QRect(QPoint(0, 0), surface);
    default: return {};
    }
}

QRect DrawPicture(QImage &surface, const QImage &picture, int32_t drawMode, QPoint position, RandomSource &random)
{
    if (surface.isNull() || picture.isNull()) return {};
    const QRect placed = PlacePicture(surface.size(), picture.size(), drawMode, position, random);
    if (placed.isEmpty()) return {};
    QImage drawn = picture;
    if (placed.size() != picture.size()) {
        drawn = AreaScaled(picture, placed.size());
        if (drawn.isNull()) drawn = picture.scaled(placed.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    paintAt(surface, drawn, placed.topLeft());
    if (drawMode == kDrawTiled) tile(surface, picture.size());
    return placed;
}

QRect DrawImageFile(QImage &surface, const QString &path, int32_t drawMode, QPoint position, RandomSource &random)
{
    if (surface.isNull()) return {};
    return DrawPicture(surface, LoadPictureForTarget(path, drawMode, surface.size()), drawMode, position, random);
}

QRect DrawImageBytes(QImage &surface, const QByteArray &bytes, int32_t drawMode, QPoint position, RandomSource &random)
{
    if (surface.isNull()) return {};
    return DrawPicture(surface, LoadPictureBytesForTarget(bytes, drawMode, surface.size()), drawMode, position, random);
}

void DrawImageToRect(QImage &surface, const QImage &picture, const QRectF &target)
{
    if (surface.isNull() || picture.isNull() || target.isEmpty()) return;
    QPainter painter(&surface);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSize whole = target.size().toSize();
    // Shrinking through QImage::scaled averages the pixels; a painter's
    // smooth transform only interpolates between neighbours.
    if (!whole.isEmpty() && (whole.width() < picture.width() || whole.height() < picture.height()))
        painter.drawImage(target, picture.scaled(whole, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    else
        painter.drawImage(target, picture);
}

void DrawImageFileToRect(QImage &surface, const QString &path, const QRectF &target)
{
    if (surface.isNull() || target.isEmpty()) return;
    DrawImageToRect(surface, LoadPictureForTarget(path, kDrawStretch, target.size().toSize()), target);
}

void DrawImageBytesToRect(QImage &surface, const QByteArray &bytes, const QRectF &target)
{
    if (surface.isNull() || target.isEmpty()) return;
    DrawImageToRect(surface, LoadPictureBytesForTarget(bytes, kDrawStretch, target.size().toSize()), target);
}

void DrawBitmapToDC(QImage &surface, const QImage &bitmap, int32_t width, int32_t height)
{
    DrawImageToRect(surface, bitmap, QRectF(0, 0, width, height));
}

void DrawBitmapGrey(QImage &surface, const QImage &bitmap, int32_t width, int32_t height)
{
    if (surface.isNull() || bitmap.isNull()) return;
    QImage grey = asStraightArgb(bitmap.copy(QRect(0, 0, width, height) & bitmap.rect()));
    for (int y = 0; y < grey.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            const QRgb c = line[x];
            const int v = std::min(255, int(0.35 * (qRed(c) + qGreen(c) + qBlue(c))));
            line[x] = qRgba(v, v, v, qAlpha(c));
        }
    }
    paintAt(surface, bitmap.hasAlphaChannel() ? grey : grey.convertToFormat(QImage::Format_RGB32), QPoint(0, 0));
}

QImage ComposeAlpha(const QImage &background, const QImage &picture)
{
    if (background.size() != picture.size() || background.isNull()) return {};
    QImage out = background.convertToFormat(QImage::Format_RGB32);
    const QImage src = asStraightArgb(picture);
    for (int y = 0; y < out.height(); ++y) {
        auto *dst = reinterpret_cast<QRgb *>(out.scanLine(y));
        const auto *p = reinterpret_cast<const QRgb *>(src.constScanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const int a = qAlpha(p[x]);
            auto mix = [a](int bg, int fg) { return ((255 - a) * bg + a * fg + 255) >> 8; };
            const QRgb b = dst[x];
            dst[x] = qRgb(mix(qRed(b), qRed(p[x])), mix(qGreen(b), qGreen(p[x])), mix(qBlue(b), qBlue(p[x])));
        }
    }
    return out;
}

} // namespace pvsm
