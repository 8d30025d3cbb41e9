#include "Transition.h"

#include "Numbers.h"

namespace pvsm {

// NEW slides in from a corner along the diagonal, its block keeping the
// picture's aspect ratio: v4 = 0 into the top-left corner (NEW's bottom-right
// part first), 1 top-right, 2 bottom-right, 3 bottom-left.
void DiagonalSlideTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int v4)
{
    const int W = dest.Width(), H = dest.Height();
    const double k = double(H) / W;
    const int d = frameDivisor(W, ctx.TransitionFrames);
    for (int i = 0; i <= W; i += 2) {
        // The block only grows, so a step that is not written needs no
        // drawing: the written frames are the same.
        if (i % d > 1) continue;
        const int h = Nearest(k * i);
        switch (v4) {
        case 1:
            BitBlt(dest, W - i, 0, i, h, newPicture, 0, H - h);
            break;
        case 2:
            BitBlt(dest, W - i, H - h, i, h, newPicture, 0, 0);
            break;
        case 3:
            BitBlt(dest, 0, H - h, i, h, newPicture, W - i, 0);
            break;
        default:
            BitBlt(dest, 0, 0, i, h, newPicture, W - i, H - h);
            break;
        }
        writeFrame(ctx, dest);
    }
    // An odd width stops one pixel short; unwritten last steps are not drawn.
    BitBlt(dest, 0, 0, W, H, newPicture, 0, 0);
}

} // namespace pvsm
