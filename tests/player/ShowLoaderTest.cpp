#include "ShowLoader.h"
#include "ShowExport.h"
#include "ShowFixture.h"

#include <QFileInfo>
#include <QFontDatabase>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace pvsm;
using namespace pvsm::test;

namespace {

const QString kDejaVu = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");

int modeOf(const QString &path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return -1;
    return int(st.st_mode & 0777);
}

} // namespace

TEST(ShowLoader, ACompleteSlideshowIsUnpackedIntoAPrivateFolderThatGoesWithTheShow)
{
    ShowFixture f;
    FontPacking fonts;
    const bool haveFont = QFileInfo::exists(kDejaVu);
    if (haveFont) {
        fonts.files = {kDejaVu};
        fonts.checkNames = {QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVu Sans"),
                            QStringLiteral("DejaVu Sans")};
        fonts.belongsTo = {1, 0, 1, 1};
        f.project.settings.textStyles[0].fontName = QStringLiteral("没有这种字体");
        f.project.settings.textStyles[1].fontName = QStringLiteral("也没有这种");
    }
    const QString path = f.build(QStringLiteral("show.exe"), SlideshowKind::Package, fonts);
    ASSERT_FALSE(path.isEmpty()) << f.lastMessages.join(u'\n').toStdString();

    QString folder;
    {
        ShowLoadOptions options;
        options.privateParent = f.dir.filePath(QStringLiteral("private"));
        QDir().mkpath(options.privateParent);
        ShowLoadResult r = LoadSlideshow(path, options);
        ASSERT_TRUE(r.ok()) << r.error.message.toStdString();
        LoadedShow &show = *r.show;
        EXPECT_TRUE(show.packaged);
        EXPECT_EQ(show.editingScreen, QSize(1600, 900));
        EXPECT_EQ(show.start, ShowStart::Window);
        EXPECT_TRUE(show.enableExport);
        EXPECT_EQ(show.exportPassword, QStringLiteral("Sea 1"));
        EXPECT_EQ(show.project.settings.txtSetting[0], QStringLiteral("海边"));
        ASSERT_TRUE(show.folder);
        folder = show.folder->path();
        EXPECT_TRUE(folder.startsWith(options.privateParent));
        EXPECT_EQ(modeOf(folder), 0700);

        ASSERT_EQ(show.project.pictures.size(), 3u);
        for (const Picture &p : show.project.pictures) {
            EXPECT_TRUE(p.path.startsWith(folder)) << p.path.toStdString();
            EXPECT_FALSE(QImage(p.path).isNull()) << p.path.toStdString();
        }
        // The picture is the one packed, head unscrambled: same size, same pixels.
        const QImage first(show.project.pictures[0].path);
        EXPECT_EQ(first, QImage(f.project.pictures[0].path).convertToFormat(first.format()));
        EXPECT_EQ(show.project.pictures[1].caption, QStringLiteral("港口"));
        ASSERT_EQ(show.project.songs.size(), 1u);
        EXPECT_EQ(readAll(show.project.songs[0].path), readAll(f.project.songs[0].path));
        // The lyric travels under its song's name, which is how the soundtrack pairs them.
        ASSERT_EQ(show.project.lyricFiles.size(), 1);
        EXPECT_EQ(QFileInfo(show.project.lyricFiles[0]).completeBaseName(),
                  QFileInfo(show.project.songs[0].path).completeBaseName());
        EXPECT_EQ(readAll(show.project.lyricFiles[0]), readAll(f.project.lyricFiles[0]));

        EXPECT_EQ(show.buttons.size(), 11u);
        EXPECT_EQ(show.buttons.at(QStringLiteral("btn_play")).size(), QSize(24, 24));
        EXPECT_EQ(QImage::fromData(show.pictureFrame).size(), QSize(160, 90));
        EXPECT_EQ(show.logo.size(), QSize(64, 32));
        if (haveFont) {
            ASSERT_EQ(show.fontIds.size(), 1u);
            EXPECT_TRUE(
                QFontDatabase::applicationFontFamilies(show.fontIds[0]).contains(QStringLiteral("DejaVu Sans")));
            // The caption's style lacks its font here and draws with the packed one; the
            // headline's style has no packed font and keeps its name.
            EXPECT_EQ(show.project.settings.textStyles[0].fontName, QStringLiteral("DejaVu Sans"));
            EXPECT_EQ(show.project.settings.textStyles[1].fontName, QStringLiteral("也没有这种"));
            ReleaseShowFonts(show);
            EXPECT_TRUE(show.fontIds.empty());
        }
    }
    EXPECT_FALSE(QFileInfo::exists(folder));
}

