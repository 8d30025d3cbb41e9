#include "ImageFixtures.h"
#include "Numbers.h"
#include "PictureDraw.h"
#include "PictureLoad.h"

#include <gtest/gtest.h>

#include <set>

using namespace pvsm;
using namespace fixtures;

namespace {

const QRgb kBack = qRgb(0, 0, 255);
const QRgb kPicture = qRgb(255, 0, 0);

struct PlaceCase
{
    const char *name;
    QSize surface, picture;
    int mode;
    QPoint position;
    QRect expected;
};

const PlaceCase kPlaceCases[] = {
    {"0 fits: centred", {100, 80}, {50, 40}, 0, {}, {25, 20, 50, 40}},
    {"0 half pixel goes to even (25.5)", {101, 80}, {50, 40}, 0, {}, {26, 20, 50, 40}},
    {"0 half pixel goes to even (26.5, 20.5)", {103, 81}, {50, 40}, 0, {}, {26, 20, 50, 40}},
    {"0 larger: fitted", {100, 80}, {400, 100}, 0, {}, {0, 28, 100, 25}},
    {"0 taller only: fitted, 37.5 goes to 38", {100, 80}, {50, 160}, 0, {}, {38, 0, 25, 80}},
    {"1 at its position", {100, 80}, {50, 40}, 1, {10, 0}, {10, 0, 50, 40}},
    {"1 may reach outside", {100, 80}, {50, 40}, 1, {-5, 70}, {-5, 70, 50, 40}},
    {"2 first tile", {100, 80}, {30, 20}, 2, {}, {0, 0, 30, 20}},
    {"3 photo into 720p", {1280, 720}, {4000, 3000}, 3, {}, {160, 0, 960, 720}},
    {"3 same aspect", {1280, 720}, {1920, 1080}, 3, {}, {0, 0, 1280, 720}},
    {"3 enlarges", {100, 80}, {10, 10}, 3, {}, {10, 0, 80, 80}},
    {"3 wide: 33.5 goes to 34", {100, 100}, {3, 1}, 3, {}, {0, 34, 100, 33}},
    {"3 extreme stays one pixel", {100, 100}, {10000, 1}, 3, {}, {0, 50, 100, 1}},
    {"4 stretched", {100, 80}, {7, 300}, 4, {}, {0, 0, 100, 80}},
    {"unknown mode", {100, 80}, {50, 40}, 5, {}, {}},
    {"negative mode", {100, 80}, {50, 40}, -1, {}, {}},
    {"empty picture", {100, 80}, {0, 40}, 3, {}, {}},
};

QImage filled(QSize size, QRgb colour)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

} // namespace

TEST(DrawModes, PlacementFollowsTheModeRules)
{
    for (const PlaceCase &c : kPlaceCases)
        EXPECT_EQ(PlacePicture(c.surface, c.picture, c.mode, c.position), c.expected) << c.name;
}

TEST(DrawModes, DrawnPixelsCoverExactlyThePlacedRectangle)
{
    for (const PlaceCase &c : kPlaceCases) {
        if (c.surface.width() > 200 || c.picture.isEmpty()) continue; // big cases: geometry above suffices
        QImage surface = filled(c.surface, kBack);
        const QRect drawn = DrawPicture(surface, filled(c.picture, kPicture), c.mode, c.position);
        EXPECT_EQ(drawn, c.expected) << c.name;
        const QRect visible = c.expected & surface.rect();
        // Mode 2 covers the whole surface with tiles; the others only their rectangle.
        const QRect covered = c.mode == 2 ? surface.rect() : visible;
        for (int y = 0; y < surface.height(); ++y)
            for (int x = 0; x < surface.width(); ++x)
                ASSERT_EQ(surface.pixel(x, y), covered.contains(x, y) ? kPicture : kBack) << c.name << " at " << x << "," << y;
    }
}

TEST(DrawModes, RandomPositionUsesTwoValuesAfterReseeding)
{
    const QSize surface(1000, 500), picture(100, 50);
    RandomSource random;
    random.setFixedSeed(4242);
    random.next(); // wherever the series stands, placing reseeds first
    const QRect placed = PlacePicture(surface, picture, kDrawAtPosition, {}, random);
    RandomSource expected;
    expected.setFixedSeed(4242);
    const double r1 = expected.next(), r2 = expected.next();
    EXPECT_EQ(placed, QRect(Nearest(900 * r1), Nearest(450 * r2), 100, 50));

    // From the clock, successive calls land in different places.
    std::set<std::pair<int, int>> spots;
    for (int i = 0; i < 8; ++i) {
        const QRect r = PlacePicture(surface, picture, kDrawAtPosition);
        spots.insert({r.x(), r.y()});
        EXPECT_TRUE(QRect(0, 0, 1000, 500).contains(r)) << "stays inside when it fits";
    }
    EXPECT_GT(spots.size(), 1u);
}

