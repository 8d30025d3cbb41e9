#include "SoftEdge.h"

#include "Numbers.h"

namespace pvsm {

// Two soft wipes leave the centre line outward: v2 = 1 up and down over rows,
// v2 = 0 left and right over columns. Each front moves two strips a step; the
// strip it skips is the fully new first strip of its soft edge.
void CentreSoftWipeTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int v2)
{
    TransitionSurfaces s = BeginSoftWipe(dest, newPicture);
    const int W = s.W(), H = s.H();
    const bool rows = v2 == 1;
    const StripAxis axis = rows ? StripAxis::Rows : StripAxis::Columns;
    const int strip = rows ? ctx.TransitionStepY : ctx.TransitionStepX;
    const double n = double(rows ? H : W) / strip;
    const int start = Nearest(n / 2 + 1);
    const int d = frameDivisor(n / 2, ctx.TransitionFrames);
    // After a step the strips between the fronts are NEW and each front leads
    // its soft edge over OLD, whatever came before: only the written steps are
    // drawn, after bringing in the strips the skipped steps passed over.
    // Front 1 runs towards strip 0, front 2 away from it; the wipe ends when
    // front 1 has passed strip 0.
    int passed1 = start, passed2 = start;
    for (int front1 = start, front2 = start; front1 >= 0; front1 -= 2, front2 += 2) {
        if (front1 % d > 1) continue;
        CopyStripsFromNew(s, axis, strip, front1, passed1);
        CopyStripsFromNew(s, axis, strip, passed2, front2);
        SoftEdgeStep(s, axis, strip, front1, -1);
        SoftEdgeStep(s, axis, strip, front2, +1);
        passed1 = front1, passed2 = front2;
        writeFrame(ctx, s.DEST);
    }
    // The steps after the last written one are not drawn, and front 2 runs
    // only as far as front 1 and may stop short of the far edge: all outside
    // the last fronts drawn becomes NEW.
    CopyStripsFromNew(s, axis, strip, -1, passed1);
    CopyStripsFromNew(s, axis, strip, passed2, (rows ? H : W) / strip + 1);
    EndTransition(s);
}

} // namespace pvsm
