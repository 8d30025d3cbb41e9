#include "PictureStrip.h"

#include <algorithm>

namespace pvsm {

int stripScrollMaximum(int count) { return count > kStripCells ? count : kStripCells; }

int clampStripValue(int value, int count)
{
    return std::clamp(value, kStripScrollMinimum, stripScrollMaximum(count));
}

int stripPictureAt(int value, int cell, int count)
{
    if (cell < 0 || cell >= kStripCells) return -1;
    const int index = value - kStripCells + cell; // (v - 6 + cell) 1-based
    return index >= 0 && index < count ? index : -1;
}

int stripCellOf(int value, int index)
{
    const int cell = index - (value - kStripCells);
    return cell >= 0 && cell < kStripCells ? cell : -1;
}

int stripValueShowing(int value, int index, int count)
{
    // A list that shrank may leave the value past its end: held first.
    const int held = clampStripValue(value, count);
    if (index < 0 || index >= count || stripCellOf(held, index) >= 0) return held;
    return clampStripValue(index + 1 + 3, count);
}

int stripPageTarget(int index, int pages, int count)
{
    if (count <= 0) return -1;
    return std::clamp(index + pages * kStripCells, 0, count - 1);
}

} // namespace pvsm
