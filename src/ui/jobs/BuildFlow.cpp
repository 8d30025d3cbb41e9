#include "BuildFlow.h"

#include "FrmBuild.h"
#include "FrmFinish.h"
#include "GuiPrompter.h"
#include "VideoExportJob.h"

namespace pvsm::ui {

namespace {

ExportOptions videoOptions(const BuildChoice &choice, const ProjectEnvironment &env)
{
    ExportOptions options;
    const FrameSizeEntry &size = frameSizeList()[size_t(choice.frameSizeIndex)];
    options.videoSize = QSize(size.width, size.height);
    options.editingScreen = QSize(env.screenWidth, env.screenHeight);
    options.chooseCodecManually = choice.chooseCodecManually;
    options.loopToLongerTrack = choice.loopToLongerTrack;
    return options;
}

} // namespace

void runBuildFlow(QWidget *parent, ProjectSession &session, GuiPrompter &prompter)
{
    if (session.busy()) return;
    if (!session.checkTwoPictures()) return;

    const ProjectEnvironment env = session.environment();
    BuildChoice choice;
    {
        FrmBuild dialog(session.project().settings, QSize(env.screenWidth, env.screenHeight), parent);
        if (dialog.exec() != QDialog::Accepted) return;
        choice = dialog.choice();
    }
    if (choice.kind != BuildKind::Video) return; // the dialog offers no other kind yet

    const ExportOutcome outcome = runVideoExport(parent, session, prompter, videoOptions(choice, env));
    if (outcome.installCodecRequested) prompter.inform(exportText::restartAfterInstall(), PromptIcon::Information);
    if (!outcome.completed) return;
    FrmFinish finish(session.project().settings, outcome.finishReport, outcome.target, parent);
    finish.exec();
}

} // namespace pvsm::ui
