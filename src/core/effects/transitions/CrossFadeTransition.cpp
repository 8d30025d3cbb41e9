#include "Transition.h"

#include "Numbers.h"

namespace pvsm {

// Blends NEW over OLD in about 26/30 of the nominal frames.
void CrossFadeTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int)
{
    TransitionSurfaces s = BeginTransition(dest, newPicture);
    const int W = s.W(), H = s.H();
    const int n = Nearest(ctx.TransitionFrames * 26.0 / 30.0);
    // B = A with NEW blended over it, made in one pass per frame instead of a
    // blend followed by restoring B from A.
    for (int i = 1; i <= n; ++i) {
        BlendPictures(s.B.image(), s.A.image(), s.NEW.image(), Nearest(double(i) / n * 255.0));
        writeFrame(ctx, s.B);
    }
    BitBlt(s.DEST, 0, 0, W, H, s.NEW, 0, 0);
    EndTransition(s);
}

} // namespace pvsm
