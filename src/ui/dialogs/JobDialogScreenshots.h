#pragma once

#include <QString>

namespace pvsm::ui {

// Renders every window of a build or export (the build dialog, the progress
// strip in its two looks, the finish window with a short and a long file name)
// into one PNG each under `dir`, at their natural sizes, for reviewers.
// Needs a QApplication; shows the windows briefly.
void saveJobDialogScreenshots(const QString &dir);

} // namespace pvsm::ui
