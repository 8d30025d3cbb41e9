#include "ProjectLists.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <atomic>
#include <functional>

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
    // The editor's window says it in Chinese, its own reasons included.
    EXPECT_TRUE(refusedPicturesMessageZh(r).startsWith(
        QStringLiteral("4 个文件没有加入图片列表：\n  /x/a.jpg：已经在列表中\n  /x/c.txt：扩展名不是支持的图片格式（bmp jpg")))
        << refusedPicturesMessageZh(r).toStdString();
    // Many refusals: the first twenty named, then how many more.
    AddPicturesResult many;
    for (int k = 0; k < 25; ++k) many.refused.push_back({QStringLiteral("/y/%1.jpg").arg(k), QStringLiteral("is bad")});
    const QStringList lines = refusedPicturesMessage(many).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 22);
    EXPECT_EQ(lines[20], QStringLiteral("  /y/19.jpg is bad"));
    EXPECT_EQ(lines[21], QStringLiteral("  … and 5 more"));
    EXPECT_EQ(refusedPicturesMessageZh(many).split(QLatin1Char('\n')).last(), QStringLiteral("  …… 另有 5 个"));
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
    // The names as the dialog has always shown them; the patterns take the long spellings too.
    const char *names[] = {"JPEG图片格式(*.Jpg)", "Gif图片格式(*.Gif)", "PNG图片格式(*.Png)", "PCX图片格式(*.Pcx)",
                           "TGA图片格式(*.Tga)", "TIFF图片格式(*.Tif)"};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(filters[size_t(k + 2)].name, QString::fromUtf8(names[k]));
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

TEST(ProjectLists, SongAdmissionNeedsALengthAboveZeroAndReportsEachFile)
{
    QTemporaryDir dir;
    QStringList files;
    for (const char *name : {"a.mp3", "silent.wav", "b.wma", "c.mp3"}) files << touch(dir.filePath(QString::fromLatin1(name)));
    const auto probe = [](const QString &path) { return path.endsWith(QStringLiteral("silent.wav")) ? 0.0f : 42.0f; };

    std::vector<int> percents;
    QStringList captions;
    std::atomic<bool> stop{false};
    JobControl control;
    control.cancel = &stop;
    control.progress = [&](int percent, const QString &caption) {
        percents.push_back(percent);
        captions << caption;
        if (percents.size() == 3) stop = true; // the user cancels after the third file
    };
    Project p = Project::makeDefault(env());
    const Project before = p;
    const SongAdditions plan = planSongAdditions(p, files, probe, control);
    EXPECT_TRUE(p == before); // a plan changes nothing
    // A song of length 0 is refused like an unplayable one.
    EXPECT_EQ(plan.result.added, 2);
    EXPECT_EQ(plan.result.lastRefused, files[1]);
    EXPECT_TRUE(plan.result.cancelled);
    ASSERT_EQ(plan.songs.size(), 2u);
    EXPECT_EQ(plan.songs[1], (Song{files[2], 42.0f}));
    EXPECT_EQ(percents, (std::vector<int>{25, 50, 75}));
    EXPECT_EQ(captions.first(), addingSongsCaption());

    // Uncancelled, every file counts, to 100 percent.
    percents.clear();
    stop = false;
    control.progress = [&](int percent, const QString &) { percents.push_back(percent); };
    const AddSongsResult all = addSongs(p, files, probe, control);
    EXPECT_EQ(all.added, 3);
    EXPECT_FALSE(all.cancelled);
    EXPECT_EQ(percents, (std::vector<int>{25, 50, 75, 100}));
}

