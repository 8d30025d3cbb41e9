#include "Transition.h"

#include "Numbers.h"

#include <algorithm>

namespace pvsm {

// The camera flies into the middle of OLD until it fills the screen, holds,
// then backs out of the middle of NEW. Each step moves the cropped edges by
// W / divisor and H / divisor, so a divisor of 100 takes 49 steps each way.
void ZoomThroughTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int divisor)
{
    const int W = dest.Width(), H = dest.Height();
    const int a = std::max(1, divisor);
    const int p = ctx.TransitionFrames > 0 ? std::max(1, Nearest(a / (ctx.TransitionFrames / 2.0))) : 1;
    // Offsets are s × W / a rather than a running sum, so the last step stops
    // exactly at the centre instead of one step early or late by drift.
    const auto offX = [&](int s) { return double(s) * W / a; };
    const auto offY = [&](int s) { return double(s) * H / a; };
    const auto inside = [&](int s) { return offX(s) < W / 2.0 && offY(s) < H / 2.0; };

    // Each step redraws all of DEST, so a step that is not written is not
    // drawn either.
    const auto drawCrop = [&](const clsMemDC &source, int s) {
        const double ox = offX(s), oy = offY(s);
        const int sw = Nearest(W - 2 * ox), sh = Nearest(H - 2 * oy);
        if (sw < 1 || sh < 1) return; // too thin to crop at tiny sizes: keep the last picture
        StretchBlt(dest, 0, 0, W, H, source, Nearest(ox), Nearest(oy), sw, sh);
    };

    // OLD is read from a copy: DEST is drawn over from the first step.
    clsMemDC old;
    old.CopyOf(dest);

    int last = 0;
    for (int s = 1; inside(s); ++s) {
        last = s;
        if (s % p != 0) continue;
        drawCrop(old, s);
        writeFrame(ctx, dest);
    }
    if (last % p != 0) drawCrop(old, last);
    writeFrame(ctx, dest, 4);
    for (int s = last; s >= 0; --s) {
        if (s % p != 0) continue;
        drawCrop(newPicture, s);
        writeFrame(ctx, dest);
    }
    // The last step, 0, drew NEW uncropped: DEST already shows it.
}

} // namespace pvsm
