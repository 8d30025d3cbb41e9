#pragma once

// The settings record of a built slideshow: the property bag the player reads
// from its own file, with the resource list of the files appended after the
// player program (docs/formats.md, "Slideshow").

#include "FontPacking.h"
#include "Project.h"
#include "ProjectFile.h"
#include "PropertyBag.h"

#include <QSize>
#include <QString>

#include <vector>

namespace pvsm {

// One file to append: its key in the record and where its bytes come from.
// The length is not taken here: a file may change before the build reads it,
// so its length is the count of bytes actually read (WriteResources).
struct ResourceEntry
{
    QString path;
    QString key;
};
using ResourceList = std::vector<ResourceEntry>;

struct RecordContext
{
    WriteContext write;       // AppVersion, and whether the frame's bytes are at hand
    QSize editingScreen;      // OrigScreenWidth, OrigScreenHeight
    FontPacking fonts;        // files empty: no fonts packed
};

// Songs of the sync rule: the player derives one slide time from all songs
// only for 1 .. 20 of them.
inline constexpr int kMaxSyncSongs = 20;

// For each song (0-based), the lyric file the record pairs with it, or empty:
// for each lyric file in list order, the first song whose file name without
// folder and extension equals the lyric file's, letter case ignored; a later
// lyric file for the same song wins.
QStringList MatchLyricFiles(const Project &project);

// The record of a complete slideshow (pictures and music inside): the global
// settings, then the keys of the packed files, which name entries of
// `resources` and carry no value themselves. Works on `project` as the
// settings writer does (validated numbers are stored back), so pass a copy.
void WritePackageRecord(Project &project, PropertyBag &bag, ResourceList &resources, const RecordContext &context);

// The record of a slideshow for this machine and of the preview: the
// project in full mode with paths in place of files, ResFileSize 0. With
// `forPreview`, IsPackage is written as true whatever the project holds.
void WriteLocalRecord(Project &project, PropertyBag &bag, const RecordContext &context, bool forPreview);

} // namespace pvsm
