#include "CliRun.h"
#include "IconFixtures.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace pvsm;
using pvsm::test::cli;

TEST(IconCli, ScanAndExtractAnIconLibrary)
{
    QTemporaryDir dir;
    const QByteArray first = fixtures::iconImage(48, 24), second = fixtures::iconImage(32, 8, '\x21');
    const QString path = fixtures::writeBytes(dir, "set.icl", QByteArray(100, '\1') + first + second);
    const test::CliRun scan = cli({QStringLiteral("icon"), QStringLiteral("scan"), path});
    EXPECT_EQ(scan.exitCode, 0) << scan.err.toStdString();
    EXPECT_EQ(scan.out, QStringLiteral("Icon: 图标 - 001  48*48  24位\t100\t7336\n"
                                       "Icon: 图标 - 002  32*32  8位\t7436\t2216\n"));

    const QString out = dir.filePath("two.ico");
    const test::CliRun extract = cli({QStringLiteral("icon"), QStringLiteral("extract"), path, QStringLiteral("2"), out});
    EXPECT_EQ(extract.exitCode, 0) << extract.err.toStdString();
    const QByteArray bytes = fixtures::fileBytes(out);
    EXPECT_EQ(bytes.size(), 22 + 2216);
    EXPECT_EQ(bytes.mid(22), second);

    const test::CliRun tooFar = cli({QStringLiteral("icon"), QStringLiteral("extract"), path, QStringLiteral("3"), out});
    EXPECT_EQ(tooFar.exitCode, 1);
    EXPECT_TRUE(tooFar.err.contains(QStringLiteral("holds 2 icons")));
    const test::CliRun missing = cli({QStringLiteral("icon"), QStringLiteral("scan"), dir.filePath("none.ico")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(missing.err.isEmpty());
}
