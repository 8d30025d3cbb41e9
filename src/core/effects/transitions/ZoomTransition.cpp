#include "Transition.h"

namespace pvsm {

// v2 = 1: NEW grows from the centre over OLD; v2 = 0: OLD shrinks into the
// centre and uncovers NEW. Widths move by 8 pixels a step.
void ZoomTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int v2)
{
    const int W = dest.Width(), H = dest.Height();
    const int d = frameDivisor(W, ctx.TransitionFrames);
    const auto due = [d](int position) { return position % d <= 7; };

    // Every step shrinks the whole picture: its halves are made once.
    if (v2 == 1) {
        const PicturePyramid grown(newPicture.image());
        // Every step covers the one before it (the picture only grows), so a
        // step that is not written needs no drawing: the written frames are
        // the same.
        for (int off = 0; off <= W; off += 8) {
            if (!due(off)) continue;
            const QRect r = centredRect(W, H, off);
            StretchBlt(dest, r.x(), r.y(), r.width(), r.height(), grown, 0, 0, W, H);
            writeFrame(ctx, dest);
        }
    } else {
        // DEST keeps OLD as the source until the end; the frames are built on
        // a canvas holding NEW, where only the ring the shrinking picture
        // uncovered since the last drawn step needs restoring.
        const PicturePyramid shrunk(dest.image());
        clsMemDC canvas;
        canvas.CopyOf(newPicture);
        QRect drawn;
        for (int n = W; n >= 0; n -= 8) {
            if (!due(n)) continue;
            const QRect next = centredRect(W, H, n);
            for (const QRect &band : ringOutside(drawn, next))
                if (!band.isEmpty())
                    BitBlt(canvas, band.x(), band.y(), band.width(), band.height(), newPicture, band.x(), band.y());
            drawn = next;
            StretchBlt(canvas, drawn.x(), drawn.y(), drawn.width(), drawn.height(), shrunk, 0, 0, W, H);
            writeFrame(ctx, canvas);
        }
    }
    // The widths stop short of W (v2 = 1) or of 0 (v2 = 0) unless W is a
    // multiple of 8.
    BitBlt(dest, 0, 0, W, H, newPicture, 0, 0);
}

} // namespace pvsm
