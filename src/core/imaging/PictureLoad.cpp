#include "PictureLoad.h"

#include "PictureComplete.h"

#include "FileCheck.h"
#include "LoadTgaPcx.h"
#include "PictureDraw.h"
#include "clsMemDC.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <functional>

namespace pvsm {

namespace {

// Given the display size, the size to deliver.
using WantedSize = std::function<QSize(QSize displaySize)>;

QSize keepDisplay(QSize display)
{
    return display;
}

// Shrinking only: a wanted size larger in either direction keeps the display size.
QSize clampWanted(QSize wanted, QSize display)
{
    if (wanted.isEmpty() || wanted.width() > display.width() || wanted.height() > display.height()) return display;
    return wanted;
}

QImage normalised(QImage image)
{
    if (image.isNull()) return image;
    const QImage::Format target = image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    if (image.format() != target) image.convertTo(target);
    return image;
}

QImage resized(QImage image, QSize size)
{
    if (image.isNull() || image.size() == size) return image;
    QImage scaled = AreaScaled(image, size);
    return scaled.isNull() ? normalised(image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)) : scaled;
}

// How far the JPEG decoder shrinks (1, 2, 4 or 8) a picture stored at `stored`
// that is wanted at `wanted` (both before the turn). Its shrinking keeps the
// detail of that scale, but an area shrink of the rest that is small blends
// neighbours as much as it averages: a photo taken to 1.04 times its final
// width and then shrunk kept two thirds of the fine detail of a shrink of the
// whole photo, taken to 2.08 times nine tenths, to 4.2 times 97 %. So the
// decoder leaves at least four times the wanted size, and AreaScaled does the rest.
int jpegScaleFor(QSize stored, QSize wanted)
{
    constexpr int kLeftForTheAreaShrink = 4;
    int denominator = 1;
    while (denominator < 8 && stored.width() / (2 * denominator) >= kLeftForTheAreaShrink * wanted.width()
           && stored.height() / (2 * denominator) >= kLeftForTheAreaShrink * wanted.height())
        denominator *= 2;
    return denominator;
}

// Asks the reader for the picture shrunk by `denominator` in the decoder. The
// decoder's own sizes round up, and the reader blends a size that differs by a
// pixel into the one asked for; a clip to a multiple of the denominator (the
// last few columns and rows, under 8 pixels) gives exactly the decoder's size.
void askDecoderScale(QImageReader &reader, QSize stored, int denominator)
{
    if (denominator <= 1) return;
    const QSize whole(stored.width() / denominator, stored.height() / denominator);
    reader.setClipRect(QRect(QPoint(0, 0), whole * denominator));
    reader.setScaledSize(whole);
}

bool tooManyPixels(QSize size)
{
    return int64_t(size.width()) * size.height() > kMaxPicturePixels;
}

// The size Qt's JPEG reader decodes at when asked for `scaled`: libjpeg's
// M/8 scaling with the smallest M (1 .. 8) that still covers the size asked
// for. Every other reader decodes the stored size.
QSize decodedSize(PictureFormat format, QSize stored, QSize scaled)
{
    if (format != PictureFormat::Jpg || scaled.isEmpty() || scaled == stored) return stored;
    const double f = std::min(double(stored.width()) / scaled.width(), double(stored.height()) / scaled.height());
    const int m = std::clamp(int(std::ceil(8.0 / f)), 1, 8);
    return {(stored.width() * m + 7) / 8, (stored.height() * m + 7) / 8};
}

struct QtRead
{
    bool headerRead = false; // false: the reader did not take the file at all
    QImage image;
};

// A decode this big is a whole photo; smaller ones are left to the heap.
constexpr qsizetype kReturnedDecodeBytes = qsizetype(16) << 20;

QtRead readWithQt(QIODevice &device, PictureFormat format, const WantedSize &want)
{
    QtRead result;
    QImageReader reader(&device, qtReaderFormat(format));
    reader.setAllocationLimit(kReaderAllocationLimitMB);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (!stored.isValid() || stored.isEmpty()) return result;
    result.headerRead = true;
    const bool quarterTurn = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    const QSize display = quarterTurn ? stored.transposed() : stored;
    const QSize wanted = clampWanted(want(display), display);
    // The JPEG decoder shrinks while it decodes (DCT scaling), which is what
    // makes big photos cheap; the size asked for is before the turn.
    if (wanted != display && format == PictureFormat::Jpg)
        askDecoderScale(reader, stored, jpegScaleFor(stored, quarterTurn ? wanted.transposed() : wanted));
    // Refused from the header, before the reader allocates anything.
    if (tooManyPixels(decodedSize(format, stored, reader.scaledSize()))) return result;
    QImage decoded = normalised(reader.read());
    const bool large = decoded.sizeInBytes() >= kReturnedDecodeBytes;
    result.image = resized(std::move(decoded), wanted);
    // The canvases keep freed heap blocks for reuse (ReuseCanvasMemory), so a
    // whole photo decoded for one slide would stay mapped in the arena of the
    // thread that decoded it, one per composing thread; hand it back now.
    if (large) ReturnFreedHeapMemory();
    return result;
}

QImage decodeOurs(QIODevice &device, PictureFormat format, const WantedSize &want)
{
    if (device.size() - device.pos() > kMaxDecoderFileBytes) return {};
    // The claimed size is refused before the file is read in.
    if (ClaimsTooManyPixels(device.peek(kPcxHeaderBytes), format == PictureFormat::Tga)) return {};
    const QByteArray bytes = device.readAll();
    QImage image = format == PictureFormat::Tga ? DecodeTga(bytes) : DecodePcx(bytes);
    if (image.isNull()) return image;
    return resized(normalised(image), clampWanted(want(image.size()), image.size()));
}

// `only`: the one format to accept, or Unknown for any of the seven.
QImage decodeDevice(QIODevice &device, int64_t deviceBytes, PictureFormat only, const WantedSize &want)
{
    const qint64 start = device.pos();
    const QByteArray head = device.peek(kPcxHeaderBytes);
    const PictureFormat signed_ = sniffSignature(head);
    if (signed_ != PictureFormat::Unknown && (only == PictureFormat::Unknown || only == signed_)) {
        QtRead read = readWithQt(device, signed_, want);
        if (read.headerRead) return read.image;
        if (!device.seek(start)) return {};
    }
    if (only == PictureFormat::Tga || only == PictureFormat::Pcx) return decodeOurs(device, only, want);
    if (only != PictureFormat::Unknown) return {};
    if (ProbeTga(head, deviceBytes)) return decodeOurs(device, PictureFormat::Tga, want);
    if (ProbePcx(head, deviceBytes)) return decodeOurs(device, PictureFormat::Pcx, want);
    return {};
}

QImage decodeFile(const QString &path, PictureFormat only, const WantedSize &want)
{
    if (readProblem(path) != FileProblem::None) return {}; // a FIFO would block the open
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return decodeDevice(file, file.size(), only, want);
}

QImage decodeBytes(const QByteArray &bytes, const WantedSize &want)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return {};
    return decodeDevice(buffer, bytes.size(), PictureFormat::Unknown, want);
}

