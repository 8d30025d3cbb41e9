#pragma once

#include "FrameSink.h"
#include "Project.h"
#include "clsMemDC.h"

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <cstdint>
#include <functional>
#include <memory>

// Slow camera motion over a slide's picture: the part of the picture on
// screen moves from a start rectangle to an end rectangle over the whole
// time the slide is seen, from the first frame of the transition that brings
// it in to the last frame of the one that takes it away. Rectangles are
// fractions of the picture (PictureMotion); the picture is sampled at
// sub-pixel positions every frame, so it glides instead of stepping.

namespace pvsm {

// The curve applied to the progress u in [0, 1]: 0 linear, 1 ease in and out
// (a half cosine: the motion starts and ends at rest).
double MotionEase(double u, int32_t curve);

// The rectangle on screen at progress u (before the curve). The size changes
// by the same factor in equal times and the rectangle turns about the one
// point the two rectangles share, so a zoom looks even from start to end;
// equal sizes give a straight pan.
QRectF MotionRectAt(const PictureMotion &motion, double u);

// The output as a rectangle on the picture when the picture covers `drawn`
// (output pixels) of an output of `outputSize`: what a still slide shows.
QRectF OutputOnPicture(const QRectF &drawn, QSize outputSize);

// Where draw mode `drawMode` puts a picture of `displaySize` on an output of
// `outputSize`, for the automatic motion: stretched (4), fitted (3), natural
// size centred and shrunk to fit when larger (0, and 1 and 2, whose random
// positions and tiles do not move well).
QRectF RestPlacement(QSize displaySize, int32_t drawMode, QSize outputSize);

// The project-wide automatic motion for the slide shown `ordinal`-th (from 1)
// whose still shows `rest` of its picture: a zoom from 100 % to 112 %
// towards one of four points around the middle, in turn, so two slides in a
// row never zoom towards the same point. Pure: the same slide number gives
// the same motion.
PictureMotion AutomaticMotion(int64_t ordinal, const QRectF &rest);
inline constexpr double kAutoMotionZoom = 1.12;

// The picture of a moving slide, prepared once: the background, the picture
// at no more than the resolution its most zoomed frame needs (and never more
// than twice the output's pixels), and the texts that stay where they are.
class MovingSlide
{
public:
    // Loads `path` for `motion` on an output of `outputSize` over `background`.
    // Null (isNull) when the picture cannot be read: the slide is then drawn
    // still.
    static std::shared_ptr<MovingSlide> prepare(const QString &path, const PictureMotion &motion,
                                                const QImage &background);

    const PictureMotion &motion() const { return m_motion; }
    QSize outputSize() const { return m_background.size(); }
    // The prepared picture's size in pixels (without its border).
    QSize preparedSize() const { return {m_picture.width() - 2, m_picture.height() - 2}; }

    // Texts drawn over every frame (caption, then the headline once its effect
    // has run), premultiplied ARGB at the output size; drawn where not transparent.
    void setOverlay(QImage overlay);
    const QImage &overlay() const { return m_overlay; }

    // The frame at progress u (0 .. 1, before the curve) into `target`
    // (RGB32, output size): background, picture, texts. `withOverlay` false
    // leaves the texts off (the headline effect draws over that).
    void drawFrame(QImage &target, double u, bool withOverlay = true) const;

private:
    PictureMotion m_motion;
    QImage m_background;
    QImage m_picture; // premultiplied ARGB with one transparent pixel all round
    QImage m_overlay;
    QRect m_overlayBounds;
    bool m_opaque = false;
};

// Draws `picture` (premultiplied ARGB whose outermost pixels are transparent,
// framing a picture of (width - 2) x (height - 2)) over `target` (RGB32) so
// that `onPicture` (fractions of the framed picture) fills the target:
// bilinear sampling at sub-pixel positions, the picture's edges blended into
// what lies under them. With `background` (the target's size and format),
// that picture lies under it; without, the target as it is. `opaque` says
// the framed picture has no transparency of its own, which spares looking
// for it.
void DrawPictureRegion(QImage &target, const QImage &picture, const QRectF &onPicture,
                       const QImage *background = nullptr, bool opaque = false);

// The frames of a slide's time on screen: frame `shown` (from 0) of `span`
// frames is at progress shown / (span - 1), held at 1 after the span.
inline double MotionProgress(double shown, int64_t span)
{
    if (span <= 1) return shown > 0 ? 1.0 : 0.0;
    return std::min(1.0, double(shown) / double(span - 1));
}

// Runs a renderer that draws on still pictures once per frame it writes, so
// that the pictures can move under it: `prepare(f)` sets the renderer's
// pictures for its frame f (from 0), `render(sink)` runs it writing to
// `sink`; of each run the frame f is passed on to `out`, one frame per call.
// Every run starts the process-wide random source from `seed`, so each
// writes the same frames; the source is left as it was before. Returns the
// number of frames written.
int64_t RenderPerFrame(FrameSink &out, uint32_t seed, const std::function<void(int64_t frame)> &prepare,
                       const std::function<void(FrameSink &sink)> &render);

// Runs a transition between two moving pictures. `prepare(f)` sets `from`
// and `to` to the two pictures of frame f (from 0); `render(sink, from, to)`
// runs the transition. A transition that blends each pixel in place (a
// wipe, a fade) is run once from black to white: that gives each frame's
// blend, which is then applied to each frame's moving pictures. One that
// moves pixels, as found by comparing a run over the real pictures with that
// blend, is run once per frame instead (RenderPerFrame). Returns the number
// of frames written.
int64_t RenderTransitionOverMotion(FrameSink &out, uint32_t seed, clsMemDC &from, clsMemDC &to,
                                   const std::function<void(int64_t frame)> &prepare,
                                   const std::function<void(FrameSink &sink, clsMemDC &from, const clsMemDC &to)> &render);

// Counts the frames `render` writes when its random numbers start from
// `seed` (it draws them too).
int64_t CountFrames(uint32_t seed, const std::function<void(FrameSink &sink)> &render);

// A seed for the runs of one renderer, from the process-wide random source.
uint32_t DrawRendererSeed();

// Runs a renderer that draws text over its surface twice, over black and over
// white, and writes each of its frames as `frameAt(f)` (the moving picture
// of frame f, from 0) with the text laid over it: `render(sink, surface)`
// draws on `surface`, which starts all black or all white. What the two runs
// differ in tells each pixel's cover and colour, as long as the renderer only
// lays text over its surface. `finalText`, when given, receives the text as
// the renderer leaves it on its surface (premultiplied ARGB). Returns the
// number of frames written.
int64_t RenderTextOverMotion(FrameSink &out, uint32_t seed, QSize size, const std::function<void(QImage &target, int64_t frame)> &frameAt,
                             const std::function<void(FrameSink &sink, clsMemDC &surface)> &render,
                             QImage *finalText = nullptr);

} // namespace pvsm