TEST(ProjectLists, APlanMadeAgainAfterTheListChangedProbesNothing)
{
    QTemporaryDir dir;
    const QString a = touch(dir.filePath(QStringLiteral("a.mp3"))), b = touch(dir.filePath(QStringLiteral("b.mp3")));
    const QString bad = touch(dir.filePath(QStringLiteral("bad.wav")));
    const QString lyric = touch(dir.filePath(QStringLiteral("b.lrc")));
    Project p = Project::makeDefault(env());
    const SongAdditions probed = planSongAdditions(p, {a, bad, b}, [&](const QString &path) {
        return path == bad ? -1.0f : (path == a ? 10.0f : 20.0f);
    });
    ASSERT_EQ(probed.songs.size(), 2u);
    // Meanwhile a came into the list.
    p.songs.push_back({a, 10});
    const SongAdditions again = replanSongAdditions(p, {a, bad, b}, probed);
    EXPECT_EQ(again.result.added, 1);
    ASSERT_EQ(again.songs.size(), 1u);
    EXPECT_EQ(again.songs[0], (Song{b, 20}));
    EXPECT_EQ(again.lyricFiles, QStringList{lyric});
    EXPECT_EQ(again.result.lastRefused, bad);
}

TEST(ProjectLists, MusicDialogFiltersAndDropRule)
{
    const std::vector<FileFilter> filters = musicOpenFilters();
    QStringList names;
    for (const FileFilter &f : filters) names << f.name;
    EXPECT_EQ(names, (QStringList{QStringLiteral("所有可支持格式"), QStringLiteral("Mpeg音频文件(*.Mp3)"),
                                  QStringLiteral("Windows Media 音频文件(*.Wma)"), QStringLiteral("波形文件(*.Wav)"),
                                  QStringLiteral("MIDI文件(*.Mid)")}));
    auto matches = [](const FileFilter &f, const QString &name) {
        return std::any_of(f.patterns.begin(), f.patterns.end(), [&](const QString &p) {
            return QRegularExpression(QRegularExpression::wildcardToRegularExpression(p)).match(name).hasMatch();
        });
    };
    for (const char *name : {"a.mid", "b.WAV", "c.Mp3", "d.wMa"}) EXPECT_TRUE(matches(filters[0], QString::fromLatin1(name))) << name;
    EXPECT_FALSE(matches(filters[0], QStringLiteral("e.ogg")));
    EXPECT_TRUE(matches(filters[1], QStringLiteral("f.MP3")));
    EXPECT_FALSE(matches(filters[1], QStringLiteral("f.wma")));
    EXPECT_TRUE(dialogFilterText(filters).startsWith(QStringLiteral("所有可支持格式 (*.[mM][iI][dD] *.[wW][aA][vV]")));

    // A drop takes the four extensions in any case, and nothing else.
    EXPECT_EQ(musicFilesByName({QStringLiteral("/a/b.Mp3"), QStringLiteral("/a/notes.txt"), QStringLiteral("/a/c.WMA"),
                                QStringLiteral("/a/d.mid"), QStringLiteral("/a/e.wav"), QStringLiteral("/a/bmp3"),
                                QStringLiteral("/a/f.mp3.txt"), QStringLiteral(".MP3")}),
              (QStringList{QStringLiteral("/a/b.Mp3"), QStringLiteral("/a/c.WMA"), QStringLiteral("/a/d.mid"),
                           QStringLiteral("/a/e.wav")}));
}

namespace {

// A project of pictures named a, b, c, ... whose captions tell them apart, with
// a background picture and the auxiliary pictures set.
Project lettered(int count)
{
    Project p = Project::makeDefault(env());
    for (int i = 0; i < count; ++i) {
        Picture pic = p.newPicture(QStringLiteral("/x/%1.jpg").arg(QChar('a' + i)), env());
        pic.caption = QString(QChar('A' + i));
        pic.slideDuration = float(4 + i);
        p.pictures.push_back(pic);
    }
    p.settings.backGroundSet = QStringLiteral("3");
    p.settings.backGroundPicture = QStringLiteral("/x/bg.png");
    p.settings.openingImage = QStringLiteral("/x/o.png");
    p.settings.endingImage = QStringLiteral("/x/e.png");
    p.settings.logoImage = QStringLiteral("/x/l.png");
    return p;
}

QString captions(const Project &p)
{
    QString s;
    for (const Picture &pic : p.pictures) s += pic.caption;
    return s;
}

bool auxiliaryPicturesKept(const Project &p)
{
    return p.settings.backGroundSet == QStringLiteral("3") && !p.settings.backGroundPicture.isEmpty()
           && !p.settings.openingImage.isEmpty() && !p.settings.endingImage.isEmpty() && !p.settings.logoImage.isEmpty();
}

} // namespace

