#include "Transition.h"

namespace pvsm {

// OLD turns into its grey negative, which fades to white, and NEW comes up
// out of the white.
void NegativeFlashTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int)
{
    TransitionSurfaces s = BeginTransition(dest, newPicture);
    const int W = s.W(), H = s.H();
    const int step = ctx.TransitionFrames < 46 ? 20 : 13;
    constexpr uint32_t kWhite = 0xFFFFFF;

    // R: the grey negative of OLD, in a canvas of its own. B is drawn over
    // entirely at every step, so it needs no copy of OLD.
    clsMemDC R;
    R.PrepareToOverwrite(W, H);
    BitBlt(R, 0, 0, W, H, s.A, 0, 0, RasterOp::NotSrcCopy);
    DrawBitmapGrey(R, R, W, H);
    s.B.PrepareToOverwrite(W, H);

    // OLD fades into the negative.
    for (int alpha = 247; alpha >= 0; alpha -= step) {
        BlendPictures(s.B.image(), R.image(), s.A.image(), alpha);
        writeFrame(ctx, s.B);
    }
    // B shows nothing until the next blend draws all of it.
    writeFrame(ctx, R, ctx.TransitionFrames > 45 ? 6 : 3);

    // The negative fades into white, then NEW out of white.
    // Blended over white in one pass instead of refilling B every frame.
    for (int alpha = 247; alpha >= 0; alpha -= step) {
        BlendOverColour(s.B.image(), R.image(), kWhite, alpha);
        writeFrame(ctx, s.B);
    }
    for (int alpha = 0; alpha <= 247; alpha += step) {
        BlendOverColour(s.B.image(), s.NEW.image(), kWhite, alpha);
        writeFrame(ctx, s.B);
    }
    BitBlt(s.DEST, 0, 0, W, H, s.NEW, 0, 0);
    EndTransition(s);
}

} // namespace pvsm
