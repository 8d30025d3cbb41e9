#pragma once

#include "ProjectSession.h"
#include "SlideshowBuild.h"

#include <functional>

class QWidget;

namespace pvsm::ui {

class ProgressWindow;

// Builds a slideshow of the session's project on a worker thread with the
// progress window (runWithProgress). The job works on a copy of the project,
// so nothing the build's rules change reaches the saved project.
BuildOutcome runSlideshowBuild(QWidget *parent, ProjectSession &session, Prompter &windowPrompter,
                               const BuildRequest &request,
                               const std::function<void(ProgressWindow &)> &onProgressWindow = {});

// What every build of the editor asks for: the editing screen and the
// editor's version; the caller adds the kind and its options.
BuildRequest editorBuildRequest(const ProjectSession &session, SlideshowKind kind);

// The Preview command: the two-picture rule, the preview build into
// Temp/~tmpview.scr and the slideshow started as a program of its own.
void runPreview(QWidget *parent, ProjectSession &session, Prompter &windowPrompter);

} // namespace pvsm::ui
