#include "SoftEdge.h"

#include "Numbers.h"

namespace pvsm {

// A wipe whose front is led by a 13-strip soft edge: v4 = 0 left to right,
// 1 top to bottom, 2 right to left, 3 bottom to top.
void SoftWipeTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int v4)
{
    TransitionSurfaces s = BeginSoftWipe(dest, newPicture);
    const int W = s.W(), H = s.H();
    const bool rows = v4 == 1 || v4 == 3;
    const bool backwards = v4 == 2 || v4 == 3;
    const StripAxis axis = rows ? StripAxis::Rows : StripAxis::Columns;
    const int strip = rows ? ctx.TransitionStepY : ctx.TransitionStepX;
    const double strips = double(rows ? H : W) / strip; // W / SX or H / SY
    const int last = Nearest(strips);
    // Rows count against H / SY like columns against W / SX, so that either
    // direction writes about TF frames.
    const int d = frameDivisor(strips, ctx.TransitionFrames);
    // Each step leaves NEW behind the front, the soft edge ahead of it and OLD
    // beyond, whatever came before; so only the written steps are drawn, after
    // bringing in the strips the fronts of the skipped steps passed over.
    int passed = backwards ? last + 1 : -1; // last strip already NEW
    for (int step = 0; step <= last; ++step) {
        if (step % d != 0 || step > strips) continue;
        const int front = backwards ? last - step : step;
        if (front != passed) CopyStripsFromNew(s, axis, strip, backwards ? passed - 1 : passed + 1, front);
        SoftEdgeStep(s, axis, strip, front, backwards ? -1 : 1);
        passed = front;
        writeFrame(ctx, s.DEST);
    }
    // The steps after the last written one are not drawn, and Nearest(W / SX)
    // strips may stop a sliver short of the far edge: all beyond the last
    // front drawn becomes NEW.
    const int far = backwards ? -1 : (rows ? H : W) / strip + 1;
    CopyStripsFromNew(s, axis, strip, passed, far);
    EndTransition(s);
}

} // namespace pvsm
