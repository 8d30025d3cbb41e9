#include "SongAdmissionJob.h"

#include "BusyScope.h"
#include "JobRunner.h"
#include "ProgressWindow.h"

#include <QEventLoop>
#include <QPushButton>

#include <memory>

namespace pvsm::ui {

SongAdditions runSongAdmission(QWidget *parent, ProjectSession &session, Prompter &windowPrompter,
                               const QStringList &paths, const SongAdmissionProbe &probe,
                               const std::function<void(ProgressWindow &)> &onProgressWindow)
{
    // The job reads its own copy; the busy flag keeps commands off the session's.
    const Project project = session.project();
    BusyScope busy(session, parent ? parent->window() : nullptr);

    std::unique_ptr<ProgressWindow> progress;
    if (paths.size() > 1) {
        progress = std::make_unique<ProgressWindow>(parent ? parent->window() : nullptr, project.settings.isShowTip);
        if (project.settings.isShowTip) progress->cancelButton()->setToolTip(QStringLiteral("不再添加其余的音乐文件"));
        progress->setProgress(0, addingSongsCaption());
        progress->show();
        progress->raise();
        if (onProgressWindow) onProgressWindow(*progress);
    }

    SongAdditions plan;
    JobRunner runner(windowPrompter);
    QEventLoop loop;
    if (progress) {
        QObject::connect(&runner, &JobRunner::progressChanged, progress.get(),
                         [&progress](int percent, const QString &caption) { progress->setProgress(percent, caption); });
        QObject::connect(progress.get(), &ProgressWindow::cancelRequested, &runner, &JobRunner::cancel);
    }
    QObject::connect(&runner, &JobRunner::finished, &loop, &QEventLoop::quit);
    runner.start([&plan, &project, &paths, &probe](const JobControl &control, Prompter &) {
        plan = planSongAdditions(project, paths, probe, control);
    });
    loop.exec();
    return plan;
}

} // namespace pvsm::ui
