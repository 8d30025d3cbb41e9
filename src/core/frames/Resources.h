#pragma once

#include "Workspace.h"

#include <QByteArray>
#include <QString>

namespace pvsm {

// Named lookups in the resource package gmi.src of the program folder. A
// missing or damaged package finds nothing.

// The entry `name` (letter case ignored); empty when absent.
QByteArray ResourceEntryBytes(const Workspace &workspace, const QString &name);

// Installs the package's "rainbow.jpg" as the texture of text pattern 2
// (done once at start-up). False, and the texture left as it was, when the
// package has no such picture.
bool LoadTextTexture(const Workspace &workspace);

} // namespace pvsm
