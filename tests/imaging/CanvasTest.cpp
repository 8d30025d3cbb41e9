#include "clsMemDC.h"

#include <QImage>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

using namespace pvsm;

namespace {

// A picture inside a larger buffer whose margin (a row above and below, a
// column left and two right) is filled with a marker, so that writes outside
// the picture are caught.
class Guarded
{
public:
    static constexpr QRgb kGuard = 0x5A5A5A5A;

    Guarded(int w, int h, QImage::Format format = QImage::Format_RGB32)
        : m_stride(w + 3), m_buffer(size_t((h + 2) * (w + 3)), kGuard),
          m_image(reinterpret_cast<uchar *>(m_buffer.data() + m_stride + 1), w, h, m_stride * 4, format)
    {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) m_image.setPixel(x, y, 0xFF000000u | uint(x * 20 + 1) << 16 | uint(y * 30 + 2) << 8 | 7);
    }
    QImage &image() { return m_image; }
    bool guardIntact() const
    {
        for (int y = 0; y < m_image.height() + 2; ++y)
            for (int x = 0; x < m_stride; ++x) {
                const bool inside = y >= 1 && y <= m_image.height() && x >= 1 && x <= m_image.width();
                if (!inside && m_buffer[size_t(y * m_stride + x)] != kGuard) return false;
            }
        return true;
    }

private:
    int m_stride;
    std::vector<QRgb> m_buffer;
    QImage m_image;
};

QImage patterned(int w, int h, uint seed)
{
    std::mt19937 rng(seed);
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, 0xFF000000u | (rng() & 0xFFFFFFu));
    return image;
}

QImage uniform(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

int blendChannel(int s, int d, int a)
{
    return int(std::lround((s * a + d * (255 - a)) / 255.0));
}

QRgb blendPixel(QRgb s, QRgb d, int a)
{
    return qRgb(blendChannel(qRed(s), qRed(d), a), blendChannel(qGreen(s), qGreen(d), a),
                blendChannel(qBlue(s), qBlue(d), a));
}

// The pixel-at-a-time meaning of a rectangle operation: pixel (x + i, y + j)
// is combined with source pixel (sx + i, sy + j) when both exist.
QImage reference(const QImage &dst, int x, int y, int w, int h, const QImage &src, int sx, int sy,
                 const std::function<QRgb(QRgb, QRgb)> &op)
{
    QImage out = dst.copy();
    // Only offsets that land on the destination can matter.
    const int64_t i0 = std::max<int64_t>(0, -int64_t(x)), i1 = std::min<int64_t>(w, int64_t(dst.width()) - x);
    const int64_t j0 = std::max<int64_t>(0, -int64_t(y)), j1 = std::min<int64_t>(h, int64_t(dst.height()) - y);
    for (int64_t j = j0; j < j1; ++j)
        for (int64_t i = i0; i < i1; ++i) {
            const int64_t dx = x + i, dy = y + j, px = sx + i, py = sy + j;
            if (dx < 0 || dy < 0 || dx >= dst.width() || dy >= dst.height()) continue;
            if (px < 0 || py < 0 || px >= src.width() || py >= src.height()) continue;
            out.setPixel(int(dx), int(dy), op(src.pixel(int(px), int(py)), dst.pixel(int(dx), int(dy))));
        }
    return out;
}

void expectSamePixels(const QImage &got, const QImage &want, const char *what)
{
    ASSERT_EQ(got.size(), want.size()) << what;
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x)
            ASSERT_EQ(got.pixel(x, y), want.pixel(x, y)) << what << " at " << x << "," << y;
}

struct RectCase
{
    int x, y, w, h, sx, sy;
};

