#include "Transition.h"

#include "Numbers.h"

namespace pvsm {

// Strips of NEW appear in random order: columns (v2 = 1) or rows (v2 = 0).
void RandomLinesTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int v2)
{
    const int W = dest.Width(), H = dest.Height();
    const bool columns = v2 == 1;
    const int strip = columns ? ctx.TransitionStepX : ctx.TransitionStepY;
    const int n = Nearest(double(columns ? W : H) / strip);
    const std::vector<int> order = ShuffledRange(0, n - 1);
    const int d = frameDivisor(n, ctx.TransitionFrames);
    for (int step = 1; step <= n; ++step) {
        const int k = order[size_t(step - 1)];
        if (columns)
            BitBlt(dest, k * strip, 0, strip, H, newPicture, k * strip, 0);
        else
            BitBlt(dest, 0, k * strip, W, strip, newPicture, 0, k * strip);
        if (step % d == 0) writeFrame(ctx, dest);
    }
    // Strips cover Nearest(W / step) widths; an odd remainder at the far edge
    // would keep a sliver of the old picture.
    BitBlt(dest, 0, 0, W, H, newPicture, 0, 0);
}

} // namespace pvsm
