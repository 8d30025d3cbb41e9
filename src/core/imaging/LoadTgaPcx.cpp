#include "LoadTgaPcx.h"

#include "FileCheck.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cstring>

namespace pvsm {

namespace {

uint8_t byteAt(const QByteArray &b, qsizetype i)
{
    return i >= 0 && i < b.size() ? uint8_t(b[i]) : 0;
}

uint16_t u16At(const QByteArray &b, qsizetype i)
{
    return uint16_t(byteAt(b, i) | (byteAt(b, i + 1) << 8));
}

int16_t s16At(const QByteArray &b, qsizetype i)
{
    return int16_t(u16At(b, i));
}

// 5-bit fields of the 16-bit pixels are widened by repeating their top bits,
// so full intensity stays 255.
uint8_t widen5(uint32_t v)
{
    return uint8_t((v << 3) | (v >> 2));
}

QImage readWholeFile(const QString &path, bool tga, QImage (*decode)(const QByteArray &, int64_t))
{
    if (readProblem(path) != FileProblem::None) return {};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxDecoderFileBytes) return {};
    if (ClaimsTooManyPixels(f.peek(kPcxHeaderBytes), tga)) return {};
    return decode(f.readAll(), kMaxPicturePixels);
}


// Copies up to `count` bytes from `src` at `from` into a zero-filled buffer of `count`.
QByteArray takeZeroPadded(const QByteArray &src, qsizetype from, qsizetype count)
{
    QByteArray out(count, '\0');
    if (from < src.size()) {
        const qsizetype n = std::min(count, src.size() - from);
        std::memcpy(out.data(), src.constData() + from, size_t(n));
    }
    return out;
}

} // namespace

std::optional<TgaPcxProbe> ProbeTga(const QByteArray &head, int64_t fileBytes)
{
    if (fileBytes <= kTgaHeaderBytes || head.size() < kTgaHeaderBytes) return std::nullopt;
    const int type = byteAt(head, 2);
    const int depth = byteAt(head, 16);
    const int32_t width = s16At(head, 12), height = s16At(head, 14);
    const bool typeOk = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    const bool depthOk = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
    if (!typeOk || !depthOk || width < 2 || height < 2) return std::nullopt;
    if ((type == 1 || type == 9) && depth != 8) return std::nullopt;
    return TgaPcxProbe{width, height, depth};
}

std::optional<TgaPcxProbe> ProbePcx(const QByteArray &head, int64_t fileBytes)
{
    // A header cut short reads as zeros beyond the file's end (so 0 planes).
    if (fileBytes <= 30 || head.size() < 12) return std::nullopt;
    const int bits = byteAt(head, 3);
    const int32_t xMin = s16At(head, 4), yMin = s16At(head, 6), xMax = s16At(head, 8), yMax = s16At(head, 10);
    if ((bits != 1 && bits != 4 && bits != 8) || xMax < 2 || yMax < 2) return std::nullopt;
    const int planes = byteAt(head, 65);
    return TgaPcxProbe{std::abs(xMax - xMin + 1), std::abs(yMax - yMin + 1), planes == 1 ? bits : 24};
}

bool ClaimsTooManyPixels(const QByteArray &head, bool tga, int64_t maxPixels)
{
    int64_t width = 0, height = 0;
    if (tga) {
        width = s16At(head, 12);
        height = s16At(head, 14);
    } else {
        width = int64_t(s16At(head, 8)) - s16At(head, 4) + 1;
        height = int64_t(s16At(head, 10)) - s16At(head, 6) + 1;
    }
    return width > 0 && height > 0 && width * height > maxPixels;
}

QByteArray DecodeTgaRle(const QByteArray &data, int bytesPerPixel, int32_t height, int32_t width)
{
    if (bytesPerPixel <= 0 || height <= 0 || width <= 0) return {};
    const qsizetype total = qsizetype(height) * width * bytesPerPixel;
    QByteArray out(total, '\0');
    char *dst = out.data();
    const char *src = data.constData();
    const qsizetype inSize = data.size();
    qsizetype in = 0, at = 0;
    while (at < total && in < inSize) {
        const uint8_t header = uint8_t(src[in++]);
        if (header & 0x80) {
            if (in + bytesPerPixel > inSize) break;
            const qsizetype count = std::min<qsizetype>(header - 127, (total - at) / bytesPerPixel);
            for (qsizetype k = 0; k < count; ++k, at += bytesPerPixel) std::memcpy(dst + at, src + in, size_t(bytesPerPixel));
            in += bytesPerPixel;
        } else {
            const qsizetype bytes = std::min({qsizetype(header + 1) * bytesPerPixel, total - at, inSize - in});
            std::memcpy(dst + at, src + in, size_t(bytes));
            at += bytes;
            in += bytes;
        }
    }
    return out;
}

