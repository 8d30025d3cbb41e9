#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace pvsm {

// The names a TrueType or OpenType face carries in its "name" table. Files are
// untrusted: every table offset and length is checked before use.
struct FontFaceNames
{
    QString family;        // name 1 as an English-language reader shows it
    QStringList families;  // names 1 and 16 in every language, without duplicates
    QStringList fullNames; // names 4 and 6 (full and PostScript names) in every language
};

// Reads `size` bytes at `offset` of the font file; fewer means the read failed.
using FontRangeReader = std::function<QByteArray(qint64 offset, qint64 size)>;

// The faces of a font file: 1 for a .ttf/.otf, the count of a collection
// (.ttc); 0 when the file is neither.
int FontFaceCount(const FontRangeReader &read);

// The names of face `faceIndex` (0 for a single font); nullopt when the file
// is no TrueType/OpenType font or its name table is damaged.
std::optional<FontFaceNames> ReadFontNames(const FontRangeReader &read, int faceIndex = 0);
std::optional<FontFaceNames> ReadFontNames(const QString &path, int faceIndex = 0);

// The family name of a font file (its first face): empty when it cannot be read.
QString FontFamilyName(const QString &path, int faceIndex = 0);

// Family names compared as font systems do: letter case and blanks ignored,
// otherwise whole and exact ("Arial" is not "Arial Black").
bool SameFontName(const QString &a, const QString &b);

} // namespace pvsm
