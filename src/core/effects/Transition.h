#pragma once

#include "FrameSink.h"
#include "clsMemDC.h"

#include <QRect>
#include <QRegion>
#include <QSize>

#include <array>
#include <span>
#include <vector>

namespace pvsm {

// What every transition reads besides its two pictures: the frame sink and
// the export's values. Passed by the caller, never global.
struct TransitionContext
{
    FrameSink &sink;
    int TransitionFrames = 30; // TF: nominal frames of one transition
    int TransitionStepX = 2;   // pixel step of column-wise renderers
    int TransitionStepY = 2;   // pixel step of row-wise renderers

    // Steps as the output size decides them: 2 below 961 x 720, else 4.
    static int stepXFor(int width) { return width < 961 ? 2 : 4; }
    static int stepYFor(int height) { return height < 720 ? 2 : 4; }
};

// The surfaces of one transition. DEST is the work surface: it shows the old
// picture when the transition starts and must show the new one when it ends
// (the caller relies on it). NEW holds the fully composed next slide and is
// left as it was. A and B are scratch canvases that start as copies of DEST
// (BeginTransition); renderers that do not need them leave them empty.
struct TransitionSurfaces
{
    clsMemDC &DEST;
    const clsMemDC &NEW;
    clsMemDC A;
    clsMemDC B;

    int W() const { return DEST.Width(); }
    int H() const { return DEST.Height(); }
};

// `BeginTransition`: canvases A and B sized like DEST, both copies of it.
TransitionSurfaces BeginTransition(clsMemDC &dest, const clsMemDC &newPicture);
// `EndTransition`: releases A and B.
void EndTransition(TransitionSurfaces &s);

// `ShuffledRange`: a random permutation of first..last (reseeds the process-wide
// generator from the clock first).
std::vector<int> ShuffledRange(int first, int last);

// The common frame rule of renderers that move a position p over a distance L:
// a frame is due when (p mod d) <= 1, d = max(1, Nearest(L / TF)).
int frameDivisor(double distance, int transitionFrames);
bool positionFrameDue(int p, double distance, int transitionFrames);

// A rectangle w wide with the W × H output's aspect ratio, centred on the
// output (the zoom transitions' picture at width w).
QRect centredRect(int W, int H, int w);

// What of `outer` lies outside `inner`, as up to four bands (the others
// empty): what a renderer must repaint when a picture drawn over `outer`
// shrinks to `inner`. All of `outer` when `inner` is empty or not inside it.
std::array<QRect, 4> ringOutside(const QRect &outer, const QRect &inner);

// For renderers that move tiles over a background: puts `background` back on
// `canvas` where the tiles covered it before (`covered`) and do not now
// (`tiles`, clipped to the canvas); `covered` becomes what they cover now.
void uncoverBackground(clsMemDC &canvas, const clsMemDC &background, QRegion &covered, std::span<const QRect> tiles);

// Writes a canvas to the sink.
inline void writeFrame(TransitionContext &ctx, const clsMemDC &canvas, int count = 1)
{
    ctx.sink.WriteFrame(canvas.image(), count);
}

// What argument a renderer takes.
enum class TransitionArgument { None, V2, V4, CellSize };

using TransitionRenderer = void (*)(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int argument);

struct TransitionEntry
{
    int id;
    const char *renderer;        // the renderer's name
    TransitionArgument argument; // what the caller passes
    TransitionRenderer render;
};

// The catalogue in the order of the transition list (index = id).
std::span<const TransitionEntry> transitionCatalogue();

// Runs transition `id` with the variants the caller drew for this slide change
// (v2 in 0..1, v4 in 0..3). Id 4 takes the cell size Nearest(W / 20) (with v2
// ignored); id 17 picks its renderer by v2. Unknown ids draw nothing.
void RunTransition(TransitionContext &ctx, int id, clsMemDC &dest, const clsMemDC &newPicture, int v2, int v4);

// Renderers, one per source file under transitions/.
void RandomLinesTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int v2);
void SoftWipeTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int v4);
void CentreSoftWipeTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int v2);
void RectangleTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int v2);
void CheckerLinesTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int cellSize);
void GatherScatterTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int v2);
void BlindsTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int v2);
void RollTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int v4);
void SpinScatterTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int v2);
void StripeWaveTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int v4);
void RingWaveTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int v2);
void SlideInTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int v4);
void DiagonalSlideTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int v4);
void PushTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int v4);
void AlternateTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int v4);
void CrossFadeTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int unused);
void ZoomTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int v2);
void ZoomThroughTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int divisor);
void ShrinkGrowTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int unused);
void FoldTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int v2);
void NegativeFlashTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int unused);
void FallingBandsTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int unused);
void SpiralTilesTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int v2);
void PanelFlipTransition(TransitionContext &, clsMemDC &, const clsMemDC &, int v2);

} // namespace pvsm
