#pragma once

#include "MotionRules.h"

#include <QRectF>
#include <QString>

#include <functional>

namespace pvsm::ui {

class EditorContext;

// The commands of the motion mode, each one step on the undo stack: a drag
// of a rectangle is one command pushed on release, and a run of key presses
// on the same rectangle of the same picture merges into one. All act on the
// current picture and do nothing while a job runs, without a current
// picture, or when nothing would change.

// How a rectangle changed, which names the command and what merges.
enum class MotionEdit { Move, Resize, Keys };

// Stores `rect` (fractions of the picture) as the start or end rectangle.
void pushMotionRect(EditorContext &context, MotionEnd end, const QRectF &rect, MotionEdit edit);
// Exchanges start and end.
void pushMotionSwap(EditorContext &context);
// Turns the current picture's motion on (by motionSwitchedOn over `area`)
// or off (its rectangles kept for the next time).
void pushMotionOn(EditorContext &context, bool on, const MotionArea &area);
// 0 linear, 1 ease in and out.
void pushMotionCurve(EditorContext &context, int curve);
// The project-wide automatic motion for pictures without their own.
void pushAutoMotion(EditorContext &context, bool on);

} // namespace pvsm::ui
