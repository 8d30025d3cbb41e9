#include "Transition.h"

#include "Numbers.h"

namespace pvsm {

// Concentric one-pixel outlines of NEW: v2 = 0 from the border inward, v2 = 1
// from the centre outward.
void RectangleTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int v2)
{
    const int W = dest.Width(), H = dest.Height();
    const int last = Nearest(W / 2.0);
    const int d = frameDivisor(W / 2.0, ctx.TransitionFrames);
    // The frame windows are fixed fractions of the width, made for 4:3: on
    // wider pictures the outlines cover everything by inset H / 2, so some
    // frames at the far end of each window show no change.
    const int lastOutsideIn = Nearest(0.375 * W) - 6;
    const int firstCentreOut = Nearest(W / 8.0) + 5;
    for (int i = 0; i <= last; ++i) {
        const int x = v2 == 1 ? last - i : i;
        if (H - 2 * x >= 0) {
            const int w = W - 2 * x, h = H - 2 * x;
            BitBlt(dest, x, x, w, 1, newPicture, x, x);                 // top
            BitBlt(dest, x, H - 1 - x, w, 1, newPicture, x, H - 1 - x); // bottom
            BitBlt(dest, x, x, 1, h, newPicture, x, x);                 // left
            BitBlt(dest, W - 1 - x, x, 1, h, newPicture, W - 1 - x, x); // right
        }
        const bool due = v2 == 1 ? i >= firstCentreOut : i <= lastOutsideIn;
        if (due && i % d == 0) writeFrame(ctx, dest);
    }
    // Every pixel lies on the outline of its inset min(x, y, W-1-x, H-1-y),
    // which is at most Nearest(W / 2) and at most H / 2: DEST is NEW now.
}

} // namespace pvsm
