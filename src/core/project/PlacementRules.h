#pragma once

#include "Project.h"

#include <QPoint>
#include <QRect>
#include <QSize>

namespace pvsm {

// How the editing view moves and resizes a text box or the picture with the
// mouse and the arrow keys. View rectangles are in pixels of the picture area
// of the view (its top-left is 0, 0); boxes are stored in pixels of the
// editing screen.

// What the editing view's marker stands for, and so what a drag of it or an
// arrow key changes: the picture (draw mode 1), the current picture's caption
// or headline box, the lyric box or the title box.
enum class PlacementTarget { None, Picture, Caption, Headline, Lyric, Title };

inline constexpr int kPlacementEdgeZone = 3;      // view pixels either side of an edge that grab it
inline constexpr int kPlacementMoveThreshold = 2; // smaller mouse steps are ignored
inline constexpr int kPlacementMinimumSize = 24;  // a resized rectangle keeps at least this width and height

enum PlacementEdge : unsigned {
    kEdgeLeft = 1,
    kEdgeRight = 2,
    kEdgeTop = 4,
    kEdgeBottom = 8,
};

// What a press at a point would do to a rectangle.
struct PlacementHit
{
    enum Action { None, Move, Resize } action = None;
    unsigned edges = 0; // PlacementEdge bits, for Resize
    bool operator==(const PlacementHit &) const = default;
};

// The cursor that tells what a press would do.
enum class PlacementCursor { Normal, Move, SizeWE, SizeNS, SizeNWSE, SizeNESW };

// Within kPlacementEdgeZone pixels of an edge (inside or outside the
// rectangle, along its length) resizes that edge, of two edges the corner;
// of two opposite edges (a rectangle a few pixels wide) the nearer one, the
// right or bottom on a tie so that the rectangle can grow. Inside the
// rectangle elsewhere moves it. `heightFixed` (the lyric box, whose height
// follows its text style) leaves the top and bottom edges to moving.
PlacementHit hitPlacement(const QRect &rect, QPoint point, bool heightFixed = false);
PlacementCursor placementCursor(const PlacementHit &hit);

// False for a mouse step shorter than kPlacementMoveThreshold in both directions.
bool placementStepCounts(QPoint last, QPoint now);

// The rectangle while `edges` of `start` follow the mouse from `press` to
// `now`; a dragged side stops where the rectangle would become narrower or
// lower than `minimum`.
QRect resizedPlacement(const QRect &start, unsigned edges, QPoint press, QPoint now,
                       int minimum = kPlacementMinimumSize);

// The rectangle of `size` that follows the mouse at `now`, grabbed `offset`
// from its top-left.
QRect movedPlacement(QSize size, QPoint offset, QPoint now);

// On release: a rectangle past the left or top edge of the view is moved
// back to 0 on that side (its size kept).
QRect releasedPlacement(const QRect &rect);

// A view rectangle in stored screen pixels: left / fx, top / fy, width / fx
// and height / fy, each to the nearest pixel, with fx = view width / screen
// width and fy = view height / screen height. Empty sizes give a null box.
TextBox storedPlacement(const QRect &rect, QSize view, QSize editingScreen);

// The box a released rectangle stores for `before`: the lyric box
// (`keepHeight`) keeps its stored height, the line height of its text style.
TextBox placedBox(const TextBox &before, const QRect &rect, QSize view, QSize editingScreen, bool keepHeight);

// The picture position (ImgPosX, ImgPosY) of a picture whose top-left is at
// `topLeft` in the view. Position (0, 0) means "a random place at every
// show", so a picture put in the top-left corner is stored at (1, 0): one
// screen pixel from the corner, which no view shows, instead of a picture
// that jumps elsewhere. Negative positions become 0 as on release.
QPoint storedPicturePosition(QPoint topLeft, QSize view, QSize editingScreen);

// A box moved by an arrow key: (dx, dy) is (-1, 0), (1, 0), (0, -1) or
// (0, 1), `step` stored pixels at a time (1, or 10 with Shift). The box stops
// at 0 on the left and top, as a released drag does.
TextBox nudgedBox(const TextBox &box, QPoint direction, int step);
// The same for a picture position, which never becomes (0, 0) (see above).
QPoint nudgedPicturePosition(QPoint position, QPoint direction, int step);

} // namespace pvsm
