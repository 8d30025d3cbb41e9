// Frame counts and pictures of the soft wipes, rectangle, checker lines,
// gather/scatter, blinds, roll and spin-scatter transitions (ids 1 to 8).
#include "EffectFixtures.h"
#include "Transition.h"
#include "Numbers.h"
#include "Random.h"

#include <gtest/gtest.h>

#include <functional>

using namespace pvsm;
using namespace pvsm::test;

namespace {

struct Recorded
{
    std::vector<RecordingFrameSink::Call> calls;
    std::vector<QImage> pictures;
};

TransitionContext contextFor(FrameSink &sink, QSize size, int tf)
{
    return {sink, tf, TransitionContext::stepXFor(size.width()), TransitionContext::stepYFor(size.height())};
}

Recorded record(int id, int variant, QSize size, int tf, bool keep = false)
{
    FixedSeed fixed(11);
    clsMemDC dest = patternCanvas(size, false);
    const clsMemDC next = patternCanvas(size, true);
    RecordingFrameSink sink(keep);
    TransitionContext ctx = contextFor(sink, size, tf);
    RunTransition(ctx, id, dest, next, variant & 1, variant & 3);
    return {sink.calls(), sink.kept()};
}

// Pictures and frames only (no hashing: fast at 1280 x 720).
std::pair<int64_t, int64_t> count(int id, int variant, QSize size, int tf)
{
    FixedSeed fixed(11);
    clsMemDC dest = patternCanvas(size, false);
    const clsMemDC next = patternCanvas(size, true);
    NullFrameSink sink;
    TransitionContext ctx = contextFor(sink, size, tf);
    RunTransition(ctx, id, dest, next, variant & 1, variant & 3);
    return {sink.picturesWritten(), sink.framesWritten()};
}

QRgb at(const QImage &img, int x, int y)
{
    return reinterpret_cast<const QRgb *>(img.constScanLine(y))[x];
}

// The constant-alpha blend of `over` on `under`, channel by channel.
QRgb blend(QRgb under, QRgb over, int alpha)
{
    auto mix = [alpha](int u, int o) { return (o * alpha + u * (255 - alpha) + 127) / 255; };
    return qRgb(mix(qRed(under), qRed(over)), mix(qGreen(under), qGreen(over)), mix(qBlue(under), qBlue(over)));
}

bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= 1 && std::abs(qGreen(a) - qGreen(b)) <= 1 &&
           std::abs(qBlue(a) - qBlue(b)) <= 1;
}

// Counts the pixels of `frame` that differ from what `expected` (x, y) says.
int mismatches(const QImage &frame, const std::function<QRgb(int, int)> &expected)
{
    int bad = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            if ((at(frame, x, y) & 0xFFFFFF) != (expected(x, y) & 0xFFFFFF)) ++bad;
    return bad;
}

} // namespace

TEST(TransitionsOneToEight, FrameCountsFollowTheStepRules)
{
    // Pictures written (WriteFrame calls) and frames (repeats included) at
    // 160 x 120 (steps 2) and 1280 x 720 (steps 4), each with TF 30 and 60.
    // Worked examples: soft wipe left to right at 1280 takes 321 steps with
    // divisor Nearest(320 / 30) = 11, frames at steps 0, 11, … 319 (30);
    // blinds at 160 are written 2 (TF 30) or 3 (TF 60) times per step;
    // checker lines at 160 have cells of 8 and write while x < 4, twice each;
    // spin-scatter at TF 30 writes 10 + hold (6) + 40 frames.
    struct Counts
    {
        int pictures, frames;
    };
    struct Row
    {
        int id, variant;
        Counts small30, small60, large30, large60;
    };
    // clang-format off
    const Row rows[] = {
        {1, 0, {27, 27}, {81, 81}, {30, 30}, {65, 65}},
        {1, 1, {31, 31}, {61, 61}, {31, 31}, {61, 61}},
        {1, 2, {27, 27}, {81, 81}, {30, 30}, {65, 65}},
        {1, 3, {31, 31}, {61, 61}, {31, 31}, {61, 61}},
        {2, 0, {21, 21}, {21, 21}, {33, 33}, {54, 54}},
        {2, 1, {16, 16}, {16, 16}, {31, 31}, {46, 46}},
        {3, 0, {19, 19}, {55, 55}, {23, 23}, {44, 44}},
        {3, 1, {18, 18}, {56, 56}, {23, 23}, {44, 44}},
        {4, 0, {4, 8}, {4, 8}, {32, 32}, {32, 32}},
        {5, 0, {34, 34}, {51, 51}, {34, 34}, {51, 51}},
        {5, 1, {34, 34}, {51, 51}, {34, 34}, {51, 51}},
        {6, 0, {12, 24}, {12, 36}, {24, 24}, {24, 48}},
        {6, 1, {16, 32}, {16, 48}, {32, 32}, {32, 64}},
        {7, 0, {41, 41}, {67, 67}, {33, 33}, {62, 62}},
        {7, 1, {41, 41}, {81, 81}, {34, 34}, {67, 67}},
        {7, 2, {41, 41}, {67, 67}, {32, 32}, {62, 62}},
        {7, 3, {41, 41}, {81, 81}, {34, 34}, {67, 67}},
        {8, 0, {51, 56}, {81, 92}, {51, 56}, {81, 92}},
        {8, 1, {51, 56}, {81, 92}, {51, 56}, {81, 92}},
    };
    // clang-format on
    for (const Row &r : rows) {
        const std::pair<QSize, int> settings[] = {
            {{160, 120}, 30}, {{160, 120}, 60}, {{1280, 720}, 30}, {{1280, 720}, 60}};
        const Counts expected[] = {r.small30, r.small60, r.large30, r.large60};
        for (int s = 0; s < 4; ++s) {
            const auto [pictures, frames] = count(r.id, r.variant, settings[s].first, settings[s].second);
            const std::string where = "id " + std::to_string(r.id) + " variant " + std::to_string(r.variant) + " at " +
                                      std::to_string(settings[s].first.width()) + " TF " +
                                      std::to_string(settings[s].second);
            EXPECT_EQ(pictures, expected[s].pictures) << where;
            EXPECT_EQ(frames, expected[s].frames) << where;
        }
    }
}

