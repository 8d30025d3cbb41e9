#pragma once

#include "FrameSink.h"
#include "TextPath.h"
#include "clsMemDC.h"

#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QString>

#include <span>
#include <vector>

namespace pvsm {

// What a text effect reads besides the surface and the text: the frame sink
// and the effect text style (sizes already scaled to the output, colours ARGB:
// fill opaque, border at alpha 170).
struct TextEffectContext
{
    FrameSink &sink;
    TextPathStyle style;
};

// One unscaled piece of the sprite: its `source` rectangle (sprite pixels)
// drawn with its top-left corner at `target` (surface pixels).
struct SpritePiece
{
    QPoint target;
    QRect source;
};

// The text rendered once and drawn again at any scale over a background copy
// of the surface (`PrepareTextSprite` ... `ReleaseTextSprite`).
// The effects place the layout rectangle (x0, y0, w, h); the sprite holds
// the whole drawn text, also where it runs over that rectangle (a wrapped
// headline), and goes with the rectangle wherever it is moved or scaled.
// Draws only on the surface it was made for; one thread.
class TextSprite
{
public:
    // Records the rectangle in whole pixels, copies the surface as the
    // background and renders the text (smoothing on, border drawn), its size
    // and border multiplied by `scale`.
    TextSprite(TextEffectContext &ctx, clsMemDC &surface, const QRectF &layout, const QString &text, double scale);

    int x0() const { return m_rect.x(); }
    int y0() const { return m_rect.y(); }
    int w() const { return m_rect.width(); }
    int h() const { return m_rect.height(); }
    int surfaceWidth() const { return m_surface.Width(); }
    int surfaceHeight() const { return m_surface.Height(); }

    // Where the sprite lies on the surface when the layout rectangle is in
    // place: the rectangle with all the text's pixels around it.
    const QRect &spriteRect() const { return m_spriteRect; }

    // Restores the surface where the sprite was last drawn.
    void restore();
    // Restores, then draws the sprite with the layout rectangle moved and
    // scaled onto `target` (pixels of the surface).
    void drawAt(const QRect &target);
    // Restores, then draws at scale (sx, sy) about the rectangle's centre:
    // (Nearest(x0 - (sx - 1) w / 2), Nearest(y0 - (sy - 1) h / 2),
    //  Nearest(w sx), Nearest(h sy)).
    void drawScaled(double sx, double sy);
    // Draws `source` (pixels of the sprite, whose origin is the top-left
    // corner of spriteRect()) into `target` without restoring;
    // for effects that draw many pieces per step after one restore().
    void drawPiece(const QRect &target, const QRect &source);
    // Draws many unscaled pieces without restoring, in order (later pieces
    // over earlier ones), through one painter: the gather effect draws
    // thousands per step. Source parts outside the sprite are left out.
    void drawPieces(std::span<const SpritePiece> pieces);

    // The final step of every sprite effect: the text drawn with the path
    // renderer onto the background at the layout rectangle, the whole surface
    // restored from it, one frame written.
    void finish();

    void writeFrame(int count = 1) { m_ctx.sink.WriteFrame(m_surface.image(), count); }
    const QImage &sprite() const { return m_sprite; }

private:
    // The sprite's place when the layout rectangle is drawn onto `target`.
    QRectF spriteTarget(const QRect &target) const;

    TextEffectContext &m_ctx;
    clsMemDC &m_surface;
    clsMemDC m_background;
    QImage m_sprite;
    QRect m_rect;       // the layout rectangle in whole pixels
    QRect m_spriteRect; // the sprite's pixels with the rectangle in place
    QRectF m_layout;
    QString m_text;
    TextPathStyle m_style;
    QRect m_dirty; // surface pixels that differ from the background
};

// The style scaled for an effect: size and border multiplied by `scale`.
TextPathStyle scaledStyle(const TextPathStyle &style, double scale);
// The layout rectangle in whole pixels (each value to the nearest integer).
QRect pixelRect(const QRectF &layout);
// The pixels an effect works on: the layout rectangle together with every
// pixel the text draws outside it (a headline that wraps runs over the
// rectangle's top and bottom).
QRect textEffectArea(const QString &text, const QRectF &layout, const TextPathStyle &style);

// The gather effect's cell side in pixels for a text `textWidthPx` wide:
// 2 up to 200 pixels, 4 up to 400, ... 14 up to 1400, else 16.
int gatherCellSize(int textWidthPx);

// One cell of the gather effect: the c × c square of the sprite at `source`,
// flying from `start` to `home` (surface pixels of its top-left corner).
struct GatherCell
{
    QRect source;
    QPoint start;
    QPoint home;
};

// Cuts the text rectangle `rect` (surface pixels) into the gather effect's
// cells, row by row, and gives each a start point drawn at random (through
// ShuffledRange, which reseeds the process-wide generator) from a grid of
// cell-spaced points over the 2w × 2h area centred on the rectangle. Empty
// when a side of `rect` is below 1 or above kMaxCanvasSide (no sprite exists
// then), which keeps the grid at most a few million points, and when the
// rectangle lies so far out (beyond 64 canvas sides) that no cell could ever
// be seen.
std::vector<GatherCell> planGatherCells(const QRect &rect);

using TextEffectRenderer = void (*)(TextEffectContext &ctx, clsMemDC &surface, const QRectF &layout,
                                    const QString &text, double scale, int variant);

struct TextEffectEntry
{
    int value;            // the headline effect list index (HeadDynamicStyle)
    const char *renderer; // the renderer's name
    bool takesVariant;    // receives v4 from the caller
    TextEffectRenderer render;
};

// The catalogue in the order of the headline effect list.
std::span<const TextEffectEntry> textEffectCatalogue();

// Runs headline effect `value` (0 .. 8); other values draw nothing.
void RunTextEffect(TextEffectContext &ctx, int value, clsMemDC &surface, const QRectF &layout, const QString &text,
                   double scale, int v4);

// Renderers, one per source file under text/.
void FadeTextEffect(TextEffectContext &, clsMemDC &, const QRectF &, const QString &, double scale, int);
void WipeTextEffect(TextEffectContext &, clsMemDC &, const QRectF &, const QString &, double scale, int);
void SlideTextEffect(TextEffectContext &, clsMemDC &, const QRectF &, const QString &, double scale, int v4);
void ShakeTextEffect(TextEffectContext &, clsMemDC &, const QRectF &, const QString &, double scale, int);
void StretchTextEffect(TextEffectContext &, clsMemDC &, const QRectF &, const QString &, double scale, int);
void GrowTextEffect(TextEffectContext &, clsMemDC &, const QRectF &, const QString &, double scale, int);
void ShrinkTextEffect(TextEffectContext &, clsMemDC &, const QRectF &, const QString &, double scale, int);
void HopTextEffect(TextEffectContext &, clsMemDC &, const QRectF &, const QString &, double scale, int);
void GatherTextEffect(TextEffectContext &, clsMemDC &, const QRectF &, const QString &, double scale, int);

} // namespace pvsm
