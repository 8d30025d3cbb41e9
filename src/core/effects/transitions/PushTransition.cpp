#include "Transition.h"

namespace pvsm {

// NEW pushes OLD out, 2 pixels a step: v4 = 0 both move right (NEW enters at
// the left), 1 down, 2 left, 3 up.
void PushTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int v4)
{
    const int W = dest.Width(), H = dest.Height();
    const bool rows = v4 == 1 || v4 == 3;
    const int L = rows ? H : W;
    // The divisor comes from the width for the vertical forms too, so those
    // write fewer frames on a landscape picture.
    const int d = frameDivisor(W, ctx.TransitionFrames);
    // At step s OLD has moved by exactly s, joined to the s pixels of NEW that
    // came in: the old picture is moved on DEST itself by the distance since
    // the last written step, and the steps that are not written are not drawn.
    int moved = 0;
    for (int s = 0; s <= L; s += 2) {
        if (s % d > 1) continue;
        const int by = s - moved;
        switch (v4) {
        case 1:
            BitBlt(dest, 0, s, W, H - s, dest, 0, moved);
            BitBlt(dest, 0, 0, W, s, newPicture, 0, H - s);
            break;
        case 2:
            BitBlt(dest, 0, 0, W - s, H, dest, by, 0);
            BitBlt(dest, W - s, 0, s, H, newPicture, 0, 0);
            break;
        case 3:
            BitBlt(dest, 0, 0, W, H - s, dest, 0, by);
            BitBlt(dest, 0, H - s, W, s, newPicture, 0, 0);
            break;
        default:
            BitBlt(dest, s, 0, W - s, H, dest, moved, 0);
            BitBlt(dest, 0, 0, s, H, newPicture, W - s, 0);
            break;
        }
        moved = s;
        writeFrame(ctx, dest);
    }
    // An odd size stops one pixel short; unwritten last steps are not drawn.
    BitBlt(dest, 0, 0, W, H, newPicture, 0, 0);
}

} // namespace pvsm