// Rectangles on 8 × 6 pictures: inside, partly outside either picture,
// wholly outside, empty and extreme.
const RectCase kRectCases[] = {
    {0, 0, 8, 6, 0, 0},       {-3, -2, 8, 6, 0, 0},      {5, 4, 8, 6, 0, 0},   {2, 1, 4, 3, -2, -1},
    {1, 1, 3, 3, 6, 4},       {0, 0, 100, 100, -50, -50}, {7, 5, 1, 1, 7, 5},  {-10, 0, 5, 5, 0, 0},
    {0, 0, 0, 5, 0, 0},       {0, 0, 5, -1, 0, 0},       {3, 2, 5, 4, 0, 0},   {INT_MAX - 1, 0, 10, 10, 0, 0},
    {0, 0, INT_MAX, INT_MAX, INT_MIN, INT_MIN},          {INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0},
};

} // namespace

TEST(Canvas, CreatesFillsAndClears)
{
    clsMemDC dc;
    EXPECT_TRUE(dc.isNull());
    ASSERT_TRUE(dc.CreateMemDC(640, 480, 0x8000000F)); // the button face, a system colour
    EXPECT_EQ(dc.Width(), 640);
    EXPECT_EQ(dc.Height(), 480);
    EXPECT_EQ(dc.image().format(), QImage::Format_RGB32);
    EXPECT_EQ(dc.BackColor(), 0xF0F0F0u);
    EXPECT_EQ(dc.image().pixel(639, 479), 0xFFF0F0F0u);

    dc.setBackColor(0x0000FF); // 0x00BBGGRR: red
    EXPECT_EQ(dc.BackColor(), 0x0000FFu);
    EXPECT_EQ(dc.image().pixel(10, 10), 0xFFFF0000u);
    dc.Clear();
    EXPECT_EQ(dc.image().pixel(10, 10), 0xFFF0F0F0u);

    // The picture-box form: 0 takes the box's dimension.
    ASSERT_TRUE(dc.CreateMemDC(QSize(320, 200), 0, 50, 0x00FF00));
    EXPECT_EQ(dc.size(), QSize(320, 50));
    EXPECT_EQ(dc.image().pixel(0, 0), 0xFF00FF00u);

    clsMemDC moved(std::move(dc));
    EXPECT_TRUE(dc.isNull());
    EXPECT_EQ(moved.size(), QSize(320, 50));

    for (const QSize bad : {QSize(0, 10), QSize(10, -1), QSize(kMaxCanvasSide + 1, 1), QSize(10000, 10000)}) {
        clsMemDC c(5, 5);
        EXPECT_FALSE(c.CreateMemDC(bad.width(), bad.height(), 0)) << bad.width() << "x" << bad.height();
        EXPECT_TRUE(c.isNull());
        // Drawing on or from an empty canvas does nothing.
        BitBlt(c, 0, 0, 5, 5, moved, 0, 0);
        AlphaBlend(moved, 0, 0, 5, 5, c, 0, 0, 128);
        StretchBlt(moved, 0, 0, 5, 5, c, 0, 0, 2, 2);
    }
    EXPECT_EQ(moved.image().pixel(0, 0), 0xFF00FF00u);
}

