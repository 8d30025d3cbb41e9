#pragma once

// Our own decoders for the two picture formats the platform's image readers
// do not cover for us: TGA (types 1, 2, 3 raw and 9, 10, 11 run-length
// encoded; 8, 16, 24 and 32 bits) and PCX (1, 4 and 8 bits with one plane,
// 8 bits with three planes; raw or run-length encoded).
//
// Every entry works on bytes in memory, refuses what it cannot decode by
// returning a null QImage, never reads outside the data and never allocates
// more than a picture of `maxPixels` pixels needs. Data that ends early is not
// an error: the pixels it does not reach stay zero (black, or transparent for
// 32-bit TGA). Functions are reentrant and may run on any thread.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>

namespace pvsm {

// Largest picture any decoder of the imaging layer produces: 8192 x 8192 =
// 67 108 864 pixels (256 MB at 32 bits). A picture whose decoded size would be
// larger is refused from its header, before anything is allocated. A JPEG is
// decoded at the scale (1/8 to 1) its drawing needs, so a 100-megapixel photo
// still draws into a frame, a thumbnail or a package; only other formats of
// that size, and JPEGs wanted whole, are refused.
inline constexpr int kMaxPictureSide = 8192; // the side of a square picture at the limit
inline constexpr int64_t kMaxPicturePixels = int64_t(kMaxPictureSide) * kMaxPictureSide;

// Largest file the decoders read whole into memory; a TGA or PCX of the
// largest accepted picture is smaller.
inline constexpr int64_t kMaxDecoderFileBytes = 512ll * 1024 * 1024;

inline constexpr int kTgaHeaderBytes = 18;
inline constexpr int kPcxHeaderBytes = 128;

// What the format probes find in a header (the file's length matters too).
struct TgaPcxProbe
{
    int32_t width = 0;
    int32_t height = 0;
    int32_t colorDepth = 0; // bits per pixel
};

// TGA probe: the file is longer than 18 bytes, the image type is 1, 2, 3, 9,
// 10 or 11, the depth 8, 15, 16, 24 or 32, width and height (signed 16-bit)
// both at least 2, and a colour-mapped type (1, 9) has 8-bit pixels.
// `head` holds at least the first 18 bytes of a file of `fileBytes` bytes.
std::optional<TgaPcxProbe> ProbeTga(const QByteArray &head, int64_t fileBytes);

// PCX probe: the file is longer than 30 bytes, the bits per pixel are 1, 4 or
// 8 and Xmax and Ymax (signed 16-bit) both at least 2. Size |max - min + 1|;
// depth the bits per pixel with one plane, 24 with more.
std::optional<TgaPcxProbe> ProbePcx(const QByteArray &head, int64_t fileBytes);

// True when the header `head` (at least the first 128 bytes, or the whole file
// when shorter) claims a picture of more than `maxPixels` pixels, as the
// decoder of `tga` (else PCX) reads the size.
bool ClaimsTooManyPixels(const QByteArray &head, bool tga, int64_t maxPixels = kMaxPicturePixels);

// Decodes a whole TGA file. 8, 16 and 24 bits give Format_RGB32; 32 bits give
// Format_ARGB32 with the file's alpha (not premultiplied), which the draw
// functions compose over the surface. The image-ID field is skipped, and the
// descriptor's origin bits are honoured so the picture comes out upright.
// A colour map is read for 8-bit pixels (entries of 16, 24 or 32 bits, or a
// grey ramp without one) and skipped for the other depths.
QImage DecodeTga(const QByteArray &file, int64_t maxPixels = kMaxPicturePixels);

// Decodes a whole PCX file into Format_RGB32: 1 bit (black and white), 4 bits
// (the header's 16 colours), 8 bits (the 256 colours after the marker byte 12
// at 769 bytes from the end, else a grey ramp), and 8 bits in three or more
// planes (red, green, blue planes; further planes ignored). Other variants,
// among them 1 bit in four planes, give a null image.
QImage DecodePcx(const QByteArray &file, int64_t maxPixels = kMaxPicturePixels);

// The same, from a file; a null image when the file is no regular file (not
// opened), cannot be read, is larger than kMaxDecoderFileBytes or its header
// claims more than kMaxPicturePixels (the rest of the file is then not read).
QImage LoadTgaBitmap(const QString &path);
QImage LoadPcxBitmap(const QString &path);

// TGA run-length decoding of `data` into width x height pixels of
// `bytesPerPixel` bytes. A packet header with the top bit set repeats the next
// pixel (header - 127) times; otherwise (header + 1) literal pixels follow.
// Stops when the output is full or the input is exhausted; the rest stays 0.
QByteArray DecodeTgaRle(const QByteArray &data, int bytesPerPixel, int32_t height, int32_t width);

// PCX run-length decoding of a whole data area into at most `outputBytes`
// bytes (the rest stays 0). A byte of 192 or more is a count (byte - 192) for
// the byte after it; the last byte of the area is never taken as a count.
QByteArray DecodePcxRle(const QByteArray &data, int64_t outputBytes);

} // namespace pvsm
