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

// Lets layouts settle, the view's composition finish and the strip's shown
// thumbnails arrive (bounded, so a broken picture cannot hang the tool).
void settle(MainWindow &window);

// The music section with several songs and the timing dialog in both modes,
// as main-WxH-music-songs.png, -timing-same.png and -timing-average.png. The
// songs are tones made in `workDir`, added through the add command and undone
// afterwards. Returns the number of files written.
int saveMusicScreenshots(MainWindow &window, const QString &dir, const QString &workDir);

// The picture section in use: several pictures selected, the strip scrolled
// into a longer list and focused, a picture gone from disk shown by its
// placeholder. Files prefix-pictures-*.png; the project is put back after.
int savePictureSectionScreenshots(MainWindow &window, const QString &dir, const QString &prefix);

// Previews running in the editing view: transitions, headline effects and
// the two-line animated lyric style clicked in their lists, grabbed while
// they play, as main-WxH-preview-transition-ID.png, -headline-VALUE.png and
// -lyric-3.png. Prints how long
// each took. Returns the number of files written.
int savePreviewScreenshots(MainWindow &window, const QString &dir);

} // namespace pvsm::ui
