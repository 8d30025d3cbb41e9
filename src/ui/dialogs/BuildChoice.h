#pragma once

#include "Project.h"

#include <QSize>

namespace pvsm::ui {

// The three things the build dialog can make.
enum class BuildKind { Package, Preview, Video };

// What the user chose in the build dialog.
struct BuildChoice
{
    BuildKind kind = BuildKind::Video;
    int frameSizeIndex = 3; // into frameSizeList()
    int frameRate = 30;     // frames a second of the video, one of kFrameRates
    bool loopToLongerTrack = false;
    bool chooseCodecManually = false;
    bool includeFont = false;
    int videoFormat = 0; // 0 AVI, 1 MP4 (Settings::videoFormat)
};

// The kind used last, as the project's settings remember it: video, else the
// complete slideshow, else the slideshow for this machine.
BuildKind preselectedBuildKind(const Settings &settings);
// What choosing `kind` writes into the settings.
void applyBuildKind(Settings &settings, BuildKind kind);

// Which options of the dialog apply to the selected kind; the others are greyed.
struct BuildControlsState
{
    bool videoOptions = false; // frame size, its label, the loop and codec boxes
    bool includeFont = false;
};
BuildControlsState buildControlsState(BuildKind selected);

// Where the editor keeps the frame rate of the last video (QSettings).
inline constexpr const char *kLastFrameRateKey = "export/frameRate";
// The frame rate the dialog offers for a remembered value: the value when it
// is one of the rates, else the default (30).
int offeredFrameRate(int remembered);

} // namespace pvsm::ui
