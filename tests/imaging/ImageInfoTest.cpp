#include "ImageFixtures.h"
#include "LoadTgaPcx.h"
#include "PictureDraw.h"
#include "PictureInfo.h"
#include "PictureLoad.h"

#include <QDir>
#include <QElapsedTimer>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace pvsm;
using namespace fixtures;

namespace {

QImage solid(int w, int h, QImage::Format format, QColor colour = QColor(200, 60, 20))
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(colour);
    return img.convertToFormat(format);
}

QImage indexed(int colours)
{
    QImage img(24, 10, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < colours; ++i) table << qRgb(i * 10, 255 - i * 10, 7 * i);
    img.setColorTable(table);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) img.setPixel(x, y, uint((x + y) % colours));
    return img;
}

QByteArray gif()
{
    std::vector<uint32_t> idx;
    for (int i = 0; i < 24 * 10; ++i) idx.push_back(uint32_t(i % 5));
    return makeGif(24, 10, {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(9, 9, 9)}, idx);
}

} // namespace

TEST(ImageInfo, FormatSizeAndDepthOfEveryKind)
{
    const QImage rgb = solid(24, 10, QImage::Format_RGB32);
    const QImage argb = solid(24, 10, QImage::Format_ARGB32, QColor(10, 200, 30, 120));
    Tga tga;
    tga.width = 24;
    tga.height = 10;
    Pcx pcx;
    pcx.planes = 3;
    pcx.width = 24;
    pcx.height = 10;
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *format;
        int depth;
    } cases[] = {
        {"BMP 1-bit", encode(solid(24, 10, QImage::Format_Mono), "bmp"), "BMP", 1},
        {"BMP 8-bit", encode(indexed(40), "bmp"), "BMP", 8},
        {"BMP 24-bit", encode(rgb, "bmp"), "BMP", 24},
        {"JPG colour", encode(rgb, "jpeg"), "JPG", 24},
        {"JPG grey", encode(rgb.convertToFormat(QImage::Format_Grayscale8), "jpeg"), "JPG", 8},
        {"PNG 1-bit", encode(solid(24, 10, QImage::Format_Mono), "png"), "PNG", 1},
        {"PNG 4-bit palette", png4Bit(24, 10), "PNG", 4},
        {"PNG 8-bit palette", encode(indexed(40), "png"), "PNG", 8},
        {"PNG grey", encode(rgb.convertToFormat(QImage::Format_Grayscale8), "png"), "PNG", 8},
        {"PNG 24-bit", encode(rgb, "png"), "PNG", 24},
        {"PNG 32-bit", encode(argb, "png"), "PNG", 32},
        {"PNG 16 bits per channel", encode(argb.convertToFormat(QImage::Format_RGBA64), "png"), "PNG", 0},
        {"GIF", gif(), "GIF", 8},
        {"TIF 1-bit", encode(solid(24, 10, QImage::Format_Mono), "tiff"), "TIF", 1},
        {"TIF 8-bit", encode(indexed(40), "tiff"), "TIF", 8},
        {"TIF 24-bit", encode(rgb, "tiff"), "TIF", 24},
        {"TIF 32-bit", encode(argb, "tiff"), "TIF", 32},
        {"TGA", makeTga(tga, std::vector<uint32_t>(240, 0xFF102030)), "TGA", 24},
        {"PCX", makePcx(pcx, std::vector<uint32_t>(240, 0xFF102030)), "PCX", 24},
        {"ICO is none of ours", encode(rgb, "ico"), "UnKnown", 0},
        {"empty", QByteArray(), "UnKnown", 0},
        {"PNG signature only", QByteArray("\x89PNG\r\n\x1A\n", 8), "UnKnown", 0},
        {"JPEG markers only", QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10), "UnKnown", 0},
    };
    for (const auto &c : cases) {
        const ImageInfo info = GetImageInfoFromBytes(c.bytes);
        EXPECT_EQ(info.Format, QLatin1String(c.format)) << c.name;
        EXPECT_EQ(info.ColorDepth, c.depth) << c.name;
        if (!info.known()) continue;
        EXPECT_EQ(info.storedSize(), QSize(24, 10)) << c.name;
        EXPECT_EQ(info.displaySize(), QSize(24, 10)) << c.name;
        // Whatever is detected can be loaded, at its size.
        EXPECT_EQ(LoadPictureBytes(c.bytes).size(), QSize(24, 10)) << c.name;
        const ImageInfo brief = GetImageInfoFromBytes(c.bytes, false);
        EXPECT_EQ(brief.Format, info.Format) << c.name;
    }
}

