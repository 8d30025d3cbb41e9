#include "SlideshowBuildJob.h"

#include "FrameList.h"
#include "IconChoice.h"
#include "ProgressJob.h"
#include "Version.h"

namespace pvsm::ui {

BuildOutcome runSlideshowBuild(QWidget *parent, ProjectSession &session, Prompter &windowPrompter,
                               const BuildRequest &request,
                               const std::function<void(ProgressWindow &)> &onProgressWindow)
{
    const Project project = session.project();
    const Workspace workspace = session.workspace();
    BuildOutcome outcome;
    runWithProgress(
        parent, session, windowPrompter,
        [&](const JobControl &control, Prompter &prompter) {
            outcome = BuildScreenSaver(project, workspace, request, prompter, control);
        },
        onProgressWindow);
    return outcome;
}

BuildRequest editorBuildRequest(const ProjectSession &session, SlideshowKind kind)
{
    BuildRequest request;
    request.kind = kind;
    request.editingScreen = QSize(session.environment().screenWidth, session.environment().screenHeight);
    request.appVersion = versionText();
    request.frameData = SelectedFrameBytes(session.project().settings, session.workspace());
    if (kind != SlideshowKind::Preview) request.iconFile = ChosenIcon(session.workspace());
    return request;
}

void runPreview(QWidget *parent, ProjectSession &session, Prompter &windowPrompter)
{
    if (session.busy() || !session.checkTwoPictures()) return;
    const BuildOutcome outcome =
        runSlideshowBuild(parent, session, windowPrompter, editorBuildRequest(session, SlideshowKind::Preview));
    if (!outcome.completed) return;
    QString error;
    if (!StartSlideshow(outcome.target, &error)) windowPrompter.inform(error, PromptIcon::Information);
}

} // namespace pvsm::ui