TEST(Canvas, RectangleOperationsClipToBothPictures)
{
    const QImage src = patterned(8, 6, 1);
    struct Op
    {
        const char *name;
        std::function<void(QImage &, const RectCase &)> run;
        std::function<QRgb(QRgb, QRgb)> pixel;
    };
    const Op ops[] = {
        {"copy", [&](QImage &d, const RectCase &c) { BitBlt(d, c.x, c.y, c.w, c.h, src, c.sx, c.sy); },
         [](QRgb s, QRgb) { return s; }},
        {"inverted",
         [&](QImage &d, const RectCase &c) { BitBlt(d, c.x, c.y, c.w, c.h, src, c.sx, c.sy, RasterOp::NotSrcCopy); },
         [](QRgb s, QRgb) { return 0xFF000000u | (~s & 0xFFFFFFu); }},
        {"blend 77", [&](QImage &d, const RectCase &c) { AlphaBlend(d, c.x, c.y, c.w, c.h, src, c.sx, c.sy, 77); },
         [](QRgb s, QRgb d) { return blendPixel(s, d, 77); }},
        {"stretch 1:1",
         [&](QImage &d, const RectCase &c) { StretchBlt(d, c.x, c.y, c.w, c.h, src, c.sx, c.sy, c.w, c.h); },
         [](QRgb s, QRgb) { return s; }},
    };
    for (const Op &op : ops)
        for (const RectCase &c : kRectCases) {
            SCOPED_TRACE(testing::Message() << op.name << " (" << c.x << "," << c.y << "," << c.w << "," << c.h
                                            << ") from (" << c.sx << "," << c.sy << ")");
            Guarded dst(8, 6);
            const QImage want = reference(dst.image(), c.x, c.y, c.w, c.h, src, c.sx, c.sy, op.pixel);
            op.run(dst.image(), c);
            EXPECT_TRUE(dst.guardIntact());
            expectSamePixels(dst.image(), want, op.name);
        }
}

TEST(Canvas, CopyRectsCopiesEachPieceToItsOwnPlace)
{
    // Pieces inside, across every edge, empty and overlapping; from an
    // opaque picture (rows copied as they are) and from one with alpha
    // (made opaque on the way, as BitBlt does).
    const std::vector<QRect> pieces = {QRect(-2, -1, 4, 3), QRect(5, 4, 6, 6), QRect(3, 0, 2, 2), QRect(0, 0, 0, 5),
                                       QRect(2, 1, 3, 3), QRect(7, -3, 1, 20)};
    QImage translucent = patterned(8, 6, 2).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    translucent.setPixel(4, 2, 0x40102030);
    for (const QImage &src : {patterned(8, 6, 1), translucent}) {
        Guarded dst(8, 6);
        QImage want = dst.image().copy();
        for (const QRect &r : pieces) BitBlt(want, r.x(), r.y(), r.width(), r.height(), src, r.x(), r.y());
        CopyRects(dst.image(), pieces, src);
        EXPECT_TRUE(dst.guardIntact());
        expectSamePixels(dst.image(), want, "pieces");
    }
}

TEST(Canvas, OverlappingCopiesWithinOnePicture)
{
    // The push transition moves a picture by a few pixels onto itself.
    const RectCase cases[] = {{2, 1, 6, 5, 0, 0}, {0, 0, 6, 5, 2, 1}, {1, 0, 7, 6, 0, 0}, {0, 2, 8, 4, 0, 0}};
    for (const RectCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " from " << c.sx << "," << c.sy);
        QImage image = patterned(8, 6, 2);
        const QImage before = image.copy();
        BitBlt(image, c.x, c.y, c.w, c.h, image, c.sx, c.sy);
        expectSamePixels(image, reference(before, c.x, c.y, c.w, c.h, before, c.sx, c.sy, [](QRgb s, QRgb) { return s; }),
                         "copy");
        image = before.copy();
        AlphaBlend(image, c.x, c.y, c.w, c.h, image, c.sx, c.sy, 200);
        expectSamePixels(image,
                         reference(before, c.x, c.y, c.w, c.h, before, c.sx, c.sy,
                                   [](QRgb s, QRgb d) { return blendPixel(s, d, 200); }),
                         "blend");
    }
}

