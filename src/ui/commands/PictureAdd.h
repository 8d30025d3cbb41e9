#pragma once

#include "PictureListCommands.h"

#include <memory>

namespace pvsm::ui {

// The add of the picture section: every file checked as a picture
// (CheckPictureFile), then one command that appends the good ones. Many files
// are checked on worker threads while the window thread keeps running (the
// session is busy meanwhile, so no other command changes the project); a
// few are checked at once. Null when nothing is added; `result` tells what
// was refused and why.
std::unique_ptr<AppendPicturesCommand> planPictureAdd(EditorContext &context, const QStringList &paths,
                                                      AddPicturesResult *result);

} // namespace pvsm::ui
