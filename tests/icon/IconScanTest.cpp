#include "IconFixtures.h"
#include "IconScan.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

using namespace pvsm;
using pvsm::fixtures::iconImage;

namespace {

QImage decodeIco(const QByteArray &ico)
{
    QBuffer buffer;
    buffer.setData(ico);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer, "ICO").read();
}

} // namespace

TEST(IconScan, TableOfLengthsMatchesTheBitmapsItDescribes)
{
    const struct { int edge, depth; qint64 length; } table[] = {
        {32, 8, 2216}, {32, 24, 3240}, {32, 32, 4264}, {48, 8, 3752}, {48, 24, 7336}, {48, 32, 9640}};
    for (const auto &row : table) {
        EXPECT_EQ(IconImageLength(row.edge, row.depth), row.length) << row.edge << " " << row.depth;
        EXPECT_EQ(iconImage(row.edge, row.depth).size(), row.length);
    }
    EXPECT_EQ(IconImageLength(16, 24), 0);
    EXPECT_EQ(IconImageLength(48, 4), 0);
}

TEST(IconScan, ListTextIsTheChoosersExactly)
{
    EXPECT_EQ(IconListText(1, {0, 48, 24, 7336, false}), QStringLiteral("图标 - 001  48*48  24位"));
    EXPECT_EQ(IconListText(12, {0, 32, 8, 2216, false}), QStringLiteral("图标 - 012  32*32  8位"));
    EXPECT_EQ(IconListText(1000, {0, 32, 32, 4264, false}), QStringLiteral("图标 - 1000  32*32  32位"));
}

TEST(IconScan, FindsImagesInOrderAndSkipsOtherSizes)
{
    QByteArray file(37, 'x');
    const qint64 first = file.size();
    file += iconImage(48, 24);
    file += iconImage(16, 24); // the chooser offers no 16-pixel icons
    const qint64 second = file.size();
    file += iconImage(32, 8);
    const std::vector<IconHit> hits = ScanIconBytes(file);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].offset, first);
    EXPECT_EQ(hits[0].edge, 48);
    EXPECT_EQ(hits[0].depth, 24);
    EXPECT_EQ(hits[0].length, 7336);
    EXPECT_EQ(hits[1].offset, second);
    EXPECT_EQ(hits[1].depth, 8);
}

TEST(IconScan, HitRunningPastTheEndIsDropped)
{
    const QByteArray image = iconImage(32, 24);
    EXPECT_EQ(ScanIconBytes(image).size(), 1u);
    EXPECT_TRUE(ScanIconBytes(image.chopped(1)).empty());
    // Only part of a file was read: the image may go on beyond what was read.
    EXPECT_EQ(ScanIconBytes(image.left(100), image.size()).size(), 1u);
    EXPECT_TRUE(ScanIconBytes(image.left(100), image.size() - 1).empty());
}

TEST(IconScan, HeaderFieldsAreCheckedWhole)
{
    // Bytes that pass a check of single bytes at p, p+4, p+8, p+12, p+14 but
    // are no bitmap header: each field's higher bytes are not zero.
    const int fields[] = {1, 5, 9, 13, 15};
    for (int at : fields) {
        QByteArray image = iconImage(32, 24);
        image[at] = '\x01';
        EXPECT_TRUE(ScanIconBytes(image).empty()) << at;
    }
}

TEST(IconScan, FileRulesForSizeAndPrograms)
{
    QTemporaryDir dir;
    EXPECT_EQ(ScanIconFile(fixtures::writeBytes(dir, "small.ico", QByteArray(20, '\0'))).problem, IconScanProblem::TooSmall);
    EXPECT_EQ(ScanIconFile(dir.filePath("missing.ico")).problem, IconScanProblem::Unreadable);

    // A 5 MB program is scanned in its first 2,000,000 bytes only; a library
    // that large is not scanned at all.
    QByteArray big(5000000, '\0');
    const QByteArray image = iconImage(32, 32);
    big.replace(1000, image.size(), image);
    big.replace(3000000, image.size(), image);
    const IconScan program = ScanIconFile(fixtures::writeBytes(dir, "big.EXE", big));
    EXPECT_TRUE(program.program);
    ASSERT_EQ(program.hits.size(), 1u);
    EXPECT_EQ(program.hits[0].offset, 1000);
    QByteArray library(kScanFileLimit + 1, '\0');
    library.replace(1000, image.size(), image);
    EXPECT_EQ(ScanIconFile(fixtures::writeBytes(dir, "big.dll", library)).problem, IconScanProblem::TooLarge);
    library.chop(1);
    EXPECT_EQ(ScanIconFile(fixtures::writeBytes(dir, "edge.dll", library)).hits.size(), 1u);

    // An ELF executable counts as a program whatever its name; a library does not.
    QByteArray elf = fixtures::elfWithSection(".data", QByteArray(64, '\0'), 2 /* ET_EXEC */);
    elf.append(QByteArray(kScanFileLimit, '\0'));
    elf.replace(1000, image.size(), image);
    const IconScan elfProgram = ScanIconFile(fixtures::writeBytes(dir, "player", elf));
    EXPECT_TRUE(elfProgram.program);
    EXPECT_EQ(elfProgram.hits.size(), 1u);
    EXPECT_TRUE(IsElfProgram(dir.filePath("player")));
    const QByteArray lib = fixtures::elfWithSection(".data", QByteArray(64, '\0'), 3 /* ET_DYN, no interpreter */);
    EXPECT_FALSE(IsElfProgram(fixtures::writeBytes(dir, "libx.so", lib)));
}

