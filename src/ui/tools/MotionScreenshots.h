#pragma once

#include <QString>

namespace pvsm::ui {

class MainWindow;

// Saves the motion mode of `window` (already shown at its size) on the
// current picture: the mode with no motion yet, the two rectangles as
// turned on, the end moved and made smaller, the curve list open, a
// moment of play, and the whole window, as motion-WxH-*.png in `dir`.
// Every change goes through the undo stack and is undone afterwards.
// Returns the number of files written.
int saveMotionScreenshots(MainWindow &window, const QString &dir);

} // namespace pvsm::ui
