#pragma once

#include "ProjectLists.h"
#include "ProjectSession.h"

#include <functional>

class QWidget;

namespace pvsm::ui {

class ProgressWindow;

// Works out an add of songs (planSongAdditions()) on a worker thread: probing
// a song means opening and decoding it, which would freeze the window. The
// session is busy and the pointer an hourglass meanwhile; with more than one
// file the progress window shows the share of files done, and its cancel
// button stops before the next file (what was probed is kept). Returns when
// the job ended; the window keeps serving its events meanwhile.
// `onProgressWindow` sees the progress window when there is one (tests).
SongAdditions runSongAdmission(QWidget *parent, ProjectSession &session, Prompter &windowPrompter,
                               const QStringList &paths, const SongAdmissionProbe &probe,
                               const std::function<void(ProgressWindow &)> &onProgressWindow = {});

} // namespace pvsm::ui
