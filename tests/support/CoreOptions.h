#pragma once

#include "StartUp.h"

namespace pvsm::test {

// Start-up options for an editor core working in `dir` (program and work
// folder at once), with a font that is not installed and a fixed screen.
inline AppCore::Options coreOptionsFor(const QString &dir)
{
    AppCore::Options o;
    o.workspace = Workspace(dir, dir);
    o.uiFont = QStringLiteral("No Such Face");
    o.display.screen = {1280, 800};
    return o;
}

} // namespace pvsm::test
