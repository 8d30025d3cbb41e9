#include "Transition.h"

#include "Numbers.h"

#include <algorithm>
#include <cstdlib>

namespace pvsm {

// A front of thin strips sweeps over the picture: at every step B + 1 strips of
// NEW, B + 1 pixels apart, are copied, and the whole comb jumps B strip widths
// further, so each line inside the front fills in a little at a time and the
// edge looks like a wave. v4 = 0 left to right, 1 top to bottom, 2 right to
// left, 3 bottom to top.
void StripeWaveTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int v4)
{
    const int W = dest.Width(), H = dest.Height();
    const bool columns = v4 == 0 || v4 == 2;
    const bool backwards = v4 == 2 || v4 == 3;
    const int L = columns ? W : H;
    // Rows use the column step as well: the comb keeps one shape whichever way
    // it runs.
    const int SX = std::max(1, ctx.TransitionStepX);
    const int B = 4 * SX;
    const int c = std::max(1, Nearest(SX / 2.0));
    const int last = Nearest(double(L) / B);
    const int d = frameDivisor(double(L) / B + B, ctx.TransitionFrames);
    const auto due = [c, d](int f) { return c == 1 ? f % d == 0 : std::abs(f % d) <= 1; };

    const auto step = [&](int f) {
        for (int j = 1; j <= B + 1; ++j) {
            const int at = j + (j + f - 1) * B;
            if (at >= L || at + c <= 0) continue;
            if (columns)
                BitBlt(dest, at, 0, c, H, newPicture, at, 0);
            else
                BitBlt(dest, 0, at, W, c, newPicture, 0, at);
        }
        if (due(f)) writeFrame(ctx, dest);
    };
    if (backwards) {
        for (int f = last; f >= -B; f -= c)
            step(f);
    } else {
        for (int f = -B; f <= last; f += c)
            step(f);
    }
    // Running backwards from an odd end with c = 2 misses the comb positions of
    // the other parity at the near edge; the full copy closes those lines.
    BitBlt(dest, 0, 0, W, H, newPicture, 0, 0);
}

} // namespace pvsm
