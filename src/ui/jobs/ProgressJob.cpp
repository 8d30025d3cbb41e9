#include "ProgressJob.h"

#include "BusyScope.h"
#include "JobRunner.h"
#include "ProgressWindow.h"

#include <QEventLoop>
#include <QPushButton>
#include <QWidget>

namespace pvsm::ui {

void runWithProgress(QWidget *parent, ProjectSession &session, Prompter &windowPrompter, const CoreJob &job,
                     const std::function<void(ProgressWindow &)> &onProgressWindow, const ProgressOptions &options)
{
    const bool tips = session.project().settings.isShowTip;
    BusyScope busy(session, parent);

    ProgressWindow progress(parent, tips);
    progress.hide();
    if (tips && !options.cancelTip.isEmpty()) progress.cancelButton()->setToolTip(options.cancelTip);
    const auto showProgress = [&progress] {
        if (progress.isVisible()) return;
        progress.show();
        progress.raise();
    };
    if (options.window && !options.firstCaption.isEmpty()) {
        progress.setProgress(0, options.firstCaption);
        showProgress();
    }
    if (options.window && onProgressWindow) onProgressWindow(progress);

    JobRunner runner(windowPrompter);
    QEventLoop loop;
    if (options.window) {
        QObject::connect(&runner, &JobRunner::progressChanged, &progress,
                         [&progress, &showProgress](int percent, const QString &caption) {
                             progress.setProgress(percent, caption);
                             showProgress();
                         });
        QObject::connect(&progress, &ProgressWindow::cancelRequested, &runner, &JobRunner::cancel);
    }
    QObject::connect(&runner, &JobRunner::finished, &loop, &QEventLoop::quit);
    runner.start(job);
    loop.exec();
}

} // namespace pvsm::ui