TEST(ShowLoader, APathShowPlaysTheFilesOfThisMachineAndLeavesOutTheMissingOnes)
{
    ShowFixture f;
    f.project.settings.filenameAsCaption = true;
    f.project.settings.ssDirectPlay = 1;
    const QString path = f.build(QStringLiteral("local.exe"), SlideshowKind::Local);
    ASSERT_FALSE(path.isEmpty()) << f.lastMessages.join(u'\n').toStdString();
    ASSERT_TRUE(QFile::remove(f.project.pictures[2].path));

    ShowLoadResult r = LoadSlideshow(path);
    ASSERT_TRUE(r.ok()) << r.error.message.toStdString();
    const LoadedShow &show = *r.show;
    EXPECT_FALSE(show.packaged);
    EXPECT_FALSE(show.folder);
    EXPECT_EQ(show.start, ShowStart::FullScreen);
    ASSERT_EQ(show.project.pictures.size(), 2u);
    EXPECT_EQ(show.project.pictures[0].path, f.project.pictures[0].path);
    // Captions from the file names, the typed caption included.
    EXPECT_EQ(show.project.pictures[0].caption, QStringLiteral("sunrise"));
    EXPECT_EQ(show.project.pictures[1].caption, QStringLiteral("harbour"));
    EXPECT_EQ(show.project.songs.size(), 1u);
    EXPECT_EQ(show.buttons.size(), 11u);

    for (const Picture &p : f.project.pictures)
        QFile::remove(p.path);
    const ShowLoadResult none = LoadSlideshow(path);
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(none.error.message, NoPicturesText());
}

TEST(ShowLoader, CaptionsFromFileNamesReachAPackedShow)
{
    ShowFixture f;
    f.project.settings.filenameAsCaption = true;
    ShowLoadResult r = LoadSlideshow(f.build(QStringLiteral("show.exe")));
    ASSERT_TRUE(r.ok()) << r.error.message.toStdString();
    ASSERT_EQ(r.show->project.pictures.size(), 3u);
    EXPECT_EQ(r.show->project.pictures[0].caption, QStringLiteral("sunrise"));
    EXPECT_EQ(r.show->project.pictures[1].caption, QStringLiteral("harbour"));
    // The unpacked name is never shown.
    EXPECT_FALSE(r.show->project.pictures[2].caption.contains(QStringLiteral("ImgNames")));
}

TEST(ShowLoader, AProjectFilePlaysDirectly)
{
    ShowFixture f;
    PropertyBag bag;
    Project copy = f.project;
    WriteProjectBag(copy, bag, BagMode::Full, {});
    const QString aps = f.dir.filePath(QStringLiteral("demo.aps"));
    ASSERT_TRUE(SaveBagFile(aps, bag));
    ShowLoadResult r = LoadProjectShow(aps);
    ASSERT_TRUE(r.ok()) << r.error.message.toStdString();
    EXPECT_EQ(r.show->project.pictures.size(), 3u);
    EXPECT_EQ(r.show->start, ShowStart::Window);
    EXPECT_EQ(r.show->logo.size(), QSize(64, 32));
    EXPECT_TRUE(r.show->buttons.empty());

    // With the program's packages at hand: the buttons and the chosen own frame.
    const QString frame = f.file(QStringLiteral("frame.png"), pictureBytes(200, 100, "PNG"));
    f.project.settings.pictureFrameNum = -1;
    f.project.settings.pictureFrameImage = frame;
    copy = f.project;
    bag.clear();
    WriteProjectBag(copy, bag, BagMode::Full, {});
    ASSERT_TRUE(SaveBagFile(aps, bag));
    ShowLoadOptions options;
    options.programDir = f.programDir;
    r = LoadProjectShow(aps, options);
    ASSERT_TRUE(r.ok()) << r.error.message.toStdString();
    EXPECT_EQ(r.show->buttons.size(), 11u);
    EXPECT_EQ(QImage::fromData(r.show->pictureFrame).size(), QSize(200, 100));

    writeAll(aps, "not a project at all");
    const ShowLoadResult bad = LoadProjectShow(aps);
    ASSERT_FALSE(bad.ok());
    EXPECT_TRUE(bad.error.message.contains(QStringLiteral("不是图片幻灯配置文件")));
}

