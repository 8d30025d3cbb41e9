#include "PlacementRules.h"

#include <gtest/gtest.h>

using namespace pvsm;

namespace {

constexpr unsigned L = kEdgeLeft, R = kEdgeRight, T = kEdgeTop, B = kEdgeBottom;

} // namespace

TEST(PlacementRules, PressesNearAnEdgeResizeInsideMoveElsewhereNothing)
{
    // Edges of (100, 50, 200, 80): left 100, right 300, top 50, bottom 130.
    const QRect box(100, 50, 200, 80);
    struct Case
    {
        QPoint at;
        PlacementHit expected;
        PlacementCursor cursor;
    } cases[] = {
        {{97, 90}, {PlacementHit::Resize, L}, PlacementCursor::SizeWE},
        {{103, 90}, {PlacementHit::Resize, L}, PlacementCursor::SizeWE},
        {{96, 90}, {}, PlacementCursor::Normal},
        {{104, 90}, {PlacementHit::Move, 0}, PlacementCursor::Move},
        {{303, 90}, {PlacementHit::Resize, R}, PlacementCursor::SizeWE},
        {{297, 90}, {PlacementHit::Resize, R}, PlacementCursor::SizeWE},
        {{296, 90}, {PlacementHit::Move, 0}, PlacementCursor::Move},
        {{200, 47}, {PlacementHit::Resize, T}, PlacementCursor::SizeNS},
        {{200, 133}, {PlacementHit::Resize, B}, PlacementCursor::SizeNS},
        {{200, 134}, {}, PlacementCursor::Normal},
        {{98, 52}, {PlacementHit::Resize, L | T}, PlacementCursor::SizeNWSE},
        {{302, 128}, {PlacementHit::Resize, R | B}, PlacementCursor::SizeNWSE},
        {{301, 49}, {PlacementHit::Resize, R | T}, PlacementCursor::SizeNESW},
        {{99, 131}, {PlacementHit::Resize, L | B}, PlacementCursor::SizeNESW},
        // Beyond the corner's zone in one direction: nothing, not an edge.
        {{97, 46}, {}, PlacementCursor::Normal},
        {{200, 20}, {}, PlacementCursor::Normal},
    };
    for (const Case &c : cases) {
        const PlacementHit hit = hitPlacement(box, c.at);
        EXPECT_EQ(hit, c.expected) << c.at.x() << "," << c.at.y();
        EXPECT_EQ(placementCursor(hit), c.cursor) << c.at.x() << "," << c.at.y();
    }
}

TEST(PlacementRules, TheLyricBoxKeepsItsHeightSoItsTopAndBottomMoveIt)
{
    const QRect box(100, 50, 200, 80);
    EXPECT_EQ(hitPlacement(box, {200, 52}, true), (PlacementHit{PlacementHit::Move, 0}));
    EXPECT_EQ(hitPlacement(box, {200, 128}, true), (PlacementHit{PlacementHit::Move, 0}));
    EXPECT_EQ(hitPlacement(box, {200, 47}, true), PlacementHit{});
    EXPECT_EQ(hitPlacement(box, {98, 52}, true), (PlacementHit{PlacementHit::Resize, L}));
    EXPECT_EQ(hitPlacement(box, {302, 90}, true), (PlacementHit{PlacementHit::Resize, R}));
}

TEST(PlacementRules, ANarrowRectangleGivesTheNearerEdgeAndTheRightOneOnATie)
{
    const QRect thin(100, 50, 4, 80); // edges at 100 and 104
    EXPECT_EQ(hitPlacement(thin, {101, 90}).edges, L);
    EXPECT_EQ(hitPlacement(thin, {102, 90}).edges, R);
    EXPECT_EQ(hitPlacement(thin, {103, 90}).edges, R);
    EXPECT_EQ(hitPlacement(QRect(), {0, 0}), PlacementHit{});
}

TEST(PlacementRules, MouseStepsShorterThanTwoPixelsBothWaysAreIgnored)
{
    const QPoint last(50, 50);
    EXPECT_FALSE(placementStepCounts(last, {51, 49}));
    EXPECT_FALSE(placementStepCounts(last, {50, 50}));
    EXPECT_TRUE(placementStepCounts(last, {52, 50}));
    EXPECT_TRUE(placementStepCounts(last, {50, 48}));
    EXPECT_TRUE(placementStepCounts(last, {49, 52}));
}