TEST(TransitionsOneToEight, SoftEdgeRampsFromNewAtTheFrontToOldAhead)
{
    // 160 x 120, strips of 2. At the front strip NEW; m strips ahead NEW at
    // 255 − 20 (m − 1); 14 strips ahead OLD again; behind the front NEW all
    // the way back (to the start edge, or to the other front), also when the
    // frame rule skips steps (TF 30 and 10 below).
    const QSize size(160, 120);
    const QImage oldImg = patternCanvas(size, false).image();
    const QImage newImg = patternCanvas(size, true).image();
    struct Case
    {
        int id, variant, tf, frame;
        bool rows;
        int frontPx, direction; // first pixel of the front strip, and where "ahead" is
        int behindPx;           // NEW from the front strip back to this pixel (exclusive)
    };
    const Case cases[] = {
        {1, 0, 60, 20, false, 40, +1, 0},    // every step written: frame 20 is strip 20
        {1, 2, 60, 20, false, 120, -1, 160}, // right to left: strip 80 − 20
        {1, 1, 60, 10, true, 20, +1, 0},     // top to bottom
        {1, 3, 60, 10, true, 100, -1, 120},  // bottom to top: strip 60 − 10
        {1, 0, 30, 7, false, 42, +1, 0},     // divisor 3: frame 7 is step 21
        {1, 3, 30, 5, true, 100, -1, 120},   // divisor 2: frame 5 is step 10
        {2, 1, 60, 0, true, 62, -1, 64},     // centre out: both fronts start at strip Nearest(60 / 2 + 1) = 31
        {2, 1, 60, 0, true, 62, +1, 62},
        {2, 0, 10, 2, false, 66, -1, 100}, // divisor 4, fronts 41 − 4k written: frame 2 is front 33 (and 49)
        {2, 0, 10, 2, false, 98, +1, 66},
    };
    for (const Case &c : cases) {
        const Recorded r = record(c.id, c.variant, size, c.tf, true);
        ASSERT_GT(int(r.pictures.size()), c.frame);
        const QImage &f = r.pictures[size_t(c.frame)];
        auto pixel = [&](const QImage &img, int p) { return c.rows ? at(img, 57, p) : at(img, p, 57); };
        // A pixel in the middle of the strip `m` strips ahead of the front.
        auto strip = [&](const QImage &img, int m) { return pixel(img, c.frontPx + c.direction * 2 * m + 1); };
        const std::string where =
            "id " + std::to_string(c.id) + " variant " + std::to_string(c.variant) + " TF " + std::to_string(c.tf);
        EXPECT_EQ(strip(f, 0), strip(newImg, 0)) << where;
        for (int m = 1; m <= 13; ++m) {
            const QRgb want = blend(strip(oldImg, m), strip(newImg, m), 255 - 20 * (m - 1));
            EXPECT_TRUE(near(strip(f, m), want)) << where << " strip " << m;
        }
        EXPECT_EQ(strip(f, 14), strip(oldImg, 14)) << where;
        const int behindFrom = c.direction > 0 ? c.behindPx : c.frontPx + 2;
        const int behindTo = c.direction > 0 ? c.frontPx : c.behindPx;
        for (int p = behindFrom; p < behindTo; ++p)
            EXPECT_EQ(pixel(f, p), pixel(newImg, p)) << where << " at " << p;
    }
}