WantedSize forTarget(int32_t drawMode, QSize surfaceSize)
{
    if (surfaceSize.isEmpty()) return keepDisplay;
    return [drawMode, surfaceSize](QSize display) { return NeededPictureSize(display, drawMode, surfaceSize); };
}

} // namespace

bool PictureTooLarge(const ImageInfo &info)
{
    if (!info.known()) return false;
    // The smallest decode a drawing can ask for: a JPEG at 1/8, the others whole.
    const QSize stored = info.storedSize();
    const QSize least = info.format == PictureFormat::Jpg ? decodedSize(info.format, stored, QSize(1, 1)) : stored;
    return tooManyPixels(least);
}

PictureFileCheck CheckPictureFile(const QString &path)
{
    PictureFileCheck check;
    check.fileProblem = readProblem(path);
    if (check.fileProblem != FileProblem::None) {
        check.problem = PictureProblem::CannotRead;
        return check;
    }
    check.info = GetImageInfo(path, true);
    if (!check.info.known())
        check.problem = PictureProblem::NotAPicture;
    else if (PictureTooLarge(check.info))
        check.problem = PictureProblem::TooLarge;
    else if (!PictureDataComplete(path, check.info.format))
        check.problem = PictureProblem::Truncated;
    return check;
}

QString pictureProblemText(const PictureFileCheck &check)
{
    switch (check.problem) {
    case PictureProblem::None: return {};
    case PictureProblem::CannotRead: return fileProblemText(check.fileProblem);
    case PictureProblem::NotAPicture: return QStringLiteral("is not a picture of a supported format");
    case PictureProblem::Truncated: return QStringLiteral("is cut short: the file ends inside its picture data");
    case PictureProblem::TooLarge:
        return QStringLiteral("is too large: %1 x %2 pixels is more than the %3 (%4 x %4) a picture may have")
            .arg(check.info.Width)
            .arg(check.info.Height)
            .arg(kMaxPicturePixels)
            .arg(kMaxPictureSide);
    }
    return {};
}

QString pictureProblemTextZh(const PictureFileCheck &check)
{
    switch (check.problem) {
    case PictureProblem::None: return {};
    case PictureProblem::CannotRead: return fileProblemTextZh(check.fileProblem);
    case PictureProblem::NotAPicture: return QStringLiteral("不是支持的图片格式");
    case PictureProblem::Truncated: return QStringLiteral("文件不完整：图片数据被截断");
    case PictureProblem::TooLarge:
        return QStringLiteral("图片太大：%1 x %2 像素，超过了上限 %3 x %3")
            .arg(check.info.Width)
            .arg(check.info.Height)
            .arg(kMaxPictureSide);
    }
    return {};
}

QSize NeededPictureSize(QSize displaySize, int32_t drawMode, QSize surfaceSize)
{
    QSize needed = displaySize;
    switch (drawMode) {
    case kDrawStretch: needed = surfaceSize; break;
    case kDrawFit: needed = FitSize(displaySize, surfaceSize); break;
    case kDrawCentred:
        if (displaySize.width() > surfaceSize.width() || displaySize.height() > surfaceSize.height())
            needed = FitSize(displaySize, surfaceSize);
        break;
    default: break;
    }
    return clampWanted(needed, displaySize);
}

QImage LoadPicture(const QString &path)
{
    return decodeFile(path, PictureFormat::Unknown, keepDisplay);
}

QImage LoadPictureBytes(const QByteArray &bytes)
{
    return decodeBytes(bytes, keepDisplay);
}

QImage LoadPictureForTarget(const QString &path, int32_t drawMode, QSize surfaceSize)
{
    return decodeFile(path, PictureFormat::Unknown, forTarget(drawMode, surfaceSize));
}

QImage LoadPictureBytesForTarget(const QByteArray &bytes, int32_t drawMode, QSize surfaceSize)
{
    return decodeBytes(bytes, forTarget(drawMode, surfaceSize));
}

QImage LoadPictureAs(const QString &path, PictureFormat format, QSize wantedSize)
{
    if (format == PictureFormat::Unknown) return {};
    return decodeFile(path, format, [wantedSize](QSize display) { return clampWanted(wantedSize, display); });
}

} // namespace pvsm
