// Stripe wave, ring wave, slide-in, diagonal slide, push and alternate: the
// frame counts their step and frame rules give, and the geometry of what each
// written frame shows.
#include "EffectFixtures.h"
#include "Numbers.h"
#include "Transition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

using namespace pvsm;
using namespace pvsm::test;

namespace {

// The pictures a renderer wrote, with the two pictures it went between.
struct Recorded
{
    std::vector<QImage> pictures;
    QImage oldPicture, newPicture;
};

Recorded record(int id, int variant, QSize size, int tf)
{
    clsMemDC dest = patternCanvas(size, false);
    const clsMemDC next = patternCanvas(size, true);
    RecordingFrameSink sink(true);
    TransitionContext ctx{sink, tf, TransitionContext::stepXFor(size.width()),
                          TransitionContext::stepYFor(size.height())};
    Recorded r;
    r.oldPicture = dest.image().copy();
    r.newPicture = next.image().copy();
    RunTransition(ctx, id, dest, next, variant & 1, variant & 3);
    r.pictures = sink.kept();
    return r;
}

std::string where(int id, int variant, QSize size, int tf)
{
    return "id " + std::to_string(id) + " variant " + std::to_string(variant) + " at " + std::to_string(size.width()) +
           "x" + std::to_string(size.height()) + " TF " + std::to_string(tf);
}

} // namespace

TEST(TransitionsNineToFourteen, FrameCountsFollowTheStepAndFrameRules)
{
    // Counts worked out by hand from the rules, e.g. slide-in at 160 wide and
    // TF 30: d = Nearest(160 / 30) = 5, s = 0, 2, ... 160 with s mod 5 <= 1
    // gives 0, 6, 10, 16, ... 160 = 33 frames; rows use the same d over 120 (25).
    // Stripe wave at 1280: B = 16, c = 2, f = -16 ... 80 by 2, d = 3, frame
    // when |f mod 3| <= 1. Ring wave: TF > 45 writes each picture twice.
    // Alternate: two halves, d = Nearest(W / TF / 2).
    struct Case
    {
        int id;
        QSize size;
        int tf;
        int frames[4]; // per variant (ring wave has two)
        int repeat;
    };
    const QSize small(160, 120), large(1280, 720);
    const Case cases[] = {
        {9, small, 30, {29, 24, 29, 24}, 1},  {9, small, 60, {29, 24, 29, 24}, 1},
        {9, large, 30, {32, 31, 32, 31}, 1},  {9, large, 60, {49, 31, 49, 31}, 1},
        {10, small, 30, {17, 17}, 1},         {10, small, 60, {34, 34}, 2},
        {10, large, 30, {20, 20}, 1},         {10, large, 60, {40, 40}, 2},
        {11, small, 30, {33, 25, 33, 25}, 1}, {11, small, 60, {54, 41, 54, 41}, 1},
        {11, large, 30, {30, 17, 30, 17}, 1}, {11, large, 60, {61, 35, 61, 35}, 1},
        {12, small, 30, {33, 33, 33, 33}, 1}, {12, small, 60, {54, 54, 54, 54}, 1},
        {12, large, 30, {30, 30, 30, 30}, 1}, {12, large, 60, {61, 61, 61, 61}, 1},
        {13, small, 30, {33, 25, 33, 25}, 1}, {13, small, 60, {54, 41, 54, 41}, 1},
        {13, large, 30, {30, 17, 30, 17}, 1}, {13, large, 60, {61, 35, 61, 35}, 1},
        {14, small, 30, {54, 42, 54, 42}, 1}, {14, small, 60, {82, 62, 82, 62}, 1},
        {14, large, 30, {62, 36, 62, 36}, 1}, {14, large, 60, {118, 66, 118, 66}, 1},
    };
    for (const Case &c : cases) {
        const int variants = c.id == 10 ? 2 : 4;
        for (int v = 0; v < variants; ++v) {
            clsMemDC dest = patternCanvas(c.size, false);
            const clsMemDC next = patternCanvas(c.size, true);
            NullFrameSink sink;
            TransitionContext ctx{sink, c.tf, TransitionContext::stepXFor(c.size.width()),
                                  TransitionContext::stepYFor(c.size.height())};
            RunTransition(ctx, c.id, dest, next, v & 1, v & 3);
            EXPECT_EQ(sink.framesWritten(), c.frames[v]) << where(c.id, v, c.size, c.tf);
            EXPECT_EQ(sink.framesWritten(), sink.picturesWritten() * c.repeat) << where(c.id, v, c.size, c.tf);
        }
    }
}

