#include "ProjectLists.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace pvsm {

namespace {

struct PictureFilter
{
    const char *name;
    QStringList extensions;
};

// The dialog's per-format filters, in the dialog's order; together they hold
// every supported extension.
const std::vector<PictureFilter> &pictureFilters()
{
    static const std::vector<PictureFilter> filters = {
        {"Windows位图文件(*.Bmp)", {QStringLiteral("bmp")}},
        {"JPEG图片格式(*.Jpg)", {QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("jpe"), QStringLiteral("jfif")}},
        {"Gif图片格式(*.Gif)", {QStringLiteral("gif")}},
        {"PNG图片格式(*.Png)", {QStringLiteral("png")}},
        {"PCX图片格式(*.Pcx)", {QStringLiteral("pcx")}},
        {"TGA图片格式(*.Tga)", {QStringLiteral("tga")}},
        {"TIFF图片格式(*.Tif)", {QStringLiteral("tif"), QStringLiteral("tiff")}},
    };
    return filters;
}

// "jpg" -> "*.[jJ][pP][gG]".
QString anyCasePattern(const QString &extension)
{
    QString p = QStringLiteral("*.");
    for (const QChar c : extension)
        p += c.isLetter() ? QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']') : QString(c);
    return p;
}

QStringList anyCasePatterns(const QStringList &extensions)
{
    QStringList patterns;
    for (const QString &e : extensions) patterns << anyCasePattern(e);
    return patterns;
}

} // namespace

const QStringList &supportedPictureExtensions()
{
    static const QStringList list = [] {
        QStringList all;
        for (const PictureFilter &f : pictureFilters()) all << f.extensions;
        return all;
    }();
    return list;
}

std::vector<FileFilter> pictureOpenFilters()
{
    std::vector<FileFilter> filters{{QStringLiteral("所有支持的图片格式"), anyCasePatterns(supportedPictureExtensions())}};
    for (const PictureFilter &f : pictureFilters()) filters.push_back({QString::fromUtf8(f.name), anyCasePatterns(f.extensions)});
    return filters;
}

QString dialogFilterText(const std::vector<FileFilter> &filters)
{
    QStringList parts;
    for (const FileFilter &f : filters)
        parts << f.name + QStringLiteral(" (") + f.patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    return parts.join(QStringLiteral(";;"));
}

QString pictureDialogFilter() { return dialogFilterText(pictureOpenFilters()); }

std::vector<FileFilter> musicOpenFilters()
{
    auto filter = [](const char *name, std::initializer_list<const char *> extensions) {
        QStringList list;
        for (const char *e : extensions) list << QString::fromLatin1(e);
        return FileFilter{QString::fromUtf8(name), anyCasePatterns(list)};
    };
    return {filter("所有可支持格式", {"mid", "wav", "mp3", "wma"}), filter("Mpeg音频文件(*.Mp3)", {"mp3"}),
            filter("Windows Media 音频文件(*.Wma)", {"wma"}), filter("波形文件(*.Wav)", {"wav"}),
            filter("MIDI文件(*.Mid)", {"mid"})};
}

QStringList musicFilesByName(const QStringList &paths)
{
    QStringList kept;
    for (const QString &path : paths)
        if (hasSupportedMusicExtension(path)) kept << path;
    return kept;
}

QStringList pictureFilesByName(const QStringList &paths)
{
    QStringList kept;
    for (const QString &path : paths)
        if (hasSupportedPictureExtension(path)) kept << path;
    return kept;
}

QStringList pictureFilesInFolder(const QString &folder)
{
    QStringList files;
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase)) files << info.absoluteFilePath();
    return pictureFilesByName(files);
}

QStringList picturesFromDrop(const QStringList &paths)
{
    QStringList files;
    for (const QString &path : paths) {
        if (QFileInfo(path).isDir())
            files << pictureFilesInFolder(path);
        else if (hasSupportedPictureExtension(path))
            files << path;
    }
    return files;
}

const QStringList &supportedMusicExtensions()
{
    static const QStringList list = {QStringLiteral("MP3"), QStringLiteral("WAV"), QStringLiteral("MID"),
                                     QStringLiteral("WMA")};
    return list;
}

