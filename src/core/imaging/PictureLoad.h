#pragma once

// Loading pictures of the seven formats, upright, at the size they will be
// drawn. A picture is told by its contents, as GetImageInfo tells it; BMP,
// JPG, GIF, PNG and TIF go through Qt's image readers, TGA and PCX through our
// own decoders (LoadTgaPcx.h).
//
// Every loader returns Format_RGB32 for opaque pictures and Format_ARGB32
// (not premultiplied) for pictures with an alpha channel, turned upright by
// the picture's EXIF orientation. A picture that cannot be read, or whose
// decoded size would exceed kMaxPicturePixels (LoadTgaPcx.h), gives a null
// image: the size is judged from the header, before anything is allocated.
// A path that is no regular file is not opened. CheckPictureFile tells why a
// picture gives no image. Reentrant; any thread.

#include "FileCheck.h"
#include "LoadTgaPcx.h"
#include "PictureInfo.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>

namespace pvsm {

// Allocation limit handed to Qt's image readers, in megabytes: room for the
// largest accepted picture at 64 bits per pixel (16-bit PNG and TIFF), so that
// the pixel limit, not this one, is what refuses a picture.
inline constexpr int kReaderAllocationLimitMB = int(kMaxPicturePixels * 8 / (1024 * 1024));

// True when even the smallest decode a drawing may ask for (a JPEG at 1/8 of
// its size, any other picture whole) has more than kMaxPicturePixels pixels.
bool PictureTooLarge(const ImageInfo &info);

// Why a picture file gives no image, or only part of one, from the file
// system, the header and the file's structure (nothing is decoded; a JPEG or
// PNG cut short is told by PictureDataComplete).
enum class PictureProblem { None, CannotRead, NotAPicture, TooLarge, Truncated };
struct PictureFileCheck
{
    PictureProblem problem = PictureProblem::None;
    FileProblem fileProblem = FileProblem::None; // why it cannot be read
    ImageInfo info;                               // the probe's result
};
PictureFileCheck CheckPictureFile(const QString &path);

// The problem as words that follow the path in a message: "does not exist",
// "is not a picture of a supported format", "is too large: 10000 x 10000
// pixels is more than the 67108864 (8192 x 8192) a picture may have", "is
// cut short: the file ends inside its picture data".
// Empty for None.
QString pictureProblemText(const PictureFileCheck &check);
// The same words in Chinese, for the editor's messages ("不是支持的图片格式").
QString pictureProblemTextZh(const PictureFileCheck &check);

// The whole picture at its display size.
QImage LoadPicture(const QString &path);
QImage LoadPictureBytes(const QByteArray &bytes);

// The size a picture of `displaySize` must have to be drawn in `drawMode`
// into a surface of `surfaceSize`: the surface for mode 4, the fitted size
// for mode 3 and for mode 0 when the picture is larger than the surface, the
// display size otherwise. Never larger than `displaySize` in both directions
// (loaders do not enlarge; the draw does).
QSize NeededPictureSize(QSize displaySize, int32_t drawMode, QSize surfaceSize);

// Loads the picture for drawing in `drawMode` into a surface of
// `surfaceSize`, decoding no more than that needs: a JPEG that will be shrunk
// is decoded at a reduced scale by the JPEG decoder itself. The result has
// exactly NeededPictureSize(display size, drawMode, surfaceSize) pixels, so
// drawing it by the same mode lands on the same pixels as drawing the whole
// picture would. An empty `surfaceSize` loads the whole picture.
QImage LoadPictureForTarget(const QString &path, int32_t drawMode, QSize surfaceSize);
QImage LoadPictureBytesForTarget(const QByteArray &bytes, int32_t drawMode, QSize surfaceSize);

// Loads a picture only when it is of `format` (the package builder knows the
// format it asks for): scaled to exactly `wantedSize` when that is not larger
// than the display size in either direction, else at the display size (so an
// empty `wantedSize` keeps it). A TGA or PCX asked for as such is decoded
// without the format probe.
QImage LoadPictureAs(const QString &path, PictureFormat format, QSize wantedSize = {});

} // namespace pvsm
