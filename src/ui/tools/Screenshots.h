#pragma once

#include <QSize>
#include <QString>

namespace pvsm::ui {

class MainWindow;

// Saves `window` with each of its ten sections shown, at `size`, as
// main-WxH-section-NN.png in `dir`, plus the help window. Returns the number
// of files written; waits for the editing view to finish composing before
// each picture, so every file shows the section's final state.
int saveMainWindowScreenshots(MainWindow &window, const QString &dir, QSize size);

// Lets layouts settle, the view compose and the shown thumbnails arrive (bounded).
void settleWindow(MainWindow &window);

// The picture section in use: several pictures selected, the strip scrolled
// into a longer list and focused, a picture gone from disk shown by its
// placeholder. Files prefix-pictures-*.png; the project is put back after.
int savePictureSectionScreenshots(MainWindow &window, const QString &dir, const QString &prefix);

} // namespace pvsm::ui