TEST(DrawModes, TilesRepeatThePictureFromTheTopLeft)
{
    QImage pattern(30, 20, QImage::Format_RGB32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) pattern.setPixel(x, y, qRgb(x * 8, y * 12, 100));
    QImage surface = filled({100, 50}, kBack);
    EXPECT_EQ(DrawPicture(surface, pattern, kDrawTiled), QRect(0, 0, 30, 20));
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) ASSERT_EQ(surface.pixel(x, y), pattern.pixel(x % 30, y % 20)) << x << "," << y;
}

TEST(DrawModes, AlphaIsComposedByTheChannelRule)
{
    const QRgb back = qRgb(100, 150, 200);
    const int alphas[] = {0, 1, 128, 254, 255};
    QImage picture(5, 1, QImage::Format_ARGB32);
    for (int i = 0; i < 5; ++i) picture.setPixel(i, 0, qRgba(200, 0, 255, alphas[i]));
    QImage surface = filled({5, 1}, back);
    DrawPicture(surface, picture, kDrawCentred);
    for (int i = 0; i < 5; ++i) {
        const int a = alphas[i];
        auto mix = [a](int bg, int fg) { return ((255 - a) * bg + a * fg + 255) >> 8; };
        EXPECT_EQ(surface.pixel(i, 0), qRgb(mix(100, 200), mix(150, 0), mix(200, 255))) << "alpha " << a;
    }
    EXPECT_EQ(surface.pixel(0, 0), back) << "alpha 0 keeps the background";
    EXPECT_EQ(surface.pixel(4, 0), qRgb(200, 0, 255)) << "alpha 255 takes the picture";
    // Tiles carry the composed block, as the surface holds it.
    QImage tiled = filled({10, 1}, back);
    DrawPicture(tiled, picture, kDrawTiled);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(tiled.pixel(i + 5, 0), tiled.pixel(i, 0));
}

TEST(DrawModes, GreyBitmapUsesPointThreeFiveOfTheSum)
{
    QImage bitmap(3, 1, QImage::Format_RGB32);
    bitmap.setPixel(0, 0, qRgb(100, 50, 10));
    bitmap.setPixel(1, 0, qRgb(255, 255, 255));
    bitmap.setPixel(2, 0, qRgb(9, 9, 9));
    QImage surface = filled({3, 2}, kBack);
    DrawBitmapGrey(surface, bitmap, 2, 1);
    EXPECT_EQ(surface.pixel(0, 0), qRgb(56, 56, 56)); // 0.35 * 160
    EXPECT_EQ(surface.pixel(1, 0), qRgb(255, 255, 255)) << "clamped";
    EXPECT_EQ(surface.pixel(2, 0), kBack) << "only the rectangle asked for";
    EXPECT_EQ(surface.pixel(0, 1), kBack);
}

TEST(LoadForTarget, DeliversTheSizeTheModeNeeds)
{
    QTemporaryDir dir;
    const QString jpg = writeFile(dir, QStringLiteral("photo.jpg"), encode(quadrants(400, 300), "jpeg", 90));
    Tga tga;
    tga.width = 40;
    tga.height = 20;
    const QString tgaPath = writeFile(dir, QStringLiteral("picture.tga"), makeTga(tga, std::vector<uint32_t>(800, 0xFF336699)));
    const struct
    {
        const char *name;
        QString path;
        int mode;
        QSize surface, expected;
    } cases[] = {
        {"3 shrinks", jpg, 3, {100, 100}, {100, 75}},
        {"3 does not enlarge while loading", jpg, 3, {800, 800}, {400, 300}},
        {"4 the surface", jpg, 4, {100, 100}, {100, 100}},
        {"4 never more than the picture", jpg, 4, {800, 100}, {400, 300}},
        {"0 larger than the surface", jpg, 0, {100, 100}, {100, 75}},
        {"0 fits", jpg, 0, {800, 600}, {400, 300}},
        {"1 natural", jpg, 1, {100, 100}, {400, 300}},
        {"2 natural", jpg, 2, {100, 100}, {400, 300}},
        {"no surface: whole picture", jpg, 3, {}, {400, 300}},
        {"TGA shrinks too", tgaPath, 3, {20, 20}, {20, 10}},
    };
    for (const auto &c : cases) {
        const QImage img = LoadPictureForTarget(c.path, c.mode, c.surface);
        EXPECT_EQ(img.size(), c.expected) << c.name;
        EXPECT_EQ(img.format(), QImage::Format_RGB32) << c.name;
    }
}

