#include "ProgressJob.h"

#include "BusyScope.h"
#include "JobRunner.h"
#include "ProgressWindow.h"

#include <QEventLoop>
#include <QWidget>

namespace pvsm::ui {

void runWithProgress(QWidget *parent, ProjectSession &session, Prompter &windowPrompter, const CoreJob &job,
                     const std::function<void(ProgressWindow &)> &onProgressWindow)
{
    const bool tips = session.project().settings.isShowTip;
    BusyScope busy(session, parent);

    ProgressWindow progress(parent, tips);
    progress.hide();
    if (onProgressWindow) onProgressWindow(progress);

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
    runner.start(job);
    loop.exec();
}

} // namespace pvsm::ui
