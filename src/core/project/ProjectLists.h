#pragma once

#include "Job.h"
#include "Project.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace pvsm {

// Picture file name extensions the editor accepts, lower case, without the
// dot: the seven formats' own and their other common spellings (jpeg, jpe,
// jfif, tiff). Which format a file holds is told by its contents, never by
// this list, so a PNG named .jpg is a PNG.
const QStringList &supportedPictureExtensions();
// Music extensions the editor accepts, upper case.
const QStringList &supportedMusicExtensions();

// True when the extension after the last dot of the file name is one of
// supportedPictureExtensions(), in any letter case (.JPEG, .Tiff).
bool hasSupportedPictureExtension(const QString &path);
bool hasSupportedMusicExtension(const QString &path);

// One filter of an open-file dialog: the name shown and its patterns.
struct FileFilter
{
    QString name;
    QStringList patterns; // "*.[jJ][pP][gG]": native dialogs here tell letter case apart
};

// The filters of the editor's "添加图片文件" dialog, in order: every supported
// picture first, then one filter per format.
std::vector<FileFilter> pictureOpenFilters();

// pictureOpenFilters() as one filter text of a file dialog
// ("name (patterns);;name (patterns)…").
QString pictureDialogFilter();

// The files the editor takes from a drop onto the picture list, or from a
// folder's listing: those with a supported picture extension, in the order given.
QStringList pictureFilesByName(const QStringList &paths);

// The pictures of a folder (not of its subfolders) as the add-folder button
// takes them: files with a supported extension, by name (letter case ignored).
QStringList pictureFilesInFolder(const QString &folder);

// What a drop onto the picture list adds, in the order dropped: a dropped
// file when it has a supported picture extension, a dropped folder as its
// pictures (pictureFilesInFolder: not its subfolders, by name).
QStringList picturesFromDrop(const QStringList &paths);

// Decides whether a file with a supported extension really is a picture:
// empty when it is, else why not, as words that follow its path in a message
// ("is not a picture of a supported format", "does not exist").
using PictureCheck = std::function<QString(const QString &path)>;

// A picture left out of the list, with the reason (words that follow its path).
struct RefusedPicture
{
    enum class Why
    {
        Listed,      // already in the list
        NoExtension, // no picture extension
        Checked,     // refused by the PictureCheck: `reason` is its words
    };
    QString path;
    QString reason;
    Why why = Why::Checked;
};
// Length of a song in seconds as the music list stores it; a negative length
// refuses the song (not playable, or too short to be music).
using SongAdmissionProbe = std::function<float(const QString &path)>;

struct AddPicturesResult
{
    int added = 0;
    int skipped = 0; // duplicates, wrong extensions, files that are no picture
    std::vector<RefusedPicture> refused; // every skipped file, in the order given
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
    bool cancelled = false; // stopped before the last file; what was added stays
};

// "2 picture(s) skipped:" and one line per refused file with its reason (the
// first 20, then how many more); empty when none was refused.
QString refusedPicturesMessage(const AddPicturesResult &result);
// The same for the editor's window, in Chinese: the PictureCheck given to
// addPictures must have said its reasons in Chinese too (pictureProblemTextZh).
QString refusedPicturesMessageZh(const AddPicturesResult &result);

// The message shown for refused songs, followed by a line break and the path.
QString songRefusedMessage(const QString &lastRefused);

// Appends songs: a path already in the list (letter case ignored) is skipped,
// so is a path of 6 characters or fewer; a song needs a length above 0 from
// the probe, and one refused is reported when the file exists.
// The lyric file found beside the song (or in LyricFolder) joins the lyric list.
// `control` hears the percentage after each file and may stop the rest.
AddSongsResult addSongs(Project &project, const QStringList &paths, const SongAdmissionProbe &probe,
                        const JobControl &control = {});

// What an add of songs would append to `project`, worked out without changing
// it (the probe is slow: the editor runs this off the window thread).
struct SongAdditions
{
    AddSongsResult result;
    std::vector<Song> songs;
    QStringList lyricFiles;
};
SongAdditions planSongAdditions(const Project &project, const QStringList &paths, const SongAdmissionProbe &probe,
                                const JobControl &control = {});

// `probed` (a plan made against an earlier state of the lists) made again
// against `project` without probing again: songs listed meanwhile are
// skipped, the lyric files are looked up again, and the refused file stays
// refused.
SongAdditions replanSongAdditions(const Project &project, const QStringList &paths, const SongAdditions &probed);

// The caption of the progress shown while songs are probed.
QString addingSongsCaption();

// The filters of the "添加音乐文件" dialog, in order: every supported format,
// then MP3, WMA, WAV and MIDI.
std::vector<FileFilter> musicOpenFilters();

// Filters as one filter text of a file dialog ("name (patterns);;…").
QString dialogFilterText(const std::vector<FileFilter> &filters);

// The files the editor takes from a drop onto the music list: those whose
// last four characters are ".MP3", ".WAV", ".MID" or ".WMA" in any case.
QStringList musicFilesByName(const QStringList &paths);

// The lyric file of a song: the song path with its last three characters
// replaced by "lrc", else the song's title + ".lrc" inside LyricFolder when
// that is an absolute folder; empty when neither exists.
QString FindLyricFile(const QString &songPath, const QString &lyricFolder);

// Appends lyric files not yet listed. Returns how many were added.
int addLyricFiles(Project &project, const QStringList &paths);

// Clearing all pictures (the clear button, and removing every picture): the
// pictures go, and so do the background kind and the four auxiliary pictures,
// which the cleared show no longer holds.
void clearPictures(Project &project);

// Removes the pictures at the 0-based `indices` (any order, duplicates and
// indices out of range ignored). Removing every picture clears the list as
// clearPictures() does. Returns true when it cleared the list that way.
bool removePictures(Project &project, std::vector<int> indices);

// True when item `index` of a list of `count` has a neighbour `delta` (-1, +1) away.
bool canSwapWithNeighbour(size_t count, int index, int delta);

// Exchanges picture `index` with its neighbour `delta` (-1 up, +1 down); each
// picture keeps its own settings. False, changing nothing, at either end.
bool movePicture(Project &project, int index, int delta);
bool moveSong(Project &project, int index, int delta);

// Empties the music list and the lyric list.
void clearSongs(Project &project);

// Removes the songs at `indices`, each with the last lyric file whose name
// without folder and extension equals the song's (letter case ignored).
// Removing every song, or leaving none, clears both lists as clearSongs()
// does. Returns true when it cleared them that way.
bool removeSongs(Project &project, std::vector<int> indices);

// The lyric list searched again for every song (after LyricFolder changed):
// the lyric file FindLyricFile() gives for each song joins the list when it
// is not listed yet. Returns how many were added.
int findLyricFilesAgain(Project &project);

// Copies the caption and caption box of picture `from` to every picture.
void applyCaptionToAll(Project &project, int from);

} // namespace pvsm
