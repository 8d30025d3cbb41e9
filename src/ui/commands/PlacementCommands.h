#pragma once

#include "PlacementRules.h"

#include <QPoint>
#include <QRect>
#include <QSize>

namespace pvsm::ui {

class EditorContext;

// The commands of the editing view's marker, one per drag and one per run
// of arrow-key presses on the same box (they merge while nothing else comes
// between). Both do nothing while a job runs or without a current picture.

// Stores the box of `target` for a drag released at `rect` (pixels of a
// picture area of `view`), by the placement rules: clamped to the left and
// top, in screen pixels of `editingScreen`, the lyric box keeping its height,
// the picture never at the random position (0, 0).
void pushPlacement(EditorContext &context, PlacementTarget target, const QRect &rect, QSize view,
                   QSize editingScreen);

// Moves the box of `target` by `direction` times `step` stored pixels. A
// picture at the random position starts from `shownAt`, where the view drew
// it (stored pixels).
void pushNudge(EditorContext &context, PlacementTarget target, QPoint direction, int step, QPoint shownAt = {});

} // namespace pvsm::ui