namespace {

// Where a pixel of a frame comes from, in the variant-0 form of a transition.
struct Pick
{
    bool fromNew;
    int x, y;
};
using Model = std::function<Pick(int x, int y, int W, int H, int param)>;

// How a variant relates to variant 0: the picture mirrored left-right and/or
// upside down, and/or turned so that columns become rows.
struct Orientation
{
    bool transpose, mirrorX, mirrorY;
};

QImage modelFrame(const Recorded &r, const Model &model, Orientation o, int param)
{
    const int W = r.oldPicture.width(), H = r.oldPicture.height();
    QImage out(W, H, QImage::Format_RGB32);
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const int mx = o.mirrorX ? W - 1 - x : x, my = o.mirrorY ? H - 1 - y : y;
            Pick p = o.transpose ? model(my, mx, H, W, param) : model(mx, my, W, H, param);
            if (o.transpose) std::swap(p.x, p.y);
            const int sx = o.mirrorX ? W - 1 - p.x : p.x, sy = o.mirrorY ? H - 1 - p.y : p.y;
            const QImage &src = p.fromNew ? r.newPicture : r.oldPicture;
            out.setPixel(x, y, src.pixel(sx, sy));
        }
    }
    return out;
}

} // namespace

TEST(TransitionsNineToFourteen, EveryFrameShowsTheMovementOfItsVariant)
{
    // Each written frame must be the picture of one step, in step order: a
    // wrong direction, a mirrored or misplaced part of NEW, or OLD left behind
    // where it should have moved shows up as a frame no step explains.
    const Model slideIn = [](int x, int y, int W, int, int s) {
        return x < s ? Pick{true, W - s + x, y} : Pick{false, x, y};
    };
    const Model push = [](int x, int y, int W, int, int s) {
        return x < s ? Pick{true, W - s + x, y} : Pick{false, x - s, y};
    };
    const Model diagonal = [](int x, int y, int W, int H, int i) {
        const int h = Nearest(double(H) / W * i);
        return x < i && y < h ? Pick{true, W - i + x, H - h + y} : Pick{false, x, y};
    };
    // Parameter: the first half's distance m, or 1000 + m for the second half.
    const Model alternate = [](int x, int y, int W, int, int param) {
        if (param < 1000) {
            const int m = param;
            return x < W - m ? Pick{false, x + m, y} : Pick{true, x - m, y};
        }
        const int b = W / 2 - (param - 1000);
        return x < b ? Pick{false, x + b, y} : Pick{true, x - b, y};
    };
    const Orientation straight[4] = {
        {false, false, false}, {true, false, false}, {false, true, false}, {true, false, true}};
    const Orientation corners[4] = {
        {false, false, false}, {false, true, false}, {false, true, true}, {false, false, true}};
    struct Case
    {
        int id;
        const Model *model;
        const Orientation *orientations;
    };
    const Case cases[] = {
        {11, &slideIn, straight}, {12, &diagonal, corners}, {13, &push, straight}, {14, &alternate, straight}};

    const QSize size(160, 120);
    for (const Case &c : cases) {
        for (int v = 0; v < 4; ++v) {
            const Recorded r = record(c.id, v, size, 30);
            const Orientation o = c.orientations[v];
            const int L = o.transpose ? size.height() : size.width();
            std::vector<int> params;
            if (c.id == 14) {
                for (int m = 0; m <= L / 2; m += 2)
                    params.push_back(m);
                for (int m = 0; m <= L / 2; m += 2)
                    params.push_back(1000 + m);
            } else {
                for (int s = 0; s <= L; s += 2)
                    params.push_back(s);
            }
            EXPECT_FALSE(r.pictures.empty()) << where(c.id, v, size, 30);
            size_t next = 0;
            for (size_t f = 0; f < r.pictures.size(); ++f) {
                while (next < params.size() && modelFrame(r, *c.model, o, params[next]) != r.pictures[f])
                    ++next;
                if (next == params.size()) {
                    ADD_FAILURE() << where(c.id, v, size, 30) << ": frame " << f << " matches no later step";
                    break;
                }
                ++next;
            }
        }
    }
}

