#include "ProjectFile.h"
#include "ProjectKeys.h"

#include <gtest/gtest.h>

using namespace pvsm;

namespace {

ProjectEnvironment env()
{
    ProjectEnvironment e;
    e.screenWidth = 1600;
    e.screenHeight = 900;
    e.defaultFont = QStringLiteral("Noto Sans CJK SC");
    e.lyricSampleLineHeight = 70;
    return e;
}

WriteContext context()
{
    WriteContext c;
    c.appVersion = QStringLiteral("4.60");
    c.framePictureLoaded = true;
    return c;
}

// A project in which every setting differs from its default.
Project fullProject()
{
    Project p = Project::makeDefault(env());
    Settings &s = p.settings;
    s.titleText = {QStringLiteral("开场\r\n第二行"), QStringLiteral("结束")};
    s.playPhotoInRamdomOrder = s.ignoreMouseMove = s.showCursor = s.enableFloating = s.muteSound = true;
    s.enableTransition = s.enableHeadlineEffect = false;
    s.enableOpening = s.enableEnding = s.filenameAsCaption = true;
    s.isPackage = s.enableCaption = false;
    s.enableExport = s.isExportAvi = true;
    s.lyricFolder = QStringLiteral("/music/lrc");
    s.imgDrawScale = 1;
    s.backgroundDrawScale = 4;
    s.backgroundGradientMode = 3;
    s.ssDirectPlay = 2;
    s.enableLyric = false;
    s.titleStyle = 2;
    s.enableSync = true;
    s.playMusicOrder = 1;
    s.backGroundSet = QStringLiteral("3");
    s.exportPassword = QStringLiteral("秘密");
    s.solidColor = 0x123456;
    s.beginColor = 0x010203;
    s.endColor = 0x040506;
    s.isShowTip = s.enableOpenFolder = false;
    s.pictureFrameNum = 3;
    s.pictureFrameImage = QStringLiteral("/frames/gold.png");
    for (int i = 0; i < kTextStyleCount; ++i) {
        TextStyle &t = s.textStyles[size_t(i)];
        t.fontName = QStringLiteral("Face %1").arg(i);
        t.size = 30 + i;
        t.align = i;
        t.pattern = 12 + i;
        t.borderWidth = 5 + i;
        t.style = 3;
        t.startColor = 0x100 + i;
        t.endColor = 0x200 + i;
        t.borderColor = 0x300 + i;
    }
    s.lyricBox = {1, 2, 3, 4};
    s.titleBox = {5, 6, 7, 8};
    s.lyricDynamicFontPattern = 10;
    s.lyricDynamicFontStartColor = 0xABCDEF;
    s.lyricDynamicFontEndColor = 0x0F0F0F;
    s.lyricStyle = 3;
    s.txtSetting = {QStringLiteral("名字"), QStringLiteral("作者"), QStringLiteral("a@b.c"), QStringLiteral("https://x"),
                    QStringLiteral("说明\r\n两行"), QStringLiteral("©")};
    s.timeInterval = 7.25f;
    s.transitionSpeed = 1750;
    s.openingDurationTime = 5.5f;
    s.endingDurationTime = 6;
    s.selectedTransitions.reset();
    s.selectedTransitions[0] = s.selectedTransitions[5] = s.selectedTransitions[22] = true;
    s.backGroundPicture = QStringLiteral("/pictures/bg.jpg");
    s.openingImage = QStringLiteral("/pictures/open.png");
    s.endingImage = QStringLiteral("/pictures/end.png");
    s.logoImage = QStringLiteral("/pictures/logo.bmp");

    p.songs = {{QStringLiteral("/music/a.mp3"), 201.5f}, {QStringLiteral("/music/b.wma"), 99}};
    p.lyricFiles = {QStringLiteral("/music/a.lrc")};
    for (int i = 0; i < 3; ++i) {
        Picture pic = p.newPicture(QStringLiteral("/pictures/%1.jpg").arg(i), env());
        pic.slideDuration = i == 1 ? 4.5f : 0;
        pic.posX = i * 10;
        pic.posY = i * 20;
        pic.caption = i == 2 ? QString() : QStringLiteral("字幕 %1\r\n第二行").arg(i);
        pic.captionBox = {11 + i, 12, 13, 14};
        pic.headline = i == 0 ? QString() : QStringLiteral("标题 %1").arg(i);
        pic.headlineBox = {21, 22 + i, 23, 24};
        pic.headDynamicStyle = 8;
        pic.headStyle = {70, 14, 4, 2, 0x111111, 0x222222, 0x333333};
        p.pictures.push_back(pic);
    }
    return p;
}

QStringList keysOf(const PropertyBag &bag)
{
    QStringList keys;
    for (const auto &e : bag.entries()) keys << e.key;
    return keys;
}

} // namespace

