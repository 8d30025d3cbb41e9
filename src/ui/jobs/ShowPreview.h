#pragma once

#include "FileCheck.h"
#include "Project.h"
#include "ProjectFile.h"
#include "ProjectSession.h"

#include <QString>

namespace pvsm::ui {

// The file the Preview command plays: Temp/~tmpview.aps.
QString showPreviewPath(const Workspace &workspace);

// The project as the preview plays it, written to `path` (temporary name,
// renamed into place): the editor's project as it is now, saved or not, with
// the transitions off when none is chosen and IsPackage as the preview
// builds it. The user's project and its file are left alone.
bool writeShowPreview(const Project &project, const WriteContext &context, const QString &path,
                      FileProblem *problem = nullptr);

// The player program beside the editor.
QString playerProgramPath();

// The Preview command: the two-picture rule, the project written for the
// preview and `player` (the program beside the editor when empty) started
// on it as a program of its own. Failures are told through `prompter`.
// Returns whether the player was started.
bool runShowPreview(ProjectSession &session, Prompter &prompter, const QString &player = {});

} // namespace pvsm::ui
