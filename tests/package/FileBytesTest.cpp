#include "FileBytes.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pvsm;

TEST(FileBytes, ReadsRangesAndLargeFilesInPieces)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data"));
    QByteArray content(qsizetype(kReadPieceSize * 2 + 123), '\0');
    for (qsizetype i = 0; i < content.size(); ++i) content[i] = char(i * 7);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    int yields = 0;
    QByteArray got("old");
    EXPECT_EQ(ReadFileBytes(got, path, 0, -1, nullptr, [&] { ++yields; }), content.size());
    EXPECT_EQ(got, content);
    EXPECT_EQ(yields, 2);

    EXPECT_EQ(ReadFileBytes(got, path, 10, 5), 5);
    EXPECT_EQ(got, content.mid(10, 5));
    // A count past the end reads what is there.
    EXPECT_EQ(ReadFileBytes(got, path, content.size() - 3, 100), 3);
    EXPECT_EQ(ReadFileBytes(got, path, content.size() + 5, 10), 0);
    EXPECT_TRUE(got.isEmpty());
    EXPECT_EQ(ReadFileBytes(got, dir.filePath(QStringLiteral("missing")), 0, -1), 0);

    // With an open handle the call neither opens nor closes the file.
    QFile handle(path);
    ASSERT_TRUE(handle.open(QIODevice::ReadOnly));
    EXPECT_EQ(ReadFileBytes(got, QString(), 1, 2, &handle), 2);
    EXPECT_TRUE(handle.isOpen());
}

TEST(FileBytes, WritesAtAnOffsetWithoutTruncating)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(WriteFileBytes(QByteArray("abcdef"), path, 0));
    ASSERT_TRUE(WriteFileBytes(QByteArray("XY"), path, 2));
    QByteArray got;
    ReadFileBytes(got, path, 0, -1);
    EXPECT_EQ(got, QByteArray("abXYef"));

    int yields = 0;
    const QByteArray big(qsizetype(kWritePieceSize * 3), 'z');
    ASSERT_TRUE(WriteFileBytes(big, path, 6, nullptr, [&] { ++yields; }));
    EXPECT_EQ(yields, 2);
    ReadFileBytes(got, path, 0, -1);
    EXPECT_EQ(got.size(), 6 + big.size());
    EXPECT_FALSE(WriteFileBytes(QByteArray("x"), dir.path(), 0)); // a folder is no file
}
