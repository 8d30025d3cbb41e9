#pragma once

// Why a user's file cannot be read or written, told from the file system
// before the file is opened: opening a FIFO for reading waits for a writer
// that may never come, and a device such as /dev/zero never ends, so every
// reader of a user's file (projects, pictures, songs, lyrics) asks first.

#include <QString>

namespace pvsm {

enum class FileProblem {
    None,
    Missing,        // no such file, or a folder on its way is missing
    Folder,         // a folder, not a file
    NotRegular,     // a FIFO, socket or device
    NotReadable,    // no permission to read it
    FolderMissing,  // writing: the folder that would hold it does not exist
    ReadOnlyFile,   // writing: the file itself is read-only
    ReadOnlyFolder, // writing: its folder (or the whole file system) is read-only
    DiskFull,       // writing: not enough free space
};

// None when `path` is a regular file this process may read. Follows links;
// never opens the file.
FileProblem readProblem(const QString &path);

// None when a file of `bytes` bytes can be written at `path` (created, or
// replaced through a temporary file in the same folder), as far as can be told
// before writing: the target is not a folder or special file, its folder exists
// and is writable, the file is not read-only, and the free space holds `bytes`
// (a full disk is told even for 0 bytes).
FileProblem writeProblem(const QString &path, qint64 bytes = 0);

// The problem a failed write's errno stands for (ENOSPC and EDQUOT: disk full;
// EROFS: read-only folder; EACCES and EPERM: read-only file; ENOENT: folder
// missing); None for any other error.
FileProblem writeProblemFromErrno(int error);
// True when errno `error` means there is no room left (ENOSPC, EDQUOT, EFBIG).
// FFmpeg's AVERROR(e) codes are -e: pass -code.
bool isDiskFullErrno(int error);

// What is wrong, as words that follow the path in a message for the command
// line: "does not exist", "is not a regular file (a FIFO, socket or device)".
QString fileProblemText(FileProblem problem);

// The same for the editor's messages: "文件不存在", "所在文件夹是只读的".
QString fileProblemTextZh(FileProblem problem);

// The message after `fileName` could not be written or replaced: with its
// cause when the file system tells one ("无法写入 'p.aps'：所在文件夹是只读的"),
// else the message for a file that is in use.
QString cannotWriteText(const QString &fileName, FileProblem problem);

} // namespace pvsm
