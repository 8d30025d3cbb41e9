#include "Transition.h"

namespace pvsm {

// NEW slides in over OLD, 2 pixels a step: v4 = 0 from the left edge (its
// right part first), 1 from the top, 2 from the right, 3 from the bottom.
void SlideInTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int v4)
{
    const int W = dest.Width(), H = dest.Height();
    const bool rows = v4 == 1 || v4 == 3;
    const int L = rows ? H : W;
    // The divisor comes from the width for the vertical forms too, so those
    // write fewer frames on a landscape picture.
    const int d = frameDivisor(W, ctx.TransitionFrames);
    for (int s = 0; s <= L; s += 2) {
        // Each step covers the one before it, so a step that is not written
        // needs no drawing: the written frames are the same.
        if (s % d > 1) continue;
        switch (v4) {
        case 1:
            BitBlt(dest, 0, 0, W, s, newPicture, 0, H - s);
            break;
        case 2:
            BitBlt(dest, W - s, 0, s, H, newPicture, 0, 0);
            break;
        case 3:
            BitBlt(dest, 0, H - s, W, s, newPicture, 0, 0);
            break;
        default:
            BitBlt(dest, 0, 0, s, H, newPicture, W - s, 0);
            break;
        }
        writeFrame(ctx, dest);
    }
    // An odd size stops one pixel short; unwritten last steps are not drawn.
    BitBlt(dest, 0, 0, W, H, newPicture, 0, 0);
}

} // namespace pvsm
