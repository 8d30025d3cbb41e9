#pragma once

#include <QString>

namespace pvsm::ui {

class MainWindow;

// Saves the editing view of `window` (already shown at its size) with each
// placeable box selected: the caption (section 4), the headline (5), the
// lyric box (7), the title (8), and the picture in draw mode 1 (1), as
// placement-WxH-section-NN.png in `dir`. The project is left as it was.
// Returns the number of files written.
int savePlacementScreenshots(MainWindow &window, const QString &dir);

} // namespace pvsm::ui
