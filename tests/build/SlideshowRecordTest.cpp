#include "ProjectKeys.h"
#include "SlideshowRecord.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pvsm;

namespace {

const ProjectEnvironment kEnv;

QString touch(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes = "x")
{
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

Project twoPictures(const QTemporaryDir &dir)
{
    Project p = Project::makeDefault(kEnv);
    p.pictures.push_back(p.newPicture(touch(dir, QStringLiteral("a.jpg")), kEnv));
    p.pictures.push_back(p.newPicture(touch(dir, QStringLiteral("b.jpg")), kEnv));
    return p;
}

QStringList keysOf(const ResourceList &list)
{
    QStringList keys;
    for (const ResourceEntry &e : list) keys << e.key;
    return keys;
}

RecordContext context()
{
    RecordContext c;
    c.editingScreen = QSize(1600, 900);
    c.write.appVersion = QStringLiteral("4.60");
    return c;
}

} // namespace

TEST(SlideshowRecord, LyricFilesPairWithSongsByNameWhateverTheCaseAndFolder)
{
    Project p;
    p.songs = {{QStringLiteral("/m/one/song.mp3"), 10}, {QStringLiteral("/m/two/Other.wav"), 5}};
    p.lyricFiles = {QStringLiteral("/l/Song.LRC"), QStringLiteral("/l/none.lrc"), QStringLiteral("/x/SONG.lrc")};
    const QStringList matched = MatchLyricFiles(p);
    ASSERT_EQ(matched.size(), 2);
    EXPECT_EQ(matched[0], QStringLiteral("/x/SONG.lrc")); // the later lyric file wins
    EXPECT_EQ(matched[1], QString());
}

TEST(SlideshowRecord, CompleteRecordNamesEveryFileInOrderAndHoldsNoValueForThem)
{
    QTemporaryDir dir;
    Project p = twoPictures(dir);
    Settings &s = p.settings;
    s.titleText = {QStringLiteral("开场"), QString()};
    s.backGroundSet = QStringLiteral("3");
    s.backGroundPicture = touch(dir, QStringLiteral("background.png"));
    s.openingImage = touch(dir, QStringLiteral("opening.png"));
    s.enableOpening = false; // not packed: its title is off
    s.endingImage = touch(dir, QStringLiteral("ending.png"));
    s.enableEnding = true;
    s.logoImage = touch(dir, QStringLiteral("logo.png"));
    p.songs = {{touch(dir, QStringLiteral("song.mp3")), 61.6f}, {touch(dir, QStringLiteral("two.wav")), 20.0f}};
    s.enableSync = true;
    p.lyricFiles = {touch(dir, QStringLiteral("Two.LRC"))};
    p.pictures[1].caption = QStringLiteral("说明");
    p.pictures[1].slideDuration = 4.5f;

    RecordContext c = context();
    c.fonts.files = {QStringLiteral("/fonts/a.ttf"), QStringLiteral("/fonts/b.otf")};
    c.fonts.checkNames = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("~FontMissing"), QStringLiteral("A")};
    c.fonts.belongsTo = {1, 2, 0, 1};
    PropertyBag bag;
    ResourceList list;
    WritePackageRecord(p, bag, list, c);

