#pragma once

// The thumbnail strip of the picture section: seven cells over the picture
// list, moved by a scroll bar whose value v is the number (1-based) of the
// picture in the rightmost cell, so the strip shows pictures v - 6 … v.
// Pictures are 0-based indices here, as everywhere else in the editor.

namespace pvsm {

inline constexpr int kStripCells = 7;

// The scroll bar's range: 7 … count with more than seven pictures, else 7 … 7.
int stripScrollMaximum(int count);
inline constexpr int kStripScrollMinimum = kStripCells;

// `value` held to the scroll bar's range for `count` pictures.
int clampStripValue(int value, int count);

// The picture shown in `cell` (0 … 6) at scroll value `value`; -1 for a blank cell.
int stripPictureAt(int value, int cell, int count);

// The cell showing picture `index` at `value`; -1 when it is not in view.
int stripCellOf(int value, int index);

// The scroll value after picture `index` was selected: unchanged while it is
// in view; otherwise the strip moves so that three pictures follow it (the
// rightmost cell shows picture + 3), never past the last picture nor before
// the first, which puts it in the middle cell wherever there is room.
int stripValueShowing(int value, int index, int count);

// The picture Page Up (`pages` -1) or Page Down (+1) selects from `index`:
// seven pictures back or forward, stopping at the first and the last.
// -1 for an empty list.
int stripPageTarget(int index, int pages, int count);

} // namespace pvsm
