#include "BuildFlow.h"

#include "FrmBuild.h"
#include "FrmFinish.h"
#include "GuiPrompter.h"
#include "SlideshowBuildJob.h"
#include "VideoExportJob.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QSettings>
#include <QUrl>

namespace pvsm::ui {

namespace {

ExportOptions videoOptions(const BuildChoice &choice, const ProjectEnvironment &env)
{
    ExportOptions options;
    const FrameSizeEntry &size = frameSizeList()[size_t(choice.frameSizeIndex)];
    options.videoSize = QSize(size.width, size.height);
    options.frameRate = choice.frameRate;
    options.editingScreen = QSize(env.screenWidth, env.screenHeight);
    options.chooseCodecManually = choice.chooseCodecManually;
    options.loopToLongerTrack = choice.loopToLongerTrack;
    options.container = choice.videoFormat == 1 ? VideoContainer::Mp4 : VideoContainer::Avi;
    return options;
}

// The user asked how to install an encoder: the help's page on it, then the
// reminder that the program must start again to see it.
void showEncoderHelp(const Workspace &workspace, Prompter &prompter)
{
    const QString help = workspace.programFile(QStringLiteral("help.html"));
    if (QFileInfo::exists(help)) {
        QUrl url = QUrl::fromLocalFile(help);
        url.setFragment(QStringLiteral("encoder"));
        QDesktopServices::openUrl(url);
    }
    prompter.inform(exportText::restartAfterInstall(), PromptIcon::Information);
}

} // namespace

void runBuildFlow(QWidget *parent, ProjectSession &session, GuiPrompter &prompter)
{
    if (session.busy()) return;
    if (!session.checkTwoPictures()) return;

    const ProjectEnvironment env = session.environment();
    BuildChoice choice;
    {
        FrmBuild dialog(session.project().settings, QSize(env.screenWidth, env.screenHeight), parent,
                        QSettings().value(QString::fromLatin1(kLastFrameRateKey), kDefaultFrameRate).toInt());
        if (dialog.exec() != QDialog::Accepted) return;
        choice = dialog.choice();
    }
    if (choice.kind == BuildKind::Video) QSettings().setValue(QString::fromLatin1(kLastFrameRateKey), choice.frameRate);
    if (choice.kind != BuildKind::Video) {
        const SlideshowKind kind = choice.kind == BuildKind::Package ? SlideshowKind::Package : SlideshowKind::Local;
        BuildRequest request = editorBuildRequest(session, kind);
        request.packFonts = choice.includeFont;
        const BuildOutcome outcome = runSlideshowBuild(parent, session, prompter, request);
        if (!outcome.completed) return;
        FrmFinish finish(session.project().settings, outcome.finishReport, outcome.target, parent);
        finish.exec();
        return;
    }

    const ExportOutcome outcome = runVideoExport(parent, session, prompter, videoOptions(choice, env));
    if (outcome.installCodecRequested) showEncoderHelp(session.workspace(), prompter);
    if (!outcome.completed) return;
    FrmFinish finish(session.project().settings, outcome.finishReport, outcome.target, parent);
    finish.exec();
}

} // namespace pvsm::ui