// Damaged and foreign files: each refused with its message, none half-loaded.
TEST(ShowLoader, DamagedOrForeignSlideshowsAreRefusedWithAMessage)
{
    ShowFixture f;
    const QString path = f.build(QStringLiteral("show.exe"));
    ASSERT_FALSE(path.isEmpty()) << f.lastMessages.join(u'\n').toStdString();
    const QByteArray good = readAll(path);
    const auto t = *decodeTrailer(QByteArrayView(good).last(16));
    const QString name = QStringLiteral("坏.exe");
    const QString notShow = NotASlideshowText(name), damaged = DamagedSlideshowText(name);
    auto trailerWith = [&](PackageTrailer changed) { return good.left(good.size() - 16) + encodeTrailer(changed); };
    auto index = [](const char *key, int32_t value) {
        return [=](PropertyBag &r) { r.putI4(QString::fromLatin1(key), value); };
    };

    struct Case
    {
        const char *what;
        QByteArray file;
        QString message;
    };
    QByteArray flippedBlob = good;
    flippedBlob[qsizetype(t.playerLength + t.resourcesLength + 40)] ^= 0x5A;
    QByteArray noMagic = good;
    noMagic[good.size() - 1] = 'X';
    const Case cases[] = {
        {"empty", QByteArray(), notShow},
        {"ten bytes", QByteArray("0123456789"), notShow},
        {"a program without a show", QByteArray(4096, '\x7F'), notShow},
        {"trailer mark changed", noMagic, notShow},
        {"player length one too many", trailerWith({t.playerLength + 1, t.resourcesLength, t.blobLength}), damaged},
        {"resources longer than the file", trailerWith({t.playerLength, 0x7FFFFFF0u, t.blobLength}), damaged},
        {"record longer than the file", trailerWith({0, 0, uint32_t(good.size() - 16)}) + QByteArray(), damaged},
        {"record byte changed", flippedBlob, damaged},
        {"picture past the resources", withRecord(good, index("ImgNames(2)_OffSet", int32_t(t.resourcesLength))),
         damaged},
        {"picture reaching past the resources", withRecord(good, index("ImgNames(3)_Size", int32_t(t.resourcesLength))),
         damaged},
        {"negative size", withRecord(good, index("MusicNames(1)_Size", -5)), damaged},
        {"negative offset", withRecord(good, index("btn_play_OffSet", -1)), damaged},
        {"size without offset type",
         withRecord(good, [](PropertyBag &r) { r.putStr(QStringLiteral("ImgNames(1)_Size"), QStringLiteral("9")); }),
         damaged},
        {"more pictures than resources", withRecord(good, index("NowI", 100000)), damaged},
        {"a picture without its resource",
         withRecord(good,
                    [](PropertyBag &r) {
                        r.remove(QStringLiteral("ImgNames(2)_OffSet"));
                        r.remove(QStringLiteral("ImgNames(2)_Size"));
                    }),
         damaged},
        {"a song without its resource",
         withRecord(good, [](PropertyBag &r) { r.remove(QStringLiteral("MusicNames(1)_OffSet")); }), damaged},
        {"unknown layout", withRecord(good, [](PropertyBag &r) { r.putI2(QStringLiteral("ResFileSize"), 3); }),
         damaged},
        {"no pictures", withRecord(good, index("NowI", 0)), NoPicturesText()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const ShowLoadResult r = LoadSlideshowBytes(c.file, name);
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.error.message, c.message);
    }
    // The same file from disk, and the good one as a check of the table's base.
    writeAll(f.dir.filePath(QStringLiteral("bad.exe")), cases[8].file);
    EXPECT_EQ(LoadSlideshow(f.dir.filePath(QStringLiteral("bad.exe"))).error.message,
              DamagedSlideshowText(f.dir.filePath(QStringLiteral("bad.exe"))));
    EXPECT_TRUE(LoadSlideshowBytes(good, name).ok());
}

