#pragma once

#include "Job.h"
#include "ProjectSession.h"
#include "Prompter.h"

#include <QString>

#include <functional>

class QWidget;

namespace pvsm::ui {

class ProgressWindow;

// A core job, run on a worker thread: the session is busy and the window
// shows the busy cursor while it runs, the progress window over `parent`
// appears with the job's first progress report and its cancel button asks
// the job to stop, and the job's questions are shown by `windowPrompter`.
// Returns when the job has ended; the window thread serves its events
// meanwhile. Window thread only. `onProgressWindow`, when given, is called
// once the progress window exists (tests reach its cancel button so).
using CoreJob = std::function<void(const JobControl &control, Prompter &prompter)>;
struct ProgressOptions
{
    bool window = true;   // false: no progress window at all (a job too short to show one)
    QString firstCaption; // not empty: the window shows at once with it, at 0 %
    QString cancelTip;    // the cancel button's tip while tips are on; empty: the window's own
};
void runWithProgress(QWidget *parent, ProjectSession &session, Prompter &windowPrompter, const CoreJob &job,
                     const std::function<void(ProgressWindow &)> &onProgressWindow = {},
                     const ProgressOptions &options = {});

} // namespace pvsm::ui
