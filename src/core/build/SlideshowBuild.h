#pragma once

// Building a self-playing slideshow from a project: the complete slideshow
// (every file inside), the slideshow for this machine and the preview
// (paths to the files on this machine). A core job: it talks to the user
// through a Prompter and reports progress and obeys cancel through JobControl.

#include "FontPacking.h"
#include "IconReplace.h"
#include "Job.h"
#include "OutputChecks.h"
#include "Project.h"
#include "Prompter.h"
#include "PropertyBag.h"
#include "Workspace.h"

#include <QByteArray>
#include <QSize>
#include <QString>

#include <functional>

namespace pvsm {

enum class SlideshowKind { Package, Local, Preview };

struct BuildRequest
{
    SlideshowKind kind = SlideshowKind::Package;
    QString outputPath;        // empty: ask with the save dialog (the preview always uses Temp/~tmpview.scr)
    QSize editingScreen{1920, 1080};
    QString appVersion;
    // The icon the user chose (an .ico file), and what puts it into the
    // player program; false from it keeps the player's own icon after the
    // message "替换图标失败". Empty file or function: the player's own icon.
    QString iconFile;
    std::function<bool(const QString &icoFile, const QString &program)> replaceIcon = ReplaceIcon;
    // The font files of the four text styles (complete slideshow only): looked
    // up by the build when `packFonts` is set and `fonts` holds none.
    bool packFonts = false;
    FontPacking fonts;
    QByteArray frameData;      // the chosen frame's picture (PictureFrameData); empty: none
    FreeSpaceQuery freeSpace;  // empty: what the system says
};

struct BuildOutcome
{
    bool completed = false;    // the file is complete and checked at `target`
    bool cancelled = false;    // stopped by the user (a refusal or cancel)
    QString target;
    qint64 bytes = 0;
    PackageTrailer trailer;
    bool iconReplaced = false;
    QString finishReport;      // the five lines of the finish window
};

// `BuildScreenSaver` (the complete slideshow) and `PreviewScreenSaver` (the
// slideshow for this machine and the preview) in one: checks, the player
// program from Pvsm.bfq, the icon, the record, the resources, the trailer and
// the check of what was written. The file is written under a work name beside
// the target and renamed into place only when complete and checked, so a
// failed or cancelled build leaves the previous file as it was. The project is
// not changed: the rules a build applies (no background picture, no
// transition selected) change its own copy.
BuildOutcome BuildScreenSaver(const Project &project, const Workspace &workspace, const BuildRequest &request,
                              Prompter &prompter, const JobControl &control);

// The finish window's text, lines joined by CR LF; the size in megabytes cut
// (not rounded) to two decimals.
QString slideshowFinishText(const QString &showName, int pictures, int songs, qint64 bytes, const QString &target);

// The preview's file, Temp/~tmpview.scr.
QString previewPath(const Workspace &workspace);

// Starts a built slideshow as a program of its own, without a shell and
// without waiting for it. False with a message for people in `error` when it
// cannot be started (a file system mounted without the right to run
// programs is named as such).
bool StartSlideshow(const QString &path, QString *error);

// Messages of the build, exactly as shown.
namespace buildText {
QString playerMissing(const QString &playerPath);
QString tooLarge();
QString diskSpaceQuestion(const QString &volume);
QString iconFailed();
QString restrictedFolder(const QString &folder);
QString errorCode(int code, const QString &description);
QString saveTitle(SlideshowKind kind);
} // namespace buildText

} // namespace pvsm
