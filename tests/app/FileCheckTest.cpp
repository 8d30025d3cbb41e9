#include "FileCheck.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using namespace pvsm;

namespace {

QString touch(const QString &path, const QByteArray &bytes = "x")
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

// A small tmpfs mounted at `dir` (root only; false when it cannot be made).
bool mountTmpfs(const QString &dir, const QString &options)
{
    if (::geteuid() != 0) return false;
    return QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                        options, QStringLiteral("none"), dir})
           == 0;
}

void unmount(const QString &dir)
{
    QProcess::execute(QStringLiteral("umount"), {dir});
}

} // namespace

TEST(FileCheck, ReadingTellsMissingFoldersAndSpecialFilesWithoutOpening)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("dangling"))));
    const struct
    {
        QString path;
        FileProblem problem;
    } cases[] = {
        {touch(dir.filePath(QStringLiteral("a.aps"))), FileProblem::None},
        {dir.filePath(QStringLiteral("none.aps")), FileProblem::Missing},
        {dir.filePath(QStringLiteral("none/inside.aps")), FileProblem::Missing},
        {dir.filePath(QStringLiteral("dangling")), FileProblem::Missing},
        {QString(), FileProblem::Missing},
        {dir.path(), FileProblem::Folder},
        {fifo, FileProblem::NotRegular},
        {QStringLiteral("/dev/zero"), FileProblem::NotRegular},
    };
    for (const auto &c : cases) EXPECT_EQ(readProblem(c.path), c.problem) << c.path.toStdString();
    EXPECT_EQ(fileProblemText(FileProblem::NotRegular), QStringLiteral("is not a regular file (a FIFO, socket or device)"));
    EXPECT_EQ(fileProblemText(FileProblem::Missing), QStringLiteral("does not exist"));
    EXPECT_TRUE(fileProblemText(FileProblem::None).isEmpty());
}

TEST(FileCheck, WritingTellsWhatStandsInTheWay)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(writeProblem(dir.filePath(QStringLiteral("new.aps"))), FileProblem::None);
    EXPECT_EQ(writeProblem(touch(dir.filePath(QStringLiteral("old.aps")))), FileProblem::None);
    EXPECT_EQ(writeProblem(dir.path()), FileProblem::Folder);
    EXPECT_EQ(writeProblem(fifo), FileProblem::NotRegular);
    EXPECT_EQ(writeProblem(dir.filePath(QStringLiteral("none/new.aps"))), FileProblem::FolderMissing);

    const struct
    {
        int error;
        FileProblem problem;
    } errors[] = {{ENOSPC, FileProblem::DiskFull}, {EDQUOT, FileProblem::DiskFull}, {EROFS, FileProblem::ReadOnlyFolder},
                  {EACCES, FileProblem::ReadOnlyFile}, {ENOENT, FileProblem::FolderMissing}, {EIO, FileProblem::None}};
    for (const auto &e : errors) EXPECT_EQ(writeProblemFromErrno(e.error), e.problem) << e.error;

    EXPECT_EQ(cannotWriteText(QStringLiteral("p.aps"), FileProblem::ReadOnlyFolder),
              QStringLiteral("无法写入 'p.aps'：所在文件夹是只读的"));
    EXPECT_EQ(cannotWriteText(QStringLiteral("p.aps"), FileProblem::None), QStringLiteral("无法替换 'p.aps'，文件可能正在使用中"));
}

TEST(FileCheck, ReadOnlyAndFullFileSystems)
{
    QTemporaryDir dir;
    const QString ro = dir.filePath(QStringLiteral("ro"));
    const QString small = dir.filePath(QStringLiteral("small"));
    QDir().mkpath(ro);
    QDir().mkpath(small);
    if (!mountTmpfs(ro, QStringLiteral("size=64k")) || !mountTmpfs(small, QStringLiteral("size=64k")))
        GTEST_SKIP() << "needs root to mount a tmpfs";
    touch(ro + QStringLiteral("/old.aps"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro"), ro}), 0);
    EXPECT_EQ(writeProblem(ro + QStringLiteral("/new.aps")), FileProblem::ReadOnlyFolder);
    EXPECT_EQ(writeProblem(ro + QStringLiteral("/old.aps")), FileProblem::ReadOnlyFolder);
    EXPECT_EQ(readProblem(ro + QStringLiteral("/old.aps")), FileProblem::None);

    // More than the free space, then a disk filled to the last block.
    EXPECT_EQ(writeProblem(small + QStringLiteral("/p.aps"), 1024), FileProblem::None);
    EXPECT_EQ(writeProblem(small + QStringLiteral("/p.aps"), 1 << 20), FileProblem::DiskFull);
    QFile fill(small + QStringLiteral("/fill"));
    ASSERT_TRUE(fill.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'f');
    while (fill.write(block) == block.size() && fill.flush()) {
    }
    fill.close();
    EXPECT_EQ(writeProblem(small + QStringLiteral("/p.aps")), FileProblem::DiskFull);
    unmount(ro);
    unmount(small);
}
