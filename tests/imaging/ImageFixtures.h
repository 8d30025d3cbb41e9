#pragma once

// Small picture files made by the tests: tiny TGA, PCX and GIF encoders, a
// JPEG with an EXIF orientation, hostile headers. Pixels are given top row
// first; for palette formats they are palette indexes, otherwise 0xAARRGGBB.

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace fixtures {

inline void put16(QByteArray &b, int v)
{
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}

inline void put16At(QByteArray &b, int at, int v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char((v >> 8) & 0xFF);
}

inline void put32BE(QByteArray &b, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8) b.append(char((v >> s) & 0xFF));
}

inline uint32_t crc32(const QByteArray &data)
{
    uint32_t c = 0xFFFFFFFFu;
    for (char ch : data) {
        c ^= uint8_t(ch);
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
    }
    return c ^ 0xFFFFFFFFu;
}

// ---- TGA -------------------------------------------------------------------

struct Tga
{
    int type = 2;   // 1, 2, 3 raw; 9, 10, 11 run-length encoded
    int depth = 24; // 8, 16, 24, 32
    int width = 0;
    int height = 0;
    int mapEntryBits = 0; // 0, 16, 24, 32 (8-bit pixels only)
    std::vector<QRgb> palette;
    bool topDown = false;
    bool rightToLeft = false;
    int idLength = 0;
};

inline QByteArray tgaPixel(const Tga &t, uint32_t v)
{
    QByteArray p;
    switch (t.depth) {
    case 8: p.append(char(v)); break;
    case 16: put16(p, int(((qRed(v) >> 3) << 10) | ((qGreen(v) >> 3) << 5) | (qBlue(v) >> 3))); break;
    case 24: p.append(char(qBlue(v))).append(char(qGreen(v))).append(char(qRed(v))); break;
    default: p.append(char(qBlue(v))).append(char(qGreen(v))).append(char(qRed(v))).append(char(qAlpha(v))); break;
    }
    return p;
}

// Encodes `pixels` (width * height, top row first) as the TGA `t` describes.
inline QByteArray makeTga(const Tga &t, const std::vector<uint32_t> &pixels)
{
    QByteArray b;
    b.append(char(t.idLength));
    b.append(char(t.palette.empty() ? 0 : 1));
    b.append(char(t.type));
    put16(b, 0);
    put16(b, int(t.palette.size()));
    b.append(char(t.mapEntryBits));
    put16(b, 0);
    put16(b, 0);
    put16(b, t.width);
    put16(b, t.height);
    b.append(char(t.depth));
    b.append(char((t.topDown ? 0x20 : 0) | (t.rightToLeft ? 0x10 : 0) | (t.depth == 32 ? 8 : 0)));
    b.append(QByteArray(t.idLength, 'I'));
    for (QRgb c : t.palette) {
        if (t.mapEntryBits == 16) put16(b, int(((qRed(c) >> 3) << 10) | ((qGreen(c) >> 3) << 5) | (qBlue(c) >> 3)));
        else {
            b.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
            if (t.mapEntryBits == 32) b.append(char(qAlpha(c)));
        }
    }
    if (pixels.empty()) return b; // header (and map) only
    // Stored rows: bottom to top unless topDown; right to left when asked.
    std::vector<uint32_t> stored;
    for (int r = 0; r < t.height; ++r) {
        const int row = t.topDown ? r : t.height - 1 - r;
        for (int x = 0; x < t.width; ++x) stored.push_back(pixels[size_t(row * t.width + (t.rightToLeft ? t.width - 1 - x : x))]);
    }
    if (t.type <= 8) {
        for (uint32_t v : stored) b.append(tgaPixel(t, v));
        return b;
    }
    size_t i = 0;
    while (i < stored.size()) {
        size_t run = 1;
        while (i + run < stored.size() && run < 128 && stored[i + run] == stored[i]) ++run;
        if (run >= 2) {
            b.append(char(0x80 | (run - 1)));
            b.append(tgaPixel(t, stored[i]));
            i += run;
            continue;
        }
        size_t lit = 1;
        while (i + lit < stored.size() && lit < 128
               && !(i + lit + 1 < stored.size() && stored[i + lit] == stored[i + lit + 1]))
            ++lit;
        b.append(char(lit - 1));
        for (size_t k = 0; k < lit; ++k) b.append(tgaPixel(t, stored[i + k]));
        i += lit;
    }
    return b;
}