QByteArray DecodePcxRle(const QByteArray &data, int64_t outputBytes)
{
    if (outputBytes <= 0) return {};
    QByteArray out(qsizetype(outputBytes), '\0');
    char *dst = out.data();
    const qsizetype total = out.size();
    const qsizetype n = data.size();
    qsizetype at = 0;
    for (qsizetype i = 0; i < n && at < total; ++i) {
        const uint8_t b = uint8_t(data[i]);
        if (b >= 192 && i + 1 < n) {
            const qsizetype count = std::min<qsizetype>(b - 192, total - at);
            std::memset(dst + at, data[i + 1], size_t(count));
            at += count;
            ++i;
        } else {
            dst[at++] = char(b);
        }
    }
    return out;
}

QImage DecodeTga(const QByteArray &file, int64_t maxPixels)
{
    if (file.size() < kTgaHeaderBytes) return {};
    const int idLength = byteAt(file, 0);
    const int type = byteAt(file, 2);
    const bool hasMap = byteAt(file, 1) == 1;
    int mapLength = u16At(file, 5);
    int mapEntryBits = byteAt(file, 7);
    const int32_t width = s16At(file, 12), height = s16At(file, 14);
    const int depth = byteAt(file, 16);
    const int descriptor = byteAt(file, 17);
    if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11) return {};
    if (width <= 0 || height <= 0 || int64_t(width) * height > maxPixels) return {};
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return {};
    if (depth != 8 && !hasMap) mapLength = 0; // the map fields mean nothing without a map
    if (mapEntryBits == 15) mapEntryBits = 16;
    if (mapEntryBits != 0 && mapEntryBits != 16 && mapEntryBits != 24 && mapEntryBits != 32) return {};
    const qsizetype mapStart = kTgaHeaderBytes + idLength;
    const qsizetype mapBytes = qsizetype(mapLength) * (mapEntryBits / 8);

    std::array<QRgb, 256> palette{};
    if (depth == 8) {
        if (mapEntryBits == 0) {
            for (int i = 0; i < 256; ++i) palette[size_t(i)] = qRgb(i, i, i);
        } else {
            const int entryBytes = mapEntryBits / 8;
            const QByteArray map = takeZeroPadded(file, mapStart, mapBytes);
            for (int i = 0; i < std::min(mapLength, 256); ++i) {
                const qsizetype p = qsizetype(i) * entryBytes;
                if (entryBytes == 2) {
                    const uint32_t v = u16At(map, p);
                    palette[size_t(i)] = qRgb(int(((v >> 10) & 31) << 3), int(((v >> 5) & 31) << 3), int((v & 31) << 3));
                } else {
                    palette[size_t(i)] = qRgb(byteAt(map, p + 2), byteAt(map, p + 1), byteAt(map, p));
                }
            }
        }
    }

    const int bytesPerPixel = depth / 8;
    const qsizetype dataStart = mapStart + mapBytes;
    const QByteArray rest = dataStart < file.size() ? file.mid(dataStart) : QByteArray();
    const QByteArray pixels = type > 8 ? DecodeTgaRle(rest, bytesPerPixel, height, width)
                                       : takeZeroPadded(rest, 0, qsizetype(height) * width * bytesPerPixel);
    if (pixels.isEmpty()) return {};

    QImage image(width, height, depth == 32 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()) return {};
    const bool topDown = descriptor & 0x20;
    const bool rightToLeft = descriptor & 0x10;
    const auto *src = reinterpret_cast<const uint8_t *>(pixels.constData());
    for (int32_t row = 0; row < height; ++row) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(topDown ? row : height - 1 - row));
        const uint8_t *p = src + qsizetype(row) * width * bytesPerPixel;
        for (int32_t x = 0; x < width; ++x, p += bytesPerPixel) {
            QRgb c = 0;
            switch (depth) {
            case 8: c = palette[p[0]]; break;
            case 16: {
                const uint32_t v = uint32_t(p[0] | (p[1] << 8));
                c = qRgb(widen5((v >> 10) & 31), widen5((v >> 5) & 31), widen5(v & 31));
                break;
            }
            case 24: c = qRgb(p[2], p[1], p[0]); break;
            default: c = qRgba(p[2], p[1], p[0], p[3]); break;
            }
            line[rightToLeft ? width - 1 - x : x] = c;
        }
    }
    return image;
}

