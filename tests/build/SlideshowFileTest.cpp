#include "Scramble.h"
#include "SlideshowFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace pvsm;

namespace {

// A small slideshow: 10 player bytes, two resources, the record, the trailer.
QByteArray slideshow(const std::function<void(PropertyBag &)> &editRecord = {})
{
    const QByteArray player(10, 'P');
    QByteArray a("first resource"), b("2nd");
    PropertyBag record;
    record.putI2(QStringLiteral("ResFileSize"), 7);
    record.putI4(QStringLiteral("ImgNames(1)_OffSet"), 0);
    record.putI4(QStringLiteral("ImgNames(1)_Size"), int32_t(a.size()));
    record.putStr(QStringLiteral("ImgNames(1)_Type"), QStringLiteral("JPG"));
    record.putI4(QStringLiteral("btn_play_OffSet"), int32_t(a.size()));
    record.putI4(QStringLiteral("btn_play_Size"), int32_t(b.size()));
    if (editRecord) editRecord(record);
    ScrambleHead(a);
    ScrambleHead(b);
    const QByteArray blob = record.toBlob();
    PackageTrailer t{uint32_t(player.size()), uint32_t(a.size() + b.size()), uint32_t(blob.size())};
    return player + a + b + blob + encodeTrailer(t);
}

std::optional<SlideshowContents> parse(const QByteArray &file, QString *problem = nullptr)
{
    const QByteArray trailer = file.right(16);
    const std::optional<PackageTrailer> t = decodeTrailer(trailer);
    QByteArray blob;
    if (t && qint64(t->playerLength) + t->resourcesLength + t->blobLength + 16 == file.size())
        blob = file.mid(qsizetype(t->playerLength + t->resourcesLength), qsizetype(t->blobLength));
    return ParseSlideshowTail(trailer, blob, file.size(), problem);
}

} // namespace

TEST(SlideshowFile, ResourcesInFileOrderWithTheirTypes)
{
    const auto show = parse(slideshow());
    ASSERT_TRUE(show);
    ASSERT_EQ(show->resources.size(), 2u);
    EXPECT_EQ(show->resources[0].key, QStringLiteral("ImgNames(1)"));
    EXPECT_EQ(show->resources[0].type, QStringLiteral("JPG"));
    EXPECT_EQ(show->resources[1].key, QStringLiteral("btn_play"));
    EXPECT_EQ(show->resources[1].offset, 14);
    EXPECT_EQ(show->resources[1].type, QString());
}

TEST(SlideshowFile, DamagedAndForeignFilesAreRefusedWithAReason)
{
    const QByteArray good = slideshow();
    struct Case
    {
        const char *name;
        QByteArray file;
    };
    QByteArray flippedMagic = good;
    flippedMagic[flippedMagic.size() - 1] = char(flippedMagic.back() ^ 1);
    QByteArray longerPlayer = good;
    longerPlayer[good.size() - 13] = char(longerPlayer[good.size() - 13] + 1); // P + 1: no longer adds up
    QByteArray flippedRecord = good;
    flippedRecord[good.size() - 20] = char(flippedRecord[good.size() - 20] ^ 0x40);
    const std::vector<Case> cases = {
        {"empty", QByteArray()},
        {"shorter than a trailer", good.right(15)},
        {"truncated", good.left(good.size() - 5)},
        {"trailer magic flipped", flippedMagic},
        {"lengths do not add up", longerPlayer},
        {"record bit flipped", flippedRecord},
        {"foreign file", QByteArray(4096, '\x7F')},
        {"resource past the resources", slideshow([](PropertyBag &r) { r.putI4(QStringLiteral("btn_play_Size"), 100); })},
        {"negative offset", slideshow([](PropertyBag &r) { r.putI4(QStringLiteral("btn_play_OffSet"), -1); })},
        {"size of the wrong type", slideshow([](PropertyBag &r) { r.putStr(QStringLiteral("btn_play_Size"), QStringLiteral("3")); })},
        {"offset without size", slideshow([](PropertyBag &r) { r.remove(QStringLiteral("btn_play_Size")); })},
    };
    for (const Case &c : cases) {
        QString problem;
        EXPECT_FALSE(parse(c.file, &problem)) << c.name;
        EXPECT_FALSE(problem.isEmpty()) << c.name;
    }
}

TEST(SlideshowFile, ExtractGivesTheBytesBeforeScrambling)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("show"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(slideshow());
    f.close();
    const QString out = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(ExtractSlideshowResource(path, QStringLiteral("btn_play"), out));
    QFile o(out);
    ASSERT_TRUE(o.open(QIODevice::ReadOnly));
    EXPECT_EQ(o.readAll(), QByteArray("2nd"));
    QString problem;
    EXPECT_FALSE(ExtractSlideshowResource(path, QStringLiteral("ImgNames(2)"), out, &problem));
    EXPECT_EQ(problem, QStringLiteral("holds no resource ImgNames(2)"));
}