// ---- PCX -------------------------------------------------------------------

struct Pcx
{
    int bits = 8;
    int planes = 1;
    int width = 0;
    int height = 0;
    bool rle = true;
    int bytesPerLine = 0;          // 0: the least, rounded up to even
    std::vector<QRgb> palette16;   // header palette (4-bit files)
    std::vector<QRgb> palette256;  // appended after the marker 12 when given
    int xMin = 0;
    int yMin = 0;
};

inline int pcxBytesPerLine(const Pcx &p)
{
    if (p.bytesPerLine) return p.bytesPerLine;
    const int least = (p.width * p.bits + 7) / 8;
    return least + (least & 1);
}

inline QByteArray pcxRleLine(const QByteArray &line)
{
    QByteArray out;
    int i = 0;
    while (i < line.size()) {
        int run = 1;
        while (i + run < line.size() && run < 63 && line[i + run] == line[i]) ++run;
        const uint8_t v = uint8_t(line[i]);
        if (run > 1 || v >= 0xC0) out.append(char(0xC0 | run));
        out.append(char(v));
        i += run;
    }
    return out;
}

inline QByteArray makePcx(const Pcx &p, const std::vector<uint32_t> &pixels)
{
    const int bpl = pcxBytesPerLine(p);
    QByteArray b(128, '\0');
    b[0] = char(10);
    b[1] = char(5);
    b[2] = char(p.rle ? 1 : 0);
    b[3] = char(p.bits);
    put16At(b, 4, p.xMin);
    put16At(b, 6, p.yMin);
    put16At(b, 8, p.xMin + p.width - 1);
    put16At(b, 10, p.yMin + p.height - 1);
    for (size_t i = 0; i < p.palette16.size() && i < 16; ++i) {
        b[16 + 3 * int(i)] = char(qRed(p.palette16[i]));
        b[17 + 3 * int(i)] = char(qGreen(p.palette16[i]));
        b[18 + 3 * int(i)] = char(qBlue(p.palette16[i]));
    }
    b[65] = char(p.planes);
    put16At(b, 66, bpl);
    for (int y = 0; y < p.height; ++y) {
        QByteArray line(p.planes * bpl, '\0');
        for (int x = 0; x < p.width; ++x) {
            const uint32_t v = pixels[size_t(y * p.width + x)];
            if (p.bits == 8 && p.planes >= 3) {
                line[x] = char(qRed(v));
                line[bpl + x] = char(qGreen(v));
                line[2 * bpl + x] = char(qBlue(v));
            } else if (p.bits == 8) {
                line[x] = char(v);
            } else if (p.bits == 4) {
                line[x / 2] = char(uint8_t(line[x / 2]) | ((v & 15) << ((x & 1) ? 0 : 4)));
            } else if (p.bits == 1) {
                for (int k = 0; k < p.planes; ++k) // plane k holds bit k of the colour
                    line[k * bpl + x / 8] = char(uint8_t(line[k * bpl + x / 8]) | (((v >> k) & 1) << (7 - (x & 7))));
            }
        }
        b.append(p.rle ? pcxRleLine(line) : line);
    }
    if (!p.palette256.empty()) {
        b.append(char(12));
        for (int i = 0; i < 256; ++i) {
            const QRgb c = size_t(i) < p.palette256.size() ? p.palette256[size_t(i)] : 0;
            b.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
        }
    }
    return b;
}

// ---- GIF (uncompressed LZW: literal 9-bit codes, clearing often) ------------

