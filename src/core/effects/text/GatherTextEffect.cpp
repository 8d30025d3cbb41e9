#include "TextEffect.h"

#include "Numbers.h"
#include "Transition.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace pvsm {

int gatherCellSize(int textWidthPx)
{
    for (int c = 2; c < 16; c += 2)
        if (textWidthPx <= c * 100) return c;
    return 16;
}

std::vector<GatherCell> planGatherCells(const QRect &rect)
{
    const int w = rect.width(), h = rect.height();
    if (w < 1 || h < 1 || w > kMaxCanvasSide || h > kMaxCanvasSide) return {};
    // A text this far out can never fly into a canvas, and its grid would
    // overflow the pixel coordinates.
    constexpr int kFarOut = 64 * kMaxCanvasSide;
    if (std::abs(rect.x()) > kFarOut || std::abs(rect.y()) > kFarOut) return {};
    const int c = gatherCellSize(w);
    const int n = Nearest(double(h) / c * (double(w) / c));
    const int m = Nearest(2.0 * h / c * (2.0 * w / c));
    if (n < 1 || m < 1) return {};

    // Cells run along a row until x reaches w; start points along a row of
    // the doubled area until x reaches 2w.
    const int cellsPerRow = (w + c - 1) / c;
    const int pointsPerRow = (2 * w + c - 1) / c;
    const int firstX = Nearest(rect.x() - w / 2.0), firstY = Nearest(rect.y() - h / 2.0);
    const std::vector<int> order = ShuffledRange(0, m - 1);

    std::vector<GatherCell> cells;
    cells.reserve(size_t(std::min(n, m)));
    for (int i = 0; i < n && i < m; ++i) {
        const int cx = (i % cellsPerRow) * c, cy = (i / cellsPerRow) * c;
        const int p = order[size_t(i)];
        cells.push_back({QRect(cx, cy, c, c), QPoint(firstX + (p % pointsPerRow) * c, firstY + (p / pointsPerRow) * c),
                         QPoint(rect.x() + cx, rect.y() + cy)});
    }
    return cells;
}

namespace {

// True when the cell holds any visible pixel of the sprite. Transparent cells
// change nothing when drawn, and most of a text's box is empty space.
bool cellShowsSomething(const QImage &sprite, const QRect &source)
{
    const QRect r = source.intersected(sprite.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(sprite.constScanLine(y));
        for (int x = r.left(); x <= r.right(); ++x)
            if (qAlpha(line[x]) != 0) return true;
    }
    return false;
}

} // namespace

// The text's cells fly in from scattered points around it and assemble.
void GatherTextEffect(TextEffectContext &ctx, clsMemDC &surface, const QRectF &layout, const QString &text,
                      double scale, int)
{
    TextSprite sprite(ctx, surface, layout, text, scale);
    std::vector<GatherCell> cells;
    if (!sprite.sprite().isNull()) {
        cells = planGatherCells(sprite.spriteRect());
        std::erase_if(cells, [&](const GatherCell &cell) { return !cellShowsSomething(sprite.sprite(), cell.source); });
    }
    std::vector<SpritePiece> pieces(cells.size());
    for (int k = 1; k <= 19; ++k) {
        for (size_t i = 0; i < cells.size(); ++i) {
            const GatherCell &cell = cells[i];
            // (home - start) * k is whole, so only the division by 20 rounds
            // and exact halves go to the even neighbour as they should.
            pieces[i] = {QPoint(Nearest(cell.start.x() + (cell.home.x() - cell.start.x()) * k / 20.0),
                                Nearest(cell.start.y() + (cell.home.y() - cell.start.y()) * k / 20.0)),
                         cell.source};
        }
        sprite.restore();
        sprite.drawPieces(pieces);
        sprite.writeFrame();
    }
    sprite.finish();
}

} // namespace pvsm
