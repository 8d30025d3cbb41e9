#include "PictureStrip.h"

#include <gtest/gtest.h>

#include <vector>

using namespace pvsm;

TEST(PictureStrip, ScrollRangeAndCells)
{
    struct Case
    {
        int count, value;
        int maximum;
        std::vector<int> cells; // picture in each cell, -1 blank
    };
    const std::vector<Case> cases = {
        {0, 7, 7, {-1, -1, -1, -1, -1, -1, -1}},
        {3, 7, 7, {0, 1, 2, -1, -1, -1, -1}},
        {7, 7, 7, {0, 1, 2, 3, 4, 5, 6}},
        {8, 7, 8, {0, 1, 2, 3, 4, 5, 6}},
        {8, 8, 8, {1, 2, 3, 4, 5, 6, 7}},
        {120, 101, 120, {94, 95, 96, 97, 98, 99, 100}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " pictures at " << c.value);
        EXPECT_EQ(stripScrollMaximum(c.count), c.maximum);
        for (int cell = 0; cell < kStripCells; ++cell) {
            const int shown = stripPictureAt(c.value, cell, c.count);
            EXPECT_EQ(shown, c.cells[size_t(cell)]) << "cell " << cell;
            if (shown >= 0) {
                EXPECT_EQ(stripCellOf(c.value, shown), cell);
            }
        }
    }
    EXPECT_EQ(stripPictureAt(7, 7, 20), -1);
    EXPECT_EQ(stripCellOf(10, 2), -1);
    EXPECT_EQ(stripCellOf(10, 10), -1);
    EXPECT_EQ(clampStripValue(3, 20), 7);
    EXPECT_EQ(clampStripValue(30, 20), 20);
    EXPECT_EQ(clampStripValue(30, 5), 7);
}

TEST(PictureStrip, SelectingScrollsThreePastThePicture)
{
    struct Case
    {
        const char *name;
        int value, index, count, expected;
    };
    const std::vector<Case> cases = {
        {"in view: the strip stays", 10, 5, 20, 10},
        {"rightmost cell: stays", 10, 9, 20, 10},
        {"past the right end: picture + 3", 10, 10, 20, 14},
        {"far right", 7, 15, 20, 19},
        {"+3 stops at the last picture", 7, 18, 20, 20},
        {"the last picture", 7, 19, 20, 20},
        {"before the left end: back to the start", 20, 2, 20, 7},
        {"left, with room", 20, 9, 20, 13},
        {"a shrunk list holds the value first", 30, 15, 20, 20},
        {"no picture", 12, -1, 20, 12},
        {"few pictures never scroll", 7, 4, 5, 7},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int value = stripValueShowing(c.value, c.index, c.count);
        EXPECT_EQ(value, c.expected);
        if (c.index >= 0) {
            EXPECT_GE(stripCellOf(value, c.index), 0);
        }
    }
}

TEST(PictureStrip, PagesMoveBySevenAndStopAtTheEnds)
{
    struct Case
    {
        int index, pages, count, expected;
    };
    const std::vector<Case> cases = {
        {0, +1, 20, 7}, {7, +1, 20, 14}, {14, +1, 20, 19}, {19, +1, 20, 19},
        {19, -1, 20, 12}, {5, -1, 20, 0}, {0, -1, 20, 0},  {0, +1, 1, 0},
        {3, +1, 0, -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(stripPageTarget(c.index, c.pages, c.count), c.expected) << c.index << " " << c.pages << " " << c.count;
}