    EXPECT_EQ(keysOf(list), QStringList({"BackGroundPicture", "EndingImage", "LogoImage", "ToInstallFont(1)",
                                         "ToInstallFont(2)", "MusicNames(1)", "MusicNames(2)", "MusicLyricFiles(2)",
                                         "ImgNames(1)", "ImgNames(2)"}));
    for (const ResourceEntry &e : list) EXPECT_FALSE(bag.contains(e.key)) << e.key.toStdString();
    EXPECT_EQ(bag.getString(QStringLiteral("TitleText(1)")), QStringLiteral("开场"));
    EXPECT_FALSE(bag.contains(QStringLiteral("TitleText(2)")));
    EXPECT_EQ(bag.getInt(QStringLiteral("OrigScreenWidth")), 1600);
    EXPECT_EQ(bag.getInt(QStringLiteral("OrigScreenHeight")), 900);
    EXPECT_EQ(bag.getString(QStringLiteral("fFontNameForCheck(3)")), QStringLiteral("~FontMissing"));
    EXPECT_EQ(bag.getInt(QStringLiteral("FontBelongsTo(2)")), 2);
    EXPECT_EQ(bag.getInt(QStringLiteral("ToInstallFontCount")), 2);
    EXPECT_EQ(bag.getInt(QStringLiteral("NowI")), 2);
    EXPECT_EQ(bag.getInt(QStringLiteral("NowM")), 2);
    EXPECT_EQ(bag.getInt(QStringLiteral("LyricFilesCount")), 1);
    EXPECT_EQ(bag.value(QStringLiteral("SongDurationTotal")), BagValue::fromI4(82));
    EXPECT_FLOAT_EQ(bag.getFloat(QStringLiteral("SlideDuration(2)")), 4.5f);
    EXPECT_EQ(bag.getString(QStringLiteral("ImgCaption(2)")), QStringLiteral("说明"));
    EXPECT_FALSE(bag.contains(QStringLiteral("ImgCaption(1)")));
    EXPECT_EQ(bag.value(QStringLiteral("ResFileSize")), BagValue::fromI2(7));
    EXPECT_FALSE(bag.contains(QStringLiteral("d3DFile_OffSet")));
    // The resource keys follow the settings: ResFileSize is the last key.
    EXPECT_EQ(bag.entries().back().key, QStringLiteral("ResFileSize"));
}

TEST(SlideshowRecord, SongTotalOnlyWithSyncAndAtMostTwentySongs)
{
    QTemporaryDir dir;
    struct Case
    {
        bool sync;
        int songs;
        BagValue expected;
    };
    for (const Case &c : {Case{true, 20, BagValue::fromI4(200)}, Case{true, 21, BagValue::fromI2(0)},
                          Case{false, 2, BagValue::fromI2(0)}, Case{true, 0, BagValue::fromI2(0)}}) {
        Project p = twoPictures(dir);
        p.settings.enableSync = c.sync;
        for (int i = 0; i < c.songs; ++i) p.songs.push_back({QStringLiteral("/m/%1.mp3").arg(i), 10});
        PropertyBag bag;
        ResourceList list;
        WritePackageRecord(p, bag, list, context());
        EXPECT_EQ(bag.value(QStringLiteral("SongDurationTotal")), c.expected) << c.songs;
    }
}

TEST(SlideshowRecord, NoFontKeysWithoutFontsAndNoBackgroundUnlessItsKindIsPicture)
{
    QTemporaryDir dir;
    Project p = twoPictures(dir);
    p.settings.backGroundSet = QStringLiteral("2");
    p.settings.backGroundPicture = touch(dir, QStringLiteral("background.png"));
    PropertyBag bag;
    ResourceList list;
    WritePackageRecord(p, bag, list, context());
    EXPECT_EQ(keysOf(list), QStringList({"ImgNames(1)", "ImgNames(2)"}));
    EXPECT_FALSE(bag.contains(QStringLiteral("fFontNameForCheck(1)")));
    EXPECT_EQ(bag.value(QStringLiteral("ToInstallFontCount")), BagValue::fromI4(0));
}

TEST(SlideshowRecord, LocalRecordHoldsPathsAndThePreviewIsAlwaysAPackageToThePlayer)
{
    QTemporaryDir dir;
    Project p = twoPictures(dir);
    p.settings.isPackage = false;
    p.songs = {{QStringLiteral("/m/song.mp3"), 12}};
    p.lyricFiles = {QStringLiteral("/l/song.lrc")};
    for (const bool preview : {false, true}) {
        PropertyBag bag;
        Project copy = p;
        WriteLocalRecord(copy, bag, context(), preview);
        EXPECT_EQ(bag.getString(QStringLiteral("ImgNames(1)")), p.pictures[0].path);
        EXPECT_EQ(bag.getString(QStringLiteral("MusicLyricFiles(1)")), QStringLiteral("/l/song.lrc"));
        EXPECT_EQ(bag.getString(QStringLiteral("LyricFiles(1)")), QStringLiteral("/l/song.lrc"));
        EXPECT_EQ(bag.value(QStringLiteral("ResFileSize")), BagValue::fromI2(0));
        EXPECT_EQ(bag.getInt(QStringLiteral("OrigScreenWidth")), 1600);
        EXPECT_FALSE(bag.contains(QStringLiteral("ToInstallFontCount")));
        EXPECT_EQ(bag.getBool(QStringLiteral("IsPackage")), preview);
        EXPECT_FALSE(copy.settings.isPackage); // restored after the write
    }
}