TEST(IconScan, ExtractionMakesASingleImageIconFile)
{
    QTemporaryDir dir;
    const QByteArray image = iconImage(48, 24);
    const QString path = fixtures::writeBytes(dir, "icons.icl", QByteArray(123, '\7') + image + QByteArray(10, '\0'));
    const IconScan scan = ScanIconFile(path);
    ASSERT_EQ(scan.hits.size(), 1u);
    const QByteArray ico = ExtractIcon(path, scan.hits[0]);
    ASSERT_EQ(ico.size(), 22 + 7336);
    EXPECT_EQ(ico.left(6), QByteArray("\0\0\1\0\1\0", 6));
    EXPECT_EQ(uchar(ico[6]), 48);
    EXPECT_EQ(uchar(ico[7]), 48);
    EXPECT_EQ(uchar(ico[12]), 24);
    EXPECT_EQ(ico.mid(14, 8), QByteArray("\xa8\x1c\0\0\x16\0\0\0", 8)); // 7336 bytes at offset 22
    EXPECT_EQ(ico.mid(22), image);
    const std::optional<IconFileImage> parsed = ParseIconFile(ico);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->image, image);
    EXPECT_EQ(decodeIco(ico).size(), QSize(48, 48));

    // The file changed since it was scanned: nothing is made of other bytes.
    fixtures::writeBytes(dir, "icons.icl", QByteArray(8000, '\0'));
    EXPECT_TRUE(ExtractIcon(path, scan.hits[0]).isEmpty());
}

TEST(IconScan, PngBecomesOne48PixelIconWithAlpha)
{
    QTemporaryDir dir;
    QImage picture(100, 60, QImage::Format_ARGB32);
    picture.fill(qRgba(200, 30, 40, 255));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 50; ++x) picture.setPixel(x, y, qRgba(0, 0, 0, 0));
    const QString path = dir.filePath("logo.png");
    ASSERT_TRUE(picture.save(path));
    const IconScan scan = ScanIconFile(path);
    ASSERT_EQ(scan.problem, IconScanProblem::None);
    ASSERT_EQ(scan.hits.size(), 1u);
    EXPECT_EQ(IconListText(1, scan.hits[0]), QStringLiteral("图标 - 001  48*48  32位"));
    const QByteArray ico = ExtractIcon(path, scan.hits[0]);
    ASSERT_EQ(ico.size(), 22 + 9640);
    // The image is a bitmap the scan itself finds again.
    EXPECT_EQ(ScanIconBytes(ico).size(), 1u);
    const QImage icon = decodeIco(ico).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(icon.size(), QSize(48, 48));
    EXPECT_EQ(qAlpha(icon.pixel(2, 2)), 0);
    EXPECT_EQ(icon.pixel(45, 45), qRgba(200, 30, 40, 255));

    fixtures::writeBytes(dir, "broken.png", QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(40, 'z'));
    EXPECT_EQ(ScanIconFile(dir.filePath("broken.png")).problem, IconScanProblem::NotAPicture);
}

TEST(IconScan, DamagedIconFilesAreRefused)
{
    const QByteArray ico = SingleImageIcon(iconImage(32, 8), 32, 8);
    EXPECT_TRUE(ParseIconFile(ico));
    EXPECT_FALSE(ParseIconFile(ico.chopped(1)));
    EXPECT_FALSE(ParseIconFile(ico.left(21)));
    QByteArray type = ico;
    type[2] = 2; // a cursor file
    EXPECT_FALSE(ParseIconFile(type));
    QByteArray offset = ico;
    offset[18] = char(0xF0);
    offset[21] = char(0x7F);
    EXPECT_FALSE(ParseIconFile(offset));
    // The image may not start inside the directory: two entries end at 38.
    QByteArray inside = ico.left(22) + QByteArray(16, '\0') + ico.mid(22);
    inside[4] = 2;
    inside[18] = 30;
    EXPECT_FALSE(ParseIconFile(inside));
    inside[18] = 38;
    EXPECT_TRUE(ParseIconFile(inside));
}
