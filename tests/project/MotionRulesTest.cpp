#include "MotionRules.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace pvsm;

namespace {

constexpr unsigned L = kEdgeLeft, R = kEdgeRight, T = kEdgeTop, B = kEdgeBottom;
constexpr double kEps = 1e-9;
const QSize kScreen(1920, 1080);

void expectRect(const QRectF &actual, const QRectF &expected, const std::string &what)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1e-6) << what;
    EXPECT_NEAR(actual.y(), expected.y(), 1e-6) << what;
    EXPECT_NEAR(actual.width(), expected.width(), 1e-6) << what;
    EXPECT_NEAR(actual.height(), expected.height(), 1e-6) << what;
}

// The two promises every rule keeps: the aspect and the bounds.
void expectKept(const QRectF &r, const MotionArea &area, const std::string &what)
{
    EXPECT_NEAR(r.width() / r.height(), area.aspect, 1e-9) << what;
    EXPECT_GE(r.left(), area.bounds.left() - kEps) << what;
    EXPECT_GE(r.top(), area.bounds.top() - kEps) << what;
    EXPECT_LE(r.right(), area.bounds.right() + kEps) << what;
    EXPECT_LE(r.bottom(), area.bounds.bottom() + kEps) << what;
}

// Stretched: the picture is the screen, a square in fractions has the
// output's aspect, and the numbers stay round.
const MotionArea kSquare = motionArea({800, 600}, 4, kScreen);

} // namespace

TEST(MotionRules, AreaFollowsTheDrawMode)
{
    struct Case
    {
        QSize picture;
        int mode;
        double aspect;
        QRectF bounds;
    } cases[] = {
        // Fitted 4:3 on 16:9: bars left and right, the screen is 4/3 pictures wide.
        {{1440, 1080}, 3, 4.0 / 3, {-1.0 / 6, 0, 4.0 / 3, 1}},
        // Fitting also enlarges: the same for a small picture.
        {{144, 108}, 3, 4.0 / 3, {-1.0 / 6, 0, 4.0 / 3, 1}},
        // Centred at natural size: a small picture sits in a screen twice its size...
        {{960, 540}, 0, 1, {-0.5, -0.5, 2, 2}},
        // ...a large one is shrunk to fit, as mode 3.
        {{2880, 2160}, 0, 4.0 / 3, {-1.0 / 6, 0, 4.0 / 3, 1}},
        // Portrait, fitted: wide bars.
        {{1080, 1440}, 3, 64.0 / 27, {(1 - 64.0 / 27) / 2, 0, 64.0 / 27, 1}},
        // Stretched, tiled and placed: only the picture.
        {{1440, 1080}, 4, 1, {0, 0, 1, 1}},
        {{1440, 1080}, 2, 4.0 / 3, {0, 0, 1, 1}},
        {{1440, 1080}, 1, 4.0 / 3, {0, 0, 1, 1}},
    };
    for (const Case &c : cases) {
        const std::string what = std::to_string(c.picture.width()) + " mode " + std::to_string(c.mode);
        const MotionArea area = motionArea(c.picture, c.mode, kScreen);
        ASSERT_TRUE(area.valid()) << what;
        EXPECT_NEAR(area.aspect, c.aspect, 1e-9) << what;
        expectRect(area.bounds, c.bounds, what);
    }
    EXPECT_FALSE(motionArea({}, 3, kScreen).valid());
    EXPECT_FALSE(motionArea({100, 100}, 3, {}).valid());
    EXPECT_FALSE(motionArea({100, 100}, 7, kScreen).valid());
}

TEST(MotionRules, DefaultsShowTheWholePictureThenMoveCloser)
{
    // Fitted: the start is the whole screen, as the slide shows without motion.
    const MotionArea fit = motionArea({1440, 1080}, 3, kScreen);
    PictureMotion before;
    before.curve = 1;
    const PictureMotion m = defaultMotion(fit, before);
    EXPECT_TRUE(m.on);
    EXPECT_EQ(m.curve, 1);
    expectRect(m.start, fit.bounds, "fit start");
    expectRect(m.end, QRectF(0.5 - 0.88 * 2 / 3, 0.06, 0.88 * 4 / 3, 0.88), "fit end");

    // Tiled: the picture may not be left, so the start is the widest band of it.
    const MotionArea tiled = motionArea({1440, 1080}, 2, kScreen);
    expectRect(defaultMotion(tiled).start, QRectF(0, 0.125, 1, 0.75), "tiled start");

    // Every picture shape under every draw mode: both rectangles keep the rules.
    for (QSize picture : {QSize(1440, 1080), QSize(1080, 1440), QSize(400, 300), QSize(5000, 800), QSize(1920, 1080)})
        for (int mode = 0; mode <= 4; ++mode) {
            const MotionArea area = motionArea(picture, mode, kScreen);
            const PictureMotion d = defaultMotion(area);
            const std::string what = std::to_string(picture.width()) + " mode " + std::to_string(mode);
            expectKept(d.start, area, what + " start");
            expectKept(d.end, area, what + " end");
            EXPECT_NEAR(d.end.width(), d.start.width() * kMotionDefaultZoom, 1e-9) << what;
            EXPECT_NEAR((d.end.center() - d.start.center()).manhattanLength(), 0, 1e-9) << what;
        }
}

