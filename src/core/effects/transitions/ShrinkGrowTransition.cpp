#include "Transition.h"

#include "Numbers.h"

#include <algorithm>

namespace pvsm {

// OLD shrinks into the centre of a black screen, then NEW grows out of it;
// each half takes about TF / 2 frames.
void ShrinkGrowTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int)
{
    const int W = dest.Width(), H = dest.Height();
    const int d = ctx.TransitionFrames > 0 ? std::max(1, Nearest(W / (ctx.TransitionFrames / 2.0))) : 1;
    const auto due = [d](int position) { return position % d <= 7; };

    // Both pictures are drawn shrunk at every step: their halves are made once.
    const PicturePyramid old(dest.image());
    const PicturePyramid grown(newPicture.image());
    FillRect(dest, 0, 0, W, H, 0x000000);

    // Shrinking: blacking out what the next rectangle leaves of the one drawn
    // last is enough, the next lies inside it. Steps that are not written are
    // not drawn, except the last one, which the growing half starts from.
    QRect drawn;
    const int lastN = W % 8;
    for (int n = W; n >= 0; n -= 8) {
        const bool write = due(n);
        if (!write && n != lastN) continue;
        const QRect next = centredRect(W, H, n);
        for (const QRect &band : ringOutside(drawn, next))
            if (!band.isEmpty()) FillRect(dest, band.x(), band.y(), band.width(), band.height(), 0x000000);
        drawn = next;
        StretchBlt(dest, drawn.x(), drawn.y(), drawn.width(), drawn.height(), old, 0, 0, W, H);
        if (write) writeFrame(ctx, dest);
    }
    // Growing: each rectangle covers the one before it.
    for (int off = 0; off <= W; off += 8) {
        if (!due(off)) continue;
        const QRect r = centredRect(W, H, off);
        StretchBlt(dest, r.x(), r.y(), r.width(), r.height(), grown, 0, 0, W, H);
        writeFrame(ctx, dest);
    }
    BitBlt(dest, 0, 0, W, H, newPicture, 0, 0);
}

} // namespace pvsm