TEST(ShowLoader, ASlideshowCutAtAnyKibibyteOfItsLast64KiBIsRefused)
{
    ShowFixture f;
    const QString path = f.build(QStringLiteral("show.exe"));
    ASSERT_FALSE(path.isEmpty()) << f.lastMessages.join(u'\n').toStdString();
    const QByteArray good = readAll(path);
    ASSERT_GT(good.size(), 65536 + 1024);
    const qsizetype top = good.size() / 1024 * 1024;
    int cuts = 0;
    for (qsizetype length = top; length >= good.size() - 65536; length -= 1024) {
        if (length == good.size()) continue;
        SCOPED_TRACE(length);
        const ShowLoadResult r = LoadSlideshowBytes(QByteArrayView(good).first(length), QStringLiteral("cut.exe"));
        EXPECT_FALSE(r.ok());
        EXPECT_TRUE(r.error.message == NotASlideshowText(QStringLiteral("cut.exe")) ||
                    r.error.message == DamagedSlideshowText(QStringLiteral("cut.exe")))
            << r.error.message.toStdString();
        ++cuts;
    }
    EXPECT_EQ(cuts, 64);
}

TEST(ShowExport, ThePasswordOpensTheExportAndNothingIsReplaced)
{
    ShowFixture f;
    const QString path = f.build(QStringLiteral("show.exe"));
    ShowLoadResult r = LoadSlideshow(path);
    ASSERT_TRUE(r.ok());
    const LoadedShow &show = *r.show;
    const QString out = f.dir.filePath(QStringLiteral("saved"));
    QDir().mkpath(out);
    EXPECT_TRUE(ExportNeedsPassword(show));

    for (const QString &wrong : {QString(), QStringLiteral("sea 1"), QStringLiteral("Sea 1 ")}) {
        const ShowExportResult refused = ExportShowFiles(show, wrong, out);
        EXPECT_EQ(refused.status, ShowExportResult::Status::WrongPassword);
    }
    EXPECT_TRUE(QDir(out).entryList(QDir::Files).isEmpty());

    writeAll(out + QStringLiteral("/图片01.png"), "mine");
    const ShowExportResult done = ExportShowFiles(show, QStringLiteral("Sea 1"), out);
    ASSERT_TRUE(done.ok()) << ExportResultText(done, out).toStdString();
    ASSERT_EQ(done.written.size(), 4);
    EXPECT_EQ(readAll(out + QStringLiteral("/图片01.png")), QByteArray("mine"));
    EXPECT_EQ(done.written[0], out + QStringLiteral("/图片01 (2).png"));
    EXPECT_EQ(readAll(done.written[0]), readAll(show.project.pictures[0].path));
    EXPECT_EQ(QFileInfo(done.written[3]).fileName(), QStringLiteral("音乐01.mp3"));
    EXPECT_EQ(readAll(done.written[3]), readAll(f.project.songs[0].path));
    // No temporary names left behind.
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 5);

    const ShowExportResult noFolder = ExportShowFiles(show, QStringLiteral("Sea 1"), out + QStringLiteral("/none"));
    EXPECT_EQ(noFolder.status, ShowExportResult::Status::NoFolder);
}

TEST(ShowExport, AShowThatForbidsItExportsNothing)
{
    ShowFixture f;
    f.project.settings.enableExport = false;
    f.project.settings.exportPassword.clear();
    ShowLoadResult r = LoadSlideshow(f.build(QStringLiteral("show.exe"), SlideshowKind::Local));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(ExportShowFiles(*r.show, {}, f.dir.path()).status, ShowExportResult::Status::NotAllowed);
    r.show->enableExport = true;
    // Paths of this machine keep their own names.
    const QString out = f.dir.filePath(QStringLiteral("saved"));
    QDir().mkpath(out);
    const ShowExportResult done = ExportShowFiles(*r.show, {}, out);
    ASSERT_TRUE(done.ok());
    EXPECT_EQ(QFileInfo(done.written[1]).fileName(), QStringLiteral("harbour.jpg"));
}
