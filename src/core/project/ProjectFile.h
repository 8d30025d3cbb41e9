#pragma once

#include "Project.h"
#include "PropertyBag.h"

#include <functional>
#include <optional>

namespace pvsm {

enum class BagMode { Full, SettingsOnly };

// Facts the settings writer needs from outside the project.
struct WriteContext
{
    QString appVersion;              // written as AppVersion
    // Whether the chosen frame's picture is at hand. The editor can always
    // load it here (no graphics device can fail to start), so a saved project
    // keeps its frame; a builder that holds no frame bytes clears it so that
    // the record never names a frame the slideshow does not carry.
    bool framePictureLoaded = true;
    // Also write the caption and headline groups of pictures whose text is
    // empty, so that boxes and styles survive an edit done through the bag.
    bool keepEmptyTextGroups = false;
};

// Measures a song's length in seconds (0 when unknown). Used when a stored
// length is 0.
using SongLengthProbe = std::function<float(const QString &path)>;

// Writes the global settings in their fixed order. Validates the number
// settings on the way, as the editor's boxes would, and stores the validated
// values back into the project. Writes nothing for a project without pictures.
void WritePlayerSettings(Project &project, PropertyBag &bag, const WriteContext &context);

// The keys of picture `n` (1-based) that follow its ImgNames(n): the slide
// time and position when set, the caption group when there is a caption and
// the headline group when there is a headline (or always, with
// `keepEmptyTextGroups`). Shared by the project file and the slideshow record.
void WritePictureSettings(const Picture &picture, int n, PropertyBag &bag, bool keepEmptyTextGroups = false);

// Writes the project: the four picture paths, the global settings and, in full
// mode, the lists. Writes nothing for a project without pictures.
void WriteProjectBag(Project &project, PropertyBag &bag, BagMode mode, const WriteContext &context);

// Reads a bag written by WriteProjectBag (or an older version of it) into
// `project`, with the rules for absent keys and the load normalisations.
// Settings-only mode empties the lists and reads none. Relative file paths
// are taken from `baseDir` (the folder of the project file; empty: left as
// they are). Numbers are held to their ranges (BoundProjectNumbers); returns
// the notes of what was changed, empty when nothing was out of range.
QStringList ReadProjectBag(Project &project, const PropertyBag &bag, BagMode mode, const ProjectEnvironment &env,
                           const SongLengthProbe &probe = {}, const QString &baseDir = {});

// The text of a picture's ImgMotion(n) key: the start and the end rectangle
// as fractions of the picture and the curve, "x,y,w,h;x,y,w,h;curve" (for
// example "0,0,1,1;0.1,0.1,0.8,0.8;1"). Written only for a picture whose
// motion is on; a picture without the key has none.
QString motionKeyText(const PictureMotion &motion);
// The motion a key's text describes, on; nullopt for text that is not of that
// form or holds numbers outside the bounds (widths and heights in
// [kMinMotionExtent, kMaxMotionExtent], corners within kMaxMotionOffset of
// the picture, curve 0 or 1).
std::optional<PictureMotion> motionFromKeyText(const QString &text);
inline constexpr double kMinMotionExtent = 0.01;
inline constexpr double kMaxMotionExtent = 10.0;
inline constexpr double kMaxMotionOffset = 10.0;

// Files of the older record layout are declined: returns false and leaves the
// project empty of pictures.
bool ReadLegacyProject(Project &project, const QString &path);

// The value type a project key is stored with, for keys the model knows
// (global settings and list items such as "ImgCaption(2)").
std::optional<BagType> projectKeyType(const QString &key);

// Sets one key of the project from text, through the same writer and reader
// that save and open use. Counts and AppVersion cannot be set; list items must
// name an existing entry. Returns false with a message for people in `error`.
bool setProjectKey(Project &project, const QString &key, const QString &valueText, const ProjectEnvironment &env,
                   const WriteContext &context, QString *error);

} // namespace pvsm
