#include "ImageFixtures.h"
#include "PictureEncode.h"
#include "PictureInfo.h"
#include "PictureLoad.h"

#include <QFileInfo>

#include <gtest/gtest.h>

using namespace pvsm;
using namespace fixtures;

namespace {

// Smooth content: small as JPEG, large as an uncompressed or PNG file.
QImage gradient(int w, int h, QImage::Format format = QImage::Format_RGB32)
{
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x) line[x] = qRgba(x * 255 / w, y * 255 / h, (x + y) % 256, x < w / 2 ? 0 : 255);
    }
    if (format != QImage::Format_ARGB32) {
        img.convertTo(QImage::Format_RGB32); // drop the alpha: opaque copy
        img.convertTo(format);
    }
    return img;
}

QImage indexedPicture(int w, int h)
{
    QImage img(w, h, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < 200; ++i) table << qRgb(i, 200 - i, i / 2);
    img.setColorTable(table);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, uint((x / 8 + y / 8) % 200));
    return img;
}

} // namespace

TEST(PackageSize, LimitsTo1920By1440)
{
    const struct
    {
        QSize in, out;
    } cases[] = {
        {{4000, 1000}, {1920, 480}}, {{1000, 4000}, {360, 1440}}, {{800, 600}, {800, 600}},
        {{1920, 1440}, {1920, 1440}}, {{1921, 1440}, {1920, 1439}}, {{3000, 2000}, {1920, 1280}},
        {{1920, 1441}, {1919, 1440}}, {{100000, 2}, {1920, 1}},
    };
    for (const auto &c : cases) EXPECT_EQ(LimitPackageSize(c.in), c.out) << c.in.width() << "x" << c.in.height();
}

TEST(ConvertImageToBytes, ReencodesLimitedAndUpright)
{
    QTemporaryDir dir;
    Tga tga;
    tga.width = 64;
    tga.height = 32;
    Pcx pcx;
    pcx.planes = 3;
    pcx.width = 64;
    pcx.height = 32;
    const struct
    {
        const char *name;
        QString path;
        const char *tag, *target;
        QSize size; // of the result; empty: no bytes
        const char *resultFormat;
    } cases[] = {
        {"wide JPG", writeFile(dir, "wide.jpg", encode(gradient(4000, 1000), "jpeg")), "JPG", "JPG", {1920, 480}, "JPG"},
        {"tall JPG", writeFile(dir, "tall.jpg", encode(gradient(1000, 4000), "jpeg")), "JPG", "JPG", {360, 1440}, "JPG"},
        {"BMP that fits", writeFile(dir, "fits.bmp", encode(gradient(800, 600), "bmp")), "BMP", "JPG", {800, 600}, "JPG"},
        {"turned JPG", writeFile(dir, "turned.jpg", withExifOrientation(encode(quadrants(400, 200), "jpeg"), 6)), "JPG",
         "JPG", {200, 400}, "JPG"},
        {"TGA", writeFile(dir, "p.tga", makeTga(tga, std::vector<uint32_t>(64 * 32, 0xFF808080))), "TGA", "JPG", {64, 32}, "JPG"},
        {"PCX", writeFile(dir, "p.pcx", makePcx(pcx, std::vector<uint32_t>(64 * 32, 0xFF808080))), "PCX", "PNG", {64, 32}, "PNG"},
        {"TIF to PNG", writeFile(dir, "p.tif", encode(gradient(300, 200, QImage::Format_ARGB32), "tiff")), "TIF", "PNG",
         {300, 200}, "PNG"},
        {"GIF is never converted", writeFile(dir, "p.gif", makeGif(4, 4, {qRgb(1, 2, 3)}, std::vector<uint32_t>(16, 0))), "GIF",
         "JPG", {}, ""},
        {"unknown target", writeFile(dir, "t.jpg", encode(gradient(40, 40), "jpeg")), "JPG", "BMP", {}, ""},
        {"tag does not match", writeFile(dir, "m.png", encode(gradient(40, 40), "png")), "BMP", "JPG", {}, ""},
        {"not a picture", writeFile(dir, "n.jpg", "garbage bytes"), "JPG", "JPG", {}, ""},
    };
    for (const auto &c : cases) {
        const QByteArray bytes = ConvertImageToBytes(c.path, QLatin1String(c.tag), QLatin1String(c.target), 94);
        if (c.size.isEmpty()) {
            EXPECT_TRUE(bytes.isEmpty()) << c.name;
            continue;
        }
        const ImageInfo info = GetImageInfoFromBytes(bytes);
        EXPECT_EQ(info.Format, QLatin1String(c.resultFormat)) << c.name;
        EXPECT_EQ(info.displaySize(), c.size) << c.name;
        EXPECT_FALSE(info.turned()) << c.name << ": stored upright, no orientation left to apply";
    }
    // The turned photo's pixels are upright: stored top-left (red) is now top-right.
    const QImage turned = LoadPictureBytes(ConvertImageToBytes(dir.filePath("turned.jpg"), "JPG", "JPG", 94));
    ASSERT_FALSE(turned.isNull());
    EXPECT_GT(qRed(turned.pixel(190, 10)), 200);
    EXPECT_LT(qBlue(turned.pixel(190, 10)), 60);
}

