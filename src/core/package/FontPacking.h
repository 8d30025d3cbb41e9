#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace pvsm {

// What the font lookup found for the four text styles of a show, and what
// the builder packs and records (fFontNameForCheck(j), FontBelongsTo(j)).
struct FontPacking
{
    QStringList files;                  // font files to pack, without duplicates
    std::array<QString, 4> checkNames;  // per style: the family found, or "~FontMissing"
    std::array<int, 4> belongsTo{};     // per style: 1-based number in `files`, 0 = none
    bool anyMissing() const
    {
        for (const QString &n : checkNames)
            if (n == QStringLiteral("~FontMissing")) return true;
        return false;
    }
};

} // namespace pvsm