TEST(MotionRules, SwitchingOnKeepsPlacedRectanglesAndSwapReverses)
{
    const MotionArea fit = motionArea({1440, 1080}, 3, kScreen);
    // Never placed: defaults.
    EXPECT_EQ(motionSwitchedOn(PictureMotion{}, fit), defaultMotion(fit));

    // Placed, then the draw mode changed to one where the picture may not be left.
    PictureMotion placed;
    placed.start = QRectF(-0.1, 0.1, 0.8, 0.6);
    placed.end = QRectF(0.2, 0.2, 0.4, 0.3);
    placed.curve = 1;
    const MotionArea tiled = motionArea({1440, 1080}, 2, kScreen);
    const PictureMotion on = motionSwitchedOn(placed, tiled);
    EXPECT_TRUE(on.on);
    EXPECT_EQ(on.curve, 1);
    expectRect(on.start, QRectF(0, 0.1, 0.8, 0.6), "start moved inside");
    expectRect(on.end, placed.end, "end kept");

    const PictureMotion swapped = swappedMotion(on);
    EXPECT_EQ(swapped.start, on.end);
    EXPECT_EQ(swapped.end, on.start);
    EXPECT_EQ(swappedMotion(swapped), on);
}

TEST(MotionRules, FittingMakesTheAspectAndStaysInBounds)
{
    const MotionArea fit = motionArea({1440, 1080}, 3, kScreen);
    struct Case
    {
        QRectF rect;
        QRectF expected;
    } cases[] = {
        {{0.1, 0.1, 0.4, 0.3}, {0.1, 0.1, 0.4, 0.3}},       // already right
        {{0.1, 0.1, 0.4, 0.9}, {0.1, 0.4, 0.4, 0.3}},      // height from width, about the centre
        {{0.5, 0.8, 0.4, 0.3}, {0.5, 0.7, 0.4, 0.3}},       // moved up inside
        {{-2, -1, 10, 1}, fit.bounds},                      // too large: the bounds
        {{0.2, 0.2, 0, 0}, fit.bounds},                     // nothing: the bounds
    };
    for (const Case &c : cases) expectRect(fittedMotionRect(c.rect, fit), c.expected, "fit");
}

TEST(MotionRules, MovingStopsAtTheBounds)
{
    const QRectF start(0.2, 0.2, 0.4, 0.4);
    struct Case
    {
        QPointF delta;
        QPointF topLeft;
    } cases[] = {
        {{0.1, -0.05}, {0.3, 0.15}},
        {{-0.5, 0}, {0, 0.2}},
        {{0.9, 0.9}, {0.6, 0.6}},
    };
    for (const Case &c : cases) {
        const QRectF r = movedMotionRect(start, c.delta, kSquare);
        EXPECT_NEAR(r.x(), c.topLeft.x(), 1e-9);
        EXPECT_NEAR(r.y(), c.topLeft.y(), 1e-9);
        EXPECT_EQ(r.size(), start.size());
    }
}

TEST(MotionRules, ResizingKeepsTheAspectFromTheSideThatStays)
{
    const QSizeF minimum(0.1, 0.1);
    struct Case
    {
        const char *what;
        QRectF start;
        unsigned edges;
        QPointF delta;
        QRectF expected;
    } cases[] = {
        {"right edge out: height about the centre", {0.2, 0.2, 0.4, 0.4}, R, {0.1, 0}, {0.2, 0.15, 0.5, 0.5}},
        {"left edge in", {0.2, 0.2, 0.4, 0.4}, L, {0.1, 0}, {0.3, 0.25, 0.3, 0.3}},
        {"bottom edge: width about the centre", {0.2, 0.2, 0.4, 0.4}, B, {0.3, 0.2}, {0.1, 0.2, 0.6, 0.6}},
        {"corner follows the larger side", {0.2, 0.2, 0.4, 0.4}, R | B, {0.1, 0.3}, {0.2, 0.2, 0.7, 0.7}},
        {"corner stops at the bounds", {0.2, 0.2, 0.4, 0.4}, L | T, {-0.5, -0.5}, {0, 0, 0.6, 0.6}},
        {"never below the minimum", {0.2, 0.2, 0.4, 0.4}, R, {-0.5, 0}, {0.2, 0.35, 0.1, 0.1}},
        {"the centred axis limits too", {0.2, 0.05, 0.4, 0.4}, R, {0.3, 0}, {0.2, 0, 0.5, 0.5}},
        {"no edge: unchanged", {0.2, 0.2, 0.4, 0.4}, 0, {0.3, 0.3}, {0.2, 0.2, 0.4, 0.4}},
    };
    for (const Case &c : cases) expectRect(resizedMotionRect(c.start, c.edges, c.delta, minimum, kSquare), c.expected, c.what);

    // Any drag on a 4:3 picture fitted to 16:9 keeps the aspect and the bounds.
    const MotionArea fit = motionArea({1440, 1080}, 3, kScreen);
    const QRectF start = defaultMotion(fit).end;
    for (unsigned edges : {L, R, T, B, L | T, L | B, R | T, R | B})
        for (QPointF delta : {QPointF(0.3, 0.2), QPointF(-0.3, -0.2), QPointF(2, -2), QPointF(-0.01, 0.4)}) {
            const QRectF r = resizedMotionRect(start, edges, delta, minimum, fit);
            expectKept(r, fit, "edges " + std::to_string(edges));
            EXPECT_GE(r.height(), minimum.height() - kEps);
            // The side that does not follow the mouse stays put.
            if (edges & L) {
                EXPECT_NEAR(r.right(), start.right(), 1e-9);
            }
            if (edges & R) {
                EXPECT_NEAR(r.left(), start.left(), 1e-9);
            }
            if (edges & T) {
                EXPECT_NEAR(r.bottom(), start.bottom(), 1e-9);
            }
            if (edges & B) {
                EXPECT_NEAR(r.top(), start.top(), 1e-9);
            }
        }
}