TEST(ConvertImageToBytes, LimitedPhotoKeepsTheDetailOfAnAreaShrink)
{
    // 3900 x 1000 goes to 1920 x 492: the JPEG decoder halves it and a shrink
    // of 1.016 would blend nearly every pair of neighbours.
    QTemporaryDir dir;
    const QImage photo = detailedPhoto({3900, 1000}, 12);
    const QString path = writeFile(dir, QStringLiteral("wide.jpg"), encode(photo, "jpeg", 92));
    const QImage packed = LoadPictureBytes(ConvertImageToBytes(path, "JPG", "JPG", kPackageJpegQuality));
    ASSERT_EQ(packed.size(), QSize(1920, 492));
    const QImage areaShrink = LoadPicture(path).scaled(packed.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage reference = LoadPictureBytes(EncodeJpeg(areaShrink, kPackageJpegQuality));
    EXPECT_GE(laplacianSpread(packed), 0.95 * laplacianSpread(reference));
}

TEST(ConvertImageToBytes, PngKeepsTransparencyWhenLimited)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, "alpha.png", encode(gradient(3000, 2000, QImage::Format_ARGB32), "png"));
    const QImage out = LoadPictureBytes(ConvertImageToBytes(path, "PNG", "PNG", 94));
    ASSERT_EQ(out.size(), QSize(1920, 1280));
    EXPECT_EQ(qAlpha(out.pixel(100, 600)), 0);
    EXPECT_EQ(qAlpha(out.pixel(1800, 600)), 255);
}

