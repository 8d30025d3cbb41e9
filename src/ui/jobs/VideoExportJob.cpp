#include "VideoExportJob.h"

#include "BusyScope.h"
#include "JobRunner.h"
#include "ProgressWindow.h"
#include "Soundtrack.h"

#include <QEventLoop>
#include <QWidget>

namespace pvsm::ui {

ExportOutcome runVideoExport(QWidget *parent, ProjectSession &session, Prompter &windowPrompter,
                             const ExportOptions &options,
                             const std::function<void(ProgressWindow &)> &onProgressWindow)
{
    // The job reads its own copy: the window draws from the session's while it runs.
    const Project project = session.project();
    const Workspace workspace = session.workspace();
    BusyScope busy(session, parent);

    ProgressWindow progress(parent, project.settings.isShowTip);
    progress.hide();
    if (onProgressWindow) onProgressWindow(progress);

    ExportOutcome outcome;
    JobRunner runner(windowPrompter);
    QEventLoop loop;
    QObject::connect(&runner, &JobRunner::progressChanged, &progress, [&progress](int percent, const QString &caption) {
        progress.setProgress(percent, caption);
        if (!progress.isVisible()) {
            progress.show();
            progress.raise();
        }
    });
    QObject::connect(&progress, &ProgressWindow::cancelRequested, &runner, &JobRunner::cancel);
    QObject::connect(&runner, &JobRunner::finished, &loop, &QEventLoop::quit);
    runner.start([&outcome, &project, &workspace, &options](const JobControl &control, Prompter &prompter) {
        outcome = ExportAvi(project, workspace, options, prompter, control,
                            makeProjectSoundtrackFactory(workspace, prompter));
    });
    loop.exec();
    return outcome;
}

} // namespace pvsm::ui
