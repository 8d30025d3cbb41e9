// Frame counts and a few telling pixels of the zoom, fold, negative, falling
// bands, spiral tiles and panel flip transitions.
#include "EffectFixtures.h"
#include "Numbers.h"
#include "Transition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

using namespace pvsm;
using namespace pvsm::test;

namespace {

struct Recorded
{
    RecordingFrameSink sink{true};
    clsMemDC old;
    clsMemDC next;
};

// Runs one transition on the pattern pictures, keeping every picture written.
void record(Recorded &r, int id, int v2, QSize size, int tf)
{
    FixedSeed fixed(11);
    r.old = patternCanvas(size, false);
    r.next = patternCanvas(size, true);
    clsMemDC dest = patternCanvas(size, false);
    TransitionContext ctx{r.sink, tf, TransitionContext::stepXFor(size.width()),
                          TransitionContext::stepYFor(size.height())};
    RunTransition(ctx, id, dest, r.next, v2, v2);
}

QRgb at(const QImage &img, int x, int y)
{
    return img.pixel(x, y) & 0x00FFFFFFu;
}

} // namespace

TEST(TransitionsSixteenToTwentyTwo, FrameCountsFollowTheirRules)
{
    struct Case
    {
        int id, v2;
        QSize size;
        int tf;
        int64_t frames;
        size_t pictures;
    };
    const QSize small(160, 120), large(1280, 720);
    // Derivations, for the cases that are not one picture per frame:
    // zoom: widths 0, 8, … W written when width mod Nearest(W / TF) <= 7.
    // zoom-through: steps 1 … 49 in and 49 … 0 out, every Nearest(100 / (TF / 2))
    //   (7 or 3) written, plus the middle held for 4 frames: 7 + 8 pictures
    //   + 4 frames at TF 30, 16 + 17 pictures + 4 frames at TF 60.
    // shrink-grow: as zoom with the divisor Nearest(W / (TF / 2)), both halves.
    // fold: steps 0 … H / SY (rows) or W / SX (columns), every
    //   Nearest(steps / TF)-th written.
    // negative: 13 or 20 fades each way and in, the held negative 3 or 6 times.
    // falling bands: t = 0, 2SY, … 1.5H written when t mod
    //   Nearest(1.5H / (TF + 15)) < 2SY.
    // spiral tiles: 19 steps, each written 2 (TF <= 45) or 3 (TF 46 … 66) times.
    // panel flip: steps 8 … 72, every one (TF > 45) or every even one.
    const Case cases[] = {
        {16, 1, small, 30, 21, 21},   {16, 0, small, 60, 21, 21},   {16, 1, large, 30, 30, 30},
        {16, 0, large, 30, 30, 30},   {16, 1, large, 60, 61, 61},
        {17, 1, small, 30, 19, 16},   {17, 1, large, 60, 37, 34},
        {17, 0, small, 30, 30, 30},   {17, 0, small, 60, 42, 42},   {17, 0, large, 30, 32, 32},
        {17, 0, large, 60, 60, 60},
        {18, 1, small, 30, 31, 31},   {18, 0, small, 30, 27, 27},   {18, 0, small, 60, 81, 81},
        {18, 1, large, 30, 31, 31},   {18, 0, large, 30, 30, 30},   {18, 1, large, 60, 61, 61},
        {18, 0, large, 60, 65, 65},
        {19, 0, small, 30, 42, 40},   {19, 0, large, 60, 66, 61},
        {20, 0, small, 30, 46, 46},   {20, 0, small, 60, 46, 46},   {20, 0, large, 30, 46, 46},
        {20, 0, large, 60, 78, 78},
        {21, 0, small, 30, 38, 19},   {21, 1, large, 60, 57, 19},   {21, 1, large, 70, 76, 19},
        {22, 0, small, 30, 33, 33},   {22, 1, small, 60, 65, 65},   {22, 0, large, 45, 33, 33},
        {22, 1, large, 46, 65, 65},
    };
    for (const Case &c : cases) {
        RecordingFrameSink sink;
        clsMemDC dest = patternCanvas(c.size, false);
        const clsMemDC next = patternCanvas(c.size, true);
        TransitionContext ctx{sink, c.tf, TransitionContext::stepXFor(c.size.width()),
                              TransitionContext::stepYFor(c.size.height())};
        RunTransition(ctx, c.id, dest, next, c.v2, c.v2);
        const std::string where = "id " + std::to_string(c.id) + " v2 " + std::to_string(c.v2) + " at "
                                  + std::to_string(c.size.width()) + " TF " + std::to_string(c.tf);
        EXPECT_EQ(sink.framesWritten(), c.frames) << where;
        EXPECT_EQ(sink.calls().size(), c.pictures) << where;
    }
}