inline QByteArray makeGif(int width, int height, const std::vector<QRgb> &palette, const std::vector<uint32_t> &indexes)
{
    QByteArray b("GIF89a");
    put16(b, width);
    put16(b, height);
    b.append(char(0xF7)); // global table of 256 entries
    b.append(char(0)).append(char(0));
    for (int i = 0; i < 256; ++i) {
        const QRgb c = size_t(i) < palette.size() ? palette[size_t(i)] : 0;
        b.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    }
    b.append(char(0x2C));
    put16(b, 0);
    put16(b, 0);
    put16(b, width);
    put16(b, height);
    b.append(char(0));
    b.append(char(8)); // minimum code size
    QByteArray codes;
    uint32_t acc = 0;
    int bits = 0;
    auto putCode = [&](int code) {
        acc |= uint32_t(code) << bits;
        bits += 9;
        while (bits >= 8) {
            codes.append(char(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    };
    for (size_t i = 0; i < indexes.size(); ++i) {
        if (i % 200 == 0) putCode(256);
        putCode(int(indexes[i] & 0xFF));
    }
    putCode(257);
    if (bits > 0) codes.append(char(acc & 0xFF));
    for (int at = 0; at < codes.size(); at += 255) {
        const QByteArray block = codes.mid(at, 255);
        b.append(char(block.size()));
        b.append(block);
    }
    b.append(char(0));
    b.append(char(0x3B));
    return b;
}

// ---- Qt-encoded pictures ----------------------------------------------------

inline QByteArray encode(const QImage &image, const char *format, int quality = -1, int compression = -1)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0) writer.setQuality(quality);
    if (compression >= 0) writer.setCompression(compression);
    writer.write(image);
    return out;
}

// A PNG stored without compression: larger than any re-encoding of it.
inline QByteArray storedPng(const QImage &image)
{
    return encode(image, "png", -1, 0);
}

// A JPEG with an EXIF APP1 segment holding only the orientation (1..8).
inline QByteArray withExifOrientation(const QByteArray &jpeg, int orientation)
{
    QByteArray tiff("II*\0", 4);
    tiff.append(QByteArray("\x08\x00\x00\x00", 4));
    put16(tiff, 1);      // one entry
    put16(tiff, 0x0112); // Orientation
    put16(tiff, 3);      // SHORT
    tiff.append(QByteArray("\x01\x00\x00\x00", 4));
    put16(tiff, orientation);
    put16(tiff, 0);
    tiff.append(QByteArray(4, '\0')); // no next IFD
    QByteArray app1("Exif\0\0", 6);
    app1.append(tiff);
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char(((app1.size() + 2) >> 8) & 0xFF)).append(char((app1.size() + 2) & 0xFF));
    segment.append(app1);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

inline QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    QByteArray c;
    put32BE(c, uint32_t(data.size()));
    c.append(type).append(data);
    put32BE(c, crc32(type + data));
    return c;
}

inline QByteArray pngHeader(uint32_t width, uint32_t height, int bitDepth, int colourType)
{
    QByteArray ihdr;
    put32BE(ihdr, width);
    put32BE(ihdr, height);
    ihdr.append(char(bitDepth)).append(char(colourType)).append(char(0)).append(char(0)).append(char(0));
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + pngChunk("IHDR", ihdr);
}

// zlib stream without Qt's length prefix.
inline QByteArray zlib(const QByteArray &data)
{
    return qCompress(data).mid(4);
}

// A PNG whose header claims width x height, with a few bytes of data.
inline QByteArray pngClaiming(uint32_t width, uint32_t height)
{
    return pngHeader(width, height, 8, 2) + pngChunk("IDAT", zlib(QByteArray(64, '\0'))) + pngChunk("IEND", {});
}

// The reviewers' file: a 518-byte run-length TGA whose header claims
// 10000 x 10000 pixels of 24 bits (decoded whole it would take some 700 MB).
inline QByteArray tgaClaiming(int width, int height)
{
    Tga t;
    t.type = 10;
    t.width = width;
    t.height = height;
    return makeTga(t, {}).append(QByteArray(500, '\x7F'));
}

