#pragma once

#include <QString>

namespace pvsm {

inline constexpr int kVersionMajor = 4;
inline constexpr int kVersionMinor = 6;
inline constexpr int kVersionRevision = 0;

// "图片幻灯工作室"
QString productName();

// Major, ".", then minor and revision run together: 4.6.0 gives "4.60".
QString versionText(int major = kVersionMajor, int minor = kVersionMinor,
                    int revision = kVersionRevision);

// Product name immediately followed by the version text.
QString windowCaption();

} // namespace pvsm