TEST(TransitionsSixteenToTwentyTwo, ZoomThroughHoldsTheMiddleOfOldAndEndsOnNew)
{
    Recorded r;
    record(r, 17, 1, {160, 120}, 30);
    const auto &calls = r.sink.calls();
    ASSERT_EQ(calls.size(), 16u);
    // The held picture comes between the 7 pictures of OLD and the 8 of NEW.
    for (size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i].count, i == 7 ? 4 : 1) << i;
    EXPECT_EQ(calls.back().hash, RecordingFrameSink::hashImage(r.next.image()));
    // At the middle only the centre of OLD is left, enlarged: the corners show
    // what lies near the centre, not OLD's own corners.
    const QImage &held = r.sink.kept()[7];
    EXPECT_NE(at(held, 0, 0), at(r.old.image(), 0, 0));
    EXPECT_NEAR(qRed(held.pixel(0, 0)), qRed(r.old.image().pixel(79, 60)), 4);
    EXPECT_NEAR(qGreen(held.pixel(159, 119)), qGreen(r.old.image().pixel(79, 60)), 4);
}

TEST(TransitionsSixteenToTwentyTwo, FoldShowsThePaledMirrorOfTheTopBelowTheFold)
{
    Recorded r;
    record(r, 18, 1, {160, 120}, 60); // every step written: frame k has the fold at y = 2k
    const QImage &frame = r.sink.kept()[10];
    const int y = 20;
    // What OLD pales to under white at alpha 100.
    QImage pale = r.old.image().copy();
    QImage white(pale.size(), QImage::Format_RGB32);
    white.fill(Qt::white);
    AlphaBlend(pale, 0, 0, pale.width(), pale.height(), white, 0, 0, 100);
    for (int row : {y + 2, 30, 2 * y - 1}) {
        const int mirrored = 2 * y - 1 - row;
        for (int x : {0, 77, 159}) EXPECT_EQ(at(frame, x, row), at(pale, x, mirrored)) << row << "," << x;
    }
    for (int row : {0, y + 1}) EXPECT_EQ(at(frame, 5, row), at(r.next.image(), 5, row)) << row;
    for (int row : {2 * y, 119}) EXPECT_EQ(at(frame, 5, row), at(r.old.image(), 5, row)) << row;

    // Columns: the same fold from the left, mirrored left-right.
    Recorded c;
    record(c, 18, 0, {160, 120}, 60);
    const QImage &side = c.sink.kept()[10];
    EXPECT_EQ(at(side, 30, 50), at(pale, 2 * y - 1 - 30, 50));
}

TEST(TransitionsSixteenToTwentyTwo, NegativeFlashHoldsTheGreyNegativeOfOld)
{
    Recorded r;
    record(r, 19, 0, {64, 48}, 30);
    const auto &calls = r.sink.calls();
    ASSERT_EQ(calls.size(), 40u);
    EXPECT_EQ(calls[13].count, 3);
    const QImage &held = r.sink.kept()[13];
    // Inverted first, then greyed: 0.35 × the sum of the inverted channels
    // (give or take the grey matrix's rounding), the same in all three.
    for (QPoint p : {QPoint(0, 0), QPoint(31, 20), QPoint(63, 47)}) {
        const QRgb o = r.old.image().pixel(p);
        const int sum = (255 - qRed(o)) + (255 - qGreen(o)) + (255 - qBlue(o));
        const QRgb h = held.pixel(p);
        EXPECT_NEAR(qRed(h), std::min(255.0, 0.35 * sum), 1.0) << p.x() << "," << p.y();
        EXPECT_EQ(qGreen(h), qRed(h));
        EXPECT_EQ(qBlue(h), qRed(h));
    }
    // The fade out ends near white and the fade in starts at white.
    EXPECT_GT(qRed(r.sink.kept()[26].pixel(0, 0)), 230);
    EXPECT_EQ(at(r.sink.kept()[27], 10, 10), 0xFFFFFFu);
}