TEST(MotionRules, ScalingAboutTheCentreWithinLimits)
{
    const QSizeF minimum(0.1, 0.1);
    expectRect(scaledMotionRect({0.2, 0.2, 0.4, 0.4}, 1.5, minimum, kSquare), {0.1, 0.1, 0.6, 0.6}, "grow");
    expectRect(scaledMotionRect({0.2, 0.2, 0.4, 0.4}, 0.01, minimum, kSquare), {0.35, 0.35, 0.1, 0.1}, "minimum");
    expectRect(scaledMotionRect({0.5, 0.5, 0.4, 0.4}, 2, minimum, kSquare), {0.2, 0.2, 0.8, 0.8}, "moved inside");
    expectRect(scaledMotionRect({0.2, 0.2, 0.4, 0.4}, 9, minimum, kSquare), {0, 0, 1, 1}, "at most the bounds");
}

TEST(MotionRules, PressesGrabEdgesFirstThenTheRectangleOnTop)
{
    const QRect start(100, 100, 400, 225), end(150, 125, 300, 169);
    struct Case
    {
        QPoint at;
        MotionEnd preferred;
        MotionHit expected;
    } cases[] = {
        {{101, 200}, MotionEnd::Start, {MotionEnd::Start, {PlacementHit::Resize, L}}},
        {{149, 200}, MotionEnd::Start, {MotionEnd::End, {PlacementHit::Resize, L}}},
        {{499, 324}, MotionEnd::End, {MotionEnd::Start, {PlacementHit::Resize, R | B}}},
        {{300, 200}, MotionEnd::Start, {MotionEnd::End, {PlacementHit::Move, 0}}},   // inside both: the smaller
        {{120, 110}, MotionEnd::End, {MotionEnd::Start, {PlacementHit::Move, 0}}},   // inside the start only
        {{50, 50}, MotionEnd::Start, {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(hitMotion(start, end, c.at, c.preferred), c.expected) << c.at.x() << "," << c.at.y();

    // The same rectangle twice: the one last edited wins, edge and inside alike.
    for (MotionEnd preferred : {MotionEnd::Start, MotionEnd::End}) {
        EXPECT_EQ(hitMotion(start, start, {101, 200}, preferred).end, preferred);
        EXPECT_EQ(hitMotion(start, start, {300, 200}, preferred).end, preferred);
    }
}

TEST(MotionRules, CurvesRunFromStartToEnd)
{
    struct Case
    {
        int curve;
        double t, progress;
    } cases[] = {
        {0, 0, 0}, {0, 0.25, 0.25}, {0, 1, 1}, {0, -1, 0}, {0, 2, 1},
        {1, 0, 0}, {1, 0.25, (1 - std::cos(M_PI / 4)) / 2}, {1, 0.5, 0.5}, {1, 1, 1}, {1, 1.5, 1},
    };
    for (const Case &c : cases) EXPECT_NEAR(motionProgress(c.curve, c.t), c.progress, 1e-12) << c.curve << " " << c.t;

    PictureMotion m;
    m.start = QRectF(0, 0, 1, 1);
    m.end = QRectF(0.2, 0.1, 0.6, 0.6);
    EXPECT_EQ(motionRectAt(m, 0), m.start);
    EXPECT_EQ(motionRectAt(m, 1), m.end);
    expectRect(motionRectAt(m, 0.5), QRectF(0.1, 0.05, 0.8, 0.8), "half way");
    // Easing is slower than linear early on.
    m.curve = 1;
    EXPECT_LT(motionRectAt(m, 0.2).x(), 0.2 * 0.2);

    // Fractions on a view picture and back.
    const QRectF picture(10, 20, 400, 300);
    expectRect(motionOnView(QRectF(0.5, 0.5, 0.25, 0.25), picture), QRectF(210, 170, 100, 75), "on view");
    const QPointF back = viewToMotion({100, 75}, picture);
    EXPECT_DOUBLE_EQ(back.x(), 0.25);
    EXPECT_DOUBLE_EQ(back.y(), 0.25);
}
