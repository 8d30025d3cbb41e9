#pragma once

#include "ElfFile.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace pvsm {

// Where the icon slot lies in a program file: the section ".pvsm_icon" found
// through the section headers, with a slot header we recognise. nullopt for
// a file that is no ELF file or has no (or a damaged) slot.
std::optional<ElfFile::Range> FindIconSlot(const QString &program);

// FindIconSlot for a program held in memory (the builder's unscrambled player).
bool HasIconSlot(QByteArrayView program);

// The icon file held in a program's slot; empty when the slot is unused or
// there is none.
QByteArray ReadIconSlot(const QString &program);

// Writes the first image of the icon file `icoFile` into the icon slot of
// `program`, in place, as a single-image icon file. False, with the program
// unchanged, when the icon file is damaged, its image does not fit the slot,
// or the program has no slot; the caller keeps a copy to restore on failure
// of the write itself.
bool ReplaceIcon(const QString &icoFile, const QString &program);

} // namespace pvsm