TEST(ProjectFile, FullRoundTripPreservesEverything)
{
    Project original = fullProject();
    PropertyBag bag;
    WriteProjectBag(original, bag, BagMode::Full, context());

    const auto reloaded = PropertyBag::fromBlob(bag.toBlob());
    ASSERT_TRUE(reloaded);
    Project back = Project::makeDefault(env());
    ReadProjectBag(back, *reloaded, BagMode::Full, env());

    // Pictures without caption or headline come back with the reload defaults.
    Project expected = original;
    expected.pictures[2].captionBox = Project::loadedCaptionBox(env());
    expected.pictures[0].headlineBox = Project::defaultHeadlineBox(env());
    expected.pictures[0].headStyle = expected.headlineStyleFromStyle2();
    expected.pictures[0].headDynamicStyle = env().selectedHeadlineEffect;
    EXPECT_TRUE(back.settings == expected.settings);
    ASSERT_EQ(back.pictures.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(back.pictures[i] == expected.pictures[i]) << "picture " << i;
    EXPECT_TRUE(back.songs == expected.songs);
    EXPECT_EQ(back.lyricFiles, expected.lyricFiles);

    // And writing the reloaded project gives the same bytes again.
    PropertyBag again;
    WriteProjectBag(back, again, BagMode::Full, context());
    EXPECT_EQ(again.toBlob(), bag.toBlob());
}

TEST(ProjectFile, WritingOrderAndTypes)
{
    Project p = fullProject();
    PropertyBag bag;
    WriteProjectBag(p, bag, BagMode::Full, context());
    const QStringList keys = keysOf(bag);
    const QStringList head = {QStringLiteral("BackGroundPicture"), QStringLiteral("OpeningImage"),
                              QStringLiteral("EndingImage"), QStringLiteral("LogoImage"),
                              QStringLiteral("TitleText(1)"), QStringLiteral("TitleText(2)"),
                              QStringLiteral("PlayPhotoInRamdomOrder")};
    EXPECT_EQ(keys.mid(0, head.size()), head);
    // The settings writer's own order, spot-checked along the way.
    auto before = [&](const char *a, const char *b) {
        return keys.indexOf(QString::fromLatin1(a)) < keys.indexOf(QString::fromLatin1(b));
    };
    EXPECT_TRUE(before("IsExportAvi", "AppVersion"));
    EXPECT_TRUE(before("AppVersion", "LyricFolder"));
    EXPECT_TRUE(before("EnableOpenFolder", "PictureFrameNum"));
    EXPECT_TRUE(before("PictureFrameImage", "FontStartColor(1)"));
    EXPECT_TRUE(before("fFontStyle(4)", "LyricPosX"));
    EXPECT_TRUE(before("LyricStyle", "TxtSetting(0)"));
    EXPECT_TRUE(before("TxtSetting(5)", "TimeInterval"));
    EXPECT_TRUE(before("EndingDurationTime", "StyleSelect"));
    EXPECT_TRUE(before("StyleSelect", "NowI"));
    EXPECT_TRUE(before("LyricFiles(1)", "ImgNames(1)"));
    EXPECT_EQ(keys.indexOf(QStringLiteral("FontEndColor(1)")), keys.indexOf(QStringLiteral("FontStartColor(1)")) + 1);

    struct TypeCase { const char *key; BagType type; };
    const TypeCase types[] = {
        {"EnableSync", BagType::Bool}, {"TimeInterval", BagType::R4}, {"TransitionSpeed", BagType::I4},
        {"BackGroundSet", BagType::Str}, {"SongDuration(1)", BagType::R4}, {"SlideDuration(2)", BagType::R4},
        {"HeadSize(2)", BagType::I4}, {"AppVersion", BagType::Str}, {"NowI", BagType::I4},
    };
    for (const TypeCase &t : types)
        EXPECT_EQ(bag.value(QString::fromLatin1(t.key)).type(), t.type) << t.key;
    EXPECT_EQ(bag.getString(QStringLiteral("StyleSelect")).size(), kStyleSelectLength);
    EXPECT_EQ(bag.getString(QStringLiteral("StyleSelect")).left(6), QStringLiteral("1    1"));
}

TEST(ProjectFile, ConditionalKeys)
{
    Project p = fullProject();
    p.settings.titleText[1].clear();
    p.settings.txtSetting[3].clear();
    p.settings.logoImage = QStringLiteral("/a.png"); // shorter than 8 characters
    PropertyBag bag;
    WriteProjectBag(p, bag, BagMode::Full, context());
    EXPECT_FALSE(bag.contains(QStringLiteral("TitleText(2)")));
    EXPECT_FALSE(bag.contains(QStringLiteral("TxtSetting(3)")));
    EXPECT_FALSE(bag.contains(QStringLiteral("LogoImage")));
    EXPECT_FALSE(bag.contains(QStringLiteral("SlideDuration(1)")));  // 0 means TimeInterval
    EXPECT_TRUE(bag.contains(QStringLiteral("SlideDuration(2)")));
    EXPECT_FALSE(bag.contains(QStringLiteral("ImgPosX(1)")));        // 0 is not written
    EXPECT_FALSE(bag.contains(QStringLiteral("ImgCaption(3)")));
    EXPECT_FALSE(bag.contains(QStringLiteral("CapPosX(3)")));
    EXPECT_FALSE(bag.contains(QStringLiteral("HeadPosX(1)")));

    Project empty = Project::makeDefault(env());
    PropertyBag none;
    WriteProjectBag(empty, none, BagMode::Full, context());
    EXPECT_TRUE(none.isEmpty());

    PropertyBag settingsOnly;
    WriteProjectBag(p, settingsOnly, BagMode::SettingsOnly, context());
    EXPECT_FALSE(settingsOnly.contains(QStringLiteral("NowI")));
    EXPECT_FALSE(settingsOnly.contains(QStringLiteral("ImgNames(1)")));
    EXPECT_TRUE(settingsOnly.contains(QStringLiteral("TimeInterval")));
}

TEST(ProjectFile, WriterValidatesNumberSettingsAndFrame)
{
    Project p = fullProject();
    p.settings.timeInterval = 2;
    p.settings.transitionSpeed = 4000;
    p.settings.pictureFrameNum = 2;
    WriteContext ctx = context();
    ctx.framePictureLoaded = false;
    PropertyBag bag;
    WriteProjectBag(p, bag, BagMode::Full, ctx);
    EXPECT_FLOAT_EQ(bag.getFloat(QStringLiteral("TimeInterval")), 3.5f);
    EXPECT_EQ(bag.getInt(QStringLiteral("TransitionSpeed")), 2500);
    EXPECT_EQ(bag.getInt(QStringLiteral("PictureFrameNum")), 0);
    EXPECT_EQ(p.settings.pictureFrameNum, 0);
    EXPECT_FLOAT_EQ(p.settings.timeInterval, 3.5f);
}

TEST(ProjectFile, AbsentKeysAndLoadNormalisations)
{
    PropertyBag bag;
    bag.putI4(QStringLiteral("NowI"), 2);
    bag.putStr(QStringLiteral("ImgNames(1)"), QStringLiteral("/p/one.jpg"));
    bag.putStr(QStringLiteral("ImgNames(2)"), QStringLiteral("/p/two.jpg"));
    bag.putStr(QStringLiteral("ImgHeadline(2)"), QStringLiteral("Hi"));
    bag.putI4(QStringLiteral("HeadPattern(2)"), 2);
    bag.putI4(QStringLiteral("fFontPattern(2)"), 2);
    bag.putStr(QStringLiteral("BackGroundSet"), QStringLiteral("3"));
    bag.putI4(QStringLiteral("NowM"), 1);
    bag.putStr(QStringLiteral("MusicNames(1)"), QStringLiteral("/m/song.mp3"));

    Project p = Project::makeDefault(env());
    p.settings.enableFloating = true;
    p.settings.isExportAvi = true;
    p.settings.enableOpenFolder = false;
    p.settings.transitionSpeed = 2200;
    p.settings.txtSetting[1] = QStringLiteral("kept");
    int probed = 0;
    ReadProjectBag(p, bag, BagMode::Full, env(), [&](const QString &path) {
        ++probed;
        EXPECT_EQ(path, QStringLiteral("/m/song.mp3"));
        return 123.0f;
    });
    const Settings &s = p.settings;
    // Kept when absent.
    EXPECT_TRUE(s.enableFloating);
    EXPECT_TRUE(s.isExportAvi);
    EXPECT_FALSE(s.enableOpenFolder);
    EXPECT_EQ(s.transitionSpeed, 2200);
    EXPECT_EQ(s.txtSetting[1], QStringLiteral("kept"));
    // Absent reads as false / 0 / empty.
    EXPECT_FALSE(s.enableTransition);
    EXPECT_FALSE(s.isPackage);
    EXPECT_EQ(s.imgDrawScale, 0);
    EXPECT_EQ(s.timeInterval, 0.0f);
    EXPECT_EQ(s.lyricStyle, 0);
    EXPECT_TRUE(s.selectedTransitions.none());
    // Normalisations.
    EXPECT_EQ(s.textStyles[1].pattern, 6);
    EXPECT_EQ(s.backGroundSet, QStringLiteral("1"));
    ASSERT_EQ(p.pictures.size(), 2u);
    EXPECT_EQ(p.pictures[0].captionBox, Project::loadedCaptionBox(env()));
    EXPECT_EQ(p.pictures[0].headlineBox, Project::defaultHeadlineBox(env()));
    EXPECT_EQ(p.pictures[1].headStyle.pattern, 0);
    // A stored length of 0 is measured again.
    EXPECT_EQ(probed, 1);
    ASSERT_EQ(p.songs.size(), 1u);
    EXPECT_FLOAT_EQ(p.songs[0].durationSec, 123.0f);
}

TEST(ProjectFile, SettingsOnlyReadEmptiesTheLists)
{
    Project source = fullProject();
    PropertyBag bag;
    WriteProjectBag(source, bag, BagMode::Full, context());
    Project p = fullProject();
    ReadProjectBag(p, bag, BagMode::SettingsOnly, env());
    EXPECT_TRUE(p.pictures.empty());
    EXPECT_TRUE(p.songs.empty());
    EXPECT_TRUE(p.lyricFiles.isEmpty());
    EXPECT_FLOAT_EQ(p.settings.timeInterval, 7.25f);
}

TEST(ProjectFile, HostileCountsDoNotRunAway)
{
    PropertyBag bag;
    bag.putI4(QStringLiteral("NowI"), 2000000000);
    bag.putI4(QStringLiteral("NowM"), -5);
    bag.putI4(QStringLiteral("LyricFilesCount"), 2000000000);
    Project p = Project::makeDefault(env());
    ReadProjectBag(p, bag, BagMode::Full, env());
    EXPECT_LE(p.pictures.size(), bag.entries().size());
    EXPECT_TRUE(p.songs.empty());
}

TEST(ProjectFile, SetProjectKeyUsesTheModelsTypes)
{
    Project p = fullProject();
    QString error;
    EXPECT_TRUE(setProjectKey(p, QStringLiteral("ImgCaption(3)"), QStringLiteral("你好"), env(), context(), &error)) << error.toStdString();
    EXPECT_EQ(p.pictures[2].caption, QStringLiteral("你好"));
    EXPECT_TRUE(setProjectKey(p, QStringLiteral("TimeInterval"), QStringLiteral("5"), env(), context(), &error));
    EXPECT_FLOAT_EQ(p.settings.timeInterval, 5.0f);
    // Setting a headline on a picture that had none keeps its boxes and style.
    const TextBox box = p.pictures[0].headlineBox;
    EXPECT_TRUE(setProjectKey(p, QStringLiteral("ImgHeadline(1)"), QStringLiteral("新"), env(), context(), &error));
    EXPECT_EQ(p.pictures[0].headlineBox, box);
    EXPECT_EQ(p.pictures[0].headStyle.size, 70);

    const std::pair<const char *, const char *> refused[] = {
        {"NoSuchKey", "1"}, {"TimeInterval", "soon"}, {"ImgCaption(4)", "x"}, {"ImgCaption(0)", "x"},
        {"NowI", "9"}, {"EnableSync", "perhaps"}, {"fFontSize(5)", "3"}, {"TxtSetting(6)", "x"},
    };
    for (const auto &[key, value] : refused) {
        error.clear();
        EXPECT_FALSE(setProjectKey(p, QString::fromLatin1(key), QString::fromUtf8(value), env(), context(), &error)) << key;
        EXPECT_FALSE(error.isEmpty()) << key;
    }
    EXPECT_EQ(projectKeyType(QStringLiteral("HeadBorderColor(12)")), BagType::I4);
    EXPECT_EQ(projectKeyType(QStringLiteral("TxtSetting(0)")), BagType::Str);
    EXPECT_FALSE(projectKeyType(QStringLiteral("ImgCaption(x)")));
}

TEST(ProjectFile, SavedProjectKeepsItsFrame)
{
    // Nothing here can fail to load a frame, so a save never drops the choice.
    Project p = fullProject();
    p.settings.pictureFrameNum = 3;
    PropertyBag bag;
    WriteProjectBag(p, bag, BagMode::Full, WriteContext{});
    EXPECT_EQ(bag.getInt(QStringLiteral("PictureFrameNum")), 3);
    EXPECT_EQ(p.settings.pictureFrameNum, 3);
}
