// The packages the build draws (tools/make_packages) and the CLI's view of
// them: what the program folder of this build ships.
#include "CliRun.h"
#include "FrameList.h"
#include "Resources.h"
#include "TextTexture.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pvsm;

namespace {

Workspace shipped()
{
    const QString bin = QStringLiteral(PVSM_BIN_DIR) + QLatin1Char('/');
    return Workspace(bin, bin);
}

// A project of two small pictures in `dir`, made by the CLI with `frame`
// (a KEY=VALUE setting); empty when the CLI failed.
QString twoPictureProject(const QTemporaryDir &dir, const QString &frame)
{
    QImage photo(64, 48, QImage::Format_RGB32);
    photo.fill(Qt::darkCyan);
    const QString a = dir.filePath(QStringLiteral("a.png")), b = dir.filePath(QStringLiteral("b.png"));
    if (!photo.save(a) || !photo.save(b)) return {};
    const QString aps = dir.filePath(QStringLiteral("show.aps"));
    const test::CliRun made = test::cli({QStringLiteral("project"), QStringLiteral("new"), aps, QStringLiteral("--picture"),
                                         a, QStringLiteral("--picture"), b, QStringLiteral("--set"), frame});
    return made.exitCode == 0 ? aps : QString();
}

} // namespace

TEST(ShippedPackages, EveryFrameIsAPngThatShowsThePhotoThroughItsMiddle)
{
    const FramePackages packages = LoadFramePackages(shipped());
    ASSERT_TRUE(packages.found);
    ASSERT_GE(packages.frames.size(), 8u);
    QStringList names;
    for (size_t k = 1; k <= packages.frames.size(); ++k) {
        const PackageFrame &f = packages.frames[k - 1];
        SCOPED_TRACE(f.entry.name.toStdString());
        names << f.entry.name;
        EXPECT_FALSE(f.entry.name.isEmpty());
        QImage frame;
        ASSERT_TRUE(frame.loadFromData(packages.frameBytes(int(k)), "PNG"));
        EXPECT_TRUE(frame.hasAlphaChannel());
        frame = frame.convertToFormat(QImage::Format_ARGB32);
        const int w = frame.width(), h = frame.height();
        // The middle shows the photo untouched or nearly (a vignette darkens
        // only towards the edges) ...
        EXPECT_LT(qAlpha(frame.pixel(w / 2, h / 2)), 16);
        EXPECT_LT(qAlpha(frame.pixel(w / 3, h / 2)), 16);
        // ... and the frame lies along the edges: the outer band is far more
        // covered than the middle half.
        double edge = 0, middle = 0;
        int edgeCount = 0, middleCount = 0;
        for (int y = 0; y < h; y += 3)
            for (int x = 0; x < w; x += 3) {
                const int a = qAlpha(frame.pixel(x, y));
                if (x < w / 16 || y < h / 16 || x >= w - w / 16 || y >= h - h / 16) {
                    edge += a;
                    ++edgeCount;
                } else if (x > w / 4 && x < w * 3 / 4 && y > h / 4 && y < h * 3 / 4) {
                    middle += a;
                    ++middleCount;
                }
            }
        edge /= edgeCount;
        middle /= middleCount;
        EXPECT_GT(edge, 25); // a tenth of the band covered, at the least
        EXPECT_LT(middle, 8);
    }
    names.removeDuplicates();
    EXPECT_EQ(names.size(), qsizetype(packages.frames.size())); // each frame has a name of its own
}

TEST(ShippedPackages, TheResourcePackageHoldsEveryNamedPicture)
{
    const QString path = shipped().programFile(QStringLiteral("gmi.src"));
    const std::optional<PackageIndex> index = ReadPackageIndex(path, PackageKind::Resources);
    ASSERT_TRUE(index);
    for (const char *name : {"rainbow.jpg", "btn_close.png", "btn_min.png", "btn_music_next.png", "btn_mute_off.png",
                             "btn_mute_on.png", "btn_next.png", "btn_pause.png", "btn_play.png", "btn_prev.png",
                             "btn_size.png", "btn_scale.png", "TESTFRAME.PNG", "coffie.gif"}) {
        SCOPED_TRACE(name);
        const PackageEntry *entry = index->find(QString::fromLatin1(name));
        ASSERT_NE(entry, nullptr);
        QImage picture;
        EXPECT_TRUE(picture.loadFromData(ReadPackageEntry(path, *index, *entry)));
        EXPECT_FALSE(picture.isNull());
    }
}

