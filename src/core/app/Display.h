#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

namespace pvsm {

// Facts of the display the project is edited on. Text and picture positions are
// stored in pixels of this screen.
struct DisplayFacts
{
    QSize screen{1920, 1080};
    bool standardResolution = true; // 96 logical dots per inch both ways
};

// Reads the primary screen. Needs a QGuiApplication. Without a real display
// (the offscreen or minimal platform) it reports 1920 x 1080 so that headless
// runs give the same projects on every machine.
DisplayFacts probeDisplay();

// Faces that can show Chinese text, best first.
QStringList cjkFallbackFaces();

// The face new text styles start with: `uiFont` when it is installed and can
// show Chinese, else the first installed CJK-capable face, else `uiFont`.
// Needs a QGuiApplication (for the font database).
QString chooseDefaultTextFont(const QString &uiFont);
// Same rule over a given list of installed faces (`cjkCapable` tells which can show Chinese).
QString chooseDefaultTextFont(const QString &uiFont, const QStringList &installed,
                              const QStringList &cjkCapable);

} // namespace pvsm
