#pragma once

#include <QByteArray>
#include <QtEndian>

namespace pvsm::test {

// A JPEG as cameras write them: an EXIF block right after the start marker
// with the orientation in IFD0 (0: none) and `preview` (a JPEG) in IFD1.
inline QByteArray withExifPreview(const QByteArray &jpeg, const QByteArray &preview, int orientation = 0,
                                  bool bigEndian = false)
{
    QByteArray tiff;
    auto u16 = [&](quint32 v) {
        char b[2];
        if (bigEndian) qToBigEndian(quint16(v), b);
        else qToLittleEndian(quint16(v), b);
        tiff.append(b, 2);
    };
    auto u32 = [&](quint32 v) {
        char b[4];
        if (bigEndian) qToBigEndian(v, b);
        else qToLittleEndian(v, b);
        tiff.append(b, 4);
    };
    auto entry = [&](quint32 tag, quint32 type, quint32 value) {
        u16(tag), u16(type), u32(1);
        if (type == 3) u16(value), u16(0);
        else u32(value);
    };
    tiff += bigEndian ? "MM" : "II";
    u16(42), u32(8);
    const quint32 count0 = orientation ? 1 : 0;
    const quint32 ifd1 = 8 + 2 + 12 * count0 + 4;
    u16(count0);
    if (orientation) entry(0x0112, 3, quint32(orientation));
    u32(ifd1);
    const quint32 data = ifd1 + 2 + 3 * 12 + 4;
    u16(3);
    entry(0x0103, 3, 6);
    entry(0x0201, 4, data);
    entry(0x0202, 4, quint32(preview.size()));
    u32(0);
    tiff += preview;

    const QByteArray body = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray app1("\xFF\xE1", 2);
    app1.append(char((body.size() + 2) >> 8)).append(char((body.size() + 2) & 0xFF));
    return jpeg.left(2) + app1 + body + jpeg.mid(2);
}

} // namespace pvsm::test
