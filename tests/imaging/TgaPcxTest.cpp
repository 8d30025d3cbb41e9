#include "ImageFixtures.h"
#include "LoadTgaPcx.h"
#include "PictureInfo.h"
#include "PictureLoad.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace pvsm;
using namespace fixtures;

namespace {

constexpr int kW = 5, kH = 3; // odd width: rows need padding in every format

// Colours of the true-colour pictures; the first row repeats so RLE has runs.
std::vector<uint32_t> trueColourPixels(bool withAlpha)
{
    std::vector<uint32_t> px;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const int a = withAlpha ? (x * 60 + y * 10) % 256 : 255;
            px.push_back(y == 0 ? qRgba(200, 16, 8, a) : qRgba(x * 50, y * 90, 255 - x * 40, a));
        }
    return px;
}

std::vector<uint32_t> indexPixels(int colours)
{
    std::vector<uint32_t> px;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) px.push_back(y == 0 ? 1u : uint32_t((x + 2 * y) % colours));
    return px;
}

std::vector<QRgb> somePalette(int n)
{
    std::vector<QRgb> p;
    for (int i = 0; i < n; ++i) p.push_back(qRgb((i * 37) % 256, (i * 91 + 20) % 256, (255 - i * 13) % 256));
    return p;
}

uint8_t widen5(int v8)
{
    const int v = v8 >> 3;
    return uint8_t((v << 3) | (v >> 2));
}

void expectPixels(const QImage &img, const std::vector<QRgb> &expected, const char *what)
{
    ASSERT_FALSE(img.isNull()) << what;
    ASSERT_EQ(img.size(), QSize(kW, kH)) << what;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            ASSERT_EQ(img.pixel(x, y), expected[size_t(y * kW + x)]) << what << " at " << x << "," << y;
}

struct TgaCase
{
    const char *name;
    int type, depth, mapBits;
    bool topDown = false, rightToLeft = false;
    int idLength = 0;
};

} // namespace

TEST(TgaDecode, EveryVariantGivesItsPixels)
{
    const TgaCase cases[] = {
        {"mapped 24-bit map", 1, 8, 24},
        {"mapped 32-bit map", 1, 8, 32},
        {"mapped 16-bit map", 1, 8, 16},
        {"mapped RLE", 9, 8, 24},
        {"grey", 3, 8, 0},
        {"grey RLE", 11, 8, 0},
        {"16-bit", 2, 16, 0},
        {"16-bit RLE", 10, 16, 0},
        {"24-bit", 2, 24, 0},
        {"24-bit RLE", 10, 24, 0},
        {"24-bit top-down", 2, 24, 0, true},
        {"24-bit RLE top-down", 10, 24, 0, true},
        {"24-bit right-to-left", 2, 24, 0, false, true},
        {"24-bit with image ID", 2, 24, 0, false, false, 9},
        {"mapped with image ID", 1, 8, 24, false, false, 3},
        {"32-bit", 2, 32, 0},
        {"32-bit RLE", 10, 32, 0},
    };
    for (const TgaCase &c : cases) {
        Tga t;
        t.type = c.type;
        t.depth = c.depth;
        t.width = kW;
        t.height = kH;
        t.mapEntryBits = c.mapBits;
        t.topDown = c.topDown;
        t.rightToLeft = c.rightToLeft;
        t.idLength = c.idLength;
        std::vector<uint32_t> pixels;
        std::vector<QRgb> expected;
        if (c.depth == 8) {
            pixels = indexPixels(c.mapBits ? 7 : 256);
            if (c.mapBits) t.palette = somePalette(7);
            for (uint32_t i : pixels) {
                if (!c.mapBits) expected.push_back(qRgb(int(i), int(i), int(i)));
                else {
                    const QRgb p = t.palette[i];
                    expected.push_back(c.mapBits == 16 ? qRgb(qRed(p) & 0xF8, qGreen(p) & 0xF8, qBlue(p) & 0xF8) : p);
                }
            }
        } else {
            pixels = trueColourPixels(c.depth == 32);
            for (uint32_t v : pixels)
                expected.push_back(c.depth == 16 ? qRgb(widen5(qRed(v)), widen5(qGreen(v)), widen5(qBlue(v)))
                                   : c.depth == 24 ? qRgb(qRed(v), qGreen(v), qBlue(v))
                                                   : v);
        }
        const QImage img = DecodeTga(makeTga(t, pixels));
        expectPixels(img, expected, c.name);
        EXPECT_EQ(img.hasAlphaChannel(), c.depth == 32) << c.name;
    }
}

