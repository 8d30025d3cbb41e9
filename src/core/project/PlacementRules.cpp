#include "PlacementRules.h"

#include "Numbers.h"

#include <algorithm>
#include <cstdlib>

namespace pvsm {

namespace {

// Which of two opposite edges at `a` and `b` (a < b) a coordinate grabs.
unsigned nearEdge(int v, int a, int b, unsigned first, unsigned second)
{
    const int da = std::abs(v - a), db = std::abs(v - b);
    const bool nearA = da <= kPlacementEdgeZone, nearB = db <= kPlacementEdgeZone;
    if (nearA && nearB) return da < db ? first : second;
    if (nearA) return first;
    if (nearB) return second;
    return 0;
}

QPoint notRandom(QPoint p)
{
    return p == QPoint(0, 0) ? QPoint(1, 0) : p;
}

} // namespace

PlacementHit hitPlacement(const QRect &rect, QPoint p, bool heightFixed)
{
    if (rect.isEmpty()) return {};
    // Edges lie between pixels: the right one at x + width, the bottom one at y + height.
    const int left = rect.x(), right = rect.x() + rect.width();
    const int top = rect.y(), bottom = rect.y() + rect.height();
    const bool alongX = p.x() >= left - kPlacementEdgeZone && p.x() <= right + kPlacementEdgeZone;
    const bool alongY = p.y() >= top - kPlacementEdgeZone && p.y() <= bottom + kPlacementEdgeZone;
    unsigned edges = 0;
    if (alongY) edges |= nearEdge(p.x(), left, right, kEdgeLeft, kEdgeRight);
    if (alongX && !heightFixed) edges |= nearEdge(p.y(), top, bottom, kEdgeTop, kEdgeBottom);
    if (edges) return {PlacementHit::Resize, edges};
    if (p.x() >= left && p.x() < right && p.y() >= top && p.y() < bottom) return {PlacementHit::Move, 0};
    return {};
}

PlacementCursor placementCursor(const PlacementHit &hit)
{
    switch (hit.action) {
    case PlacementHit::None: return PlacementCursor::Normal;
    case PlacementHit::Move: return PlacementCursor::Move;
    case PlacementHit::Resize: break;
    }
    const bool horizontal = hit.edges & (kEdgeLeft | kEdgeRight);
    const bool vertical = hit.edges & (kEdgeTop | kEdgeBottom);
    if (horizontal && vertical) {
        const bool mainDiagonal = (hit.edges & kEdgeLeft) ? (hit.edges & kEdgeTop) : (hit.edges & kEdgeBottom);
        return mainDiagonal ? PlacementCursor::SizeNWSE : PlacementCursor::SizeNESW;
    }
    return horizontal ? PlacementCursor::SizeWE : PlacementCursor::SizeNS;
}

bool placementStepCounts(QPoint last, QPoint now)
{
    return std::abs(now.x() - last.x()) >= kPlacementMoveThreshold
        || std::abs(now.y() - last.y()) >= kPlacementMoveThreshold;
}

QRect resizedPlacement(const QRect &start, unsigned edges, QPoint press, QPoint now, int minimum)
{
    const QPoint d = now - press;
    int left = start.x(), top = start.y(), width = start.width(), height = start.height();
    if (edges & kEdgeLeft) {
        const int right = left + width;
        left = std::min(left + d.x(), right - minimum);
        width = right - left;
    } else if (edges & kEdgeRight) {
        width = std::max(minimum, width + d.x());
    }
    if (edges & kEdgeTop) {
        const int bottom = top + height;
        top = std::min(top + d.y(), bottom - minimum);
        height = bottom - top;
    } else if (edges & kEdgeBottom) {
        height = std::max(minimum, height + d.y());
    }
    return {left, top, width, height};
}

QRect movedPlacement(QSize size, QPoint offset, QPoint now)
{
    return {now - offset, size};
}

QRect releasedPlacement(const QRect &rect)
{
    QRect r = rect;
    if (r.x() < 0) r.moveLeft(0);
    if (r.y() < 0) r.moveTop(0);
    return r;
}

TextBox storedPlacement(const QRect &rect, QSize view, QSize editingScreen)
{
    if (view.isEmpty() || editingScreen.isEmpty()) return {};
    const double fx = double(view.width()) / editingScreen.width();
    const double fy = double(view.height()) / editingScreen.height();
    return {Nearest(rect.x() / fx), Nearest(rect.y() / fy), Nearest(rect.width() / fx), Nearest(rect.height() / fy)};
}

TextBox placedBox(const TextBox &before, const QRect &rect, QSize view, QSize editingScreen, bool keepHeight)
{
    TextBox box = storedPlacement(releasedPlacement(rect), view, editingScreen);
    if (keepHeight) box.h = before.h;
    return box;
}

QPoint storedPicturePosition(QPoint topLeft, QSize view, QSize editingScreen)
{
    const TextBox b = storedPlacement(QRect(topLeft, QSize(1, 1)), view, editingScreen);
    return notRandom(QPoint(std::max(0, b.x), std::max(0, b.y)));
}

TextBox nudgedBox(const TextBox &box, QPoint direction, int step)
{
    TextBox b = box;
    b.x = std::max(0, b.x + direction.x() * step);
    b.y = std::max(0, b.y + direction.y() * step);
    return b;
}

QPoint nudgedPicturePosition(QPoint position, QPoint direction, int step)
{
    const QPoint p = position + direction * step;
    return notRandom(QPoint(std::max(0, p.x()), std::max(0, p.y())));
}

} // namespace pvsm
