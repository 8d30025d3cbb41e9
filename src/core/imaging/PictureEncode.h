#pragma once

// Re-encoding pictures as JPEG or PNG bytes, and the decision which pictures
// a slideshow package carries re-encoded. Reentrant; any thread.

#include "PictureInfo.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>

namespace pvsm {

// Pictures are re-encoded for a package at most this large.
inline constexpr int32_t kPackageMaxWidth = 1920;
inline constexpr int32_t kPackageMaxHeight = 1440;
// Quality of the pictures the package builder re-encodes.
inline constexpr int32_t kPackageJpegQuality = 94;
// Quality of the editor's thumbnails and temporary pictures.
inline constexpr int32_t kThumbnailJpegQuality = 92;

// The size a picture of `size` is re-encoded at: unchanged when it fits
// 1920 x 1440, else the limiting side is taken to 1920 or 1440 and the other
// scaled with it (Nearest).
QSize LimitPackageSize(QSize size);

// JPEG bytes at `quality` (0..100) / PNG bytes with the alpha channel kept.
// Empty when the image is null or encoding fails.
QByteArray EncodeJpeg(const QImage &image, int32_t quality);
QByteArray EncodePng(const QImage &image);

// Re-encodes the picture file `path`, whose format GetImageInfo gave as `tag`,
// as `targetTag` ("JPG" or "PNG"). "BMP", "JPG", "TIF" and "PNG" go through
// Qt's readers, "TGA" and "PCX" through our decoders; any other tag (GIF
// among them) gives no bytes. The picture is turned upright and limited by
// LimitPackageSize; a PNG target, or a limited picture, is drawn onto a fresh
// transparent 32-bit canvas first, so transparency survives into a PNG.
// Empty bytes on any failure.
QByteArray ConvertImageToBytes(const QString &path, const QString &tag, const QString &targetTag, int32_t quality);

// The picture in `bytes` (any of the seven formats) stretched over a fresh
// transparent canvas of `surfaceSize`, as PNG bytes. Empty on failure.
QByteArray ScaleImageBytesToPng(const QByteArray &bytes, QSize surfaceSize);
// The same canvas as a picture (premultiplied ARGB), for drawing at once.
QImage ScaleImageBytesToImage(const QByteArray &bytes, QSize surfaceSize);

// Saves `bitmap` as a JPEG file at `quality`, through a temporary file renamed
// into place. False when nothing was written.
bool SaveBitmapAsJpeg(const QImage &bitmap, const QString &path, int32_t quality);

// What a package carries for one picture of the resource list.
struct PreparedPicture
{
    bool reencoded = false; // true: `bytes` replace the file and their length the entry's length
    QByteArray bytes;       // the re-encoded picture, when reencoded
    QString type;           // "_Type" of the resource: "JPG", "PNG", or the detected tag
};

// The package's picture decision. Unchanged (type = detected tag): GIF, 32-bit
// TGA, PNG and TIF of 8 bits or fewer, JPG and deeper PNG that fit 1920 x 1440.
// Everything else is re-encoded with ConvertImageToBytes at quality 94: to
// "PNG" for 32-bit TIF and PNG, to "JPG" otherwise. Re-encoded bytes that are
// empty, or more than the file's length, leave the file unchanged, except for
// TGA and PCX sources, which are always taken re-encoded.
// A picture that must be turned to be upright (EXIF orientation) is always
// re-encoded upright, whatever its size, so the player shows it the right way
// up without reading the orientation itself.
PreparedPicture PreparePictureForPackage(const QString &path);

} // namespace pvsm