TEST(ShippedPackages, TheCliListsTheFramesAsTheEditorDoes)
{
    const test::CliRun run = test::cli({QStringLiteral("frames"), QStringLiteral("list")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const std::vector<FrameListEntry> list = ListPicFrame(LoadFramePackages(shipped()));
    ASSERT_EQ(lines.size(), qsizetype(list.size()));
    for (size_t row = 0; row < list.size(); ++row)
        EXPECT_EQ(lines[qsizetype(row)].section(QLatin1Char('\t'), 0, 0), list[row].text);
    EXPECT_EQ(lines.first(), QStringLiteral("无\tPictureFrameNum=0"));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("\tPictureFrameNum=1\t1.frame\t")));
    EXPECT_EQ(lines.last(), QStringLiteral("更多相框下载..."));
    EXPECT_EQ(test::cli({QStringLiteral("frames"), QStringLiteral("list"), QStringLiteral("x")}).exitCode, 2);
}

// A frame is kept in the project file only when its picture can be had, and
// the number and the own PNG's path may be given in either order.
TEST(ShippedPackages, TheCliKeepsAFrameWhosePictureExists)
{
    QTemporaryDir dir;
    const QString own = dir.filePath(QStringLiteral("own-frame.png"));
    ASSERT_TRUE(QImage(32, 24, QImage::Format_ARGB32).save(own));
    const QString aps = twoPictureProject(dir, QStringLiteral("PictureFrameNum=3"));
    ASSERT_FALSE(aps.isEmpty());
    auto frameNum = [&] {
        const test::CliRun show = test::cli({QStringLiteral("project"), QStringLiteral("show"), aps});
        for (const QString &line : show.out.split(QLatin1Char('\n')))
            if (line.startsWith(QStringLiteral("PictureFrameNum: "))) return line.section(QLatin1Char(' '), 2).toInt();
        return -100;
    };
    EXPECT_EQ(frameNum(), 3);
    const test::CliRun past = test::cli({QStringLiteral("project"), QStringLiteral("set"), aps,
                                         QStringLiteral("PictureFrameNum=99")});
    EXPECT_TRUE(past.err.contains(QStringLiteral("PictureFrameNum: 99 lowered to 0"))) << past.err.toStdString();
    EXPECT_EQ(frameNum(), 0);
    const test::CliRun ownFrame = test::cli({QStringLiteral("project"), QStringLiteral("set"), aps,
                                             QStringLiteral("PictureFrameNum=-1"),
                                             QStringLiteral("PictureFrameImage=") + own});
    EXPECT_FALSE(ownFrame.err.contains(QStringLiteral("PictureFrameNum"))) << ownFrame.err.toStdString();
    EXPECT_EQ(frameNum(), -1);
}

TEST(ShippedPackages, TheRainbowTextureComesFromTheResourcePackage)
{
    const QImage generated = rainbowTexture();
    QTemporaryDir empty;
    EXPECT_FALSE(LoadTextTexture(Workspace(empty.path() + QLatin1Char('/'), empty.path() + QLatin1Char('/'))));
    EXPECT_EQ(rainbowTexture(), generated);
    ASSERT_TRUE(LoadTextTexture(shipped()));
    QImage shippedTexture;
    ASSERT_TRUE(shippedTexture.loadFromData(ResourceEntryBytes(shipped(), QStringLiteral("RAINBOW.JPG"))));
    EXPECT_EQ(rainbowTexture(), shippedTexture.convertToFormat(QImage::Format_RGB32));
    setRainbowTexture({});
}

// The builder packs the project's frame: the picture of its frame number.
TEST(ShippedPackages, ABuiltSlideshowCarriesTheChosenFrame)
{
    QTemporaryDir dir;
    const QString aps = twoPictureProject(dir, QStringLiteral("PictureFrameNum=2"));
    ASSERT_FALSE(aps.isEmpty());
    const QString show = dir.filePath(QStringLiteral("show"));
    const test::CliRun built = test::cli({QStringLiteral("build"), aps, show});
    ASSERT_EQ(built.exitCode, 0) << built.err.toStdString();
    const QString frame = dir.filePath(QStringLiteral("frame.png"));
    ASSERT_EQ(test::cli({QStringLiteral("package"), QStringLiteral("extract"), show, QStringLiteral("PictureFrameData"),
                         frame})
                  .exitCode,
              0);
    QFile extracted(frame);
    ASSERT_TRUE(extracted.open(QIODevice::ReadOnly));
    EXPECT_EQ(extracted.readAll(), LoadFramePackages(shipped()).frameBytes(2));
}
