#include "Transition.h"

#include "Numbers.h"

#include <algorithm>

namespace pvsm {

namespace {

// Copies of NEW along one axis: ranges are columns (x) or rows (y).
struct Axis
{
    clsMemDC &dest;
    const clsMemDC &NEW;
    bool rows;

    void copy(int lo, int hi) const
    {
        if (hi <= lo) return;
        if (rows)
            BitBlt(dest, 0, lo, dest.Width(), hi - lo, NEW, 0, lo);
        else
            BitBlt(dest, lo, 0, hi - lo, dest.Height(), NEW, lo, 0);
    }

    // [lo, hi) gets NEW mirrored about the line between x − 1 and x: pixel p
    // shows NEW's 2x − 1 − p.
    void mirror(int lo, int hi, int x) const
    {
        if (hi <= lo) return;
        const int n = hi - lo;
        if (rows)
            StretchBlt(dest, 0, lo, dest.Width(), n, NEW, 0, 2 * x - lo, dest.Width(), -n);
        else
            StretchBlt(dest, lo, 0, n, dest.Height(), NEW, 2 * x - lo, 0, -n, dest.Height());
    }
};

} // namespace

// A roll unrolls NEW over OLD: behind the roll's edge at x a band of 40c shows
// NEW's next band mirrored (the back of the sheet), behind it NEW lies flat.
// v4 = 0 left to right, 1 top to bottom, 2 right to left, 3 bottom to top.
void RollTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int v4)
{
    const int W = dest.Width(), H = dest.Height();
    const bool rows = v4 == 1 || v4 == 3;
    const bool backwards = v4 == 2 || v4 == 3;
    const int L = rows ? H : W;
    const int c = std::max(1, Nearest(ctx.TransitionStepX / 2.0));
    const int band = 40 * c;
    const Axis axis{dest, newPicture, rows};
    // Rows count against H / c as columns against W / c, so that both write
    // about TF frames.
    const int d = frameDivisor(double(L) / c, ctx.TransitionFrames);

    // After step k the picture depends on k alone (flat NEW behind the band,
    // the mirrored band, OLD ahead), so only the steps that are written are
    // drawn; `flat` is how far the flat part has been copied.
    // Near the far edge the sheet has less than a band left: the mirrored part
    // narrows to what remains and the sheet lies flat behind it, rather than
    // leaving the previous steps' mirror image standing there.
    if (!backwards) {
        const int lastK = Nearest(double(L) / c + 40);
        int flat = 0;
        for (int k = 0; k <= lastK; ++k) {
            if (k % d != 0) continue;
            const int x = k * c;
            // The c-wide strip at x − 40c covers the band's first strip.
            const int flatEnd = std::min(x, std::max(x - band + c, 2 * x - L));
            axis.copy(flat, flatEnd);
            flat = std::max(flat, flatEnd);
            axis.mirror(flatEnd, x, x);
            writeFrame(ctx, dest);
        }
        axis.copy(flat, L);
    } else {
        const int firstK = Nearest(double(L) / c);
        int flat = L;
        for (int k = firstK; k >= -40; --k) {
            if (k % d != 0) continue;
            const int x = k * c;
            // The c-wide strips at x + 40c lie just past the band.
            const int flatStart = std::max(x, std::min(x + band, 2 * x));
            axis.copy(flatStart, flat);
            flat = std::min(flat, flatStart);
            axis.mirror(x, flatStart, x);
            writeFrame(ctx, dest);
        }
        axis.copy(0, flat);
    }
}

} // namespace pvsm
