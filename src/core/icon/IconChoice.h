#pragma once

#include "IconScan.h"
#include "Workspace.h"

#include <QImage>
#include <QString>

namespace pvsm {

// The chooser's steps on the work folder's Temp/ files. The confirmed icon's
// presence is the icon-chosen flag: Temp/ is emptied at start and exit, and
// clearing the project or all pictures deletes the file.

// Writes the selected image of `source` as Temp/tempicon.ico (an older one is
// deleted first); false when it cannot be read or written.
bool ExtractTempIcon(const Workspace &workspace, const QString &source, const IconHit &hit);

// The dialog ended with OK: Temp/tempicon.ico, when present, becomes
// Temp/icofinal.ico. Returns whether an icon is chosen afterwards.
bool ConfirmChosenIcon(const Workspace &workspace);

// The icon the builders apply: the path of Temp/icofinal.ico, or empty when
// no icon is chosen.
QString ChosenIcon(const Workspace &workspace);

// The image of an icon file for a preview; null when it does not decode.
QImage IconFileImage(const QString &icoPath);
QImage IconBytesImage(const QByteArray &icoBytes);

} // namespace pvsm
