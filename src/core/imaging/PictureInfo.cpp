#include "PictureInfo.h"

#include "FileCheck.h"
#include "LoadTgaPcx.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

namespace pvsm {

namespace {

struct TagName
{
    PictureFormat format;
    const char *tag;
};

constexpr TagName kTags[] = {
    {PictureFormat::Unknown, "UnKnown"}, {PictureFormat::Bmp, "BMP"}, {PictureFormat::Jpg, "JPG"},
    {PictureFormat::Gif, "GIF"},         {PictureFormat::Png, "PNG"}, {PictureFormat::Tif, "TIF"},
    {PictureFormat::Tga, "TGA"},         {PictureFormat::Pcx, "PCX"},
};

constexpr qint64 kHeadBytes = kPcxHeaderBytes;

uint8_t byteAt(const QByteArray &b, qsizetype i)
{
    return i >= 0 && i < b.size() ? uint8_t(b[i]) : 0;
}

// Bits per pixel as stored in the file, where the reader's in-memory format
// widens it: Qt reads 16 and 24-bit pixels as 32-bit, and 4-bit palettes as 8-bit.
int32_t storedBmpDepth(const QByteArray &head)
{
    const uint32_t headerSize = byteAt(head, 14) | (byteAt(head, 15) << 8) | (byteAt(head, 16) << 16)
                                | (uint32_t(byteAt(head, 17)) << 24);
    const qsizetype at = headerSize == 12 ? 24 : 28; // the old 12-byte header has 16-bit sizes
    const int bits = byteAt(head, at) | (byteAt(head, at + 1) << 8);
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32 ? bits : 0;
}

int32_t depthOfFormat(QImage::Format f)
{
    switch (f) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB: return 1;
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8:
    case QImage::Format_Alpha8: return 8;
    case QImage::Format_RGB16:
    case QImage::Format_RGB555:
    case QImage::Format_RGB444:
    case QImage::Format_ARGB4444_Premultiplied:
    case QImage::Format_Grayscale16: return 16;
    case QImage::Format_RGB32:
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
    case QImage::Format_RGBX8888: return 24;
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied: return 32;
    default: return 0; // 16 bits per channel and the like
    }
}

int32_t colorDepth(PictureFormat format, QImage::Format memoryFormat, const QByteArray &head)
{
    switch (format) {
    case PictureFormat::Bmp: return storedBmpDepth(head);
    case PictureFormat::Gif: return 8; // always a palette
    case PictureFormat::Png:
        // Palette PNGs of 4 bits (colour type 3) are widened to 8 in memory.
        if (byteAt(head, 25) == 3 && byteAt(head, 24) == 4) return 4;
        return depthOfFormat(memoryFormat);
    default: return depthOfFormat(memoryFormat);
    }
}

ImageInfo probeTgaPcx(const QByteArray &head, int64_t bytes)
{
    ImageInfo info;
    PictureFormat format = PictureFormat::Unknown;
    std::optional<TgaPcxProbe> probe = ProbeTga(head, bytes);
    if (probe) format = PictureFormat::Tga;
    else if ((probe = ProbePcx(head, bytes))) format = PictureFormat::Pcx;
    if (!probe) return info;
    info.format = format;
    info.Format = formatTag(format);
    info.Width = info.DisplayWidth = probe->width;
    info.Height = info.DisplayHeight = probe->height;
    info.ColorDepth = probe->colorDepth;
    return info;
}

} // namespace

QString formatTag(PictureFormat format)
{
    for (const TagName &t : kTags)
        if (t.format == format) return QString::fromLatin1(t.tag);
    return QStringLiteral("UnKnown");
}

PictureFormat formatFromTag(const QString &tag)
{
    for (const TagName &t : kTags)
        if (tag == QLatin1String(t.tag)) return t.format;
    return PictureFormat::Unknown;
}

QByteArray qtReaderFormat(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Bmp: return "bmp";
    case PictureFormat::Jpg: return "jpeg";
    case PictureFormat::Gif: return "gif";
    case PictureFormat::Png: return "png";
    case PictureFormat::Tif: return "tiff";
    default: return {};
    }
}

PictureFormat sniffSignature(const QByteArray &head)
{
    if (head.startsWith("BM")) return PictureFormat::Bmp;
    if (head.startsWith("\xFF\xD8\xFF")) return PictureFormat::Jpg;
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a")) return PictureFormat::Gif;
    if (head.startsWith("\x89PNG\r\n\x1A\n")) return PictureFormat::Png;
    if (head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4))) return PictureFormat::Tif;
    return PictureFormat::Unknown;
}

ImageInfo GetImageInfoFromDevice(QIODevice &device, int64_t deviceBytes, bool wantDetails)
{
    const qint64 start = device.pos();
    const QByteArray head = device.peek(kHeadBytes);
    const PictureFormat signed_ = sniffSignature(head);
    if (signed_ != PictureFormat::Unknown) {
        QImageReader reader(&device, qtReaderFormat(signed_));
        const QSize stored = reader.size();
        if (stored.isValid() && !stored.isEmpty()) {
            ImageInfo info;
            info.format = signed_;
            info.Format = formatTag(signed_);
            if (wantDetails) {
                info.Width = stored.width();
                info.Height = stored.height();
                info.ColorDepth = colorDepth(signed_, reader.imageFormat(), head);
                info.orientation = reader.transformation();
                const QSize shown = info.orientation.testFlag(QImageIOHandler::TransformationRotate90) ? stored.transposed()
                                                                                                      : stored;
                info.DisplayWidth = shown.width();
                info.DisplayHeight = shown.height();
            }
            return info;
        }
        // Not readable after all: the readers did not take it, so try our own probes.
        if (!device.isSequential()) device.seek(start);
    }
    return probeTgaPcx(head, deviceBytes);
}

ImageInfo GetImageInfoFromBytes(const QByteArray &bytes, bool wantDetails)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return {};
    return GetImageInfoFromDevice(buffer, bytes.size(), wantDetails);
}

ImageInfo GetImageInfo(const QString &path, bool wantDetails)
{
    qsizetype end = path.size();
    while (end > 0 && path[end - 1] == QLatin1Char(' ')) --end;
    if (end < 8) return {};
    if (readProblem(path) != FileProblem::None) return {}; // a FIFO would block the open
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return GetImageInfoFromDevice(file, file.size(), wantDetails);
}

} // namespace pvsm