TEST(TransitionsSixteenToTwentyTwo, FallingBandsUncoverNewFromTheBottom)
{
    Recorded r;
    record(r, 20, 0, {160, 120}, 30); // SY 2, bands of 12 rows, frames at t mod 4 <= 3
    const auto &kept = r.sink.kept();
    EXPECT_EQ(kept.front(), r.old.image().convertToFormat(QImage::Format_RGB32));
    // t = 8: the bottom 8 rows are NEW, no band has come loose yet.
    const QImage &early = kept[2];
    EXPECT_EQ(at(early, 3, 111), at(r.old.image(), 3, 111));
    EXPECT_EQ(at(early, 3, 112), at(r.next.image(), 3, 112));
    // Band 1 (OLD's rows 108 … 119) comes loose at t = 12 and falls to offset
    // Nearest(1 + 0.8) = 2, then at t = 16 to Nearest(2 + 1.6) = 4: OLD's row
    // 108 is at row 112, and NEW shows in the gap above it.
    const QImage &later = kept[4];
    EXPECT_EQ(at(later, 3, 112), at(r.old.image(), 3, 108));
    EXPECT_EQ(at(later, 3, 111), at(r.next.image(), 3, 111)); // the gap the band left
}

TEST(TransitionsSixteenToTwentyTwo, SpiralTilesLandInSpiralOrder)
{
    const QSize size(160, 120); // tiles of 40 × 30
    for (int v2 : {0, 1}) {
        Recorded r;
        record(r, 21, v2, size, 30);
        ASSERT_EQ(r.sink.kept().size(), 19u);
        // Step 4: the first tile of the spiral has landed, the last not begun.
        const QImage &step4 = r.sink.kept()[3];
        const QPoint first = v2 == 0 ? QPoint(20, 15) : QPoint(60, 75);  // cell (0,0) or (1,2)
        const QPoint lastOne = v2 == 0 ? QPoint(60, 75) : QPoint(20, 15);
        EXPECT_EQ(at(step4, first.x(), first.y()), at(r.next.image(), first.x(), first.y())) << v2;
        EXPECT_EQ(at(step4, lastOne.x(), lastOne.y()), at(r.old.image(), lastOne.x(), lastOne.y())) << v2;
        // The far corner cell is still OLD then, whichever way the spiral runs.
        EXPECT_EQ(at(step4, 150, 115), at(r.old.image(), 150, 115)) << v2;
    }
}

TEST(TransitionsSixteenToTwentyTwo, PanelFlipStartsAtTheSideItNamesOverBlack)
{
    const QSize size(160, 120); // panels of 20, shrinking by 1.25 a step
    for (int v2 : {0, 1}) {
        Recorded r;
        record(r, 22, v2, size, 30);
        // Step 8: the first panel is 3 steps into its turn (shrunk by 3,
        // drawn 2 columns in, 17 wide), every other panel still shows OLD.
        const QImage &first = r.sink.kept().front();
        const int edge = v2 == 0 ? 0 : 159;
        const int far = v2 == 0 ? 159 : 0;
        EXPECT_EQ(at(first, edge, 60), 0u) << v2;
        EXPECT_EQ(at(first, far, 60), at(r.old.image(), far, 60)) << v2;
        EXPECT_NE(at(first, v2 == 0 ? 2 : 142, 60), 0u) << v2;
    }
}