TEST(PlacementRules, ResizingFollowsTheMouseButStopsAtTwentyFourPixels)
{
    const QRect start(100, 50, 200, 80);
    const QPoint press(300, 130); // the bottom-right corner
    struct Case
    {
        unsigned edges;
        QPoint press, now;
        QRect expected;
    } cases[] = {
        {R, press, {340, 200}, {100, 50, 240, 80}},
        {B, press, {340, 200}, {100, 50, 200, 150}},
        {R | B, press, {250, 100}, {100, 50, 150, 50}},
        {L, {100, 90}, {60, 90}, {60, 50, 240, 80}},
        {T, {200, 50}, {200, 70}, {100, 70, 200, 60}},
        // Dragged past the minimum: the far side stays, the dragged one stops.
        {R, press, {0, 130}, {100, 50, 24, 80}},
        {L, {100, 90}, {400, 90}, {276, 50, 24, 80}},
        {B, press, {300, 0}, {100, 50, 200, 24}},
        {T, {200, 50}, {200, 300}, {100, 106, 200, 24}},
        // A title box pulled to 10 pixels high stops at 24.
        {T | L, {100, 50}, {290, 116}, {276, 106, 24, 24}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(resizedPlacement(start, c.edges, c.press, c.now), c.expected) << c.edges << " " << c.now.x();
}

TEST(PlacementRules, MovingKeepsTheGrabOffsetAndReleaseClampsTheLeftAndTop)
{
    EXPECT_EQ(movedPlacement({200, 80}, {30, 10}, {130, 60}), QRect(100, 50, 200, 80));
    EXPECT_EQ(movedPlacement({200, 80}, {30, 10}, {-20, 0}), QRect(-50, -10, 200, 80));
    struct Case
    {
        QRect in, out;
    } cases[] = {
        {{-50, 20, 200, 80}, {0, 20, 200, 80}},
        {{30, -5, 200, 80}, {30, 0, 200, 80}},
        {{-1, -1, 24, 24}, {0, 0, 24, 24}},
        // Past the right or bottom edge stays: only the left and top are clamped.
        {{400, 250, 200, 80}, {400, 250, 200, 80}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(releasedPlacement(c.in), c.out) << c.in.x();
}

TEST(PlacementRules, ViewRectanglesAreStoredInScreenPixelsRounded)
{
    struct Case
    {
        QRect rect;
        QSize view, screen;
        TextBox expected;
    } cases[] = {
        {{100, 50, 120, 30}, {480, 270}, {1920, 1080}, {400, 200, 480, 120}},
        // Factors that are no simple fractions: each value to the nearest pixel.
        {{101, 33, 47, 25}, {640, 360}, {1366, 768}, {216, 70, 100, 53}},
        // Each axis by its own factor.
        {{50, 50, 50, 50}, {500, 250}, {1000, 1000}, {100, 200, 100, 200}},
        {{50, 50, 50, 50}, {0, 250}, {1000, 1000}, {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(storedPlacement(c.rect, c.view, c.screen), c.expected) << c.rect.x();
}

TEST(PlacementRules, ABoxDraggedHalfOutLeftIsStoredAtZeroAndTheLyricKeepsItsHeight)
{
    const QSize view(480, 270), screen(1920, 1080);
    const TextBox before{96, 810, 1728, 100};
    EXPECT_EQ(placedBox(before, QRect(-60, 50, 120, 30), view, screen, false), (TextBox{0, 200, 480, 120}));
    // The lyric marker of a two-line style is twice the stored height; the
    // stored height stays whatever the rectangle shows.
    EXPECT_EQ(placedBox(before, QRect(100, -10, 200, 50), view, screen, true), (TextBox{400, 0, 800, 100}));
}

TEST(PlacementRules, APictureIsNeverStoredAtTheRandomPositionZeroZero)
{
    const QSize view(480, 270), screen(1920, 1080);
    struct Case
    {
        QPoint topLeft, expected;
    } cases[] = {
        {{100, 50}, {400, 200}},
        {{0, 10}, {0, 40}},
        {{10, 0}, {40, 0}},
        {{0, 0}, {1, 0}},
        {{-30, -30}, {1, 0}},
        {{-30, 20}, {0, 80}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(storedPicturePosition(c.topLeft, view, screen), c.expected) << c.topLeft.x() << "," << c.topLeft.y();
    // A view larger than the screen: a corner pixel rounds to 0 and is still kept off (0, 0).
    EXPECT_EQ(storedPicturePosition({1, 1}, {3840, 2160}, screen), QPoint(1, 0));
}

TEST(PlacementRules, ArrowKeysMoveByTheStepAndStopAtTheLeftAndTop)
{
    const TextBox box{5, 20, 300, 40};
    EXPECT_EQ(nudgedBox(box, {1, 0}, 1), (TextBox{6, 20, 300, 40}));
    EXPECT_EQ(nudgedBox(box, {0, 1}, 10), (TextBox{5, 30, 300, 40}));
    EXPECT_EQ(nudgedBox(box, {-1, 0}, 10), (TextBox{0, 20, 300, 40}));
    EXPECT_EQ(nudgedBox(box, {0, -1}, 10), (TextBox{5, 10, 300, 40}));
    EXPECT_EQ(nudgedPicturePosition({5, 0}, {-1, 0}, 10), QPoint(1, 0));
    EXPECT_EQ(nudgedPicturePosition({1, 0}, {-1, 0}, 1), QPoint(1, 0));
    EXPECT_EQ(nudgedPicturePosition({1, 0}, {0, 1}, 1), QPoint(1, 1));
    EXPECT_EQ(nudgedPicturePosition({0, 3}, {0, -1}, 10), QPoint(1, 0));
}
