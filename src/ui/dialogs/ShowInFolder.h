#pragma once

#include <QString>

namespace pvsm::ui {

// Opens the folder of `filePath` in the desktop's file manager with the file
// selected (the freedesktop FileManager1.ShowItems call on the session bus);
// where no file manager answers that call, opens the folder itself. Returns
// at once: the answer of the file manager is awaited by the event loop.
void showInFolder(const QString &filePath);

} // namespace pvsm::ui
