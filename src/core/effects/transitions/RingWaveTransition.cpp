#include "Transition.h"

#include "Numbers.h"

#include <algorithm>
#include <cstdlib>

namespace pvsm {

namespace {

void copyFromNew(clsMemDC &dest, const clsMemDC &newPicture, int x, int y, int w, int h)
{
    if (w > 0 && h > 0) BitBlt(dest, x, y, w, h, newPicture, x, y);
}

} // namespace

// The stripe wave bent into rectangle rings: the front of thin rings runs
// from the edges to the centre (v2 = 0) or from the centre out (v2 = 1).
void RingWaveTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int v2)
{
    const int W = dest.Width(), H = dest.Height();
    const double half = H / 2.0;
    const int SX = std::max(1, ctx.TransitionStepX);
    const int B = 4 * SX;
    const int c = std::max(1, Nearest(SX / 2.0));
    const int last = Nearest(half / B);
    const int d = frameDivisor(half / B + B, ctx.TransitionFrames);
    const int repeat = ctx.TransitionFrames > 45 ? 2 : 1;
    const auto due = [c, d](int f) { return c == 1 ? f % d == 0 : std::abs(f % d) <= 1; };

    const auto step = [&](int f) {
        for (int j = 1; j <= B + 1; ++j) {
            const int x = j + (j + f - 1) * B;
            if (x + c <= 0 || x > half) continue; // outside the canvas or past the centre
            const int w = W - 2 * x, h = H - 2 * x;
            copyFromNew(dest, newPicture, x, x, w, c); // top
            copyFromNew(dest, newPicture, x, x, c, h); // left
            if (x <= half - c) {
                copyFromNew(dest, newPicture, W - c - x, x, c, h); // right
                copyFromNew(dest, newPicture, x, H - c - x, w, c); // bottom
            }
        }
        if (due(f)) writeFrame(ctx, dest, repeat);
    };
    if (v2 == 1) {
        for (int f = last; f >= -B; f -= c)
            step(f);
    } else {
        for (int f = -B; f <= last; f += c)
            step(f);
    }
    // The right and bottom strips stop c pixels short of the centre and a
    // backward run from an odd end misses the outermost rings of the other
    // parity; the full copy closes those lines.
    BitBlt(dest, 0, 0, W, H, newPicture, 0, 0);
}

} // namespace pvsm
