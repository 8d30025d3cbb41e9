#include "ProjectLists.h"

#include <QDir>
#include <QFileInfo>

namespace pvsm {

const QStringList &supportedPictureExtensions()
{
    static const QStringList list = {QStringLiteral("BMP"), QStringLiteral("JPG"), QStringLiteral("GIF"),
                                     QStringLiteral("PNG"), QStringLiteral("TGA"), QStringLiteral("PCX"),
                                     QStringLiteral("TIF")};
    return list;
}

const QStringList &supportedMusicExtensions()
{
    static const QStringList list = {QStringLiteral("MP3"), QStringLiteral("WAV"), QStringLiteral("MID"),
                                     QStringLiteral("WMA")};
    return list;
}

bool hasSupportedPictureExtension(const QString &path)
{
    return supportedPictureExtensions().contains(path.right(3).toUpper());
}

bool hasSupportedMusicExtension(const QString &path)
{
    return path.size() > 4 && path.at(path.size() - 4) == QLatin1Char('.')
           && supportedMusicExtensions().contains(path.right(3).toUpper());
}

AddPicturesResult addPictures(Project &project, const QStringList &paths, const ProjectEnvironment &env,
                              const PictureCheck &isPicture)
{
    AddPicturesResult result;
    for (const QString &path : paths) {
        const bool listed = std::any_of(project.pictures.begin(), project.pictures.end(),
                                        [&](const Picture &p) { return p.path == path; });
        if (listed || !hasSupportedPictureExtension(path) || (isPicture && !isPicture(path))) {
            ++result.skipped;
            continue;
        }
        project.pictures.push_back(project.newPicture(path, env));
        ++result.added;
    }
    return result;
}

QString songRefusedMessage(const QString &lastRefused)
{
    return QStringLiteral("不支持这个音乐文件！或这是一种不支持的特殊动态码率格式，要添加这个文件，请先使用其他音乐编辑软件将其转换为正常恒定码率的MP3或WMA")
           + QLatin1Char('\n') + lastRefused;
}

QString FindLyricFile(const QString &songPath, const QString &lyricFolder)
{
    if (songPath.size() >= 3) {
        const QString beside = songPath.left(songPath.size() - 3) + QStringLiteral("lrc");
        if (QFileInfo(beside).isFile()) return beside;
    }
    if (lyricFolder.size() >= 3 && QDir::isAbsolutePath(lyricFolder)) {
        const QString inFolder = QDir(lyricFolder).filePath(QFileInfo(songPath).completeBaseName() + QStringLiteral(".lrc"));
        if (QFileInfo(inFolder).isFile()) return inFolder;
    }
    return {};
}

AddSongsResult addSongs(Project &project, const QStringList &paths, const SongAdmissionProbe &probe)
{
    AddSongsResult result;
    for (const QString &path : paths) {
        if (path.size() <= 6) continue;
        const bool listed = std::any_of(project.songs.begin(), project.songs.end(), [&](const Song &s) {
            return s.path.compare(path, Qt::CaseInsensitive) == 0;
        });
        if (listed) continue;
        const QFileInfo info(path);
        const float length = probe ? probe(path) : -1.0f;
        if (length >= 0) {
            project.songs.push_back({path, length});
            const QString lyric = FindLyricFile(path, project.settings.lyricFolder);
            if (!lyric.isEmpty()) project.lyricFiles.append(lyric);
            ++result.added;
        } else if (info.exists() && !info.isDir()) {
            result.lastRefused = path;
        }
    }
    return result;
}

int addLyricFiles(Project &project, const QStringList &paths)
{
    int added = 0;
    for (const QString &path : paths) {
        if (project.lyricFiles.contains(path)) continue;
        project.lyricFiles.append(path);
        ++added;
    }
    return added;
}

} // namespace pvsm
