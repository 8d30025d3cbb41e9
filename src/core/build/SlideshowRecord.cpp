#include "SlideshowRecord.h"

#include "Numbers.h"
#include "ProjectKeys.h"

#include <QFileInfo>

namespace pvsm {

namespace {

QString k(const char *name)
{
    return QString::fromLatin1(name);
}

constexpr int kMinStoredPathLength = 8;

bool usablePath(const QString &path)
{
    return path.size() >= kMinStoredPathLength && QFileInfo(path).isFile();
}

void putScreen(PropertyBag &bag, QSize screen)
{
    bag.putI4(k(key::OrigScreenWidth), screen.width());
    bag.putI4(k(key::OrigScreenHeight), screen.height());
}

void putSongDurationTotal(const Project &project, PropertyBag &bag)
{
    const size_t n = project.songs.size();
    if (project.settings.enableSync && n >= 1 && n <= size_t(kMaxSyncSongs)) {
        double total = 0;
        for (const Song &song : project.songs) total += song.durationSec;
        bag.putI4(k(key::SongDurationTotal), Nearest(total));
    } else {
        bag.putI2(k(key::SongDurationTotal), 0);
    }
}

} // namespace

QStringList MatchLyricFiles(const Project &project)
{
    QStringList matched;
    for (size_t i = 0; i < project.songs.size(); ++i) matched << QString();
    for (const QString &lyric : project.lyricFiles) {
        const QString base = QFileInfo(lyric).completeBaseName();
        for (size_t i = 0; i < project.songs.size(); ++i) {
            if (QFileInfo(project.songs[i].path).completeBaseName().compare(base, Qt::CaseInsensitive) == 0) {
                matched[qsizetype(i)] = lyric;
                break;
            }
        }
    }
    return matched;
}

void WritePackageRecord(Project &project, PropertyBag &bag, ResourceList &resources, const RecordContext &context)
{
    if (project.pictures.empty()) return;
    WritePlayerSettings(project, bag, context.write);
    const Settings &s = project.settings;
    putScreen(bag, context.editingScreen);

    auto add = [&](const QString &path, const QString &key) { resources.push_back({path, key}); };
    if (s.backGroundSet == QLatin1String("3") && usablePath(s.backGroundPicture))
        add(s.backGroundPicture, k(key::BackGroundPicture));
    if (s.enableOpening && usablePath(s.openingImage)) add(s.openingImage, k(key::OpeningImage));
    if (s.enableEnding && usablePath(s.endingImage)) add(s.endingImage, k(key::EndingImage));
    if (usablePath(s.logoImage)) add(s.logoImage, k(key::LogoImage));

    const FontPacking &fonts = context.fonts;
    for (int i = 0; i < fonts.files.size(); ++i) add(fonts.files[i], key::item(key::ToInstallFont, i + 1));
    if (!fonts.files.isEmpty()) {
        for (int j = 1; j <= kTextStyleCount; ++j) {
            bag.putStr(key::item(key::fFontNameForCheck, j), fonts.checkNames[size_t(j - 1)]);
            bag.putI4(key::item(key::FontBelongsTo, j), fonts.belongsTo[size_t(j - 1)]);
        }
    }
    bag.putI4(k(key::ToInstallFontCount), int32_t(fonts.files.size()));

    bag.putI4(k(key::NowI), int32_t(project.pictures.size()));
    bag.putI4(k(key::NowM), int32_t(project.songs.size()));
    bag.putI4(k(key::LyricFilesCount), int32_t(project.lyricFiles.size()));
    for (size_t i = 0; i < project.songs.size(); ++i) add(project.songs[i].path, key::item(key::MusicNames, int(i) + 1));
    const QStringList lyrics = MatchLyricFiles(project);
    for (int j = 0; j < lyrics.size(); ++j)
        if (!lyrics[j].isEmpty()) add(lyrics[j], key::item(key::MusicLyricFiles, j + 1));
    putSongDurationTotal(project, bag);

    for (size_t i = 0; i < project.pictures.size(); ++i) {
        const int n = int(i) + 1;
        add(project.pictures[i].path, key::item(key::ImgNames, n));
        // A packed picture loses its file name, so with FilenameAsCaption the
        // name travels as the caption.
        Picture picture = project.pictures[i];
        if (s.filenameAsCaption) picture.caption = QFileInfo(picture.path).completeBaseName();
        WritePictureSettings(picture, n, bag);
    }
    // No d3DFile: the player draws without a graphics library of ours.
    bag.putI2(k(key::ResFileSize), 7);
}

void WriteLocalRecord(Project &project, PropertyBag &bag, const RecordContext &context, bool forPreview)
{
    if (project.pictures.empty()) return;
    const bool isPackage = project.settings.isPackage;
    if (forPreview) project.settings.isPackage = true;
    WriteProjectBag(project, bag, BagMode::Full, context.write);
    project.settings.isPackage = isPackage;
    putScreen(bag, context.editingScreen);
    const QStringList lyrics = MatchLyricFiles(project);
    for (int j = 0; j < lyrics.size(); ++j)
        if (!lyrics[j].isEmpty()) bag.putStr(key::item(key::MusicLyricFiles, j + 1), lyrics[j]);
    putSongDurationTotal(project, bag);
    bag.putI2(k(key::ResFileSize), 0);
}

} // namespace pvsm