TEST(ProjectLists, RemovingAndMovingPicturesKeepsEachPictureWithItsSettings)
{
    struct Case
    {
        const char *name;
        std::function<bool(Project &)> edit;
        const char *captions;
        bool returns; // removals: cleared the list; moves: moved
    };
    const std::vector<Case> cases = {
        {"remove the middle", [](Project &p) { return removePictures(p, {2}); }, "ABDE", false},
        {"remove several, any order, twice", [](Project &p) { return removePictures(p, {4, 0, 4, 2}); }, "BD", false},
        {"out of range is ignored", [](Project &p) { return removePictures(p, {-1, 5, 9}); }, "ABCDE", false},
        {"every picture clears", [](Project &p) { return removePictures(p, {0, 1, 2, 3, 4}); }, "", true},
        {"up", [](Project &p) { return movePicture(p, 2, -1); }, "ACBDE", true},
        {"down", [](Project &p) { return movePicture(p, 2, +1); }, "ABDCE", true},
        {"first up does nothing", [](Project &p) { return movePicture(p, 0, -1); }, "ABCDE", false},
        {"last down does nothing", [](Project &p) { return movePicture(p, 4, +1); }, "ABCDE", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Project p = lettered(5);
        EXPECT_EQ(c.edit(p), c.returns);
        EXPECT_EQ(captions(p), QString::fromLatin1(c.captions));
        for (const Picture &pic : p.pictures) {
            // The path, the caption and the time travel together.
            EXPECT_EQ(pic.path, QStringLiteral("/x/%1.jpg").arg(pic.caption.toLower()));
            EXPECT_EQ(pic.slideDuration, float(4 + (pic.caption.at(0).unicode() - 'A')));
        }
        EXPECT_EQ(auxiliaryPicturesKept(p), !p.pictures.empty());
    }
}

TEST(ProjectLists, ClearingPicturesResetsTheBackgroundAndAuxiliaryPictures)
{
    Project p = lettered(3);
    p.songs.push_back({QStringLiteral("/m/a.mp3"), 10});
    p.settings.timeInterval = 7;
    clearPictures(p);
    EXPECT_TRUE(p.pictures.empty());
    EXPECT_EQ(p.settings.backGroundSet, QStringLiteral("1"));
    EXPECT_TRUE(p.settings.backGroundPicture.isEmpty());
    EXPECT_TRUE(p.settings.openingImage.isEmpty());
    EXPECT_TRUE(p.settings.endingImage.isEmpty());
    EXPECT_TRUE(p.settings.logoImage.isEmpty());
    // Songs and other settings stay.
    EXPECT_EQ(p.songs.size(), 1u);
    EXPECT_EQ(p.settings.timeInterval, 7.0f);
}

TEST(ProjectLists, RemovingSongsTakesTheirLastLyricFileAlong)
{
    struct Case
    {
        const char *name;
        std::vector<int> remove;
        const char *songs;  // file titles left, in order
        QStringList lyrics; // lyric files left
        bool cleared;
    };
    const QStringList allLyrics = {QStringLiteral("/l1/one.lrc"), QStringLiteral("/l2/ONE.LRC"),
                                   QStringLiteral("/l/two.lrc"), QStringLiteral("/l/other.lrc")};
    const std::vector<Case> cases = {
        // Of two lyric files with the song's title (any case), the last goes.
        {"one song", {0}, "two three", {allLyrics[0], allLyrics[2], allLyrics[3]}, false},
        {"song without lyric", {2}, "one two", allLyrics, false},
        {"two songs", {1, 0}, "three", {allLyrics[0], allLyrics[3]}, false},
        // Every song selected: both lists are emptied, unrelated lyrics too.
        {"every song", {0, 1, 2}, "", {}, true},
        {"none valid", {7}, "one two three", allLyrics, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Project p = Project::makeDefault(env());
        for (const char *name : {"/m/one.mp3", "/m/two.WAV", "/m/three.mp3"}) p.songs.push_back({QString::fromLatin1(name), 60});
        p.lyricFiles = allLyrics;
        EXPECT_EQ(removeSongs(p, c.remove), c.cleared);
        QStringList titles;
        for (const Song &s : p.songs) titles << QFileInfo(s.path).completeBaseName();
        EXPECT_EQ(titles.join(QLatin1Char(' ')), QString::fromLatin1(c.songs));
        EXPECT_EQ(p.lyricFiles, c.lyrics);
    }
}

TEST(ProjectLists, SongMovesAndClearAndTheLyricSearchAfterAFolderChange)
{
    QTemporaryDir dir;
    Project p = Project::makeDefault(env());
    p.songs = {{dir.filePath(QStringLiteral("a.mp3")), 10}, {dir.filePath(QStringLiteral("b.mp3")), 20}};
    EXPECT_FALSE(moveSong(p, 1, +1));
    EXPECT_TRUE(moveSong(p, 1, -1));
    EXPECT_EQ(p.songs[0].durationSec, 20.0f); // the length moves with its song

    // A folder holding b's lyric: the search finds it once.
    const QString folder = dir.filePath(QStringLiteral("lyrics"));
    touch(folder + QStringLiteral("/b.lrc"));
    EXPECT_EQ(findLyricFilesAgain(p), 0);
    p.settings.lyricFolder = folder;
    EXPECT_EQ(findLyricFilesAgain(p), 1);
    EXPECT_EQ(findLyricFilesAgain(p), 0);
    EXPECT_EQ(p.lyricFiles, QStringList{folder + QStringLiteral("/b.lrc")});

    clearSongs(p);
    EXPECT_TRUE(p.songs.empty());
    EXPECT_TRUE(p.lyricFiles.isEmpty());
}

TEST(ProjectLists, CaptionAppliedToAllPictures)
{
    Project p = lettered(3);
    p.pictures[1].captionBox = {1, 2, 3, 4};
    applyCaptionToAll(p, 1);
    for (const Picture &pic : p.pictures) {
        EXPECT_EQ(pic.caption, QStringLiteral("B"));
        EXPECT_EQ(pic.captionBox, (TextBox{1, 2, 3, 4}));
    }
    EXPECT_EQ(p.pictures[0].path, QStringLiteral("/x/a.jpg")); // only the caption is copied
    applyCaptionToAll(p, 3);                                   // no such picture: nothing
    EXPECT_EQ(p.pictures[0].caption, QStringLiteral("B"));
}

TEST(ProjectLists, AFoldersPicturesByName)
{
    QTemporaryDir dir;
    // Made out of order; a subfolder's picture and other files stay out.
    for (const char *name : {"b.png", "a.JPG", "c.txt", "sub/d.png", "B2.bmp"}) touch(dir.filePath(QString::fromLatin1(name)));
    QDir().mkpath(dir.filePath(QStringLiteral("e.png.d")));
    QStringList names;
    for (const QString &path : pictureFilesInFolder(dir.path())) names << QFileInfo(path).fileName();
    EXPECT_EQ(names, (QStringList{QStringLiteral("a.JPG"), QStringLiteral("b.png"), QStringLiteral("B2.bmp")}));
    EXPECT_TRUE(pictureFilesInFolder(dir.filePath(QStringLiteral("missing"))).isEmpty());

    // A drop keeps its order; a dropped folder brings its pictures by name,
    // a dropped file without a picture extension stays out.
    QStringList dropped;
    for (const QString &path : picturesFromDrop({dir.filePath(QStringLiteral("sub/d.png")), dir.path(),
                                                 dir.filePath(QStringLiteral("c.txt")), dir.filePath(QStringLiteral("b.png"))}))
        dropped << QDir(dir.path()).relativeFilePath(path);
    EXPECT_EQ(dropped, (QStringList{QStringLiteral("sub/d.png"), QStringLiteral("a.JPG"), QStringLiteral("b.png"),
                                    QStringLiteral("B2.bmp"), QStringLiteral("b.png")}));
}