bool hasSupportedPictureExtension(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    // A name that is only an extension (".jpg") names no picture.
    return dot > 0 && supportedPictureExtensions().contains(name.mid(dot + 1).toLower());
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
        QString reason;
        RefusedPicture::Why why = RefusedPicture::Why::Checked;
        if (listed) {
            reason = QStringLiteral("is listed twice");
            why = RefusedPicture::Why::Listed;
        } else if (!hasSupportedPictureExtension(path)) {
            reason = QStringLiteral("has no picture extension (%1)").arg(supportedPictureExtensions().join(QLatin1Char(' ')));
            why = RefusedPicture::Why::NoExtension;
        } else if (isPicture) {
            reason = isPicture(path);
        }
        if (!reason.isEmpty()) {
            ++result.skipped;
            result.refused.push_back({path, reason, why});
            continue;
        }
        project.pictures.push_back(project.newPicture(path, env));
        ++result.added;
    }
    return result;
}

QString refusedPicturesMessage(const AddPicturesResult &result)
{
    if (result.refused.empty()) return {};
    // A folder of a thousand files that are no pictures must not make a
    // message taller than the screen.
    constexpr size_t kNamed = 20;
    QString text = QStringLiteral("%1 picture(s) skipped:").arg(result.refused.size());
    for (size_t k = 0; k < result.refused.size() && k < kNamed; ++k)
        text += QStringLiteral("\n  ") + result.refused[k].path + QLatin1Char(' ') + result.refused[k].reason;
    if (result.refused.size() > kNamed) text += QStringLiteral("\n  … and %1 more").arg(result.refused.size() - kNamed);
    return text;
}

