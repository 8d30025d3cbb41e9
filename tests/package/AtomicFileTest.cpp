#include "AtomicFile.h"
#include "FileSizeLimit.h"
#include "PropertyBag.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace pvsm;
using pvsm::test::FileSizeLimit;

using pvsm::test::readAll;

namespace {

void writePlain(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// Everything in `dir` but the named file: a failed save must leave no
// temporary file behind.
QStringList othersIn(const QString &dir, const QString &keep)
{
    QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeAll(keep);
    return names;
}

} // namespace

TEST(AtomicFile, WritesReplacesAndLeavesNoTemporaryFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.aps"));
    EXPECT_TRUE(WriteFileAtomically(path, "first"));
    EXPECT_EQ(readAll(path), QByteArray("first"));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    EXPECT_TRUE(WriteFileAtomically(path, "second, longer"));
    EXPECT_EQ(readAll(path), QByteArray("second, longer"));
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadOther | QFile::WriteGroup | QFile::ReadGroup),
              QFile::ReadGroup)
        << "a replaced file keeps its permission bits";
    EXPECT_TRUE(othersIn(dir.path(), QStringLiteral("p.aps")).isEmpty());
}

TEST(AtomicFile, AFailedWriteKeepsTheOldFileWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.aps"));
    const QByteArray old(3000, 'o');
    writePlain(path, old);
    {
        // The writer must see the failure of a later write, not only of the
        // first, and commit() must refuse afterwards.
        FileSizeLimit limit(4096);
        AtomicFileWriter w(path);
        ASSERT_TRUE(w.open());
        EXPECT_TRUE(w.write(QByteArray(4000, 'a')));
        EXPECT_FALSE(w.write(QByteArray(4000, 'b')));
        EXPECT_FALSE(w.commit());
        EXPECT_EQ(w.problem(), FileProblem::DiskFull);
    }
    EXPECT_EQ(readAll(path), old);
    EXPECT_TRUE(othersIn(dir.path(), QStringLiteral("p.aps")).isEmpty());

    // The bag save, which every project, settings and automatic save goes through.
    PropertyBag bag;
    bag.putStr(QStringLiteral("Big"), QString(20000, QLatin1Char('x')));
    FileProblem why = FileProblem::None;
    {
        FileSizeLimit limit(4096);
        EXPECT_FALSE(SaveBagFile(path, bag, {}, &why));
    }
    EXPECT_EQ(why, FileProblem::DiskFull);
    EXPECT_EQ(readAll(path), old);
    EXPECT_TRUE(othersIn(dir.path(), QStringLiteral("p.aps")).isEmpty());
}

TEST(AtomicFile, CausesOfFailure)
{
    QTemporaryDir dir;
    const auto problemOf = [](const QString &path) {
        FileProblem p = FileProblem::None;
        EXPECT_FALSE(WriteFileAtomically(path, "x", &p)) << path.toStdString();
        return p;
    };
    EXPECT_EQ(problemOf(dir.filePath(QStringLiteral("no/such/folder/p.aps"))), FileProblem::FolderMissing);
    EXPECT_EQ(problemOf(dir.path()), FileProblem::Folder);
    EXPECT_EQ(problemOf(QStringLiteral("/dev/null")), FileProblem::NotRegular);

    // Root may write anywhere, so a folder without write permission only
    // refuses ordinary users.
    if (geteuid() != 0) {
        const QString locked = dir.filePath(QStringLiteral("locked"));
        ASSERT_TRUE(QDir().mkpath(locked));
        ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0555), 0);
        EXPECT_EQ(problemOf(locked + QStringLiteral("/p.aps")), FileProblem::ReadOnlyFolder);
        ::chmod(QFile::encodeName(locked).constData(), 0755);
    }
}

TEST(AtomicFile, WritesThroughASymbolicLink)
{
    QTemporaryDir dir;
    const QString real = dir.filePath(QStringLiteral("real.aps"));
    const QString link = dir.filePath(QStringLiteral("link.aps"));
    writePlain(real, "old");
    ASSERT_TRUE(QFile::link(real, link));
    EXPECT_TRUE(WriteFileAtomically(link, "new"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readAll(real), QByteArray("new"));
}
