#pragma once

#include "ProjectSession.h"

class QWidget;

namespace pvsm::ui {

class GuiPrompter;

// The build command of the main window: the two-picture rule, the build
// dialog, the chosen job with its progress window, then the finish window.
// Does nothing while the session is busy. Returns when all of it is over;
// the window keeps serving its events meanwhile. Window thread only.
void runBuildFlow(QWidget *parent, pvsm::ProjectSession &session, GuiPrompter &prompter);

} // namespace pvsm::ui
