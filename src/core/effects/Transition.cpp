#include "Transition.h"

#include "Numbers.h"
#include "Random.h"

#include <algorithm>

namespace pvsm {

TransitionSurfaces BeginTransition(clsMemDC &dest, const clsMemDC &newPicture)
{
    TransitionSurfaces s{dest, newPicture, {}, {}};
    // Shared until drawn on: many renderers only read A and never touch B.
    s.A.CopyOf(dest);
    s.B.CopyOf(dest);
    return s;
}

void EndTransition(TransitionSurfaces &s)
{
    s.A.Release();
    s.B.Release();
}

std::vector<int> ShuffledRange(int first, int last)
{
    std::vector<int> v;
    if (last < first) return v;
    v.reserve(size_t(last - first + 1));
    for (int i = first; i <= last; ++i) v.push_back(i);
    RandomSource::global().reseedFromClock();
    for (int i = int(v.size()) - 1; i >= 0; --i) {
        const int j = std::min(i, IntPart(Rnd() * (i + 1)));
        std::swap(v[size_t(i)], v[size_t(j)]);
    }
    return v;
}

int frameDivisor(double distance, int transitionFrames)
{
    if (transitionFrames <= 0) return 1;
    return std::max(1, Nearest(distance / transitionFrames));
}

QRect centredRect(int W, int H, int w)
{
    const int h = Nearest(double(H) / W * w);
    return {Nearest((W - w) / 2.0), Nearest((H - h) / 2.0), w, h};
}

namespace {

// The union of `rects`, each clipped to `clip`. Unites in halves: adding the
// rectangles one by one to a growing region costs time in the square of
// their number (a third of the gather-scatter's frame with 64 tiles).
QRegion unionOf(std::span<const QRect> rects, const QRect &clip)
{
    if (rects.empty()) return {};
    if (rects.size() == 1) return QRegion(rects.front() & clip);
    const size_t half = rects.size() / 2;
    return unionOf(rects.first(half), clip).united(unionOf(rects.subspan(half), clip));
}

} // namespace

void uncoverBackground(clsMemDC &canvas, const clsMemDC &background, QRegion &covered, std::span<const QRect> tiles)
{
    QRegion now = unionOf(tiles, QRect(0, 0, canvas.Width(), canvas.Height()));
    const QRegion uncovered = covered.subtracted(now);
    CopyRects(canvas.image(), std::span<const QRect>(uncovered.begin(), uncovered.end()), background.image());
    covered = std::move(now);
}

std::array<QRect, 4> ringOutside(const QRect &outer, const QRect &inner)
{
    if (inner.isEmpty() || !outer.contains(inner)) return {outer, QRect(), QRect(), QRect()};
    return {QRect(QPoint(outer.left(), outer.top()), QPoint(outer.right(), inner.top() - 1)),
            QRect(QPoint(outer.left(), inner.bottom() + 1), QPoint(outer.right(), outer.bottom())),
            QRect(QPoint(outer.left(), inner.top()), QPoint(inner.left() - 1, inner.bottom())),
            QRect(QPoint(inner.right() + 1, inner.top()), QPoint(outer.right(), inner.bottom()))};
}

bool positionFrameDue(int p, double distance, int transitionFrames)
{
    const int d = frameDivisor(distance, transitionFrames);
    return (p % d) <= 1;
}

namespace {

constexpr TransitionEntry kCatalogue[] = {
    {0, "RandomLinesTransition", TransitionArgument::V2, RandomLinesTransition},
    {1, "SoftWipeTransition", TransitionArgument::V4, SoftWipeTransition},
    {2, "CentreSoftWipeTransition", TransitionArgument::V2, CentreSoftWipeTransition},
    {3, "RectangleTransition", TransitionArgument::V2, RectangleTransition},
    {4, "CheckerLinesTransition", TransitionArgument::CellSize, CheckerLinesTransition},
    {5, "GatherScatterTransition", TransitionArgument::V2, GatherScatterTransition},
    {6, "BlindsTransition", TransitionArgument::V2, BlindsTransition},
    {7, "RollTransition", TransitionArgument::V4, RollTransition},
    {8, "SpinScatterTransition", TransitionArgument::V2, SpinScatterTransition},
    {9, "StripeWaveTransition", TransitionArgument::V4, StripeWaveTransition},
    {10, "RingWaveTransition", TransitionArgument::V2, RingWaveTransition},
    {11, "SlideInTransition", TransitionArgument::V4, SlideInTransition},
    {12, "DiagonalSlideTransition", TransitionArgument::V4, DiagonalSlideTransition},
    {13, "PushTransition", TransitionArgument::V4, PushTransition},
    {14, "AlternateTransition", TransitionArgument::V4, AlternateTransition},
    {15, "CrossFadeTransition", TransitionArgument::None, CrossFadeTransition},
    {16, "ZoomTransition", TransitionArgument::V2, ZoomTransition},
    {17, "ZoomThroughTransition", TransitionArgument::V2, nullptr}, // chooses by v2, see RunTransition
    {18, "FoldTransition", TransitionArgument::V2, FoldTransition},
    {19, "NegativeFlashTransition", TransitionArgument::None, NegativeFlashTransition},
    {20, "FallingBandsTransition", TransitionArgument::None, FallingBandsTransition},
    {21, "SpiralTilesTransition", TransitionArgument::V2, SpiralTilesTransition},
    {22, "PanelFlipTransition", TransitionArgument::V2, PanelFlipTransition},
};

} // namespace

std::span<const TransitionEntry> transitionCatalogue()
{
    return kCatalogue;
}

void RunTransition(TransitionContext &ctx, int id, clsMemDC &dest, const clsMemDC &newPicture, int v2, int v4)
{
    if (id < 0 || id >= int(std::size(kCatalogue))) return;
    if (dest.isNull() || newPicture.isNull() || dest.size() != newPicture.size()) return;
    if (id == 17) {
        if (v2 == 1)
            ZoomThroughTransition(ctx, dest, newPicture, 100);
        else
            ShrinkGrowTransition(ctx, dest, newPicture, 0);
        return;
    }
    const TransitionEntry &e = kCatalogue[id];
    int argument = 0;
    switch (e.argument) {
    case TransitionArgument::None: break;
    case TransitionArgument::V2: argument = v2; break;
    case TransitionArgument::V4: argument = v4; break;
    case TransitionArgument::CellSize: argument = Nearest(dest.Width() / 20.0); break;
    }
    e.render(ctx, dest, newPicture, argument);
}

} // namespace pvsm
