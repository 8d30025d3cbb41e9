#include "ShowPreview.h"

#include "PropertyBag.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace pvsm::ui {

QString showPreviewPath(const Workspace &workspace)
{
    return workspace.tempDir() + QStringLiteral("~tmpview.aps");
}

bool writeShowPreview(const Project &project, const WriteContext &context, const QString &path, FileProblem *problem)
{
    Project shown = project;
    if (shown.settings.selectedTransitions.none()) shown.settings.enableTransition = false;
    shown.settings.isPackage = true;
    PropertyBag bag;
    WriteProjectBag(shown, bag, BagMode::Full, context);
    return SaveBagFile(path, bag, QFileInfo(path).absolutePath(), problem);
}

QString playerProgramPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("pvsm-player"));
}

bool runShowPreview(ProjectSession &session, Prompter &prompter, const QString &player)
{
    if (session.busy() || !session.checkTwoPictures()) return false;
    const QString program = player.isEmpty() ? playerProgramPath() : player;
    if (!QFileInfo(program).isExecutable()) {
        prompter.inform(QStringLiteral("未找到播放程序 '") + program + QStringLiteral("'，无法预览图片幻灯"),
                        PromptIcon::Information);
        return false;
    }
    const QString path = showPreviewPath(session.workspace());
    FileProblem problem = FileProblem::None;
    if (!writeShowPreview(session.project(), session.writeContext(), path, &problem)) {
        QString text = QStringLiteral("无法写入预览文件 '") + path + QStringLiteral("'");
        if (problem != FileProblem::None) text += QStringLiteral("：") + fileProblemTextZh(problem);
        prompter.inform(text, PromptIcon::Information);
        return false;
    }
    // The program itself with the file as its one argument: no shell reads the path.
    if (!QProcess::startDetached(program, {path}, QFileInfo(path).absolutePath())) {
        prompter.inform(QStringLiteral("无法启动图片幻灯 '") + program + QStringLiteral("'"), PromptIcon::Information);
        return false;
    }
    return true;
}

} // namespace pvsm::ui
