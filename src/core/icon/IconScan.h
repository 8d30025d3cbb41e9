#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

namespace pvsm {

// The icon images the chooser offers: 32 or 48 pixels square, 8, 24 or 32 bits
// deep, stored as a device-independent bitmap (40-byte header, colours, mask).
// Their byte length follows from edge and depth alone.
inline constexpr qint64 kLargestIconImage = 9640; // 48 x 48, 32 bits
qint64 IconImageLength(int edge, int depth);      // 0 for a size the table lacks

struct IconHit
{
    qint64 offset = 0; // of the bitmap header in the file
    int edge = 0;      // 32 or 48
    int depth = 0;     // 8, 24 or 32
    qint64 length = 0; // IconImageLength(edge, depth)
    bool fromPicture = false; // a PNG scaled to 48 x 48: no bytes to copy, see ExtractIcon
};

// "图标 - 001  48*48  24位": number n counts from 1.
QString IconListText(int n, const IconHit &hit);

enum class IconScanProblem
{
    None,
    Unreadable,   // missing, no regular file, or no permission
    TooSmall,     // below 21 bytes
    TooLarge,     // above 10,240,000 bytes and no program
    NotAPicture,  // a PNG that does not decode
};

struct IconScan
{
    IconScanProblem problem = IconScanProblem::None;
    std::vector<IconHit> hits;
    bool program = false; // read only up to kProgramScanLimit
};

inline constexpr qint64 kProgramScanLimit = 2000000;
inline constexpr qint64 kScanFileLimit = 10240000;
// A crafted file could hold a header every 16 bytes; the list stops here.
inline constexpr int kMaxIconHits = 9999;

// Finds the icon images in `bytes`, the first bytes of a file of `fileSize`
// bytes (-1: `bytes` is the whole file). A hit whose image would run past the
// end of the file is dropped.
std::vector<IconHit> ScanIconBytes(QByteArrayView bytes, qint64 fileSize = -1);

// Scans a file as the chooser does: a program (a name ending in "exe", or an
// ELF executable) is read up to its first 2,000,000 bytes, any other file only
// when it holds 21 to 10,240,000 bytes. A PNG file is one entry, the picture
// scaled to 48 x 48 at 32 bits.
IconScan ScanIconFile(const QString &path);

// True for an ELF file that is a program rather than a library: a fixed
// executable, or a position-independent one that names an interpreter.
bool IsElfProgram(const QString &path);

// A single-image icon file (6-byte header, one 16-byte entry, the image at
// offset 22) of `hit` in the file at `path`; empty when the bytes cannot be
// read. For a picture hit, the picture scaled to 48 x 48 at 32 bits.
QByteArray ExtractIcon(const QString &path, const IconHit &hit);

// The single-image icon file of one bitmap image (header first).
QByteArray SingleImageIcon(QByteArrayView image, int edge, int depth);

// A picture (any format Qt reads) as a 48 x 48, 32-bit icon image (bitmap
// header, bottom-up BGRA rows, then the transparency mask); empty when it
// does not decode.
QByteArray PictureToIconImage(const QByteArray &pictureBytes);

// The image of a single-image icon file as the chooser and the player show
// it; null when the bytes are no such file or the image is damaged.
struct IconFileImage
{
    int edge = 0, depth = 0;
    QByteArray image; // the bitmap bytes the entry points at
};
std::optional<IconFileImage> ParseIconFile(QByteArrayView icoBytes);

} // namespace pvsm
