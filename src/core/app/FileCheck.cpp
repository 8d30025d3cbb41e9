#include "FileCheck.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace pvsm {

namespace {

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

// Free bytes for this process; the blocks kept back for root count only for root.
qint64 freeBytes(const QByteArray &folder)
{
    struct statvfs fs
    {
    };
    if (::statvfs(folder.constData(), &fs) != 0) return -1;
    const unsigned long long blocks = ::geteuid() == 0 ? fs.f_bfree : fs.f_bavail;
    return qint64(blocks * fs.f_frsize);
}

} // namespace

FileProblem readProblem(const QString &path)
{
    if (path.isEmpty()) return FileProblem::Missing;
    const QByteArray p = native(path);
    struct stat st
    {
    };
    if (::stat(p.constData(), &st) != 0) return errno == EACCES ? FileProblem::NotReadable : FileProblem::Missing;
    if (S_ISDIR(st.st_mode)) return FileProblem::Folder;
    if (!S_ISREG(st.st_mode)) return FileProblem::NotRegular;
    if (::access(p.constData(), R_OK) != 0) return FileProblem::NotReadable;
    return FileProblem::None;
}

FileProblem writeProblem(const QString &path, qint64 bytes)
{
    if (path.isEmpty()) return FileProblem::Missing;
    const QFileInfo info(path);
    const QByteArray p = native(info.absoluteFilePath());
    const QByteArray folder = native(info.absolutePath());
    struct stat st
    {
    };
    const bool exists = ::stat(p.constData(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return FileProblem::Folder;
    if (exists && !S_ISREG(st.st_mode)) return FileProblem::NotRegular;
    struct stat dir
    {
    };
    if (::stat(folder.constData(), &dir) != 0 || !S_ISDIR(dir.st_mode)) return FileProblem::FolderMissing;
    // The new file is made beside the old one and renamed over it, so the
    // folder must take a new entry even when the file exists.
    if (::access(folder.constData(), W_OK) != 0) return FileProblem::ReadOnlyFolder;
    if (exists && ::access(p.constData(), W_OK) != 0)
        return errno == EROFS ? FileProblem::ReadOnlyFolder : FileProblem::ReadOnlyFile;
    const qint64 available = freeBytes(folder);
    if (available == 0 || (available > 0 && available < bytes)) return FileProblem::DiskFull;
    return FileProblem::None;
}

FileProblem writeProblemFromErrno(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return FileProblem::DiskFull;
    case EROFS: return FileProblem::ReadOnlyFolder;
    case EACCES:
    case EPERM: return FileProblem::ReadOnlyFile;
    case ENOENT: return FileProblem::FolderMissing;
    default: return FileProblem::None;
    }
}

bool isDiskFullErrno(int error)
{
    return writeProblemFromErrno(error) == FileProblem::DiskFull;
}

QString fileProblemText(FileProblem problem)
{
    switch (problem) {
    case FileProblem::None: return {};
    case FileProblem::Missing: return QStringLiteral("does not exist");
    case FileProblem::Folder: return QStringLiteral("is a folder, not a file");
    case FileProblem::NotRegular: return QStringLiteral("is not a regular file (a FIFO, socket or device)");
    case FileProblem::NotReadable: return QStringLiteral("cannot be read: permission denied");
    case FileProblem::FolderMissing: return QStringLiteral("cannot be written: its folder does not exist");
    case FileProblem::ReadOnlyFile: return QStringLiteral("cannot be written: the file is read-only");
    case FileProblem::ReadOnlyFolder: return QStringLiteral("cannot be written: its folder is read-only");
    case FileProblem::DiskFull: return QStringLiteral("cannot be written: the disk is full");
    }
    return {};
}

QString fileProblemTextZh(FileProblem problem)
{
    switch (problem) {
    case FileProblem::None: return {};
    case FileProblem::Missing: return QStringLiteral("文件不存在");
    case FileProblem::Folder: return QStringLiteral("这是一个文件夹，不是文件");
    case FileProblem::NotRegular: return QStringLiteral("这不是普通文件（可能是管道、套接字或设备）");
    case FileProblem::NotReadable: return QStringLiteral("没有读取这个文件的权限");
    case FileProblem::FolderMissing: return QStringLiteral("所在文件夹不存在");
    case FileProblem::ReadOnlyFile: return QStringLiteral("文件是只读的");
    case FileProblem::ReadOnlyFolder: return QStringLiteral("所在文件夹是只读的");
    case FileProblem::DiskFull: return QStringLiteral("磁盘空间不足");
    }
    return {};
}

QString cannotWriteText(const QString &fileName, FileProblem problem)
{
    if (problem == FileProblem::None)
        return QStringLiteral("无法替换 '") + fileName + QStringLiteral("'，文件可能正在使用中");
    return QStringLiteral("无法写入 '") + fileName + QStringLiteral("'：") + fileProblemTextZh(problem);
}

} // namespace pvsm
