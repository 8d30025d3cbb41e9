// Our picture-to-YUV conversion against libswscale's accurate one.
#include "YuvConvert.h"
#include "clsMemDC.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

using namespace pvsm;

namespace {

// Flat 2 × 2 blocks of random colours: chroma subsampling then loses nothing,
// so both converters must agree up to rounding.
QImage blocks(int w, int h)
{
    std::mt19937 rng(5);
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; y += 2)
        for (int x = 0; x < w; x += 2) {
            const QRgb c = 0xFF000000u | (rng() & 0xFFFFFFu);
            for (int dy = 0; dy < 2 && y + dy < h; ++dy)
                for (int dx = 0; dx < 2 && x + dx < w; ++dx) img.setPixel(x + dx, y + dy, c);
        }
    return img;
}

} // namespace

TEST(YuvConvert, MatchesTheAccurateConverterWithinOneLevel)
{
    for (const bool bt709 : {false, true}) {
        const QImage img = blocks(64, 36);
        const int W = img.width(), H = img.height();
        std::vector<uint8_t> ours[3] = {std::vector<uint8_t>(size_t(W) * H), std::vector<uint8_t>(size_t(W / 2) * (H / 2)),
                                        std::vector<uint8_t>(size_t(W / 2) * (H / 2))};
        std::vector<uint8_t> ref[3] = {ours[0], ours[1], ours[2]};
        uint8_t *const oursPlanes[3] = {ours[0].data(), ours[1].data(), ours[2].data()};
        uint8_t *const refPlanes[3] = {ref[0].data(), ref[1].data(), ref[2].data()};
        const int lines[3] = {W, W / 2, W / 2};
        ConvertToYuv420(img.constBits(), img.bytesPerLine(), W, H, bt709, oursPlanes, lines);

        SwsContext *sws = sws_getContext(W, H, AV_PIX_FMT_BGRA, W, H, AV_PIX_FMT_YUV420P,
                                         SWS_POINT | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
        ASSERT_NE(sws, nullptr);
        const int *k = sws_getCoefficients(bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601);
        sws_setColorspaceDetails(sws, k, 1, k, 0, 0, 1 << 16, 1 << 16);
        const uint8_t *src[1] = {img.constBits()};
        const int stride[1] = {int(img.bytesPerLine())};
        sws_scale(sws, src, stride, 0, H, refPlanes, lines);
        sws_freeContext(sws);

        for (int p = 0; p < 3; ++p)
            for (size_t i = 0; i < ours[p].size(); ++i)
                ASSERT_LE(std::abs(int(ours[p][i]) - int(ref[p][i])), 1) << "plane " << p << " sample " << i << " bt709 " << bt709;
    }
}

TEST(YuvConvert, KnownColoursAndOddSizes)
{
    // Black, white and pure colours land on the standard's code values; an
    // odd last column and row are averaged with themselves.
    struct Case
    {
        QRgb rgb;
        bool bt709;
        int y, u, v;
    };
    const Case cases[] = {
        {0xFF000000, true, 16, 128, 128},  {0xFFFFFFFF, true, 235, 128, 128}, {0xFFFF0000, true, 63, 102, 240},
        {0xFF0000FF, true, 32, 240, 118},  {0xFFFF0000, false, 81, 90, 240},  {0xFF00FF00, false, 145, 54, 34},
    };
    for (const Case &c : cases) {
        QImage img(5, 3, QImage::Format_RGB32);
        img.fill(c.rgb);
        std::vector<uint8_t> y(15), u(6), v(6);
        uint8_t *const planes[3] = {y.data(), u.data(), v.data()};
        const int lines[3] = {5, 3, 3};
        ConvertToYuv420(img.constBits(), img.bytesPerLine(), 5, 3, c.bt709, planes, lines);
        for (uint8_t s : y) ASSERT_EQ(s, c.y) << std::hex << c.rgb;
        for (uint8_t s : u) ASSERT_EQ(s, c.u) << std::hex << c.rgb;
        for (uint8_t s : v) ASSERT_EQ(s, c.v) << std::hex << c.rgb;
    }
}

// The vector and the portable loops give the same bytes, for widths on and
// off the vector step and an odd last row.
TEST(YuvConvert, EveryKernelGivesTheSameBytes)
{
    std::mt19937 rng(11);
    for (const QSize size : {QSize(16, 2), QSize(37, 9), QSize(100, 7), QSize(1921, 3)}) {
        QImage img(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) img.setPixel(x, y, 0xFF000000u | (rng() & 0xFFFFFFu));
        const int W = size.width(), H = size.height(), cw = (W + 1) / 2, ch = (H + 1) / 2;
        for (const bool bt709 : {false, true}) {
            std::vector<uint8_t> out[2][3];
            for (int k = 0; k < 2; ++k) {
                UsePixelKernels(k == 0 ? PixelKernels::Portable : PixelKernels::Best);
                out[k][0].assign(size_t(W) * H, 0);
                out[k][1].assign(size_t(cw) * ch, 0);
                out[k][2].assign(size_t(cw) * ch, 0);
                uint8_t *const planes[3] = {out[k][0].data(), out[k][1].data(), out[k][2].data()};
                const int lines[3] = {W, cw, cw};
                ConvertToYuv420(img.constBits(), img.bytesPerLine(), W, H, bt709, planes, lines);
            }
            UsePixelKernels(PixelKernels::Best);
            for (int p = 0; p < 3; ++p) EXPECT_EQ(out[0][p], out[1][p]) << W << "x" << H << " plane " << p;
        }
    }
}