TEST(Canvas, AlphaBlendRoundsEveryChannel)
{
    // 37 columns: whole vector blocks and a tail of single pixels.
    const QImage src = patterned(37, 3, 3), base = patterned(37, 3, 4);
    for (int alpha : {0, 1, 127, 128, 254, 255}) {
        QImage dst = base.copy();
        AlphaBlend(dst, 0, 0, 37, 3, src, 0, 0, alpha);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 37; ++x)
                ASSERT_EQ(dst.pixel(x, y), blendPixel(src.pixel(x, y), base.pixel(x, y), alpha))
                    << "alpha " << alpha << " at " << x << "," << y;
    }
    // Over a plain colour: as over a picture filled with it, into another
    // picture, into one sharing the source's pixels, and in place.
    for (int alpha : {0, 1, 128, 255}) {
        QImage filled(37, 3, QImage::Format_RGB32);
        FillRect(filled, 0, 0, 37, 3, 0x3080F0);
        QImage want(37, 3, QImage::Format_RGB32);
        BlendPictures(want, filled, src, alpha);
        QImage other(37, 3, QImage::Format_RGB32), shared = src, inPlace = src.copy();
        BlendOverColour(other, src, 0x3080F0, alpha);
        BlendOverColour(shared, src, 0x3080F0, alpha);
        BlendOverColour(inPlace, inPlace, 0x3080F0, alpha);
        expectSamePixels(other, want, "over a colour");
        expectSamePixels(shared, want, "over a colour, sharing");
        expectSamePixels(inPlace, want, "over a colour, in place");
        EXPECT_TRUE(src == patterned(37, 3, 3)) << "the source is left alone";
    }
    QImage dst = base.copy();
    AlphaBlend(dst, 0, 0, 37, 3, src, 0, 0, 300); // clamped to 255
    expectSamePixels(dst, src, "alpha 300");
    // Over a transparent sprite picture the source's alpha is blended too.
    QImage sprite(4, 1, QImage::Format_ARGB32_Premultiplied);
    sprite.fill(0);
    AlphaBlend(sprite, 0, 0, 4, 1, uniform(4, 1, 0xFFFFFFFF), 0, 0, 128);
    EXPECT_EQ(sprite.pixel(0, 0), 0x80808080u);
}

TEST(Canvas, InvertedAndGreyCopies)
{
    const QRgb in[] = {qRgb(100, 50, 10), qRgb(255, 255, 255), qRgb(10, 5, 5), qRgb(1, 1, 0), qRgb(0, 0, 0)};
    const int grey[] = {56, 255, 7, 0, 0}; // 0.35 × (R + G + B), fraction dropped, capped at 255
    clsMemDC src(5, 1);
    for (int i = 0; i < 5; ++i) src.image().setPixel(i, 0, in[i]);

    QImage negative = uniform(5, 1, 0xFF123456);
    BitBlt(negative, 0, 0, 5, 1, src.image(), 0, 0, RasterOp::NotSrcCopy);
    EXPECT_EQ(negative.pixel(0, 0), qRgb(155, 205, 245));
    EXPECT_EQ(negative.pixel(4, 0), qRgb(255, 255, 255));

    clsMemDC out(5, 1, 0x563412);
    DrawBitmapGrey(out, src, 5, 1);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(out.image().pixel(i, 0), qRgb(grey[i], grey[i], grey[i])) << i;
    // In place, limited to the (0, 0, w, h) rectangle.
    DrawBitmapGrey(src, src, 2, 1);
    EXPECT_EQ(src.image().pixel(0, 0), qRgb(56, 56, 56));
    EXPECT_EQ(src.image().pixel(2, 0), in[2]);
    // Sizes beyond either canvas are clipped.
    clsMemDC small(3, 1, 0xFFFFFF);
    DrawBitmapGrey(small, out, 100, 100);
    EXPECT_EQ(small.image().pixel(2, 0), qRgb(7, 7, 7));
}