TEST(TransitionsNineToFourteen, WavesFillInPlaceFromTheirStartingSide)
{
    // Every pixel of every frame is OLD or NEW at the same place (strips are
    // copied, not moved), a pixel once NEW stays NEW, and in the middle frame
    // the side the wave starts from holds more of NEW than the far side.
    struct Case
    {
        int id, variant;
        // Distance of a pixel from the side the wave starts at, 0 … 1.
        double (*depth)(int x, int y, int W, int H);
    };
    const auto ring = [](int x, int y, int W, int H) {
        const int inset = std::min({x, y, W - 1 - x, H - 1 - y});
        return inset / (H / 2.0);
    };
    const Case cases[] = {
        {9, 0, [](int x, int, int W, int) { return double(x) / W; }},
        {9, 1, [](int, int y, int, int H) { return double(y) / H; }},
        {9, 2, [](int x, int, int W, int) { return 1.0 - double(x) / W; }},
        {9, 3, [](int, int y, int, int H) { return 1.0 - double(y) / H; }},
        {10, 0, ring},
        {10, 1,
         [](int x, int y, int W, int H) {
             return 1.0 - std::min({x, y, W - 1 - x, H - 1 - y}) / (H / 2.0);
         }},
    };
    for (QSize size : {QSize(160, 120), QSize(1280, 720)}) {
        for (const Case &c : cases) {
            const Recorded r = record(c.id, c.variant, size, 30);
            const int W = size.width(), H = size.height();
            ASSERT_GE(r.pictures.size(), 3u) << where(c.id, c.variant, size, 30);
            std::vector<uint8_t> isNew(size_t(W) * H, 0);
            bool inPlace = true, monotonic = true;
            for (const QImage &picture : r.pictures) {
                for (int y = 0; y < H; ++y) {
                    const QRgb *p = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
                    const QRgb *o = reinterpret_cast<const QRgb *>(r.oldPicture.constScanLine(y));
                    const QRgb *n = reinterpret_cast<const QRgb *>(r.newPicture.constScanLine(y));
                    for (int x = 0; x < W; ++x) {
                        uint8_t &flag = isNew[size_t(y) * W + x];
                        if (p[x] == n[x])
                            flag = 1;
                        else if (p[x] != o[x])
                            inPlace = false;
                        else if (flag)
                            monotonic = false;
                    }
                }
            }
            EXPECT_TRUE(inPlace) << where(c.id, c.variant, size, 30);
            EXPECT_TRUE(monotonic) << where(c.id, c.variant, size, 30);

            const QImage &middle = r.pictures[r.pictures.size() / 2];
            int nearNew = 0, nearAll = 0, farNew = 0, farAll = 0;
            for (int y = 0; y < H; ++y) {
                for (int x = 0; x < W; ++x) {
                    const double depth = c.depth(x, y, W, H);
                    const bool fresh = middle.pixel(x, y) == r.newPicture.pixel(x, y);
                    if (depth < 0.3)
                        nearAll++, nearNew += fresh;
                    else if (depth > 0.7)
                        farAll++, farNew += fresh;
                }
            }
            ASSERT_GT(nearAll, 0);
            ASSERT_GT(farAll, 0);
            EXPECT_GT(double(nearNew) / nearAll, 0.5) << where(c.id, c.variant, size, 30);
            EXPECT_LT(double(farNew) / farAll, 0.5) << where(c.id, c.variant, size, 30);
        }
    }
}
