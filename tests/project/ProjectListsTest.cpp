#include "ProjectLists.h"

#include <QDir>
#include <QFile>
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
    const auto r = addPictures(p, {QStringLiteral("/x/a.jpg"), QStringLiteral("/x/a.jpg"), QStringLiteral("/x/b.PCX"),
                                   QStringLiteral("/x/c.txt"), QStringLiteral("/x/d.tif"), QStringLiteral("/x/e.jpeg")},
                               env());
    EXPECT_EQ(r.added, 3);
    EXPECT_EQ(r.skipped, 3);
    ASSERT_EQ(p.pictures.size(), 3u);
    const Picture &pic = p.pictures[0];
    EXPECT_EQ(pic.captionBox, (TextBox{50, 25, 900, 450}));
    EXPECT_EQ(pic.headlineBox, (TextBox{450, 225, 100, 50}));
    EXPECT_EQ(pic.headStyle.size, 64);
    EXPECT_EQ(pic.headStyle.pattern, 6);
    // The content check refuses files that are no picture.
    const auto refused = addPictures(p, {QStringLiteral("/x/f.png")}, env(), [](const QString &) { return false; });
    EXPECT_EQ(refused.added, 0);
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