TEST(TgaDecode, TrueColourFileWithColourMapSkipsIt)
{
    Tga t;
    t.type = 2;
    t.depth = 24;
    t.width = kW;
    t.height = kH;
    t.mapEntryBits = 24;
    t.palette = somePalette(5);
    const auto pixels = trueColourPixels(false);
    std::vector<QRgb> expected(pixels.begin(), pixels.end());
    expectPixels(DecodeTga(makeTga(t, pixels)), expected, "map skipped");
}

TEST(TgaDecode, RleDataEndingEarlyLeavesTheRestBlack)
{
    Tga t;
    t.type = 10;
    t.width = 4;
    t.height = 4;
    std::vector<uint32_t> pixels(16, qRgb(10, 20, 30));
    for (int x = 0; x < 4; ++x) pixels[size_t(12 + x)] = qRgb(x * 60, 100, 200); // bottom row, stored first
    QByteArray file = makeTga(t, pixels);
    // Keep the header and the first stored row: one literal packet of 4 pixels.
    ASSERT_EQ(uint8_t(file[kTgaHeaderBytes]), 3);
    file.truncate(kTgaHeaderBytes + 1 + 4 * 3);
    const QImage img = DecodeTga(file);
    ASSERT_EQ(img.size(), QSize(4, 4));
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(img.pixel(x, 3), qRgb(x * 60, 100, 200));
        for (int y = 0; y < 3; ++y) EXPECT_EQ(img.pixel(x, y), qRgb(0, 0, 0)) << x << "," << y;
    }
}

TEST(TgaDecode, RlePacketsNeverRunPastEitherEnd)
{
    // A run of 128 into an output of 3 pixels; a literal packet promising 100
    // pixels with 1 byte left; a run header with its pixel cut off.
    const struct
    {
        QByteArray data;
        QByteArray expected;
    } cases[] = {
        {QByteArray("\xFF\x07", 2), QByteArray("\x07\x07\x07", 3)},
        {QByteArray("\x63\x05", 2), QByteArray("\x05\x00\x00", 3)},
        {QByteArray("\x00\x01\x85", 3), QByteArray("\x01\x00\x00", 3)},
    };
    for (const auto &c : cases) EXPECT_EQ(DecodeTgaRle(c.data, 1, 1, 3), c.expected);
}

TEST(TgaDecode, RefusesWhatItCannotDecode)
{
    auto header = [](int type, int depth, int w, int h) {
        Tga t;
        t.type = type;
        t.depth = depth;
        t.width = w;
        t.height = h;
        return makeTga(t, {}).append(QByteArray(64, '\x11'));
    };
    const struct
    {
        const char *name;
        QByteArray file;
    } cases[] = {
        {"15-bit pixels", header(2, 15, 4, 4)},
        {"no image (type 0)", header(0, 24, 4, 4)},
        {"compressed type 32", header(32, 24, 4, 4)},
        {"width 0", header(2, 24, 0, 4)},
        {"width 65535 (negative)", header(2, 24, 65535, 4)},
        {"over the pixel cap", header(10, 24, 30000, 30000)},
        {"10000 x 10000, past 8192 x 8192", header(10, 24, 10000, 10000)},
        {"header cut short", header(2, 24, 4, 4).left(17)},
    };
    for (const auto &c : cases) EXPECT_TRUE(DecodeTga(c.file).isNull()) << c.name;
    EXPECT_TRUE(DecodeTga(header(2, 24, 100, 100), 9999).isNull()) << "caller's own cap";
    // The header alone tells the claimed size, as each decoder reads it.
    EXPECT_FALSE(ClaimsTooManyPixels(header(10, 24, 8192, 8192), true));
    EXPECT_TRUE(ClaimsTooManyPixels(header(10, 24, 8192, 8193), true));
    EXPECT_FALSE(DecodeTga(header(2, 24, 100, 100), 10000).isNull());
}

