#pragma once

#include <QSize>
#include <QString>

namespace pvsm::ui {

class MainWindow;

// Saves `window` with each of its ten sections shown, at `size`, as
// main-WxH-section-NN.png in `dir`, the text style dialog of each kind
// (main-WxH-style-K.png), plus the help window. Returns the number
// of files written; waits for the editing view to finish composing before
// each picture, so every file shows the section's final state.
int saveMainWindowScreenshots(MainWindow &window, const QString &dir, QSize size);

} // namespace pvsm::ui