QString refusedPicturesMessageZh(const AddPicturesResult &result)
{
    if (result.refused.empty()) return {};
    constexpr size_t kNamed = 20;
    QString text = QStringLiteral("%1 个文件没有加入图片列表：").arg(result.refused.size());
    for (size_t k = 0; k < result.refused.size() && k < kNamed; ++k) {
        const RefusedPicture &r = result.refused[k];
        QString why = r.reason;
        if (r.why == RefusedPicture::Why::Listed) why = QStringLiteral("已经在列表中");
        else if (r.why == RefusedPicture::Why::NoExtension)
            why = QStringLiteral("扩展名不是支持的图片格式（%1）").arg(supportedPictureExtensions().join(QLatin1Char(' ')));
        text += QStringLiteral("\n  ") + r.path + QStringLiteral("：") + why;
    }
    if (result.refused.size() > kNamed) text += QStringLiteral("\n  …… 另有 %1 个").arg(result.refused.size() - kNamed);
    return text;
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

namespace {

void admitSong(Project &project, const QString &path, const SongAdmissionProbe &probe, AddSongsResult &result)
{
    if (path.size() <= 6) return;
    const bool listed = std::any_of(project.songs.begin(), project.songs.end(),
                                    [&](const Song &s) { return s.path.compare(path, Qt::CaseInsensitive) == 0; });
    if (listed) return;
    const float length = probe ? probe(path) : -1.0f;
    // A length of 0 is no song either: nothing would play for it.
    if (length > 0) {
        project.songs.push_back({path, length});
        const QString lyric = FindLyricFile(path, project.settings.lyricFolder);
        if (!lyric.isEmpty()) project.lyricFiles.append(lyric);
        ++result.added;
        return;
    }
    const QFileInfo info(path);
    if (info.exists() && !info.isDir()) result.lastRefused = path;
}

} // namespace

AddSongsResult addSongs(Project &project, const QStringList &paths, const SongAdmissionProbe &probe,
                        const JobControl &control)
{
    AddSongsResult result;
    for (qsizetype n = 0; n < paths.size(); ++n) {
        if (control.cancelled()) {
            result.cancelled = true;
            break;
        }
        admitSong(project, paths[n], probe, result);
        control.report(int((n + 1) * 100 / paths.size()), addingSongsCaption());
    }
    return result;
}

SongAdditions planSongAdditions(const Project &project, const QStringList &paths, const SongAdmissionProbe &probe,
                                const JobControl &control)
{
    Project trial;
    trial.settings = project.settings;
    trial.songs = project.songs;
    trial.lyricFiles = project.lyricFiles;
    SongAdditions plan;
    plan.result = addSongs(trial, paths, probe, control);
    plan.songs.assign(trial.songs.begin() + qsizetype(project.songs.size()), trial.songs.end());
    plan.lyricFiles = trial.lyricFiles.mid(project.lyricFiles.size());
    return plan;
}

SongAdditions replanSongAdditions(const Project &project, const QStringList &paths, const SongAdditions &probed)
{
    SongAdditions plan = planSongAdditions(project, paths, [&probed](const QString &path) {
        for (const Song &s : probed.songs)
            if (s.path == path) return s.durationSec;
        return -1.0f;
    });
    plan.result.lastRefused = probed.result.lastRefused;
    plan.result.cancelled = probed.result.cancelled;
    return plan;
}

QString addingSongsCaption() { return QStringLiteral("正在添加音乐文件"); }

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

namespace {

// Sorted, unique, in range.
std::vector<int> validIndices(std::vector<int> indices, size_t count)
{
    std::erase_if(indices, [&](int i) { return i < 0 || size_t(i) >= count; });
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    return indices;
}

template <typename T>
bool swapWithNeighbour(std::vector<T> &list, int index, int delta)
{
    if (!canSwapWithNeighbour(list.size(), index, delta)) return false;
    std::swap(list[size_t(index)], list[size_t(index + delta)]);
    return true;
}

QString fileTitle(const QString &path) { return QFileInfo(path).completeBaseName(); }

} // namespace

void clearPictures(Project &project) { project.clearForNew(); }

bool canSwapWithNeighbour(size_t count, int index, int delta)
{
    const int other = index + delta;
    return (delta == -1 || delta == 1) && index >= 0 && other >= 0 && size_t(index) < count && size_t(other) < count;
}

bool removePictures(Project &project, std::vector<int> indices)
{
    indices = validIndices(std::move(indices), project.pictures.size());
    if (indices.empty()) return false;
    if (indices.size() == project.pictures.size()) {
        clearPictures(project);
        return true;
    }
    for (auto it = indices.rbegin(); it != indices.rend(); ++it) project.pictures.erase(project.pictures.begin() + *it);
    return false;
}

bool movePicture(Project &project, int index, int delta) { return swapWithNeighbour(project.pictures, index, delta); }

bool moveSong(Project &project, int index, int delta) { return swapWithNeighbour(project.songs, index, delta); }

void clearSongs(Project &project)
{
    project.songs.clear();
    project.lyricFiles.clear();
}

bool removeSongs(Project &project, std::vector<int> indices)
{
    indices = validIndices(std::move(indices), project.songs.size());
    if (indices.empty()) return false;
    if (indices.size() < project.songs.size()) {
        for (auto it = indices.rbegin(); it != indices.rend(); ++it) {
            const QString title = fileTitle(project.songs[size_t(*it)].path);
            for (qsizetype l = project.lyricFiles.size() - 1; l >= 0; --l) {
                if (fileTitle(project.lyricFiles[l]).compare(title, Qt::CaseInsensitive) == 0) {
                    project.lyricFiles.removeAt(l);
                    break;
                }
            }
            project.songs.erase(project.songs.begin() + *it);
        }
        if (!project.songs.empty()) return false;
    }
    clearSongs(project);
    return true;
}

int findLyricFilesAgain(Project &project)
{
    QStringList found;
    for (const Song &song : project.songs) {
        const QString lyric = FindLyricFile(song.path, project.settings.lyricFolder);
        if (!lyric.isEmpty()) found << lyric;
    }
    return addLyricFiles(project, found);
}

void applyCaptionToAll(Project &project, int from)
{
    if (from < 0 || size_t(from) >= project.pictures.size()) return;
    const Picture source = project.pictures[size_t(from)];
    for (Picture &p : project.pictures) {
        p.caption = source.caption;
        p.captionBox = source.captionBox;
    }
}

} // namespace pvsm
