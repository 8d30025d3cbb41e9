#include "Transition.h"

#include "Numbers.h"

#include <array>

namespace pvsm {

// Eight vertical panels turn over like cards, one after the other (v2 = 0
// from the left, v2 = 1 from the right): OLD narrows to nothing about the
// panel's centre line over black, then NEW widens back to full width.
void PanelFlipTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int v2)
{
    TransitionSurfaces s = BeginTransition(dest, newPicture);
    const int W = s.W(), H = s.H();
    const int stripW = W / 8;             // Int(W / 8): the strip a panel turns
    const int panelW = Nearest(W / 8.0);  // what a finished panel uncovers
    const double shrinkStep = W / 128.0;  // 16 steps from full width to none
    // Fewer than 8 columns leave no strip to turn: the panels then show
    // nothing until the end, and the frames are written all the same.
    clsMemDC panel;
    if (stripW > 0) panel.CreateMemDC(stripW, H, 0);
    const bool everyStep = ctx.TransitionFrames > 45;

    std::array<int, 9> x{}, shrink{};
    for (int p = 1; p <= 8; ++p) x[size_t(p)] = v2 == 1 ? Nearest(W - p * W / 8.0) : Nearest((p - 1) * W / 8.0);

    for (int u = 1; u <= 81; ++u) {
        const bool write = u >= 8 && u <= 72 && (everyStep || u % 2 == 0);
        for (int p = 1; p <= 8; ++p) {
            const int phase = u - 6 * p;
            int &sp = shrink[size_t(p)];
            const clsMemDC *source = nullptr;
            if (phase >= 0 && phase <= 15) {
                sp = Nearest(sp + shrinkStep);
                source = &s.A; // OLD
            } else if (phase >= 17 && phase <= 32) {
                sp = Nearest(sp - shrinkStep);
                source = &s.NEW;
            } else if (phase == 33) {
                BitBlt(s.DEST, x[size_t(p)], 0, panelW, H, s.NEW, x[size_t(p)], 0);
            }
            // The next step redraws a turning panel, so only a written step
            // needs it drawn, and the narrowest OLD, which stays up for one
            // step more.
            if (!source || !(write || phase == 15)) continue;
            panel.Clear();
            StretchBlt(panel, Nearest(sp / 2.0), 0, Nearest(W / 8.0 - sp), H, *source, x[size_t(p)], 0, stripW, H);
            BitBlt(s.DEST, x[size_t(p)], 0, stripW, H, panel, 0, 0);
        }
        if (write) writeFrame(ctx, s.DEST);
    }
    // Panels at widths that are not a multiple of 8 leave columns between them.
    BitBlt(s.DEST, 0, 0, W, H, s.NEW, 0, 0);
    EndTransition(s);
}

} // namespace pvsm
