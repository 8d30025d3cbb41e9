#include "Transition.h"

#include "Numbers.h"
#include "Random.h"

#include <QRect>
#include <QRegion>

#include <algorithm>
#include <array>

namespace pvsm {

// 8 × 8 tiles: v2 = 0 tiles of NEW fly in from the four sides onto OLD and
// gather at home; v2 = 1 tiles of OLD fly from home out of the picture over NEW.
void GatherScatterTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int v2)
{
    TransitionSurfaces s = BeginTransition(dest, newPicture);
    const int W = s.W(), H = s.H();
    const int tw = Nearest(W / 8.0), th = Nearest(H / 8.0);

    struct Tile
    {
        int homeX, homeY, startX, startY;
    };
    std::array<Tile, 64> tiles{};
    RandomSource::global().reseedFromClock();
    for (int i = 0; i < 64; ++i) {
        Tile &t = tiles[size_t(i)];
        t.homeX = (i % 8) * tw;
        t.homeY = (i / 8) * th;
        switch (IntPart(Rnd() * 4)) {
        case 0:
            t.startX = -tw, t.startY = IntPart(Rnd() * H);
            break;
        case 1:
            t.startX = W + tw, t.startY = IntPart(Rnd() * H);
            break;
        case 2:
            t.startX = IntPart(Rnd() * W), t.startY = -th;
            break;
        default:
            t.startX = IntPart(Rnd() * W), t.startY = H + th;
            break;
        }
    }

    const bool scatter = v2 == 1;
    // The tiles come from A's copy of OLD when scattering, so that NEW is
    // never drawn on.
    const clsMemDC &background = scatter ? s.NEW : s.A;
    const clsMemDC &tileSource = scatter ? s.A : s.NEW;
    const int p = ctx.TransitionFrames <= 45 ? 3 : 2;
    // B is the background with the tiles of the step on it, so the steps that
    // are not written need not be drawn at all. Between written steps the
    // tiles move a few pixels: only what they covered before and do not cover
    // now goes back to the background.
    BitBlt(s.B, 0, 0, W, H, background, 0, 0);
    QRegion covered;
    std::array<QRect, 64> at{};
    for (int step = 0; step <= 100; step += p) {
        for (size_t i = 0; i < tiles.size(); ++i) {
            const Tile &t = tiles[i];
            const int fromX = scatter ? t.homeX : t.startX, fromY = scatter ? t.homeY : t.startY;
            const int toX = scatter ? t.startX : t.homeX, toY = scatter ? t.startY : t.homeY;
            // A tile of the last column or row may reach past the picture
            // (Nearest(H / 8) rounds 540 / 8 up): only what it shows counts
            // as covered, or the rest would keep the last frame's pixels.
            at[i] = QRect(Nearest((toX - fromX) * step / 100.0 + fromX), Nearest((toY - fromY) * step / 100.0 + fromY),
                          std::clamp(W - t.homeX, 0, tw), std::clamp(H - t.homeY, 0, th));
        }
        uncoverBackground(s.B, background, covered, at);
        for (size_t i = 0; i < tiles.size(); ++i)
            BitBlt(s.B, at[i].x(), at[i].y(), at[i].width(), at[i].height(), tileSource, tiles[i].homeX, tiles[i].homeY);
        writeFrame(ctx, s.B);
    }
    // 8 tiles of Nearest(W / 8) may fall short of the right or bottom edge.
    BitBlt(s.DEST, 0, 0, W, H, s.NEW, 0, 0);
    EndTransition(s);
}

} // namespace pvsm
