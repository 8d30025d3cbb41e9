#pragma once

#include "Workspace.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace pvsm {

// What the start knows when it decides whether to give the automatic save
// back after a session that did not end normally.
struct RecoveryFacts
{
    bool previousDied = false;                  // the last session's marker was left behind
    QString projectPath;                        // that session's current file; empty when none
    bool projectIsAutoSave = false;             // the file open was AutoSave.aps itself
    std::optional<QDateTime> projectModified;   // absent when the file is not there
    std::optional<QDateTime> autoSaveModified;  // absent when there is no automatic save
    bool autoSaveSameAsProject = false;         // both files hold the same bytes
};

// Collects the facts from the marker's report and the files.
RecoveryFacts gatherRecoveryFacts(const SessionMarker::Previous &previous, const Workspace &workspace);

// The rule: the last session died, and its automatic save holds work that
// its file does not, because the save is newer than the file, or there was
// no file (never saved, or gone since).
bool canOfferRecovery(const RecoveryFacts &facts);

// The question put to the user at start, and the messages after a restore
// that failed or a decline that could not move the file.
QString recoveryQuestionText(const RecoveryFacts &facts);
QString recoveryUnreadableText(const QString &keptCopy);
QString recoveryNotMovedText(const QString &autoSavePath);

// Name under Project/ for an automatic save kept aside, from the time it was written.
QString keptAutoSaveName(const QDateTime &written);
// Moves AutoSave.aps aside to a dated name that is not taken, so the next
// automatic save cannot overwrite it. The new path, or empty when it could not be moved.
QString keepAutoSaveAside(const Workspace &workspace);

} // namespace pvsm
