#pragma once

#include "ProjectSession.h"
#include "VideoExport.h"

#include <functional>

class QWidget;

namespace pvsm::ui {

class ProgressWindow;

// Exports the session's project as a video on a worker thread, with the
// progress window over `parent` (shown from the job's first progress report)
// and its questions shown by `windowPrompter`. Returns when the export has
// ended; the window thread keeps serving its events meanwhile, so the window
// moves, repaints and takes the cancel click. The session is busy while the
// export runs, and its project is not touched: the job works on a copy.
//
// Window thread only. `onProgressWindow`, when given, is called once the
// progress window exists (tests and benchmarks reach its cancel button so).
ExportOutcome runVideoExport(QWidget *parent, ProjectSession &session, Prompter &windowPrompter,
                             const ExportOptions &options,
                             const std::function<void(ProgressWindow &)> &onProgressWindow = {});

} // namespace pvsm::ui
