#pragma once

// The picture formats of the show and the probe that tells a file's format,
// size and colour depth from its contents (never from its name).

#include <QByteArray>
#include <QImageIOHandler>
#include <QSize>
#include <QString>

#include <cstdint>

class QIODevice;

namespace pvsm {

// The seven formats; their tags also name a resource's type in a package.
enum class PictureFormat { Unknown, Bmp, Jpg, Gif, Png, Tif, Tga, Pcx };

// "BMP", "JPG", "GIF", "PNG", "TIF", "TGA", "PCX" or "UnKnown".
QString formatTag(PictureFormat format);
// The format a tag names (upper case, as formatTag gives); Unknown otherwise.
PictureFormat formatFromTag(const QString &tag);

// Result of GetImageInfo.
struct ImageInfo
{
    QString Format = formatTag(PictureFormat::Unknown); // tag
    PictureFormat format = PictureFormat::Unknown;
    int32_t Width = 0;      // stored size, pixels
    int32_t Height = 0;
    int32_t ColorDepth = 0; // bits per pixel; 0 when unknown
    // How the picture must be turned to be upright (EXIF orientation of JPEG
    // and TIFF files), and its size once turned. Display size = stored size
    // when the picture is not turned.
    QImageIOHandler::Transformations orientation = QImageIOHandler::TransformationNone;
    int32_t DisplayWidth = 0;
    int32_t DisplayHeight = 0;

    bool known() const { return format != PictureFormat::Unknown; }
    QSize storedSize() const { return {Width, Height}; }
    QSize displaySize() const { return {DisplayWidth, DisplayHeight}; }
    // True when the picture must be rotated or mirrored to be upright.
    bool turned() const { return orientation != QImageIOHandler::TransformationNone; }
};

// Probes a picture file. A path shorter than 8 characters (trailing blanks
// removed) is "UnKnown" without opening the file. BMP, JPG, GIF, PNG and TIF
// are told by their signatures and must have a header the image readers
// accept; a file that is none of them is probed as TGA, then as PCX.
// Width, Height, ColorDepth and the display size are filled only when
// `wantDetails` is set (the TGA and PCX probes always fill them).
// Never fails outwards: any error gives "UnKnown", so does a path that is no
// regular file (a FIFO or a device is not opened). Reads only headers.
// Reentrant; any thread.
ImageInfo GetImageInfo(const QString &path, bool wantDetails = true);

// The same probe over bytes in memory (no path rule).
ImageInfo GetImageInfoFromBytes(const QByteArray &bytes, bool wantDetails = true);

// The same over an open, readable device of `deviceBytes` bytes positioned
// at the start of the picture. The device's position is left unspecified.
ImageInfo GetImageInfoFromDevice(QIODevice &device, int64_t deviceBytes, bool wantDetails = true);

// The name of Qt's image reader for BMP, JPG, GIF, PNG and TIF ("bmp",
// "jpeg", "gif", "png", "tiff"); empty for the other formats, which our own
// decoders read.
QByteArray qtReaderFormat(PictureFormat format);

// The format whose signature starts `head` among BMP, JPG, GIF, PNG and TIF;
// Unknown when none does.
PictureFormat sniffSignature(const QByteArray &head);

} // namespace pvsm