TEST(TransitionsOneToEight, OutlinesAndLinesCoverExactlyTheirPixels)
{
    const QSize size(160, 120);
    const QImage oldImg = patternCanvas(size, false).image();
    const QImage newImg = patternCanvas(size, true).image();
    auto pick = [&](bool isNew, int x, int y) { return at(isNew ? newImg : oldImg, x, y); };
    auto inset = [&](int x, int y) { return std::min({x, y, 159 - x, 119 - y}); };

    // Rectangle at TF 60 (divisor 1): outside in, frame 40 is step 40 and
    // shows insets 0 … 40; centre out writes from step Nearest(160 / 8) + 5 =
    // 25, so frame 15 is step 40, insets 80 − 40 and more.
    const Recorded in = record(3, 0, size, 60, true);
    EXPECT_EQ(mismatches(in.pictures.at(40), [&](int x, int y) { return pick(inset(x, y) <= 40, x, y); }), 0);
    const Recorded out = record(3, 1, size, 60, true);
    EXPECT_EQ(mismatches(out.pictures.at(15), [&](int x, int y) { return pick(inset(x, y) >= 40, x, y); }), 0);

    // Checker lines: cells of Nearest(160 / 20) = 8; the first step brings in
    // the cells' first and last columns and rows.
    const Recorded checker = record(4, 0, size, 30, true);
    auto edge = [](int v) { return v % 8 == 0 || v % 8 == 7; };
    EXPECT_EQ(mismatches(checker.pictures.at(0), [&](int x, int y) { return pick(edge(x) || edge(y), x, y); }), 0);

    // Blinds at 160: period 16 for columns, 12 for rows; after step k the
    // offsets 0 … k of every period are in.
    const Recorded columns = record(6, 1, size, 30, true);
    EXPECT_EQ(mismatches(columns.pictures.at(5), [&](int x, int y) { return pick(x % 16 <= 5, x, y); }), 0);
    const Recorded rows = record(6, 0, size, 30, true);
    EXPECT_EQ(mismatches(rows.pictures.at(7), [&](int x, int y) { return pick(y % 12 <= 7, x, y); }), 0);
}

TEST(TransitionsOneToEight, RollShowsTheNextBandMirroredBehindItsEdge)
{
    // 160 x 120, TF 60: c = 1, band 40; divisor Nearest(160 / 60) = 3 for
    // columns, Nearest(120 / 60) = 2 for rows. Behind the band NEW lies flat,
    // ahead of the edge x OLD is untouched.
    const QSize size(160, 120);
    const QImage oldImg = patternCanvas(size, false).image();
    const QImage newImg = patternCanvas(size, true).image();
    struct Case
    {
        int variant, frame, x;
    };
    const Case cases[] = {
        {0, 30, 90},  // left to right, k = 3 × 30
        {1, 35, 70},  // top to bottom, k = 2 × 35
        {2, 10, 129}, // right to left from k = 160: multiples of 3 from 159 down, 159 − 30
        {3, 20, 80},  // bottom to top from k = 120: 120 − 2 × 20
    };
    for (const Case &c : cases) {
        const Recorded r = record(7, c.variant, size, 60, true);
        const bool rows = c.variant == 1 || c.variant == 3;
        const bool backwards = c.variant >= 2;
        const int x = c.x;
        const int bad = mismatches(r.pictures.at(size_t(c.frame)), [&](int px, int py) {
            const int p = rows ? py : px;
            auto mirrored = [&] { return rows ? at(newImg, px, 2 * x - 1 - p) : at(newImg, 2 * x - 1 - p, py); };
            if (!backwards) {
                if (p < x - 39) return at(newImg, px, py); // the c-wide strip at x − 40 covers the band's first
                return p < x ? mirrored() : at(oldImg, px, py);
            }
            if (p < x) return at(oldImg, px, py);
            return p < x + 40 ? mirrored() : at(newImg, px, py);
        });
        EXPECT_EQ(bad, 0) << "variant " << c.variant;
    }
}