TEST(PreparePictureForPackage, DecidesWhatIsReencoded)
{
    QTemporaryDir dir;
    Tga tga24, tga32;
    tga24.width = tga32.width = 2;
    tga24.height = tga32.height = 2;
    tga32.depth = 32;
    Pcx pcx;
    pcx.width = 40;
    pcx.height = 30;
    const struct
    {
        const char *name;
        QString path;
        bool reencoded;
        const char *type;
        QSize size; // of the packed picture
    } cases[] = {
        {"big JPG", writeFile(dir, "big.jpg", encode(gradient(3000, 2000), "jpeg", 100)), true, "JPG", {1920, 1280}},
        {"JPG that fits", writeFile(dir, "fits.jpg", encode(gradient(1024, 768), "jpeg")), false, "JPG", {1024, 768}},
        {"BMP", writeFile(dir, "pic.bmp", encode(gradient(300, 200), "bmp")), true, "JPG", {300, 200}},
        {"BMP whose JPEG is larger", writeFile(dir, "tiny.bmp", encode(gradient(2, 2), "bmp")), false, "BMP", {2, 2}},
        {"256-colour PNG, however big", writeFile(dir, "pal.png", encode(indexedPicture(2400, 100), "png")), false, "PNG",
         {2400, 100}},
        {"24-bit PNG that fits", writeFile(dir, "fits.png", encode(gradient(1000, 800), "png")), false, "PNG", {1000, 800}},
        {"big 24-bit PNG to JPG", writeFile(dir, "big.png", storedPng(gradient(2400, 600))), true, "JPG", {1920, 480}},
        {"big 32-bit PNG to PNG", writeFile(dir, "alpha.png", storedPng(gradient(2400, 600, QImage::Format_ARGB32))), true,
         "PNG", {1920, 480}},
        {"GIF", writeFile(dir, "a.gif", makeGif(4, 4, {qRgb(1, 2, 3)}, std::vector<uint32_t>(16, 0))), false, "GIF", {4, 4}},
        {"8-bit TIF", writeFile(dir, "pal.tif", encode(indexedPicture(300, 200), "tiff")), false, "TIF", {300, 200}},
        {"24-bit TIF to JPG", writeFile(dir, "rgb.tif", encode(gradient(300, 200), "tiff")), true, "JPG", {300, 200}},
        {"32-bit TIF to PNG", writeFile(dir, "argb.tif", encode(gradient(300, 200, QImage::Format_ARGB32), "tiff")), true, "PNG",
         {300, 200}},
        {"32-bit TGA stays", writeFile(dir, "a32.tga", makeTga(tga32, std::vector<uint32_t>(4, 0x80FF0000))), false, "TGA", {2, 2}},
        {"24-bit TGA even when larger", writeFile(dir, "a24.tga", makeTga(tga24, std::vector<uint32_t>(4, 0xFFFF0000))), true,
         "JPG", {2, 2}},
        {"PCX", writeFile(dir, "a.pcx", makePcx(pcx, std::vector<uint32_t>(1200, 3))), true, "JPG", {40, 30}},
        {"turned JPG that fits", writeFile(dir, "turned.jpg", withExifOrientation(encode(gradient(400, 200), "jpeg"), 6)), true,
         "JPG", {200, 400}},
        {"not a picture", writeFile(dir, "x.jpg", "text"), false, "UnKnown", {}},
    };
    for (const auto &c : cases) {
        const PreparedPicture p = PreparePictureForPackage(c.path);
        EXPECT_EQ(p.reencoded, c.reencoded) << c.name;
        EXPECT_EQ(p.type, QLatin1String(c.type)) << c.name;
        if (!p.reencoded) {
            EXPECT_TRUE(p.bytes.isEmpty()) << c.name;
            continue;
        }
        const ImageInfo info = GetImageInfoFromBytes(p.bytes);
        EXPECT_EQ(info.Format, QLatin1String(c.type)) << c.name;
        EXPECT_EQ(info.displaySize(), c.size) << c.name;
        // Only TGA, PCX and turned pictures may come out larger than their file.
        if (c.path.endsWith(".tga") || c.path.endsWith(".pcx") || c.path.contains("turned")) continue;
        EXPECT_LE(p.bytes.size(), QFileInfo(c.path).size()) << c.name;
    }
}

TEST(ScaleImageBytesToPng, StretchesOverATransparentCanvas)
{
    QImage frame(10, 10, QImage::Format_ARGB32);
    frame.fill(Qt::transparent);
    for (int y = 0; y < 10; ++y)
        for (int x = 5; x < 10; ++x) frame.setPixel(x, y, qRgba(0, 200, 0, 255));
    const QByteArray png = ScaleImageBytesToPng(encode(frame, "png"), {40, 20});
    const QImage out = LoadPictureBytes(png);
    ASSERT_EQ(out.size(), QSize(40, 20));
    EXPECT_EQ(GetImageInfoFromBytes(png).Format, QLatin1String("PNG"));
    EXPECT_EQ(qAlpha(out.pixel(3, 10)), 0);
    EXPECT_EQ(out.pixel(36, 10), qRgba(0, 200, 0, 255));
    EXPECT_TRUE(ScaleImageBytesToPng("not a picture", {40, 20}).isEmpty());
    EXPECT_TRUE(ScaleImageBytesToPng(encode(frame, "png"), {0, 20}).isEmpty());
}

TEST(SaveBitmapAsJpeg, WritesAtTheQualityAsked)
{
    QTemporaryDir dir;
    QImage noisy(200, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) noisy.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * y) % 256, (x ^ y) % 256));
    const QString high = dir.filePath("high.jpg"), low = dir.filePath("low.jpg");
    ASSERT_TRUE(SaveBitmapAsJpeg(noisy, high, 92));
    ASSERT_TRUE(SaveBitmapAsJpeg(noisy, low, 30));
    EXPECT_EQ(GetImageInfo(high).Format, QLatin1String("JPG"));
    EXPECT_EQ(GetImageInfo(high).storedSize(), QSize(200, 100));
    EXPECT_LT(QFileInfo(low).size(), QFileInfo(high).size());
    EXPECT_FALSE(SaveBitmapAsJpeg(noisy, dir.filePath("no/such/folder/x.jpg"), 92));
    EXPECT_FALSE(SaveBitmapAsJpeg(QImage(), dir.filePath("empty.jpg"), 92));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("empty.jpg")));
}
