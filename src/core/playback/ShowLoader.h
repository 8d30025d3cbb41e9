#pragma once

// Loading a show for the player: a built slideshow (its own file or any other),
// the same bytes held in memory, or a project file played directly. A
// slideshow is input from strangers: the trailer's lengths are checked
// against the file and every resource's place against the resources before
// a single resource byte is read, and anything that does not fit is refused
// with a message for the user, never half-loaded.

#include "LoadedShow.h"
#include "Project.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace pvsm {

struct ShowLoadOptions
{
    // Where the private folder for unpacked pictures and songs goes (the
    // system's temporary folder when empty).
    QString privateParent;
    // Packed fonts are registered with the application (QFontDatabase, from
    // memory, for this process only). Needs a QGuiApplication.
    bool registerFonts = true;
    // A project played directly takes its button pictures, text texture and
    // picture frame from the resource and frame packages in this folder (the
    // program's); empty: the player's stand-ins and no packaged frame.
    QString programDir;
};

// Either a show or the reason it could not be loaded.
struct ShowLoadResult
{
    std::optional<LoadedShow> show;
    ShowLoadError error;
    bool ok() const { return show.has_value(); }
};

// The fixed texts of a refusal (shown by the player, compared by tests).
QString NotASlideshowText(const QString &path);    // no trailer: a foreign file or one cut short
QString DamagedSlideshowText(const QString &path); // a trailer, but what it points at does not fit
QString NoPicturesText();

// A built slideshow in `path`: ResFileSize 7 unpacks pictures and songs into a
// private folder (removed with the show), 0 takes the paths of this machine.
// Pictures whose file is missing are left out; none left is an error.
ShowLoadResult LoadSlideshow(const QString &path, const ShowLoadOptions &options = {});
// The same from the bytes of a whole slideshow file; `name` stands for the
// file in messages.
ShowLoadResult LoadSlideshowBytes(QByteArrayView file, const QString &name, const ShowLoadOptions &options = {});
// A project file (*.aps) played as the preview would play it.
ShowLoadResult LoadProjectShow(const QString &path, const ShowLoadOptions &options = {});

// Applies the record's own wishes that the engine does not know: captions
// from the pictures' file names. Shared by every way a show is loaded.
void ApplyCaptionsFromFileNames(Project &project);

// Unregisters the fonts a show registered. Safe to call twice.
void ReleaseShowFonts(LoadedShow &show);

} // namespace pvsm
