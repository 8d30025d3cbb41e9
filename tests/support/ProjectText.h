#pragma once

#include "ProjectFile.h"

#include <QStringList>

namespace pvsm::test {

// The project as `pvsm-cli project show` lists its saved file, one key per
// line: undo tests compare this before an edit and after its undo, so that
// nothing the file keeps can drift unnoticed.
inline QStringList projectText(Project project)
{
    PropertyBag bag;
    WriteContext context;
    context.keepEmptyTextGroups = true; // boxes and styles of empty texts count too
    WriteProjectBag(project, bag, BagMode::Full, context);
    return bag.listing();
}

} // namespace pvsm::test