TEST(ImageInfo, ContentsDecideNotTheName)
{
    QTemporaryDir dir;
    const QString png = writeFile(dir, QStringLiteral("really-a-png.jpg"), encode(solid(30, 20, QImage::Format_RGB32), "png"));
    EXPECT_EQ(GetImageInfo(png).Format, QLatin1String("PNG"));
    EXPECT_EQ(LoadPicture(png).size(), QSize(30, 20));
    const QString text = writeFile(dir, QStringLiteral("notes.bmp"), "just some words, not a picture at all");
    EXPECT_EQ(GetImageInfo(text).Format, QLatin1String("UnKnown"));
    EXPECT_TRUE(LoadPicture(text).isNull());
    EXPECT_EQ(GetImageInfo(dir.filePath(QStringLiteral("missing.png"))).Format, QLatin1String("UnKnown"));
}

TEST(ImageInfo, PathsShorterThanEightCharactersAreNotOpened)
{
    QTemporaryDir dir;
    writeFile(dir, QStringLiteral("ab1.png"), encode(solid(30, 20, QImage::Format_RGB32), "png"));
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const ImageInfo seven = GetImageInfo(QStringLiteral("ab1.png"));
    const ImageInfo nine = GetImageInfo(QStringLiteral("./ab1.png"));
    QDir::setCurrent(old);
    EXPECT_EQ(seven.Format, QLatin1String("UnKnown"));
    EXPECT_EQ(nine.Format, QLatin1String("PNG"));
}

TEST(ImageInfo, ExifOrientationTurnsThePictureUpright)
{
    // Stored 40 x 20 with quadrants; orientation 6 means "turn 90 degrees
    // clockwise to show": the stored top-left (red) lands top-right.
    const QByteArray jpeg = withExifOrientation(encode(quadrants(40, 20), "jpeg", 95), 6);
    const ImageInfo info = GetImageInfoFromBytes(jpeg);
    EXPECT_EQ(info.Format, QLatin1String("JPG"));
    EXPECT_EQ(info.storedSize(), QSize(40, 20));
    EXPECT_EQ(info.displaySize(), QSize(20, 40));
    EXPECT_TRUE(info.turned());
    const QImage upright = LoadPictureBytes(jpeg);
    ASSERT_EQ(upright.size(), QSize(20, 40));
    auto near = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) < 40 && std::abs(qGreen(a) - qGreen(b)) < 40 && std::abs(qBlue(a) - qBlue(b)) < 40;
    };
    EXPECT_TRUE(near(upright.pixel(15, 5), qRgb(255, 0, 0)));    // stored top-left
    EXPECT_TRUE(near(upright.pixel(15, 35), qRgb(0, 255, 0)));   // stored top-right
    EXPECT_TRUE(near(upright.pixel(4, 5), qRgb(0, 0, 255)));     // stored bottom-left
    EXPECT_TRUE(near(upright.pixel(4, 35), qRgb(255, 255, 0)));  // stored bottom-right

    // Orientation 3 (half turn) keeps the size but swaps the corners.
    const QImage half = LoadPictureBytes(withExifOrientation(encode(quadrants(40, 20), "jpeg", 95), 3));
    ASSERT_EQ(half.size(), QSize(40, 20));
    EXPECT_TRUE(near(half.pixel(35, 15), qRgb(255, 0, 0)));
}

TEST(ImageInfo, BrokenAndHostileFilesGiveNoPicture)
{
    const QByteArray goodPng = encode(quadrants(64, 64), "png");
    const QByteArray goodJpg = encode(quadrants(64, 64), "jpeg");
    const struct
    {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"zero-byte", QByteArray()},
        {"PNG cut in its header", goodPng.left(20)},
        {"PNG bomb 100000 x 100000", pngClaiming(100000, 100000)},
        {"PNG 2^31 wide", pngClaiming(0x7FFFFFFF, 2)},
        {"JPEG cut after its markers", goodJpg.left(30)},
        {"BMP header only", QByteArray("BM") + QByteArray(60, '\0')},
        {"TIFF header only", QByteArray("II*\0\x08\0\0\0", 8)},
        {"GIF header only", QByteArray("GIF89a\x10\x00\x10\x00", 10)},
    };
    QElapsedTimer timer;
    timer.start();
    for (const auto &c : cases) EXPECT_TRUE(LoadPictureBytes(c.bytes).isNull()) << c.name;
    EXPECT_LT(timer.elapsed(), 3000);
    // The bomb's header is readable: it is a PNG, just never decoded.
    const ImageInfo bomb = GetImageInfoFromBytes(pngClaiming(100000, 100000));
    EXPECT_EQ(bomb.Format, QLatin1String("PNG"));
    EXPECT_EQ(bomb.Width, 100000);
}

