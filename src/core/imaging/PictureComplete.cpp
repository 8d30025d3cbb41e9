#include "PictureComplete.h"

#include <QFile>

#include <cstdint>

namespace pvsm {

namespace {

const QByteArray &pngEnd()
{
    static const QByteArray end("\x00\x00\x00\x00IEND\xAE\x42\x60\x82", 12);
    return end;
}

uint32_t bigEndian32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return (uint32_t(u[0]) << 24) | (uint32_t(u[1]) << 16) | (uint32_t(u[2]) << 8) | uint32_t(u[3]);
}

// Walks the segments from the start: lengths skip the headers, the coded data
// after a start of scan runs to the next marker that is neither a stuffed
// 0xFF nor a restart marker. True once the end marker is reached.
bool jpegReachesEnd(const QByteArray &data)
{
    const auto *b = reinterpret_cast<const unsigned char *>(data.constData());
    const qsizetype n = data.size();
    qsizetype i = 2; // after the start marker
    while (i + 1 < n) {
        if (b[i] != 0xFF) return false; // not at a marker: broken
        const unsigned char m = b[i + 1];
        if (m == 0xFF) { // fill byte
            ++i;
            continue;
        }
        i += 2;
        if (m == 0xD9) return true;
        if (m == 0x01 || (m >= 0xD0 && m <= 0xD8)) continue; // markers without a length
        if (i + 1 >= n) return false;
        const qsizetype length = (qsizetype(b[i]) << 8) | b[i + 1];
        if (length < 2) return false;
        i += length;
        if (m != 0xDA) continue;
        // Coded data up to the next real marker.
        while (i + 1 < n && !(b[i] == 0xFF && b[i + 1] != 0x00 && !(b[i + 1] >= 0xD0 && b[i + 1] <= 0xD7))) ++i;
    }
    return false;
}

bool pngReachesEnd(const QByteArray &data)
{
    qsizetype i = 8; // after the signature
    while (i + 12 <= data.size()) {
        const qsizetype length = qsizetype(bigEndian32(data.constData() + i));
        if (data.mid(i + 4, 4) == "IEND") return true;
        if (length > data.size()) return false;
        i += 12 + length;
    }
    return false;
}

} // namespace

bool PictureBytesComplete(const QByteArray &bytes, PictureFormat format)
{
    switch (format) {
    case PictureFormat::Jpg:
        if (bytes.size() >= 4 && bytes.endsWith("\xFF\xD9")) return true;
        return jpegReachesEnd(bytes);
    case PictureFormat::Png:
        if (bytes.endsWith(pngEnd())) return true;
        return pngReachesEnd(bytes);
    default: return true;
    }
}

bool PictureDataComplete(const QString &path, PictureFormat format)
{
    if (format != PictureFormat::Jpg && format != PictureFormat::Png) return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return true;
    const qint64 size = file.size();
    const qint64 tail = format == PictureFormat::Jpg ? 2 : 12;
    if (size >= tail && file.seek(size - tail)) {
        const QByteArray end = file.read(tail);
        if (format == PictureFormat::Jpg ? end == QByteArray("\xFF\xD9", 2) : end == pngEnd()) return true;
    }
    if (!file.seek(0)) return true;
    return PictureBytesComplete(file.readAll(), format);
}

} // namespace pvsm
