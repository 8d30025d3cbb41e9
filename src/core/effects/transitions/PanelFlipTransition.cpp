#include "Transition.h"

#include "Numbers.h"

#include <algorithm>
#include <array>
#include <utility>

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
    // A turning panel is drawn straight into its strip of DEST, black around
    // it; both pictures are narrowed at every step, so their halved columns
    // are made once.
    const PicturePyramid oldColumns(s.A.image(), false), newColumns(s.NEW.image(), false);
    const bool everyStep = ctx.TransitionFrames > 45;

    std::array<int, 9> x{}, shrink{};
    // The columns of each strip the panel covered when last drawn; the rest
    // of the strip is black already. Before its first step a panel covers
    // its whole strip (OLD).
    std::array<std::pair<int, int>, 9> covered{};
    for (int p = 1; p <= 8; ++p) {
        x[size_t(p)] = v2 == 1 ? Nearest(W - p * W / 8.0) : Nearest((p - 1) * W / 8.0);
        covered[size_t(p)] = {x[size_t(p)], x[size_t(p)] + stripW};
    }

    for (int u = 1; u <= 81; ++u) {
        const bool write = u >= 8 && u <= 72 && (everyStep || u % 2 == 0);
        for (int p = 1; p <= 8; ++p) {
            const int phase = u - 6 * p;
            int &sp = shrink[size_t(p)];
            const PicturePyramid *source = nullptr;
            if (phase >= 0 && phase <= 15) {
                sp = Nearest(sp + shrinkStep);
                source = &oldColumns;
            } else if (phase >= 17 && phase <= 32) {
                sp = Nearest(sp - shrinkStep);
                source = &newColumns;
            } else if (phase == 33) {
                BitBlt(s.DEST, x[size_t(p)], 0, panelW, H, s.NEW, x[size_t(p)], 0);
                // A finished panel may reach a column into a neighbour's strip.
                for (int q = 1; q <= 8; ++q) {
                    const int from = std::max(x[size_t(p)], x[size_t(q)]);
                    const int to = std::min(x[size_t(p)] + panelW, x[size_t(q)] + stripW);
                    if (from >= to) continue;
                    auto &[c0, c1] = covered[size_t(q)];
                    if (c0 >= c1) c0 = from, c1 = to;
                    else c0 = std::min(c0, from), c1 = std::max(c1, to);
                }
            }
            // The next step redraws a turning panel, so only a written step
            // needs it drawn, and the narrowest OLD, which stays up for one
            // step more.
            if (!source || !(write || phase == 15) || stripW <= 0) continue;
            const int left = x[size_t(p)], from = left + Nearest(sp / 2.0), width = Nearest(W / 8.0 - sp);
            // A negative width mirrors the panel to the left of its edge.
            const int c0 = std::clamp(std::min(from, from + width), left, left + stripW);
            const int c1 = std::clamp(std::max(from, from + width), left, left + stripW);
            auto &[was0, was1] = covered[size_t(p)];
            if (left + stripW > W) {
                FillRect(s.DEST, left, 0, stripW, H, 0x000000); // a source strip cut short leaves black
                was0 = was1 = left;
            } else {
                // Blacken what the panel covered before and covers no more.
                FillRect(s.DEST, was0, 0, std::min(was1, c0) - was0, H, 0x000000);
                FillRect(s.DEST, std::max(was0, c1), 0, was1 - std::max(was0, c1), H, 0x000000);
                was0 = c0;
                was1 = c1;
            }
            StretchBlt(s.DEST, from, 0, width, H, *source, left, 0, stripW, H, QRect(left, 0, stripW, H));
        }
        if (write) writeFrame(ctx, s.DEST);
    }
    // Panels at widths that are not a multiple of 8 leave columns between them.
    BitBlt(s.DEST, 0, 0, W, H, s.NEW, 0, 0);
    EndTransition(s);
}

} // namespace pvsm