TEST(PictureLimit, ClaimedSizesPastTheLimitAreRefusedFromTheHeader)
{
    QTemporaryDir dir;
    const QString tga = writeFile(dir, "huge.tga", tgaClaiming(10000, 10000));
    ASSERT_EQ(QFileInfo(tga).size(), 518);
    // Refused before allocating: the 100 megapixels would not even fit.
    EXPECT_TRUE(LoadPicture(tga).isNull());
    EXPECT_TRUE(LoadPictureForTarget(tga, kDrawFit, QSize(64, 48)).isNull());
    EXPECT_TRUE(LoadPictureBytes(tgaClaiming(10000, 10000)).isNull());
    EXPECT_TRUE(LoadTgaBitmap(tga).isNull());
    const PictureFileCheck huge = CheckPictureFile(tga);
    EXPECT_EQ(huge.problem, PictureProblem::TooLarge);
    EXPECT_EQ(huge.info.Format, QLatin1String("TGA"));
    EXPECT_EQ(pictureProblemText(huge),
              QStringLiteral("is too large: 10000 x 10000 pixels is more than the 67108864 (8192 x 8192) a picture may have"));

    // Qt's readers are refused the same way (a PNG of 9000 x 8000 claims 72 megapixels).
    const QString png = writeFile(dir, "huge.png", pngClaiming(9000, 8000));
    EXPECT_EQ(CheckPictureFile(png).problem, PictureProblem::TooLarge);
    EXPECT_TRUE(LoadPictureForTarget(png, kDrawFit, QSize(64, 48)).isNull());

    // A JPEG is decoded at the scale its drawing needs, so a 108-megapixel
    // photo still draws small; only its whole-size decode is refused.
    const QString jpeg = writeFile(dir, "photo.jpg", jpegClaiming(12000, 9000));
    const PictureFileCheck photo = CheckPictureFile(jpeg);
    EXPECT_EQ(photo.problem, PictureProblem::None);
    EXPECT_EQ(photo.info.Width, 12000);
    EXPECT_EQ(LoadPictureForTarget(jpeg, kDrawFit, QSize(400, 300)).size(), QSize(400, 300));
    EXPECT_TRUE(LoadPicture(jpeg).isNull());

    // The limit itself is a picture of 8192 x 8192.
    ImageInfo atLimit;
    atLimit.format = PictureFormat::Tga;
    atLimit.Width = atLimit.Height = 8192;
    EXPECT_FALSE(PictureTooLarge(atLimit));
    atLimit.Width = 8193;
    EXPECT_TRUE(PictureTooLarge(atLimit));
    atLimit.format = PictureFormat::Jpg;
    atLimit.Width = atLimit.Height = 8 * 8192;
    EXPECT_FALSE(PictureTooLarge(atLimit));
    atLimit.Width += 8;
    EXPECT_TRUE(PictureTooLarge(atLimit));
}

TEST(PictureLimit, OnlyRegularFilesAreOpened)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe.png");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Opening the FIFO would wait for a writer that never comes.
    EXPECT_FALSE(GetImageInfo(fifo).known());
    EXPECT_TRUE(LoadPicture(fifo).isNull());
    EXPECT_TRUE(LoadPcxBitmap(fifo).isNull());
    const PictureFileCheck check = CheckPictureFile(fifo);
    EXPECT_EQ(check.problem, PictureProblem::CannotRead);
    EXPECT_EQ(pictureProblemText(check), QStringLiteral("is not a regular file (a FIFO, socket or device)"));
    EXPECT_EQ(pictureProblemText(CheckPictureFile(dir.filePath("none.png"))), QStringLiteral("does not exist"));
    EXPECT_EQ(pictureProblemText(CheckPictureFile(writeFile(dir, "text.png", "just words"))),
              QStringLiteral("is not a picture of a supported format"));
}
