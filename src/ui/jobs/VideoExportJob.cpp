#include "VideoExportJob.h"

#include "ProgressJob.h"
#include "Soundtrack.h"

namespace pvsm::ui {

ExportOutcome runVideoExport(QWidget *parent, ProjectSession &session, Prompter &windowPrompter,
                             const ExportOptions &options,
                             const std::function<void(ProgressWindow &)> &onProgressWindow)
{
    // The job reads its own copy: the window draws from the session's while it runs.
    const Project project = session.project();
    const Workspace workspace = session.workspace();
    ExportOutcome outcome;
    runWithProgress(
        parent, session, windowPrompter,
        [&outcome, &project, &workspace, &options](const JobControl &control, Prompter &prompter) {
            outcome = ExportAvi(project, workspace, options, prompter, control,
                                makeProjectSoundtrackFactory(workspace, prompter));
        },
        onProgressWindow);
    return outcome;
}

} // namespace pvsm::ui
