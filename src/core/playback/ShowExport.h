#pragma once

// Saving a show's pictures and music to a folder the player's user chooses,
// when the show allows it (EnableExport) and after its password
// (ExportPassword, none when empty) was given.

#include "FileCheck.h"
#include "Job.h"
#include "LoadedShow.h"

#include <QString>
#include <QStringList>

namespace pvsm {

// Whether the player offers the export at all, and whether it must ask.
bool ExportAllowed(const LoadedShow &show);
bool ExportNeedsPassword(const LoadedShow &show);
// The given password opens the export: exactly the stored one (case and
// spaces count); anything goes when none is stored.
bool ExportPasswordAccepted(const LoadedShow &show, const QString &given);

struct ShowExportResult
{
    enum class Status { Ok, NotAllowed, WrongPassword, NoFolder, Cancelled, Failed };
    Status status = Status::Ok;
    QStringList written; // the files made, in order
    QString failedPath;  // the file that could not be read or written (Failed)
    FileProblem problem = FileProblem::None;
    bool ok() const { return status == Status::Ok; }
};

// The name a picture (`index` 0-based of `count`) or song is saved under:
// its own file name where the show knows it (paths on this machine), else
// "图片" / "音乐" and its number, with the extension of its format.
QString ExportName(const LoadedShow &show, bool picture, size_t index);

// Copies every picture and song of the show into `folder`, each through a
// temporary name renamed into place; an existing file is never replaced (the
// copy gets " (2)", " (3)" ... before its extension). The password is
// checked first and nothing is written without it. Stops at the first file
// that fails, keeping the ones already made; a cancel between files stops too.
ShowExportResult ExportShowFiles(const LoadedShow &show, const QString &password, const QString &folder,
                                 const JobControl &control = {});

// The message for the user about an export's outcome.
QString ExportResultText(const ShowExportResult &result, const QString &folder);

} // namespace pvsm