TEST(TransitionsOneToEight, GatherAndScatterStartOnOldAndEndOnNew)
{
    // The tiles start (gather) or end (scatter) fully outside the picture, so
    // step 0 is OLD and step 100 (written at TF 60) is NEW; in between both
    // pictures are seen.
    const QSize size(160, 120);
    const uint64_t oldHash = RecordingFrameSink::hashImage(patternCanvas(size, false).image());
    const uint64_t newHash = RecordingFrameSink::hashImage(patternCanvas(size, true).image());
    for (int v2 : {0, 1}) {
        const Recorded r = record(5, v2, size, 60);
        ASSERT_EQ(r.calls.size(), 51u);
        EXPECT_EQ(r.calls.front().hash, oldHash) << "variant " << v2;
        EXPECT_EQ(r.calls.back().hash, newHash) << "variant " << v2;
        EXPECT_NE(r.calls[25].hash, oldHash) << "variant " << v2;
        EXPECT_NE(r.calls[25].hash, newHash) << "variant " << v2;
    }
}

TEST(TransitionsOneToEight, GatherScatterFramesEqualTilesOnAFreshBackground)
{
    // Every frame must be the background with the tiles of its step on it,
    // also where tiles of the last row or column reach past the picture
    // (54 / 8 and 12 / 8 round up) and show only part of themselves.
    for (const QSize size : {QSize(160, 120), QSize(96, 54), QSize(16, 12)})
        for (int v2 : {0, 1}) {
            SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << " v2 " << v2);
            const Recorded r = record(5, v2, size, 30);
            const int W = size.width(), H = size.height(), tw = Nearest(W / 8.0), th = Nearest(H / 8.0);
            // The tiles' homes and starts, drawn as the renderer draws them.
            FixedSeed fixed(11);
            RandomSource::global().reseedFromClock();
            struct Tile
            {
                int homeX, homeY, startX, startY;
            };
            std::vector<Tile> tiles;
            for (int i = 0; i < 64; ++i) {
                Tile t{(i % 8) * tw, (i / 8) * th, 0, 0};
                switch (IntPart(Rnd() * 4)) {
                case 0: t.startX = -tw, t.startY = IntPart(Rnd() * H); break;
                case 1: t.startX = W + tw, t.startY = IntPart(Rnd() * H); break;
                case 2: t.startX = IntPart(Rnd() * W), t.startY = -th; break;
                default: t.startX = IntPart(Rnd() * W), t.startY = H + th; break;
                }
                tiles.push_back(t);
            }
            const clsMemDC oldPicture = patternCanvas(size, false), newPicture = patternCanvas(size, true);
            const clsMemDC &background = v2 == 1 ? newPicture : oldPicture;
            const clsMemDC &tileSource = v2 == 1 ? oldPicture : newPicture;
            std::vector<uint64_t> expected;
            for (int step = 0; step <= 100; step += 3) {
                clsMemDC frame;
                frame.CopyOf(background);
                for (const Tile &t : tiles) {
                    const int fromX = v2 == 1 ? t.homeX : t.startX, fromY = v2 == 1 ? t.homeY : t.startY;
                    const int toX = v2 == 1 ? t.startX : t.homeX, toY = v2 == 1 ? t.startY : t.homeY;
                    BitBlt(frame, Nearest((toX - fromX) * step / 100.0 + fromX),
                           Nearest((toY - fromY) * step / 100.0 + fromY), tw, th, tileSource, t.homeX, t.homeY);
                }
                expected.push_back(RecordingFrameSink::hashImage(frame.image()));
            }
            ASSERT_EQ(r.calls.size(), expected.size());
            for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(r.calls[i].hash, expected[i]) << "frame " << i;
        }
}

TEST(TransitionsOneToEight, SpinScatterHoldsTheRingOverNew)
{
    // At TF 30 the tenth picture ends phase 1 and is held for 6 frames: the
    // tiles sit at quarter size about the centre, the corners show NEW.
    const QSize size(160, 120);
    const QImage newImg = patternCanvas(size, true).image();
    const Recorded r = record(8, 0, size, 30, true);
    ASSERT_GE(r.calls.size(), 11u);
    EXPECT_EQ(r.calls[10].count, 6);
    EXPECT_EQ(r.calls[10].hash, r.calls[9].hash);
    // Ring radius √(20² + 15²) = 25 about (80, 60), tiles of 10 x 8: all of
    // OLD that is left lies within (50, 30) … (120, 100).
    const QRect ring(50, 30, 70, 70);
    int oldInside = 0, oldOutside = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            if (at(r.pictures[10], x, y) != at(newImg, x, y)) ++(ring.contains(x, y) ? oldInside : oldOutside);
    EXPECT_GT(oldInside, 16 * 40); // 16 tiles of about 10 x 8
    EXPECT_EQ(oldOutside, 0);
    // Phase 2 turns the other way for v2 = 1.
    const Recorded other = record(8, 1, size, 30);
    EXPECT_EQ(other.calls[10].hash, r.calls[10].hash);
    EXPECT_NE(other.calls[20].hash, r.calls[20].hash);
}
