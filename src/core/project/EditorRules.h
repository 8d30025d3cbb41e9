#pragma once

#include "Project.h"

#include <QRect>
#include <QSize>
#include <QStringList>
#include <QTime>

namespace pvsm {

// The rules the editor window follows, kept out of the widgets so that they
// can be tested without a window.

// The largest size of the editing screen's aspect ratio that fits `area`
// (the editing view shows the picture as the show draws it on that screen).
// Empty when either size is empty.
QSize fitToScreenAspect(QSize area, QSize editingScreen);

// A text box stored in pixels of the editing screen, placed on a view of
// `view` pixels: x and width scale by view width / screen width, y and height
// by view height / screen height, each taken to the nearest pixel.
QRect markerOnView(const TextBox &box, QSize editingScreen, QSize view);

// The lyric box as its marker shows it: twice the stored height for the
// two-line styles (LyricStyle 1 and 3), since two lines are drawn there.
TextBox lyricMarkerBox(const Settings &settings);

// The recent-projects list after `path` was opened or saved: `path` first,
// an older entry for the same file dropped, at most `maxEntries` kept.
inline constexpr int kRecentProjectCount = 8;
QStringList withRecentFile(QStringList list, const QString &path, int maxEntries = kRecentProjectCount);

// The window title: the project's file name without its folder ("未命名" for
// a project without file), the modified placeholder "[*]", then the product
// caption.
QString editorWindowTitle(const QString &currentPath, const QString &caption);

// The status line after an automatic save at `at`: "已自动保存 HH:mm:ss", or
// the failure with its cause.
QString autoSaveStatusText(bool saved, QTime at, const QString &problem = {});

} // namespace pvsm

namespace pvsm {

// True for a name the editor opens as a project when it is dropped on the
// window or given on the command line ("*.aps" in any letter case).
bool isProjectFileName(const QString &path);

// Where the window goes at its first activation: a window at least as wide as
// the screen moves to its left edge, one at least as tall to its top edge;
// otherwise it stays where it is. `frame` and `screen` in desktop coordinates.
QPoint placeWindow(const QRect &frame, const QRect &screen);

} // namespace pvsm