TEST(TgaProbe, FollowsTheHeaderRules)
{
    auto file = [](int type, int depth, int w, int h, int extra = 32) {
        QByteArray b(kTgaHeaderBytes, '\0');
        b[2] = char(type);
        put16At(b, 12, w);
        put16At(b, 14, h);
        b[16] = char(depth);
        return b.append(QByteArray(extra, '\0'));
    };
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *format;
        int depth;
    } cases[] = {
        {"24-bit", file(2, 24, 40, 30), "TGA", 24},
        {"15-bit is detected", file(10, 15, 40, 30), "TGA", 15},
        {"mapped 8-bit", file(9, 8, 40, 30), "TGA", 8},
        {"mapped 16-bit", file(1, 16, 40, 30), "UnKnown", 0},
        {"width 1", file(2, 24, 1, 30), "UnKnown", 0},
        {"just the header", file(2, 24, 40, 30, 0), "UnKnown", 0},
        {"type 4", file(4, 24, 40, 30), "UnKnown", 0},
    };
    for (const auto &c : cases) {
        const ImageInfo info = GetImageInfoFromBytes(c.bytes);
        EXPECT_EQ(info.Format, QLatin1String(c.format)) << c.name;
        EXPECT_EQ(info.ColorDepth, c.depth) << c.name;
        if (info.known()) {
            EXPECT_EQ(info.displaySize(), QSize(40, 30)) << c.name;
        }
    }
}

namespace {

struct PcxCase
{
    const char *name;
    int bits, planes;
    bool rle;
    int bytesPerLine = 0;
    bool palette256 = true;
    int xMin = 0;
};

} // namespace