TEST(Canvas, StretchMirrorsAndFilters)
{
    const QImage src = patterned(8, 6, 5);
    // Equal sizes with opposite signs mirror exactly.
    QImage mirrored = uniform(8, 6, 0xFF000000);
    StretchBlt(mirrored, 8, 0, -8, 6, src, 0, 0, 8, 6);
    QImage flipped = uniform(8, 6, 0xFF000000);
    StretchBlt(flipped, 0, 0, 8, 6, src, 0, 6, 8, -6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            ASSERT_EQ(mirrored.pixel(x, y), src.pixel(7 - x, y));
            ASSERT_EQ(flipped.pixel(x, y), src.pixel(x, 5 - y));
        }

    // Halftone averages what it shrinks; the nearest-pixel mode picks.
    QImage checker(16, 12, QImage::Format_RGB32);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) checker.setPixel(x, y, (x + y) % 2 ? 0xFFFFFFFF : 0xFF000000);
    QImage halftone = uniform(8, 6, 0xFFFF0000), nearest = uniform(8, 6, 0xFFFF0000);
    StretchBlt(halftone, 0, 0, 8, 6, checker, 0, 0, 16, 12);
    StretchBlt(nearest, 0, 0, 8, 6, checker, 0, 0, 16, 12, StretchMode::ColorOnColor);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            EXPECT_NEAR(qRed(halftone.pixel(x, y)), 128, 2) << x << "," << y;
            EXPECT_EQ(qRed(halftone.pixel(x, y)), qBlue(halftone.pixel(x, y)));
            EXPECT_TRUE(nearest.pixel(x, y) == 0xFF000000 || nearest.pixel(x, y) == 0xFFFFFFFF);
        }

    // Enlarging half of a picture of two colours keeps the sides apart.
    QImage halves(4, 2, QImage::Format_RGB32);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 2; ++y) halves.setPixel(x, y, x < 2 ? 0xFF0000FF : 0xFFFFFF00);
    QImage big = uniform(40, 20, 0xFF000000);
    StretchBlt(big, 0, 0, 40, 20, halves, 0, 0, 4, 2);
    EXPECT_EQ(big.pixel(2, 10), 0xFF0000FFu);
    EXPECT_EQ(big.pixel(37, 10), 0xFFFFFF00u);
    StretchBlt(big, 40, 0, -40, 20, halves, 0, 0, 4, 2); // mirrored while enlarging
    EXPECT_EQ(big.pixel(2, 10), 0xFFFFFF00u);
    EXPECT_EQ(big.pixel(37, 10), 0xFF0000FFu);
}

TEST(Canvas, StretchClipsOddSizes)
{
    const QRgb colour = 0xFF336699;
    const QImage src = uniform(7, 5, colour);
    struct Case
    {
        int x, y, w, h, sx, sy, sw, sh;
    };
    const Case cases[] = {
        {0, 0, 8, 6, 0, 0, 7, 5},     {-5, -3, 16, 12, 0, 0, 7, 5},  {6, 4, 16, 12, 0, 0, 7, 5},
        {0, 0, 3, 2, 0, 0, 7, 5},     {-2, -2, 5, 5, 3, 3, 7, 5},    {8, 6, -11, -9, 0, 0, 7, 5},
        {1, 1, 5, 3, -4, -4, 14, 10}, {0, 0, 8, 6, 6, 4, 1, 1},      {0, 0, 8, 6, 7, 5, 3, 3},
        {0, 0, 100000, 3, 0, 0, 7, 5}, {-100000, 0, 200000, 6, 0, 0, 7, 5}, {0, 0, 8, 6, 0, 0, 0, 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y << "," << c.w << "," << c.h << " from " << c.sx << ","
                                        << c.sy << "," << c.sw << "," << c.sh);
        for (StretchMode mode : {StretchMode::Halftone, StretchMode::ColorOnColor}) {
            Guarded dst(8, 6);
            const QImage before = dst.image().copy();
            StretchBlt(dst.image(), c.x, c.y, c.w, c.h, src, c.sx, c.sy, c.sw, c.sh, mode);
            EXPECT_TRUE(dst.guardIntact());
            // Every pixel is either untouched or the source's only colour, and
            // where the source rectangle lies inside its picture exactly the
            // destination rectangle changes.
            const bool sourceInside = c.sx >= 0 && c.sy >= 0 && c.sx + c.sw <= 7 && c.sy + c.sh <= 5 && c.sw > 0;
            const QRect target(std::min(c.x, c.x + c.w), std::min(c.y, c.y + c.h), std::abs(c.w), std::abs(c.h));
            for (int y = 0; y < 6; ++y)
                for (int x = 0; x < 8; ++x) {
                    const QRgb p = dst.image().pixel(x, y);
                    ASSERT_TRUE(p == colour || p == before.pixel(x, y)) << x << "," << y;
                    if (sourceInside) {
                        ASSERT_EQ(p == colour, target.contains(x, y)) << x << "," << y;
                    }
                }
        }
    }
}

