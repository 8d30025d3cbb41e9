#include "SongAdmissionJob.h"

#include "ProgressJob.h"

#include <QWidget>

namespace pvsm::ui {

SongAdditions runSongAdmission(QWidget *parent, ProjectSession &session, Prompter &windowPrompter,
                               const QStringList &paths, const SongAdmissionProbe &probe,
                               const std::function<void(ProgressWindow &)> &onProgressWindow)
{
    // The job reads its own copy; the busy flag keeps commands off the session's.
    const Project project = session.project();
    ProgressOptions options;
    options.window = paths.size() > 1;
    options.firstCaption = addingSongsCaption();
    options.cancelTip = QStringLiteral("不再添加其余的音乐文件");
    SongAdditions plan;
    runWithProgress(
        parent ? parent->window() : nullptr, session, windowPrompter,
        [&plan, &project, &paths, &probe](const JobControl &control, Prompter &) {
            plan = planSongAdditions(project, paths, probe, control);
        },
        onProgressWindow, options);
    return plan;
}

} // namespace pvsm::ui
