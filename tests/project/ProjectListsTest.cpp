#include "ProjectLists.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pvsm;

namespace {

QString touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    return path;
}

ProjectEnvironment env()
{
    ProjectEnvironment e;
    e.screenWidth = 1000;
    e.screenHeight = 500;
    e.lyricSampleLineHeight = 50;
    return e;
}

} // namespace

TEST(ProjectLists, PicturesAreAddedOnceWithSupportedExtensions)
{
    Project p = Project::makeDefault(env());
    // The long and upper-case spellings of JPEG and TIFF are pictures too.
    const auto r = addPictures(p, {QStringLiteral("/x/a.jpg"), QStringLiteral("/x/a.jpg"), QStringLiteral("/x/b.PCX"),
                                   QStringLiteral("/x/c.txt"), QStringLiteral("/x/d.tif"), QStringLiteral("/x/e.jpeg"),
                                   QStringLiteral("/x/F.JPEG"), QStringLiteral("/x/g.Tiff"), QStringLiteral("/x/.png"),
                                   QStringLiteral("/x/hjpg")},
                               env());
    EXPECT_EQ(r.added, 6);
    EXPECT_EQ(r.skipped, 4);
    ASSERT_EQ(p.pictures.size(), 6u);
    // Every skipped file is named with its reason, in the order given.
    ASSERT_EQ(r.refused.size(), 4u);
    EXPECT_EQ(r.refused[0].path, QStringLiteral("/x/a.jpg"));
    EXPECT_EQ(r.refused[0].reason, QStringLiteral("is listed twice"));
    EXPECT_EQ(r.refused[1].path, QStringLiteral("/x/c.txt"));
    EXPECT_TRUE(r.refused[1].reason.startsWith(QStringLiteral("has no picture extension (bmp jpg jpeg")));
    EXPECT_EQ(r.refused[2].path, QStringLiteral("/x/.png"));
    EXPECT_EQ(r.refused[3].path, QStringLiteral("/x/hjpg"));
    const QString message = refusedPicturesMessage(r);
    EXPECT_TRUE(message.startsWith(QStringLiteral("4 picture(s) skipped:\n  /x/a.jpg is listed twice\n  /x/c.txt has")));
    const Picture &pic = p.pictures[0];
    EXPECT_EQ(pic.captionBox, (TextBox{50, 25, 900, 450}));
    EXPECT_EQ(pic.headlineBox, (TextBox{450, 225, 100, 50}));
    EXPECT_EQ(pic.headStyle.size, 64);
    EXPECT_EQ(pic.headStyle.pattern, 6);
    // The content check refuses files that are no picture, with its own reason.
    const auto refused = addPictures(p, {QStringLiteral("/x/f.png")}, env(),
                                     [](const QString &) { return QStringLiteral("does not exist"); });
    EXPECT_EQ(refused.added, 0);
    ASSERT_EQ(refused.refused.size(), 1u);
    EXPECT_EQ(refusedPicturesMessage(refused), QStringLiteral("1 picture(s) skipped:\n  /x/f.png does not exist"));
    EXPECT_TRUE(refusedPicturesMessage(addPictures(p, {QStringLiteral("/x/new.png")}, env())).isEmpty());
}

TEST(ProjectLists, OpenDialogAndDropRulesTakeEverySpelling)
{
    const std::vector<FileFilter> filters = pictureOpenFilters();
    ASSERT_EQ(filters.size(), 8u);
    EXPECT_EQ(filters[0].name, QStringLiteral("所有支持的图片格式"));
    EXPECT_EQ(filters[1].name, QStringLiteral("Windows位图文件(*.Bmp)"));
    EXPECT_EQ(filters[7].name, QStringLiteral("TIFF图片格式(*.Tif;*.Tiff)"));
    // The patterns match in any letter case, as a native dialog reads them.
    auto matches = [](const FileFilter &f, const QString &name) {
        return std::any_of(f.patterns.begin(), f.patterns.end(), [&](const QString &p) {
            return QRegularExpression(QRegularExpression::wildcardToRegularExpression(p)).match(name).hasMatch();
        });
    };
    for (const char *name : {"a.jpg", "b.JPEG", "c.Jpe", "d.tiff", "e.TIF", "f.Png", "g.pcx", "h.TGA", "i.gif", "j.bmp"})
        EXPECT_TRUE(matches(filters[0], QString::fromLatin1(name))) << name;
    EXPECT_FALSE(matches(filters[0], QStringLiteral("notes.txt")));
    EXPECT_TRUE(matches(filters[2], QStringLiteral("photo.JPEG")));
    EXPECT_FALSE(matches(filters[2], QStringLiteral("photo.png")));

    EXPECT_EQ(pictureFilesByName({QStringLiteral("/d/a.JPEG"), QStringLiteral("/d/b.txt"), QStringLiteral("/d/c.tiff"),
                                  QStringLiteral("/d/.jpg")}),
              (QStringList{QStringLiteral("/d/a.JPEG"), QStringLiteral("/d/c.tiff")}));
}

TEST(ProjectLists, SongsAndTheirLyrics)
{
    QTemporaryDir dir;
    const QString song = touch(dir.filePath(QStringLiteral("music/Song.mp3")));
    const QString lyric = touch(dir.filePath(QStringLiteral("music/Song.lrc")));
    const QString other = touch(dir.filePath(QStringLiteral("music/Other.wma")));
    const QString folderLyric = touch(dir.filePath(QStringLiteral("lrc/Other.lrc")));
    const QString bad = touch(dir.filePath(QStringLiteral("music/bad.wav")));

    Project p = Project::makeDefault(env());
    p.settings.lyricFolder = dir.filePath(QStringLiteral("lrc"));
    // Like the real probe: no length for a missing or unplayable file.
    const auto probe = [&](const QString &path) { return path == bad || !QFile::exists(path) ? -1.0f : 60.0f; };
    const QString sameSongOtherCase = QString(song).replace(QStringLiteral("Song.mp3"), QStringLiteral("SONG.MP3"));
    const auto r = addSongs(p, {song, sameSongOtherCase, other, bad, dir.filePath(QStringLiteral("music/none.mp3"))}, probe);
    EXPECT_EQ(r.added, 2);
    EXPECT_EQ(r.lastRefused, bad); // the missing file is not reported
    ASSERT_EQ(p.songs.size(), 2u);
    EXPECT_EQ(p.lyricFiles, (QStringList{lyric, folderLyric}));
    EXPECT_TRUE(songRefusedMessage(bad).endsWith(QLatin1Char('\n') + bad));

    EXPECT_EQ(FindLyricFile(song, QString()), lyric);
    EXPECT_EQ(FindLyricFile(other, QStringLiteral("lrc")), QString()); // a relative folder is not searched
}

TEST(ProjectLists, MusicExtensions)
{
    EXPECT_TRUE(hasSupportedMusicExtension(QStringLiteral("/a/b.Mp3")));
    EXPECT_TRUE(hasSupportedMusicExtension(QStringLiteral("/a/b.WMA")));
    EXPECT_FALSE(hasSupportedMusicExtension(QStringLiteral("/a/b.txt")));
    EXPECT_FALSE(hasSupportedMusicExtension(QStringLiteral("/a/bmp3")));
}