QImage DecodePcx(const QByteArray &file, int64_t maxPixels)
{
    if (file.size() < kPcxHeaderBytes) return {};
    const int encoding = byteAt(file, 2);
    const int bits = byteAt(file, 3);
    const int32_t width = int32_t(s16At(file, 8)) - s16At(file, 4) + 1;
    const int32_t height = int32_t(s16At(file, 10)) - s16At(file, 6) + 1;
    const int planes = byteAt(file, 65);
    const int bytesPerLine = u16At(file, 66);
    if (width <= 0 || height <= 0 || int64_t(width) * height > maxPixels) return {};

    enum class Kind { Bits1, Bits4, Bits8, TrueColour } kind;
    if (bits == 1 && planes == 1) kind = Kind::Bits1;
    else if (bits == 4 && planes == 1) kind = Kind::Bits4;
    else if (bits == 8 && planes == 1) kind = Kind::Bits8;
    else if (bits == 8 && planes >= 3) kind = Kind::TrueColour;
    else return {};

    // A line shorter than its pixels would make rows run into each other.
    const int64_t neededPerPlane = (int64_t(width) * (kind == Kind::TrueColour ? 8 : bits) + 7) / 8;
    if (bytesPerLine < neededPerPlane) return {};
    const int64_t lineBytes = int64_t(planes) * bytesPerLine;
    const int64_t areaBytes = lineBytes * height;
    // Generous bound for padded lines; what lies beyond it is never a sane file.
    if (areaBytes > 4 * maxPixels + int64_t(height) * 1024) return {};

    const QByteArray area = file.mid(kPcxHeaderBytes);
    const QByteArray data = encoding == 1 ? DecodePcxRle(area, areaBytes) : takeZeroPadded(area, 0, qsizetype(areaBytes));

    std::array<QRgb, 256> palette{};
    switch (kind) {
    case Kind::Bits1:
        palette[0] = qRgb(0, 0, 0);
        palette[1] = qRgb(255, 255, 255);
        break;
    case Kind::Bits4:
        for (int i = 0; i < 16; ++i)
            palette[size_t(i)] = qRgb(byteAt(file, 16 + 3 * i), byteAt(file, 17 + 3 * i), byteAt(file, 18 + 3 * i));
        break;
    case Kind::Bits8: {
        const qsizetype marker = file.size() - 769;
        if (marker >= kPcxHeaderBytes && byteAt(file, marker) == 12) {
            for (int i = 0; i < 256; ++i)
                palette[size_t(i)] = qRgb(byteAt(file, marker + 1 + 3 * i), byteAt(file, marker + 2 + 3 * i),
                                          byteAt(file, marker + 3 + 3 * i));
        } else {
            for (int i = 0; i < 256; ++i) palette[size_t(i)] = qRgb(i, i, i);
        }
        break;
    }
    case Kind::TrueColour: break;
    }

    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return {};
    const auto *src = reinterpret_cast<const uint8_t *>(data.constData());
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t *row = src + int64_t(y) * lineBytes;
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int32_t x = 0; x < width; ++x) {
            switch (kind) {
            case Kind::Bits1: line[x] = palette[(row[x >> 3] >> (7 - (x & 7))) & 1]; break;
            case Kind::Bits4: line[x] = palette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]; break;
            case Kind::Bits8: line[x] = palette[row[x]]; break;
            case Kind::TrueColour: line[x] = qRgb(row[x], row[bytesPerLine + x], row[2 * bytesPerLine + x]); break;
            }
        }
    }
    return image;
}

QImage LoadTgaBitmap(const QString &path)
{
    return readWholeFile(path, true, &DecodeTga);
}

QImage LoadPcxBitmap(const QString &path)
{
    return readWholeFile(path, false, &DecodePcx);
}

} // namespace pvsm
