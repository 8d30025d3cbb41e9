#include "ResourcePackage.h"
#include "Scramble.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pvsm;

namespace {

QByteArray pattern(int n)
{
    QByteArray b(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i) b[i] = char(i * 7 + 3);
    return b;
}

} // namespace

TEST(Scramble, KeystreamIsTheDocumentedOne)
{
    // The player of another build must unscramble what this one packed:
    // these are the first bytes docs/formats.md gives for the keystream.
    QByteArray zeros(8, '\0');
    ScrambleHead(zeros);
    EXPECT_EQ(zeros.toHex(' ').toUpper(), QByteArray("DD BA 6A 32 CC 18 7E 09"));
}

TEST(Scramble, HeadOnlyAndItsOwnInverse)
{
    for (int n : {0, 3, 256, 1000}) {
        const QByteArray original = pattern(n);
        QByteArray b = original;
        ScrambleHead(b);
        if (n > 256) {
            EXPECT_EQ(b.mid(256), original.mid(256)) << n;
        }
        if (n > 0) {
            EXPECT_NE(b.left(std::min(n, 256)), original.left(std::min(n, 256))) << n;
        }
        ScrambleHead(b);
        EXPECT_EQ(b, original) << n;
    }
}

TEST(Scramble, FileFirst5000BytesInPlace)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.bin"));
    const QByteArray original = pattern(9000);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(original);
    f.close();
    ASSERT_TRUE(ScrambleFile(path));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray now = f.readAll();
    f.close();
    EXPECT_EQ(now.mid(5000), original.mid(5000));
    QByteArray head = original.left(5000);
    ScrambleBytes(head.data(), head.size(), kScrambledFileBytes);
    EXPECT_EQ(now.left(5000), head);
    EXPECT_FALSE(ScrambleFile(dir.filePath(QStringLiteral("missing"))));
}

TEST(Scramble, Crc32OfTheCheckString)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("c.txt"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("123456789");
    f.close();
    EXPECT_EQ(FileCrc32(path), QStringLiteral("CBF43926"));
    EXPECT_EQ(Crc32("1234", 4, Crc32("56789", 0)), Crc32("1234", 4));
    EXPECT_EQ(Crc32("56789", 5, Crc32("1234", 4)), 0xCBF43926u);
    EXPECT_FALSE(FileCrc32(dir.filePath(QStringLiteral("missing"))).has_value());
}

TEST(ResourcePackage, RoundTripAndLookupIgnoringCase)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("1.frame"));
    const QByteArray bytes = BuildPackage(PackageKind::Frames,
                                          {{QStringLiteral("金色边框"), pattern(100)}, {QStringLiteral("Film"), pattern(7)}},
                                          QStringLiteral("© 示例"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    QString problem;
    const auto index = ReadPackageIndex(path, PackageKind::Frames, &problem);
    ASSERT_TRUE(index) << problem.toStdString();
    EXPECT_EQ(index->copyright, QStringLiteral("© 示例"));
    ASSERT_EQ(index->entries.size(), 2u);
    const PackageEntry *film = index->find(QStringLiteral("FILM"));
    ASSERT_NE(film, nullptr);
    EXPECT_EQ(ReadPackageEntry(path, *index, *film), pattern(7));
    EXPECT_EQ(index->find(QStringLiteral("none")), nullptr);
    // A resource package is read with its own keys, which a frame package lacks.
    EXPECT_FALSE(ReadPackageIndex(path, PackageKind::Resources));
}

TEST(ResourcePackage, DamagedPackagesAreRefused)
{
    const QByteArray good = BuildPackage(PackageKind::Resources, {{QStringLiteral("rainbow.jpg"), pattern(64)}});
    ASSERT_TRUE(ParsePackageIndex(good, good.size(), PackageKind::Resources));
    // Cut short: the entry would run past the end of the file.
    EXPECT_FALSE(ParsePackageIndex(good, good.size() - 1, PackageKind::Resources));
    QByteArray foreign = good;
    foreign[0] = 'M';
    EXPECT_FALSE(ParsePackageIndex(foreign, foreign.size(), PackageKind::Resources));
    // Every single-byte flip of the index is refused or parsed to entries inside the file.
    const auto index = ParsePackageIndex(good, good.size(), PackageKind::Resources);
    for (qint64 i = 0; i < index->indexLength; ++i) {
        QByteArray b = good;
        b[i] = char(b[i] ^ 0x5A);
        if (const auto parsed = ParsePackageIndex(b, b.size(), PackageKind::Resources)) {
            for (const PackageEntry &e : parsed->entries) {
                EXPECT_LE(parsed->indexLength + e.offset + e.size, b.size()) << i;
            }
        }
    }
}