TEST(Canvas, FillsClipAndGradientsRunCornerToCorner)
{
    Guarded dst(8, 6);
    FillRect(dst.image(), -2, -2, 5, 4, 0x0000FF);
    FillRect(dst.image(), 6, 5, 100, 100, 0xFF0000);
    EXPECT_TRUE(dst.guardIntact());
    EXPECT_EQ(dst.image().pixel(2, 1), 0xFFFF0000u);
    EXPECT_NE(dst.image().pixel(3, 1), 0xFFFF0000u);
    EXPECT_EQ(dst.image().pixel(7, 5), 0xFF0000FFu);

    const QRgb red = 0xFFFF0000, blue = 0xFF0000FF;
    struct Case
    {
        int mode;
        QPoint start, end;
    };
    for (const Case &c : {Case{0, {0, 25}, {99, 25}}, Case{1, {50, 0}, {50, 49}}, Case{2, {0, 0}, {99, 49}},
                          Case{3, {99, 0}, {0, 49}}}) {
        QImage image = uniform(100, 50, 0xFF00FF00);
        FillGradient(image, c.mode, red, blue);
        EXPECT_GE(qRed(image.pixel(c.start)), 245) << "mode " << c.mode;
        EXPECT_GE(qBlue(image.pixel(c.end)), 245) << "mode " << c.mode;
        EXPECT_EQ(qGreen(image.pixel(50, 25)), 0) << "mode " << c.mode;
    }
    QImage untouched = uniform(10, 10, 0xFF00FF00);
    FillGradient(untouched, 4, red, blue);
    EXPECT_EQ(untouched.pixel(5, 5), 0xFF00FF00u);
    FillGradient(untouched, 0, red, red);
    EXPECT_EQ(untouched.pixel(9, 9), red);
}

