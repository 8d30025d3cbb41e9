#include "PictureEncode.h"

#include "AtomicFile.h"
#include "Numbers.h"
#include "PictureDraw.h"
#include "PictureLoad.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>

namespace pvsm {

namespace {

QByteArray encode(const QImage &image, const char *format, int32_t quality)
{
    if (image.isNull()) return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly)) return {};
    QImageWriter writer(&buffer, format);
    if (quality >= 0) writer.setQuality(std::clamp(quality, 0, 100));
    if (!writer.write(image)) return {};
    return bytes;
}

// A fresh, fully transparent 32-bit canvas with the picture stretched over it.
QImage onTransparentCanvas(const QImage &picture, QSize size)
{
    QImage canvas(size, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull()) return canvas;
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), size), picture.size() == size
                                                     ? picture
                                                     : picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return canvas;
}

} // namespace

QSize LimitPackageSize(QSize size)
{
    const int32_t w = size.width(), h = size.height();
    if (w <= kPackageMaxWidth && h <= kPackageMaxHeight) return size;
    if (double(h) / kPackageMaxHeight > double(w) / kPackageMaxWidth)
        return {std::max(1, Nearest(double(kPackageMaxHeight) / h * w)), kPackageMaxHeight};
    return {kPackageMaxWidth, std::max(1, Nearest(double(kPackageMaxWidth) / w * h))};
}

QByteArray EncodeJpeg(const QImage &image, int32_t quality)
{
    return encode(image, "jpeg", quality);
}

QByteArray EncodePng(const QImage &image)
{
    return encode(image, "png", -1);
}

QByteArray ConvertImageToBytes(const QString &path, const QString &tag, const QString &targetTag, int32_t quality)
{
    const PictureFormat format = formatFromTag(tag);
    switch (format) {
    case PictureFormat::Bmp:
    case PictureFormat::Jpg:
    case PictureFormat::Tif:
    case PictureFormat::Png:
    case PictureFormat::Tga:
    case PictureFormat::Pcx: break;
    default: return {};
    }
    const bool toPng = targetTag == QLatin1String("PNG");
    if (!toPng && targetTag != QLatin1String("JPG")) return {};

    // The limit is known from the header, so a big photo is decoded at the
    // limited size directly.
    const ImageInfo info = GetImageInfo(path, true);
    QSize limited;
    if (info.format == format) limited = LimitPackageSize(info.displaySize());
    QImage picture = LoadPictureAs(path, format, limited);
    if (picture.isNull()) return {};
    const QSize target = LimitPackageSize(picture.size());
    const bool isLimited = target != picture.size() || (limited.isValid() && limited != info.displaySize());
    if (toPng || isLimited) picture = onTransparentCanvas(picture, target);
    return toPng ? EncodePng(picture) : EncodeJpeg(picture, quality);
}

QImage ScaleImageBytesToImage(const QByteArray &bytes, QSize surfaceSize)
{
    if (surfaceSize.isEmpty()) return {};
    const QImage picture = LoadPictureBytesForTarget(bytes, kDrawStretch, surfaceSize);
    if (picture.isNull()) return {};
    return onTransparentCanvas(picture, surfaceSize);
}

QByteArray ScaleImageBytesToPng(const QByteArray &bytes, QSize surfaceSize)
{
    const QImage canvas = ScaleImageBytesToImage(bytes, surfaceSize);
    return canvas.isNull() ? QByteArray() : EncodePng(canvas);
}

bool SaveBitmapAsJpeg(const QImage &bitmap, const QString &path, int32_t quality)
{
    const QByteArray bytes = EncodeJpeg(bitmap, quality);
    if (bytes.isEmpty()) return false;
    return WriteFileAtomically(path, bytes);
}

PreparedPicture PreparePictureForPackage(const QString &path)
{
    const ImageInfo info = GetImageInfo(path, true);
    PreparedPicture result;
    result.type = info.Format;
    const PictureFormat f = info.format;
    const int32_t depth = info.ColorDepth;
    const bool fits = info.Width <= kPackageMaxWidth && info.Height <= kPackageMaxHeight;
    if (f == PictureFormat::Unknown || f == PictureFormat::Gif) return result;
    if (f == PictureFormat::Tga && depth == 32) return result;
    if (!info.turned()) {
        if ((f == PictureFormat::Png || f == PictureFormat::Tif) && depth <= 8) return result;
        if ((f == PictureFormat::Jpg || f == PictureFormat::Png) && fits) return result;
    }
    const bool toPng = (f == PictureFormat::Tif || f == PictureFormat::Png) && depth == 32;
    const QString target = formatTag(toPng ? PictureFormat::Png : PictureFormat::Jpg);
    const QByteArray bytes = ConvertImageToBytes(path, info.Format, target, kPackageJpegQuality);
    if (bytes.isEmpty()) return result;
    const bool alwaysTaken = f == PictureFormat::Tga || f == PictureFormat::Pcx || info.turned();
    if (!alwaysTaken && bytes.size() > QFileInfo(path).size()) return result;
    result.reencoded = true;
    result.bytes = bytes;
    result.type = target;
    return result;
}

} // namespace pvsm
