#pragma once

#include "Project.h"

#include <QStringList>

namespace pvsm {

// The largest values a project may hold. A file is input from anywhere: a slide
// time of 1e30 seconds would make an export that never ends, a font size of a
// million a text picture of terabytes. Values past these are clamped where a
// project is read, with a note for the user.
inline constexpr double kMaxSlideSeconds = 3600;     // TimeInterval, SlideDuration(i)
inline constexpr double kMaxTitleSeconds = 600;      // OpeningDurationTime, EndingDurationTime
inline constexpr int32_t kMinTransitionMs = 1000;    // the range the transition-speed box allows
inline constexpr int32_t kMaxTransitionMs = 2500;
inline constexpr int32_t kMaxFontSize = 1000;        // fFontSize(i), HeadSize(i), in screen pixels
inline constexpr int32_t kMaxBorderWidth = 100;      // fBorderWidth(i), HeadBorder(i)
inline constexpr int32_t kMaxPictureFrameNum = 10000; // PictureFrameNum: frames of all packages together
inline constexpr int32_t kBoxScreens = 4;            // boxes lie within 4 screens of the editing screen

// Clamps every number of `project` into its range and puts choice values
// outside their lists back to their defaults. `screen` is the editing screen
// the boxes refer to. Returns one note per key changed ("TimeInterval 1e+30
// → 3600"), empty when nothing was out of range.
QStringList BoundProjectNumbers(Project &project, int32_t screenWidth, int32_t screenHeight);

} // namespace pvsm
