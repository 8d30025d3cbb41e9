#include "Transition.h"

#include "Numbers.h"

#include <algorithm>

namespace pvsm {

// OLD is peeled off like a page: v2 = 1 from the top down, v2 = 0 from the
// left. The part already peeled lies folded over the rest, mirrored and paled
// by white, and NEW shows where the page has left.
void FoldTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int v2)
{
    TransitionSurfaces s = BeginTransition(dest, newPicture);
    const int W = s.W(), H = s.H();
    const bool rows = v2 == 1;

    // B: the back of the page, OLD mirrored across the fold with white over it.
    FillRect(s.A, 0, 0, W, H, 0xFFFFFF);
    if (rows)
        StretchBlt(s.B, 0, H, W, -H, s.DEST, 0, 0, W, H);
    else
        StretchBlt(s.B, W, 0, -W, H, s.DEST, 0, 0, W, H);
    AlphaBlend(s.B, 0, 0, W, H, s.A, 0, 0, 100);

    const int step = std::max(1, rows ? ctx.TransitionStepY : ctx.TransitionStepX);
    const int length = rows ? H : W;
    const int d = frameDivisor(double(length) / step, ctx.TransitionFrames);
    for (int k = 0, p = 0; p <= length; ++k, p += step) {
        // The fold only needs drawing for a written step: the next fold
        // covers this one, and the rows above it are filled from NEW strip by
        // strip.
        const bool write = k % d == 0;
        if (rows) {
            if (write) BitBlt(s.DEST, 0, p, W, p, s.B, 0, H - p);
            BitBlt(s.DEST, 0, p, W, step, s.NEW, 0, p);
        } else {
            if (write) BitBlt(s.DEST, p, 0, p, H, s.B, W - p, 0);
            BitBlt(s.DEST, p, 0, step, H, s.NEW, p, 0);
        }
        if (write) writeFrame(ctx, s.DEST);
    }
    // A length that is not a multiple of the step leaves a last sliver.
    BitBlt(s.DEST, 0, 0, W, H, s.NEW, 0, 0);
    EndTransition(s);
}

} // namespace pvsm
