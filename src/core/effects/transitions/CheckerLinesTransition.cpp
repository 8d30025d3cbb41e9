#include "Transition.h"

#include "Numbers.h"

#include <algorithm>

namespace pvsm {

namespace {

// Copies the columns first, first + a, first + 2a, … at full height.
void copyColumnsEvery(QImage &dst, const QImage &src, int first, int a)
{
    const int W = std::min(dst.width(), src.width()), H = std::min(dst.height(), src.height());
    if (first < 0 || first >= W) return;
    for (int y = 0; y < H; ++y) {
        auto *d = reinterpret_cast<QRgb *>(dst.scanLine(y));
        const auto *s = reinterpret_cast<const QRgb *>(src.constScanLine(y));
        for (int x = first; x < W; x += a)
            d[x] = s[x];
    }
}

} // namespace

// A grid of cells of `cellSize` pixels; in each cell the outermost column and
// row pairs of NEW appear first and the lines close in on the cell's middle.
void CheckerLinesTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int cellSize)
{
    const int W = dest.Width(), H = dest.Height();
    // Below 10 pixels wide the caller's Nearest(W / 20) is 0: one-pixel cells
    // copy everything in the first step.
    const int a = std::clamp(cellSize, 1, std::max({1, W, H}));
    const int last = Nearest((a - 1) / 2.0);
    const int framesWhileBelow = Nearest(W / 40.0);
    const int repeat = W > 960 ? 1 : 2;
    QImage &d = dest.image();
    const QImage &s = newPicture.image();
    for (int x = 0; x <= last; ++x) {
        for (const int offset : {x, a - x - 1}) {
            copyColumnsEvery(d, s, offset, a);
            for (int y = offset; y < H; y += a)
                BitBlt(d, 0, y, W, 1, s, 0, y);
        }
        if (x < framesWhileBelow) writeFrame(ctx, dest, repeat);
    }
    // Lines x and a − x − 1 for x up to Nearest((a − 1) / 2) meet in the
    // middle of each cell, so every column and row has been copied.
}

} // namespace pvsm
