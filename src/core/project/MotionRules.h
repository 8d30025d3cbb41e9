#pragma once

#include "PlacementRules.h"
#include "Project.h"

#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>

namespace pvsm {

// How the editing view's motion mode edits a picture's motion: the start
// and end rectangles (`PictureMotion`, fractions of the picture's width and
// height) keep the output's aspect ratio, stay where the draw mode shows
// the picture or background, and are moved and resized with the handles of
// the placement rules.

// Where motion rectangles may lie on one picture. A rectangle with the
// output's aspect ratio on screen is `aspect` times as wide as it is high in
// fractions of the picture (1 when the picture is stretched to the screen).
struct MotionArea
{
    double aspect = 0;
    QRectF bounds; // fractions of the picture
    bool valid() const { return aspect > 0 && bounds.width() > 0 && bounds.height() > 0; }
};

// The area of a picture of `picture` pixels (upright) drawn by `drawMode`
// on a screen of `screen` pixels. Where the draw mode leaves the picture
// inside the screen with background around it (centred, fitted), the
// rectangles may take in the whole screen; where it stretches, tiles or
// places the picture (possibly past the screen's edge, or at a random
// place), they stay on the picture. Invalid for empty sizes.
MotionArea motionArea(QSize picture, int32_t drawMode, QSize screen);

// `rect` made the area's aspect ratio (its width kept), shrunk about its
// centre where it is larger than the bounds, then moved inside them.
QRectF fittedMotionRect(const QRectF &rect, const MotionArea &area);

// The end rectangle of a motion turned on for the first time is this
// share of the start's size, about the same centre: a slow move closer.
inline constexpr double kMotionDefaultZoom = 0.88;

// A motion turned on for the first time: the start shows the whole picture
// (the smallest rectangle of the area's aspect that holds it, fitted into
// the bounds), the end is kMotionDefaultZoom of it, centred. The curve kept.
PictureMotion defaultMotion(const MotionArea &area, const PictureMotion &before = {});

// The motion switched on: rectangles the user placed before are kept
// (fitted to the area again, which may have changed with the draw mode);
// never-placed rectangles (both still the whole picture) get the defaults.
PictureMotion motionSwitchedOn(const PictureMotion &before, const MotionArea &area);

// Start and end exchanged (the motion runs the other way).
PictureMotion swappedMotion(const PictureMotion &motion);

// `start` moved by `delta` (fractions), stopping at the bounds.
QRectF movedMotionRect(const QRectF &start, QPointF delta, const MotionArea &area);

// `start` while its `edges` (PlacementEdge bits) follow the mouse by `delta`
// (fractions). The aspect ratio stays: a dragged side sets the size and the
// other axis grows about its centre; a dragged corner follows whichever of
// its two sides asks for the larger rectangle. The side or corner opposite
// stays put. The rectangle is never smaller than `minimum` (fractions: the
// placement rules' minimum in view pixels) nor larger than the bounds let
// it be from that anchor.
QRectF resizedMotionRect(const QRectF &start, unsigned edges, QPointF delta, QSizeF minimum,
                         const MotionArea &area);

// `start` scaled by `factor` about its centre (keys + and -), within the
// same limits as a resize.
QRectF scaledMotionRect(const QRectF &start, double factor, QSizeF minimum, const MotionArea &area);

// Which rectangle of the two a press grabs.
enum class MotionEnd { None, Start, End };

struct MotionHit
{
    MotionEnd end = MotionEnd::None;
    PlacementHit hit;
    bool operator==(const MotionHit &) const = default;
};

// What a press at `point` does to the start and end rectangles as drawn
// (view pixels). The edges of the `preferred` rectangle (the one last
// edited) come first, then the other's; a press inside both moves the
// smaller, which lies over the other.
MotionHit hitMotion(const QRect &start, const QRect &end, QPoint point, MotionEnd preferred = MotionEnd::Start);

// The share of the way from start to end at `t` (0 … 1 of the slide's
// time, clamped) by the motion's curve: linear, or easing in and out
// (slow at both ends, (1 - cos(pi t)) / 2).
double motionProgress(int32_t curve, double t);

// The rectangle shown at `t` (0 … 1) of the slide's time.
QRectF motionRectAt(const PictureMotion &motion, double t);

// A fraction rectangle of the picture drawn at `picture` (view pixels), and back.
QRectF motionOnView(const QRectF &fractions, const QRectF &picture);
QPointF viewToMotion(QPointF viewDelta, const QRectF &picture);

} // namespace pvsm
