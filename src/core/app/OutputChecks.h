#pragma once

// The two questions every job asks before it writes a file the user named:
// whether an existing file may be replaced, and whether the disk has room.

#include "Prompter.h"

#include <QString>

#include <functional>

namespace pvsm {

// Bytes free for this user on the file system that holds `folder`, or a
// negative value when unknown.
using FreeSpaceQuery = std::function<qint64(const QString &folder)>;

// What the system says, through QStorageInfo; -1 when it cannot tell.
qint64 SystemFreeSpace(const QString &folder);

// Whether the file system of `folder` has at least `megabytes` whole
// megabytes (1,048,576 bytes, taken to the nearest) free for this user. A
// query that fails counts as enough space, so a file system that cannot tell
// never stops a job. `query` empty: SystemFreeSpace.
bool HasFreeSpace(const QString &folder, qint64 megabytes, const FreeSpaceQuery &query = {});

// Whole megabytes of `bytes`, to the nearest, as the free-space rule counts them.
qint64 WholeMegabytes(qint64 bytes);

// The mount point of the file system that holds `path` (the folder the
// disk-space questions name where a Windows path named its drive), else the
// path's own folder.
QString VolumeOf(const QString &path);

// The replace question for an output file: true when `path` does not exist,
// or the user agrees to replace it and it can be replaced (a read-only file
// or folder is told to the user with its cause, and refused).
bool ConfirmOverwrite(const QString &path, Prompter &prompter);

} // namespace pvsm
