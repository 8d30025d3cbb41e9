#pragma once

#include "Project.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace pvsm {

// Picture extensions the editor accepts, upper case.
const QStringList &supportedPictureExtensions();
// Music extensions the editor accepts, upper case.
const QStringList &supportedMusicExtensions();

bool hasSupportedPictureExtension(const QString &path);
bool hasSupportedMusicExtension(const QString &path);

// Decides whether a file with a supported extension really is a picture.
using PictureCheck = std::function<bool(const QString &path)>;
// Length of a song in seconds as the music list stores it; a negative length
// refuses the song (not playable, or too short to be music).
using SongAdmissionProbe = std::function<float(const QString &path)>;

struct AddPicturesResult
{
    int added = 0;
    int skipped = 0; // duplicates, wrong extensions, files that are no picture
};

// Appends pictures as the editor does: a path already in the list is skipped,
// so is one without a supported extension or one `isPicture` refuses. New
// pictures get the defaults of a newly added picture.
AddPicturesResult addPictures(Project &project, const QStringList &paths, const ProjectEnvironment &env,
                              const PictureCheck &isPicture = {});

struct AddSongsResult
{
    int added = 0;
    QString lastRefused; // path of the last file refused, empty when none
};

// The message shown for refused songs, followed by a line break and the path.
QString songRefusedMessage(const QString &lastRefused);

// Appends songs: a path already in the list (letter case ignored) is skipped;
// a song the probe refuses is reported when the file exists.
// The lyric file found beside the song (or in LyricFolder) joins the lyric list.
AddSongsResult addSongs(Project &project, const QStringList &paths, const SongAdmissionProbe &probe);

// The lyric file of a song: the song path with its last three characters
// replaced by "lrc", else the song's title + ".lrc" inside LyricFolder when
// that is an absolute folder; empty when neither exists.
QString FindLyricFile(const QString &songPath, const QString &lyricFolder);

// Appends lyric files not yet listed. Returns how many were added.
int addLyricFiles(Project &project, const QStringList &paths);

} // namespace pvsm
