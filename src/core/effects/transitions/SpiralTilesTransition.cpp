#include "Transition.h"

#include "Numbers.h"

#include <QRect>

#include <algorithm>
#include <array>
#include <vector>

namespace pvsm {

namespace {

struct SpiralTile
{
    int column, row; // cell in the 4 × 4 grid
    int dx, dy;      // start point around the centre, in tenths of a tile
};

// Clockwise from the top-left corner inwards.
constexpr std::array<SpiralTile, 16> kSpiral = {{
    {0, 0, -3, -3}, {1, 0, -1, -3}, {2, 0, 1, -3}, {3, 0, 3, -3},
    {3, 1, 3, -1},  {3, 2, 3, 1},   {3, 3, 3, 3},  {2, 3, 1, 3},
    {1, 3, -1, 3},  {0, 3, -3, 3},  {0, 2, -3, 1}, {0, 1, -2, 0},
    {1, 1, -1, -1}, {2, 1, 0, -1},  {2, 2, 1, 0},  {1, 2, -1, 0},
}};

} // namespace

// v2 = 0: tiles of NEW fly out of the middle to their cells one after the
// other along a spiral from the top-left corner, growing as they go. v2 = 1:
// the film backwards with OLD: from the middle of the spiral outwards, tiles of
// OLD shrink away towards the centre and leave NEW behind.
void SpiralTilesTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int v2)
{
    TransitionSurfaces s = BeginTransition(dest, newPicture);
    const int W = s.W(), H = s.H();
    const int tw = Nearest(W / 4.0), th = Nearest(H / 4.0);
    const bool reverse = v2 == 1;
    const int repeat = ctx.TransitionFrames > 66 ? 4 : ctx.TransitionFrames > 45 ? 3 : 2;

    std::array<SpiralTile, 16> tiles = kSpiral;
    if (reverse) std::reverse(tiles.begin(), tiles.end());
    // A tile's cell reaches the canvas edge in the last column and row: with
    // Nearest(W / 4) four tiles can fall short of W, and that sliver would
    // otherwise keep OLD until the very end.
    const auto cellOf = [&](const SpiralTile &tile) {
        const int x = tile.column * tw, y = tile.row * th;
        const int w = tile.column == 3 ? W - x : tw, h = tile.row == 3 ? H - y : th;
        return QRect(x, y, std::max(0, w), std::max(0, h));
    };
    const auto copyFromNew = [&](const QRect &r) { BitBlt(s.B, r.x(), r.y(), r.width(), r.height(), s.NEW, r.x(), r.y()); };

    std::vector<QRect> drawn;
    for (int t = 1; t <= 19; ++t) {
        drawn.clear();
        for (int k = 1; k <= 16; ++k) {
            const SpiralTile &tile = tiles[size_t(k - 1)];
            const int e = t - k;
            const QRect cell = cellOf(tile);
            if (e >= 0 && e <= 2) {
                const int p = reverse ? 3 - e : e + 1;
                const double scale = p * 0.15;
                const int homeX = tile.column * tw, homeY = tile.row * th;
                const int startX = Nearest(W / 2.0 + tile.dx * tw / 10.0);
                const int startY = Nearest(H / 2.0 + tile.dy * th / 10.0);
                const QRect sprite(Nearest((homeX - startX) * scale + startX), Nearest((homeY - startY) * scale + startY),
                                   Nearest(tw * scale), Nearest(th * scale));
                if (reverse) {
                    copyFromNew(cell);
                    drawn.push_back(cell);
                }
                StretchBlt(s.B, sprite.x(), sprite.y(), sprite.width(), sprite.height(), reverse ? s.A : s.NEW, homeX,
                           homeY, tw, th);
                drawn.push_back(sprite);
            } else if (e == 3) {
                copyFromNew(cell);
            }
        }
        writeFrame(ctx, s.B, repeat);
        // B goes back to OLD with the landed tiles 1 … t − 3 from NEW; only
        // the rectangles drawn in this step differ from that.
        for (const QRect &r : drawn) {
            BitBlt(s.B, r.x(), r.y(), r.width(), r.height(), s.A, r.x(), r.y());
            for (int j = 1; j <= t - 3; ++j) copyFromNew(r & cellOf(tiles[size_t(j - 1)]));
        }
    }
    BitBlt(s.DEST, 0, 0, W, H, s.NEW, 0, 0);
    EndTransition(s);
}

} // namespace pvsm