// The vector loops are picked by processor; whichever runs must draw what the
// portable loops draw, to the last bit, or exports would differ by machine.
TEST(Canvas, EveryKernelSetDrawsTheSamePixels)
{
    const QImage src = patterned(203, 117, 9); // odd sizes: every loop has a tail
    const PicturePyramid pyramid(src), columns(src, false);
    struct Stretch
    {
        int x, y, w, h, sx, sy, sw, sh;
    };
    const Stretch stretches[] = {
        {3, 5, 61, 35, 0, 0, 203, 117},    // shrink to 0.3
        {0, 0, 130, 70, 0, 0, 203, 117},   // to 0.64
        {1, 2, 190, 110, 0, 0, 203, 117},  // to 0.94
        {-9, -4, 260, 150, 0, 0, 203, 117}, // enlarge, clipped
        {0, 0, 203, 117, 90, 50, 17, 11},  // enlarge a crop 12 times
        {200, 0, -150, 117, 10, 0, 120, 117}, // mirrored, columns only
        {0, 116, 203, -117, 0, 0, 203, 117},  // upside down, equal size
        {5, 5, 40, 117, 160, 0, 43, 117},  // narrowed strip
    };
    const auto drawAll = [&] {
        std::vector<QImage> out;
        for (const Stretch &c : stretches) {
            QImage d = uniform(203, 117, 0xFF102030);
            StretchBlt(d, c.x, c.y, c.w, c.h, src, c.sx, c.sy, c.sw, c.sh);
            out.push_back(d);
            QImage n = uniform(203, 117, 0xFF102030);
            StretchBlt(n, c.x, c.y, c.w, c.h, src, c.sx, c.sy, c.sw, c.sh, StretchMode::ColorOnColor);
            out.push_back(n);
            QImage p = uniform(203, 117, 0xFF102030);
            StretchBlt(p, c.x, c.y, c.w, c.h, pyramid, c.sx, c.sy, c.sw, c.sh);
            out.push_back(p);
            QImage q = uniform(203, 117, 0xFF102030);
            StretchBlt(q, c.x, c.y, c.w, c.h, columns, c.sx, c.sy, c.sw, c.sh, QRect(20, 0, 100, 117));
            out.push_back(q);
        }
        const QImage other = patterned(203, 117, 4);
        for (int alpha : {0, 1, 77, 254, 255}) {
            QImage d(203, 117, QImage::Format_RGB32);
            BlendPictures(d, src, other, alpha);
            out.push_back(d);
            QImage a = src.copy();
            AlphaBlend(a, 7, 3, 150, 100, other, 11, 9, alpha);
            out.push_back(a);
        }
        // A ramp of every alpha, each row starting at a different pixel; a row
        // reads up to 6 alphas past its own start, so the ramp is that much longer.
        std::vector<uint8_t> ramp(203 + 6);
        for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = uint8_t(i * 37 % 256);
        QImage r = src.copy();
        for (int y = 0; y < r.height(); ++y) {
            const int from = y % 23, count = 203 - from - y % 5;
            BlendRow(reinterpret_cast<QRgb *>(r.scanLine(y)) + from,
                     reinterpret_cast<const QRgb *>(src.constScanLine(y)) + from,
                     reinterpret_cast<const QRgb *>(other.constScanLine(y)) + from, ramp.data() + y % 7, count,
                     y % 2 ? 0xFF000000u : 0u);
        }
        out.push_back(r);
        QImage translucent = other.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < translucent.height(); ++y)
            for (int x = 0; x < translucent.width(); ++x)
                translucent.setPixel(x, y, (translucent.pixel(x, y) & 0xFFFFFFu) | uint((x * 7 + y) % 256) << 24);
        for (const QSize size : {QSize(101, 58), QSize(61, 35), QSize(202, 116), QSize(1, 1), QSize(300, 50)}) {
            out.push_back(AreaScaled(src, size));
            out.push_back(AreaScaled(translucent, size));
        }
        return out;
    };

    UsePixelKernels(PixelKernels::Portable);
    const std::vector<QImage> portable = drawAll();
    for (PixelKernels k : {PixelKernels::Avx2, PixelKernels::Best}) {
        UsePixelKernels(k);
        const std::vector<QImage> vector = drawAll();
        ASSERT_EQ(vector.size(), portable.size());
        for (size_t i = 0; i < vector.size(); ++i) EXPECT_TRUE(vector[i] == portable[i]) << "case " << i << " kernels " << int(k);
    }
    UsePixelKernels(PixelKernels::Best);
}