TEST(LoadForTarget, TurnedPhotoIsShrunkUpright)
{
    // Stored 400 x 200, shown 200 x 400 (orientation 6).
    const QByteArray jpeg = withExifOrientation(encode(quadrants(400, 200), "jpeg", 95), 6);
    const QImage img = LoadPictureBytesForTarget(jpeg, kDrawStretch, {50, 100});
    ASSERT_EQ(img.size(), QSize(50, 100));
    auto near = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) < 40 && std::abs(qGreen(a) - qGreen(b)) < 40 && std::abs(qBlue(a) - qBlue(b)) < 40;
    };
    EXPECT_TRUE(near(img.pixel(40, 10), qRgb(255, 0, 0)));
    EXPECT_TRUE(near(img.pixel(40, 90), qRgb(0, 255, 0)));
    EXPECT_TRUE(near(img.pixel(10, 10), qRgb(0, 0, 255)));
    EXPECT_TRUE(near(img.pixel(10, 90), qRgb(255, 255, 0)));
}

TEST(LoadForTarget, DrawingTheShrunkPictureMatchesDrawingTheWholeOne)
{
    QImage photo(1600, 1200, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x) photo.setPixel(x, y, qRgb(x / 7 % 256, y / 5 % 256, (x + y) / 11 % 256));
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("photo.jpg"), encode(photo, "jpeg", 92));
    const QRgb back = qRgb(255, 0, 255);
    for (int mode : {0, 3, 4}) {
        QImage viaTarget = filled({400, 250}, back), viaWhole = filled({400, 250}, back);
        const QRect a = DrawImageFile(viaTarget, path, mode);
        const QRect b = DrawPicture(viaWhole, LoadPicture(path), mode);
        EXPECT_EQ(a, b) << "mode " << mode;
        int64_t diff = 0;
        for (int y = 0; y < 250; ++y)
            for (int x = 0; x < 400; ++x) {
                const QRgb p = viaTarget.pixel(x, y), q = viaWhole.pixel(x, y);
                ASSERT_EQ(p == back, q == back) << "mode " << mode << " covers other pixels at " << x << "," << y;
                diff += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
            }
        EXPECT_LT(double(diff) / (400 * 250 * 3), 3.0) << "mode " << mode << " mean difference per channel";
    }
}

TEST(LoadForTarget, StillPicturesKeepTheDetailOfAnAreaShrink)
{
    // A shrink that the JPEG decoder does most of and a plain shrink finishes
    // close to 1:1 blends neighbours: such pictures kept two thirds of the
    // fine detail of an area shrink of the whole photo.
    QTemporaryDir dir;
    const QImage photo = detailedPhoto({2000, 1500}, 11);
    const QString path = writeFile(dir, QStringLiteral("photo.jpg"), encode(photo, "jpeg", 92));
    const QImage whole = LoadPicture(path);
    ASSERT_EQ(whole.size(), photo.size());
    // Qt's smooth shrink is an area shrink.
    const auto areaShrink = [&](QSize size) {
        return laplacianSpread(whole.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    };
    const struct
    {
        const char *name;
        int mode;
        QSize surface, drawn;
    } slides[] = {
        {"mode 3 fitted to 4.2 times smaller", 3, {640, 360}, {480, 360}},
        {"mode 4 stretched 3.1 times smaller", 4, {640, 480}, {640, 480}},
        {"mode 0 shrunk 8.3 times", 0, {320, 180}, {240, 180}},
    };
    for (const auto &c : slides) {
        QImage surface = filled(c.surface, qRgb(0, 0, 0));
        const QRect placed = DrawImageFile(surface, path, c.mode);
        ASSERT_EQ(placed.size(), c.drawn) << c.name;
        EXPECT_GE(laplacianSpread(surface, placed), 0.95 * areaShrink(c.drawn)) << c.name;
    }
    // A thumbnail decoded at its size.
    const QImage thumbnail = LoadPictureForTarget(path, kDrawFit, {160, 160});
    ASSERT_EQ(thumbnail.size(), QSize(160, 120));
    EXPECT_GE(laplacianSpread(thumbnail), 0.95 * areaShrink({160, 120})) << "thumbnail";
}
