#include "CliRun.h"
#include "ImageFixtures.h"

#include <QProcess>

#include <sys/resource.h>

#include <gtest/gtest.h>

using namespace fixtures;

using pvsm::test::cli;
using pvsm::test::CliRun;

namespace {

// The largest resident size of any child this test process has waited for, in MB.
long childPeakMegabytes()
{
    struct rusage usage
    {
    };
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss / 1024;
}

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

TEST(ImageCli, AHeaderClaimingTooManyPixelsIsRefusedWithoutTheMemory)
{
    QTemporaryDir dir;
    const QString huge = writeFile(dir, "huge.tga", tgaClaiming(10000, 10000));
    const QString why = huge + " is too large: 10000 x 10000 pixels is more than the 67108864 (8192 x 8192) a picture may have\n";

    const CliRun info = cli({"image", "info", huge});
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_TRUE(info.out.startsWith("Format: TGA\nWidth: 10000\nHeight: 10000\n")) << info.out.toStdString();
    EXPECT_EQ(info.err, why);

    const CliRun draw = cli({"image", "draw", huge, "--mode", "3", "--size", "64x48", "--out", dir.filePath("out.png")});
    EXPECT_EQ(draw.exitCode, 1);
    EXPECT_EQ(draw.err, why);
    // Decoding it whole would take some 700 MB; the refusal takes what the program needs to start.
    EXPECT_LT(childPeakMegabytes(), 250);
}