namespace {

// AreaScaled's rule in floating point, one channel (shift 0, 8, 16, 24) of a
// straight picture: the area mean along a shrinking axis, linear along a
// growing one with the ends held.
std::vector<std::vector<std::pair<int, double>>> areaReference(int sLen, int dLen)
{
    std::vector<std::vector<std::pair<int, double>>> taps(static_cast<size_t>(dLen));
    const double r = double(sLen) / dLen;
    for (int i = 0; i < dLen; ++i) {
        if (sLen >= dLen) {
            const double lo = i * r, hi = (i + 1) * r;
            for (int j = int(std::floor(lo)); j < hi && j < sLen; ++j) {
                const double part = std::min(hi, j + 1.0) - std::max(lo, double(j));
                if (part > 1e-12) taps[size_t(i)].push_back({j, part / r});
            }
        } else {
            const double u = (i + 0.5) * r - 0.5;
            const int j = int(std::floor(u));
            if (u <= 0) taps[size_t(i)].push_back({0, 1});
            else if (j >= sLen - 1) taps[size_t(i)].push_back({sLen - 1, 1});
            else taps[size_t(i)] = {{j, 1 - (u - j)}, {j + 1, u - j}};
        }
    }
    return taps;
}

QImage areaScaledReference(const QImage &src, QSize size)
{
    const auto xs = areaReference(src.width(), size.width()), ys = areaReference(src.height(), size.height());
    QImage out(size, src.format());
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            QRgb p = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                double v = 0;
                for (const auto &[sy, wy] : ys[size_t(y)])
                    for (const auto &[sx, wx] : xs[size_t(x)]) v += wy * wx * double(src.pixel(sx, sy) >> shift & 0xFF);
                p |= QRgb(std::lround(v)) << shift;
            }
            out.setPixel(x, y, p);
        }
    return out;
}

const QSize kAreaSizes[] = {
    {101, 58},  // a little more than a half
    {61, 35},   // to 0.3
    {202, 116}, // a pixel less: neighbours blend the most
    {13, 4},    // to 0.06
    {1, 1},     // all of it in one pixel
    {300, 50},  // wider and lower
    {406, 234}, // enlarged twice
};

} // namespace

TEST(Canvas, AreaScaledAveragesTheAreaEachPixelCovers)
{
    const QImage src = patterned(203, 117, 21);
    for (const QSize size : kAreaSizes) {
        const QImage got = AreaScaled(src, size), want = areaScaledReference(src, size);
        ASSERT_EQ(got.size(), size);
        ASSERT_EQ(got.format(), QImage::Format_RGB32);
        int worst = 0;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                for (int shift = 0; shift < 32; shift += 8)
                    worst = std::max(worst, std::abs(int(got.pixel(x, y) >> shift & 0xFF) - int(want.pixel(x, y) >> shift & 0xFF)));
        EXPECT_LE(worst, 1) << size.width() << "x" << size.height();
    }
    EXPECT_TRUE(AreaScaled(src, src.size()) == src);
    EXPECT_TRUE(AreaScaled(src, {}).isNull());
    EXPECT_TRUE(AreaScaled(QImage(), {5, 5}).isNull());
    EXPECT_TRUE(AreaScaled(src.convertToFormat(QImage::Format_Indexed8), {5, 5}).isNull());

    // An exact halving is the mean of each 2 x 2 block.
    const QImage half = AreaScaled(src.copy(0, 0, 202, 116), {101, 58});
    const QRgb a = src.pixel(6, 8), b = src.pixel(7, 8), c = src.pixel(6, 9), d = src.pixel(7, 9);
    const int mean = int(std::lround((qGreen(a) + qGreen(b) + qGreen(c) + qGreen(d)) / 4.0));
    EXPECT_NEAR(qGreen(half.pixel(3, 4)), mean, 1);
}

TEST(Canvas, AreaScaledKeepsTheColourOfTransparentPixelsOut)
{
    // Left half invisible green, right half opaque red: the pixel that
    // straddles them is half-covered red, with no green in it.
    QImage src(8, 2, QImage::Format_ARGB32);
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 2; ++y) src.setPixel(x, y, x < 4 ? qRgba(0, 255, 0, 0) : qRgba(255, 0, 0, 255));
    const QImage out = AreaScaled(src, {3, 1});
    ASSERT_EQ(out.format(), QImage::Format_ARGB32);
    const QRgb edge = out.pixel(1, 0);
    EXPECT_NEAR(qAlpha(edge), 128, 1);
    EXPECT_EQ(qGreen(edge), 0);
    EXPECT_GE(qRed(edge), 254);
    EXPECT_EQ(qAlpha(out.pixel(0, 0)), 0);
    EXPECT_EQ(out.pixel(2, 0), qRgba(255, 0, 0, 255));
}