// A real JPEG of 16 x 16 whose frame header is made to claim width x height;
// its scan ends long before such a picture would.
inline QByteArray jpegClaiming(int width, int height)
{
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(qRgb(40, 160, 90));
    QByteArray jpeg = encode(img, "jpeg");
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    if (sof < 0) return {};
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height & 0xFF);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width & 0xFF);
    return jpeg;
}

// A 16-colour palette PNG stored at 4 bits per pixel (Qt writes 8).
inline QByteArray png4Bit(int width, int height)
{
    QByteArray plte;
    for (int i = 0; i < 16; ++i) plte.append(char(i * 16)).append(char(255 - i * 16)).append(char(i * 8));
    QByteArray rows;
    for (int y = 0; y < height; ++y) {
        rows.append(char(0)); // no filter
        for (int x = 0; x < width; x += 2) rows.append(char((((x + y) % 16) << 4) | ((x + 1 + y) % 16)));
    }
    return pngHeader(uint32_t(width), uint32_t(height), 4, 3) + pngChunk("PLTE", plte) + pngChunk("IDAT", zlib(rows))
           + pngChunk("IEND", {});
}

inline QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

// A picture with a different colour in each quadrant (for telling turns apart).
inline QImage quadrants(int width, int height)
{
    QImage img(width, height, QImage::Format_RGB32);
    const QRgb colours[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) img.setPixel(x, y, colours[(y >= height / 2) * 2 + (x >= width / 2)]);
    return img;
}

// A photo-like picture: overlapping discs of every size (many small, few
// large, as edges come in photos), soft edges, and sensor grain.
inline QImage detailedPhoto(QSize size, unsigned seed)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(qRgb(128, 128, 128));
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0, 1);
    QPainter painter(&img);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const double rMin = 1.5, rMax = size.width() / 8.0;
    const int discs = int(int64_t(size.width()) * size.height() / 200);
    for (int i = 0; i < discs; ++i) {
        // Radii of density 1 / r^3 between rMin and rMax.
        const double r = 1.0 / std::sqrt(1.0 / (rMin * rMin) - u(rng) * (1.0 / (rMin * rMin) - 1.0 / (rMax * rMax)));
        const QPointF at(u(rng) * size.width(), u(rng) * size.height());
        const int grey = int(u(rng) * 255);
        painter.setBrush(QColor(std::clamp(grey + int(u(rng) * 60) - 30, 0, 255), grey,
                                std::clamp(grey + int(u(rng) * 60) - 30, 0, 255)));
        painter.drawEllipse(at, r, r);
    }
    painter.end();
    std::normal_distribution<double> grain(0, 4);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int d = int(grain(rng));
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + d, 0, 255), std::clamp(qGreen(c) + d, 0, 255),
                           std::clamp(qBlue(c) + d, 0, 255));
        }
    }
    return img;
}

// Fine detail: the standard deviation of the Laplacian (4 neighbours) of the
// luma (0.299 R + 0.587 G + 0.114 B) over the inner pixels of `area`.
inline double laplacianSpread(const QImage &image, QRect area = {})
{
    if (area.isEmpty()) area = image.rect();
    const int w = area.width(), h = area.height();
    std::vector<double> luma(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb p = image.pixel(area.x() + x, area.y() + y);
            luma[size_t(y) * size_t(w) + size_t(x)] = 0.299 * qRed(p) + 0.587 * qGreen(p) + 0.114 * qBlue(p);
        }
    double sum = 0, squares = 0;
    int64_t count = 0;
    for (int y = 1; y + 1 < h; ++y)
        for (int x = 1; x + 1 < w; ++x) {
            const size_t i = size_t(y) * size_t(w) + size_t(x);
            const double l = luma[i - 1] + luma[i + 1] + luma[i - size_t(w)] + luma[i + size_t(w)] - 4 * luma[i];
            sum += l;
            squares += l * l;
            ++count;
        }
    if (count == 0) return 0;
    const double mean = sum / double(count);
    return std::sqrt(std::max(0.0, squares / double(count) - mean * mean));
}

} // namespace fixtures