// The panel flip draws only what changed since the last written step; every
// frame must still equal the plain card turn: each turning panel redrawn on
// a black strip at every step.
TEST(TransitionsSixteenToTwentyTwo, PanelFlipEqualsRedrawingEveryPanelOnBlack)
{
    // 1350 wide: the shrink steps overshoot and the last panels are drawn
    // mirrored; 13 and 7 wide: odd strips and no strip at all.
    for (const QSize size : {QSize(160, 120), QSize(1350, 24), QSize(13, 9), QSize(7, 5)})
        for (int tf : {30, 60})
            for (int v2 : {0, 1}) {
                SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << " tf " << tf << " v2 " << v2);
                Recorded r;
                record(r, 22, v2, size, tf);

                const int W = size.width(), H = size.height(), stripW = W / 8;
                const double shrinkStep = W / 128.0;
                clsMemDC dest = patternCanvas(size, false);
                const PicturePyramid oldColumns(r.old.image(), false), newColumns(r.next.image(), false);
                std::array<int, 9> x{}, shrink{};
                for (int p = 1; p <= 8; ++p) x[size_t(p)] = v2 == 1 ? Nearest(W - p * W / 8.0) : Nearest((p - 1) * W / 8.0);
                std::vector<uint64_t> expected;
                for (int u = 1; u <= 81; ++u) {
                    for (int p = 1; p <= 8; ++p) {
                        const int phase = u - 6 * p;
                        int &sp = shrink[size_t(p)];
                        const PicturePyramid *source = nullptr;
                        if (phase >= 0 && phase <= 15) {
                            sp = Nearest(sp + shrinkStep);
                            source = &oldColumns;
                        } else if (phase >= 17 && phase <= 32) {
                            sp = Nearest(sp - shrinkStep);
                            source = &newColumns;
                        } else if (phase == 33) {
                            BitBlt(dest, x[size_t(p)], 0, Nearest(W / 8.0), H, r.next, x[size_t(p)], 0);
                        }
                        if (!source || stripW == 0) continue;
                        clsMemDC panel(stripW, H, 0);
                        StretchBlt(panel, Nearest(sp / 2.0), 0, Nearest(W / 8.0 - sp), H, *source, x[size_t(p)], 0,
                                   stripW, H);
                        BitBlt(dest, x[size_t(p)], 0, stripW, H, panel, 0, 0);
                    }
                    if (u >= 8 && u <= 72 && (tf > 45 || u % 2 == 0))
                        expected.push_back(RecordingFrameSink::hashImage(dest.image()));
                }
                ASSERT_EQ(r.sink.calls().size(), expected.size());
                for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(r.sink.calls()[i].hash, expected[i]) << "frame " << i;
            }
}

TEST(TransitionsSixteenToTwentyTwo, ShrinkingOldEqualsDrawingItOverFreshBackground)
{
    // Each frame of the shrinking OLD must look as if drawn on a fresh copy
    // of its background (NEW for the zoom, black for the shrink-grow),
    // however little of the last frame is restored.
    struct Case
    {
        int id;
        bool blackBackground;
    };
    for (const Case c : {Case{16, false}, Case{17, true}})
        for (const QSize size : {QSize(160, 120), QSize(13, 9), QSize(200, 40)})
            for (int tf : {30, 60}) {
                SCOPED_TRACE(testing::Message() << "id " << c.id << " " << size.width() << "x" << size.height() << " tf " << tf);
                Recorded r;
                record(r, c.id, 0, size, tf);
                const int W = size.width(), H = size.height();
                const int d = c.id == 16 ? frameDivisor(W, tf) : std::max(1, Nearest(W / (tf / 2.0)));
                const PicturePyramid oldPyramid(r.old.image());
                std::vector<uint64_t> expected;
                for (int n = W; n >= 0; n -= 8) {
                    if (n % d > 7) continue;
                    clsMemDC frame(W, H, 0);
                    if (!c.blackBackground) frame.CopyOf(r.next);
                    const QRect rect = centredRect(W, H, n);
                    StretchBlt(frame, rect.x(), rect.y(), rect.width(), rect.height(), oldPyramid, 0, 0, W, H);
                    expected.push_back(RecordingFrameSink::hashImage(frame.image()));
                }
                ASSERT_GE(r.sink.calls().size(), expected.size());
                for (size_t i = 0; i < expected.size(); ++i)
                    ASSERT_EQ(r.sink.calls()[i].hash, expected[i]) << "frame " << i;
            }
}
