#include "CliRun.h"
#include "ImageFixtures.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace fixtures;

using pvsm::test::cli;
using pvsm::test::CliRun;

namespace {

} // namespace

TEST(ImageCli, InfoReportsStoredAndDisplayedSize)
{
    QTemporaryDir dir;
    const QString turned = writeFile(dir, "turned.jpg", withExifOrientation(encode(quadrants(40, 20), "jpeg"), 6));
    const CliRun r = cli({"image", "info", turned});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "Format: JPG\nWidth: 40\nHeight: 20\nColorDepth: 24\nDisplayWidth: 20\nDisplayHeight: 40\n");

    const CliRun bad = cli({"image", "info", writeFile(dir, "bad.png", "no picture here")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.out, "Format: UnKnown\n");
}

TEST(ImageCli, DrawPlacesThePictureOnTheBackground)
{
    QTemporaryDir dir;
    QImage red(50, 40, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    const QString in = writeFile(dir, "red.bmp", encode(red, "bmp"));
    const QString out = dir.filePath("out.png");
    const CliRun r = cli({"image", "draw", in, "--mode", "1", "--size", "100x80", "--pos", "10,5", "--back", "00FF00", "--out", out});
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Placed: 10,5 50x40"));
    const QImage drawn(out);
    ASSERT_EQ(drawn.size(), QSize(100, 80));
    EXPECT_EQ(drawn.pixel(10, 5), qRgb(255, 0, 0));
    EXPECT_EQ(drawn.pixel(59, 44), qRgb(255, 0, 0));
    EXPECT_EQ(drawn.pixel(9, 5), qRgb(0, 255, 0));
    EXPECT_EQ(drawn.pixel(60, 44), qRgb(0, 255, 0));

    EXPECT_EQ(cli({"image", "draw", in, "--mode", "7", "--size", "100x80", "--out", out}).exitCode, 2);
    EXPECT_EQ(cli({"image", "draw", dir.filePath("bad.png"), "--mode", "3", "--size", "100x80", "--out", out}).exitCode, 1);
}