TEST(PcxDecode, EveryVariantGivesItsPixels)
{
    const PcxCase cases[] = {
        {"1-bit", 1, 1, true},
        {"1-bit raw", 1, 1, false},
        {"4-bit", 4, 1, true},
        {"4-bit raw", 4, 1, false},
        {"8-bit palette", 8, 1, true},
        {"8-bit palette raw", 8, 1, false},
        {"8-bit without palette is grey", 8, 1, true, 0, false},
        {"8-bit wide lines", 8, 1, true, 12},
        {"8-bit offset origin", 8, 1, true, 0, true, 7},
        {"24-bit three planes", 8, 3, true},
        {"24-bit three planes raw", 8, 3, false},
        {"24-bit wide lines", 8, 3, true, 9},
    };
    for (const PcxCase &c : cases) {
        Pcx p;
        p.bits = c.bits;
        p.planes = c.planes;
        p.width = kW;
        p.height = kH;
        p.rle = c.rle;
        p.bytesPerLine = c.bytesPerLine;
        p.xMin = c.xMin;
        std::vector<uint32_t> pixels;
        std::vector<QRgb> expected;
        if (c.planes == 3) {
            pixels = trueColourPixels(false);
            expected.assign(pixels.begin(), pixels.end());
        } else {
            const int colours = 1 << c.bits;
            pixels = indexPixels(colours);
            if (c.bits == 4) p.palette16 = somePalette(16);
            if (c.bits == 8 && c.palette256) p.palette256 = somePalette(256);
            for (uint32_t i : pixels) {
                if (c.bits == 1) expected.push_back(i ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
                else if (c.bits == 4) expected.push_back(p.palette16[i]);
                else if (c.palette256) expected.push_back(p.palette256[i]);
                else expected.push_back(qRgb(int(i), int(i), int(i)));
            }
        }
        const QByteArray file = makePcx(p, pixels);
        expectPixels(DecodePcx(file), expected, c.name);
        const ImageInfo info = GetImageInfoFromBytes(file);
        EXPECT_EQ(info.Format, QLatin1String("PCX")) << c.name;
        EXPECT_EQ(info.ColorDepth, c.planes == 1 ? c.bits : 24) << c.name;
        EXPECT_EQ(info.displaySize(), QSize(kW, kH)) << c.name;
    }
}

TEST(PcxDecode, FourPlanesOfOneBitAreDetectedButNotDecoded)
{
    Pcx p;
    p.bits = 1;
    p.planes = 4;
    p.width = 16;
    p.height = 4;
    QByteArray file = makePcx(p, std::vector<uint32_t>(64, 1));
    const ImageInfo info = GetImageInfoFromBytes(file);
    EXPECT_EQ(info.Format, QLatin1String("PCX"));
    EXPECT_EQ(info.ColorDepth, 24);
    EXPECT_TRUE(DecodePcx(file).isNull());
    EXPECT_TRUE(LoadPictureBytes(file).isNull());
}

TEST(PcxDecode, RleRules)
{
    const struct
    {
        const char *name;
        QByteArray data;
        int64_t outputBytes;
        QByteArray expected;
    } cases[] = {
        {"literals and a run", QByteArray("\x01\xC3\x09\x02", 4), 5, QByteArray("\x01\x09\x09\x09\x02", 5)},
        {"last byte is not a count", QByteArray("\x01\xC5", 2), 3, QByteArray("\x01\xC5\x00", 3)},
        {"run clipped at the output", QByteArray("\xFF\x07", 2), 4, QByteArray("\x07\x07\x07\x07", 4)},
        {"count 0 writes nothing", QByteArray("\xC0\x07\x05", 3), 2, QByteArray("\x05\x00", 2)},
    };
    for (const auto &c : cases) EXPECT_EQ(DecodePcxRle(c.data, c.outputBytes), c.expected) << c.name;
}

TEST(PcxDecode, HostileHeadersAreRefusedQuickly)
{
    auto header = [](int xMin, int xMax, int yMax, int bits, int planes, int bytesPerLine) {
        QByteArray b(kPcxHeaderBytes, '\0');
        b[0] = char(10);
        b[2] = char(1);
        b[3] = char(bits);
        put16At(b, 4, xMin);
        put16At(b, 8, xMax);
        put16At(b, 10, yMax);
        b[65] = char(planes);
        put16At(b, 66, bytesPerLine);
        return b.append(QByteArray(300, '\xFF'));
    };
    const QByteArray huge = header(-32768, 32766, 32766, 8, 1, 65535); // 65535 x 32767
    const ImageInfo info = GetImageInfoFromBytes(huge);
    EXPECT_EQ(info.Format, QLatin1String("PCX"));
    EXPECT_EQ(info.Width, 65535);
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(DecodePcx(huge).isNull());
    EXPECT_TRUE(LoadPictureBytes(huge).isNull());
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_TRUE(DecodePcx(header(0, 99, 9, 8, 1, 50)).isNull()) << "lines shorter than their pixels";
    EXPECT_TRUE(DecodePcx(header(0, 9, 9, 8, 2, 10)).isNull()) << "two planes";
    EXPECT_TRUE(DecodePcx(header(0, 9, 9, 4, 3, 10)).isNull()) << "4 bits in three planes";
    EXPECT_TRUE(DecodePcx(header(0, 9, 9, 8, 1, 10).left(100)).isNull()) << "header cut short";
    EXPECT_TRUE(ClaimsTooManyPixels(huge, false));
    EXPECT_FALSE(ClaimsTooManyPixels(header(-8192, -1, 8191, 8, 1, 8192), false)) << "8192 x 8192 from negative minima";
    // Data that ends early leaves the rest black.
    const QImage shortData = DecodePcx(header(0, 9, 9, 8, 1, 10).left(kPcxHeaderBytes + 2));
    ASSERT_EQ(shortData.size(), QSize(10, 10));
    EXPECT_EQ(shortData.pixel(9, 9), qRgb(0, 0, 0));
}
