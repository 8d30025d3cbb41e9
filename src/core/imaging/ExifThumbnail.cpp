#include "ExifThumbnail.h"

#include "PictureDraw.h"
#include "PictureLoad.h"
#include "clsMemDC.h"

#include <QFile>
#include <QImageReader>
#include <QTransform>

#include <cmath>
#include <optional>

namespace pvsm {

namespace {

// Reads the TIFF structure inside an EXIF block, either byte order.
struct Tiff
{
    QByteArrayView data;
    bool big = false;

    std::optional<quint32> u16(qint64 at) const
    {
        if (at < 0 || at + 2 > data.size()) return std::nullopt;
        const auto *p = reinterpret_cast<const uchar *>(data.data()) + at;
        return big ? quint32(p[0] << 8 | p[1]) : quint32(p[1] << 8 | p[0]);
    }
    std::optional<quint32> u32(qint64 at) const
    {
        const auto hi = u16(big ? at : at + 2), lo = u16(big ? at + 2 : at);
        if (!hi || !lo) return std::nullopt;
        return *hi << 16 | *lo;
    }
};

constexpr quint32 kTagCompression = 0x0103, kTagJpegOffset = 0x0201, kTagJpegLength = 0x0202;

QByteArray thumbnailOfExif(QByteArrayView exif)
{
    if (exif.size() < 8) return {};
    Tiff tiff{exif, exif.startsWith("MM")};
    if (!tiff.big && !exif.startsWith("II")) return {};
    if (tiff.u16(2) != 42u) return {};
    const auto ifd0 = tiff.u32(4);
    if (!ifd0) return {};
    const auto count0 = tiff.u16(*ifd0);
    if (!count0) return {};
    const auto ifd1 = tiff.u32(qint64(*ifd0) + 2 + 12 * qint64(*count0));
    if (!ifd1 || *ifd1 == 0) return {};
    const auto count1 = tiff.u16(*ifd1);
    if (!count1) return {};
    std::optional<quint32> offset, length, compression;
    for (quint32 i = 0; i < *count1; ++i) {
        const qint64 entry = qint64(*ifd1) + 2 + 12 * qint64(i);
        const auto tag = tiff.u16(entry), type = tiff.u16(entry + 2);
        if (!tag || !type) return {};
        // SHORT values sit in the first half of the value field, LONG ones fill it.
        const auto value = *type == 3 ? tiff.u16(entry + 8) : tiff.u32(entry + 8);
        if (*tag == kTagJpegOffset) offset = value;
        else if (*tag == kTagJpegLength) length = value;
        else if (*tag == kTagCompression) compression = value;
    }
    if (!offset || !length || (compression && *compression != 6)) return {};
    if (*length < 4 || qint64(*offset) + qint64(*length) > exif.size()) return {};
    const QByteArrayView jpeg = exif.sliced(*offset, *length);
    if (!jpeg.startsWith("\xFF\xD8")) return {};
    return jpeg.toByteArray();
}

QImage upright(QImage image, QImageIOHandler::Transformations turn)
{
    image = image.mirrored(turn.testFlag(QImageIOHandler::TransformationMirror),
                           turn.testFlag(QImageIOHandler::TransformationFlip));
    if (turn.testFlag(QImageIOHandler::TransformationRotate90)) image = image.transformed(QTransform().rotate(90));
    return image;
}

} // namespace

QByteArray ExifThumbnailBytes(QByteArrayView head)
{
    if (!head.startsWith("\xFF\xD8")) return {};
    qint64 at = 2;
    // The EXIF block is an APP1 segment among the first ones, before the scan.
    while (at + 4 <= head.size()) {
        if (uchar(head[at]) != 0xFF) return {};
        const uchar marker = uchar(head[at + 1]);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return {}; // the scan begins: no EXIF before it
        const qint64 length = qint64(uchar(head[at + 2])) << 8 | uchar(head[at + 3]);
        if (length < 2 || at + 2 + length > head.size()) return {};
        const QByteArrayView body = head.sliced(at + 4, length - 2);
        if (marker == 0xE1 && body.startsWith(QByteArrayView("Exif\0\0", 6)))
            if (QByteArray thumb = thumbnailOfExif(body.sliced(6)); !thumb.isEmpty()) return thumb;
        at += 2 + length;
    }
    return {};
}

QImage LoadExifThumbnail(const QString &path, QSize cell)
{
    if (cell.isEmpty()) return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.peek(2).startsWith("\xFF\xD8")) return {}; // JPEGs only
    const QByteArray head = file.read(kExifSearchBytes);
    const QByteArray thumbBytes = ExifThumbnailBytes(head);
    if (thumbBytes.isEmpty()) return {};

    // The photo's own size and turn come from its header, not from the preview.
    file.seek(0);
    QImageReader reader(&file, "jpeg");
    const QSize stored = reader.size();
    if (!stored.isValid() || stored.isEmpty()) return {};
    const QImageIOHandler::Transformations turn = reader.transformation();

    QImage thumb = QImage::fromData(thumbBytes, "JPEG");
    if (thumb.isNull()) return {};
    const double photoShape = double(stored.width()) / stored.height();
    const double thumbShape = double(thumb.width()) / thumb.height();
    if (std::abs(thumbShape / photoShape - 1.0) > 0.02) return {};

    const bool quarterTurn = turn.testFlag(QImageIOHandler::TransformationRotate90);
    const QSize display = quarterTurn ? stored.transposed() : stored;
    const QSize wanted = NeededPictureSize(display, kDrawFit, cell);
    thumb = upright(thumb.convertToFormat(QImage::Format_RGB32), turn);
    if (wanted.isEmpty() || thumb.width() < wanted.width() || thumb.height() < wanted.height()) return {};
    return thumb.size() == wanted ? thumb : AreaScaled(thumb, wanted);
}

} // namespace pvsm
