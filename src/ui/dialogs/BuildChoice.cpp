#include "BuildChoice.h"

#include "VideoExport.h"

namespace pvsm::ui {

BuildKind preselectedBuildKind(const Settings &settings)
{
    if (settings.isExportAvi) return BuildKind::Video;
    return settings.isPackage ? BuildKind::Package : BuildKind::Preview;
}

void applyBuildKind(Settings &settings, BuildKind kind)
{
    settings.isPackage = kind == BuildKind::Package;
    settings.isExportAvi = kind == BuildKind::Video;
}

BuildControlsState buildControlsState(BuildKind selected)
{
    BuildControlsState s;
    s.videoOptions = selected == BuildKind::Video;
    s.includeFont = selected == BuildKind::Package;
    return s;
}

int offeredFrameRate(int remembered)
{
    return isFrameRate(remembered) ? remembered : kDefaultFrameRate;
}

} // namespace pvsm::ui
