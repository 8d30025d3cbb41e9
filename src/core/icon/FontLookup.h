#pragma once

#include "FontPacking.h"

#include <QString>

#include <array>
#include <vector>

namespace pvsm {

inline constexpr char kFontMissingName[] = "~FontMissing";
// What the caller shows (information icon) when FontPacking::anyMissing().
inline constexpr char kFontMissingMessage[] = "无法找到部分对应的字体文件";

// One face of an installed font file, as the system's font list gives it.
struct InstalledFace
{
    QString file;
    int index = 0;       // face in a collection
    int weight = 0;      // fontconfig's scale: 80 regular, 200 bold
    int slant = 0;       // 0 roman
};

// Every TrueType/OpenType face the system's font configuration knows, in a
// fixed order (file path, then face).
std::vector<InstalledFace> InstalledFaces();

// Finds the font files that serve the four text styles' face names and fills
// what the builder packs. A style is served by a face whose family name (read
// from the file's name table, any language) is the face name, letter case and
// blanks aside; the regular face of the family is preferred. Failing that, a
// name with "_" or "-" after its first character is cut there and looked up
// the same way, then the face name is compared with the faces' full names.
// A style found nowhere gets the check name "~FontMissing".
FontPacking LookupFonts(const std::array<QString, 4> &faceNames);
// The same over a given list of faces (tests, and callers that cache it).
FontPacking LookupFonts(const std::array<QString, 4> &faceNames, const std::vector<InstalledFace> &faces);

} // namespace pvsm
