#include "ShowLoader.h"

#include "FileBytes.h"
#include "FileCheck.h"
#include "FrameList.h"
#include "ProjectFile.h"
#include "ProjectKeys.h"
#include "PropertyBag.h"
#include "Resources.h"
#include "Scramble.h"
#include "SlideshowFile.h"
#include "SongLength.h"
#include "TextTexture.h"
#include "Workspace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>

#include <algorithm>
#include <functional>
#include <map>

namespace pvsm {

namespace {

QString k(const char *name)
{
    return QString::fromLatin1(name);
}

// Copies of big songs go in pieces so a show never needs its largest
// resource twice in memory.
constexpr qint64 kUnpackPiece = 4 * 1024 * 1024;
// Positions are scaled by the editing screen; a record claiming a screen
// outside this range is taken as the common one rather than dividing by
// nonsense.
constexpr int kMinScreenEdge = 160;
constexpr int kMaxScreenEdge = 16384;

struct ButtonFile
{
    const char *key;
    const char *fileName;
};
// The button pictures by their record keys and their names in the resource package.
constexpr ButtonFile kButtonFiles[] = {
    {"btn_close", "btn_close.png"},       {"btn_min", "btn_min.png"},         {"btn_music_next", "btn_music_next.png"},
    {"btn_mute_off", "btn_mute_off.png"}, {"btn_mute_on", "btn_mute_on.png"}, {"btn_next", "btn_next.png"},
    {"btn_pause", "btn_pause.png"},       {"btn_play", "btn_play.png"},       {"btn_prev", "btn_prev.png"},
    {"btn_size", "btn_size.png"},         {"btn_scale", "btn_scale.png"},
};

// Reads [offset, offset + count) of the slideshow; returns what it read.
using RangeReader = std::function<qint64(QByteArray &out, qint64 offset, qint64 count)>;

ShowLoadResult refuse(const QString &message)
{
    ShowLoadResult r;
    r.error.message = message;
    return r;
}

// The resource's type as a file extension: a few letters and digits, or
// nothing usable, whatever the record claims.
QString extensionFor(const QString &type)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9]{1,5}$"));
    return plain.match(type).hasMatch() ? type.toLower() : QStringLiteral("bin");
}

class ResourceReader
{
public:
    ResourceReader(RangeReader read, const SlideshowContents &contents)
        : m_read(std::move(read))
        , m_contents(contents)
    {
        for (const SlideshowResource &r : contents.resources)
            m_byKey.emplace(r.key, &r);
    }

    const SlideshowResource *find(const QString &key) const
    {
        const auto it = m_byKey.find(key);
        return it == m_byKey.end() ? nullptr : it->second;
    }

    // The whole resource, unscrambled; nullopt when it could not be read.
    std::optional<QByteArray> bytes(const SlideshowResource &r) const
    {
        QByteArray out;
        if (m_read(out, start(r), r.size) != r.size) return std::nullopt;
        ScrambleHead(out);
        return out;
    }

    // The resource unscrambled into `path`. False when reading or writing failed.
    bool unpack(const SlideshowResource &r, const QString &path) const
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
        for (qint64 done = 0; done < r.size;) {
            const qint64 want = std::min(kUnpackPiece, r.size - done);
            QByteArray piece;
            if (m_read(piece, start(r) + done, want) != want) return false;
            if (done == 0) ScrambleHead(piece);
            if (file.write(piece) != piece.size()) return false;
            done += want;
        }
        return file.flush();
    }

private:
    qint64 start(const SlideshowResource &r) const { return qint64(m_contents.trailer.playerLength) + r.offset; }

    RangeReader m_read;
    const SlideshowContents &m_contents;
    std::map<QString, const SlideshowResource *> m_byKey;
};

QSize screenFromRecord(const PropertyBag &record)
{
    const int w = record.getInt(k(key::OrigScreenWidth)), h = record.getInt(k(key::OrigScreenHeight));
    if (w < kMinScreenEdge || h < kMinScreenEdge || w > kMaxScreenEdge || h > kMaxScreenEdge) return {1920, 1080};
    return {w, h};
}

QSize thisScreen()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        if (const QScreen *s = QGuiApplication::primaryScreen()) return s->size();
    return {1920, 1080};
}

ProjectEnvironment environmentFor(QSize screen)
{
    ProjectEnvironment env;
    env.screenWidth = screen.width();
    env.screenHeight = screen.height();
    // The sample line is measured only to place a new lyric box; a loaded
    // show has its box already.
    env.lyricSampleLineHeight = 40;
    return env;
}

float probeSong(const QString &path)
{
    return float(ProbeSongLength(path));
}

// Pictures and songs whose files are gone cannot be played; the show goes on
// with the rest, as the editor's open does.
void dropMissingFiles(Project &project)
{
    std::erase_if(project.pictures, [](const Picture &p) { return !QFileInfo(p.path).isFile(); });
    std::erase_if(project.songs, [](const Song &s) { return !QFileInfo(s.path).isFile(); });
    project.lyricFiles.removeIf([](const QString &l) { return !QFileInfo(l).isFile(); });
}

void fillCommon(LoadedShow &show, const PropertyBag *record)
{
    const Settings &s = show.project.settings;
    show.start = ShowStart(std::clamp(s.ssDirectPlay, 0, 2));
    show.enableExport = s.enableExport;
    show.exportPassword = s.exportPassword;
    if (record) show.editingScreen = screenFromRecord(*record);
}

int registerFont(LoadedShow &show, const QByteArray &bytes)
{
    const int id = QFontDatabase::addApplicationFontFromData(bytes);
    if (id >= 0) show.fontIds.push_back(id);
    return id;
}

// A style whose font this machine lacks draws with the packed file that
// serves it (FontBelongsTo), under the family name that file registered.
void useFontsThatServe(Project &project, const PropertyBag &record, const std::map<int, int> &fontIdByNumber)
{
    const QStringList installed = QFontDatabase::families();
    for (int j = 1; j <= kTextStyleCount; ++j) {
        const auto it = fontIdByNumber.find(record.getInt(key::item(key::FontBelongsTo, j)));
        if (it == fontIdByNumber.end()) continue;
        const QStringList families = QFontDatabase::applicationFontFamilies(it->second);
        QString &name = project.settings.textStyles[size_t(j - 1)].fontName;
        if (families.isEmpty() || families.contains(name, Qt::CaseInsensitive)) continue;
        if (!installed.contains(name, Qt::CaseInsensitive)) name = families.first();
    }
}

ShowLoadResult loadFrom(qint64 fileSize, const RangeReader &read, const QString &name, const ShowLoadOptions &options)
{
    if (fileSize < kTrailerSize) return refuse(NotASlideshowText(name));
    QByteArray trailerBytes;
    if (read(trailerBytes, fileSize - kTrailerSize, kTrailerSize) != kTrailerSize)
        return refuse(DamagedSlideshowText(name));
    const std::optional<PackageTrailer> trailer = decodeTrailer(trailerBytes);
    if (!trailer) return refuse(NotASlideshowText(name));
    // Nothing is read, nor allocated, on the trailer's word until its three
    // lengths add up to the file's.
    const qint64 P = trailer->playerLength, D = trailer->resourcesLength, B = trailer->blobLength;
    if (P + D + B + kTrailerSize != fileSize || B > kMaxBagFileSize || B < kBagHeaderSize)
        return refuse(DamagedSlideshowText(name));
    QByteArray blob;
    if (read(blob, P + D, B) != B) return refuse(DamagedSlideshowText(name));
    // Every resource's place is checked against D here, before any is read.
    std::optional<SlideshowContents> contents = ParseSlideshowTail(trailerBytes, blob, fileSize);
    if (!contents) return refuse(DamagedSlideshowText(name));
    blob.clear();

    PropertyBag record = contents->record;
    const int resFileSize = record.getInt(k(key::ResFileSize), -1);
    if (resFileSize != 0 && resFileSize != 7) return refuse(DamagedSlideshowText(name));
    const bool packaged = resFileSize == 7;
    const ResourceReader resources(read, *contents);

    LoadedShow show;
    show.packaged = packaged;
    show.sourcePath = name;
    show.editingScreen = screenFromRecord(record);

    // The built-ins come from memory: the buttons, the text texture, the frame.
    for (const ButtonFile &button : kButtonFiles) {
        const char *b = button.key;
        if (const SlideshowResource *r = resources.find(k(b))) {
            const std::optional<QByteArray> bytes = resources.bytes(*r);
            if (!bytes) return refuse(DamagedSlideshowText(name));
            QImage image = QImage::fromData(*bytes);
            if (!image.isNull()) show.buttons.emplace(k(b), std::move(image));
        }
    }
    if (const SlideshowResource *r = resources.find(QStringLiteral("TextureImage"))) {
        if (const std::optional<QByteArray> bytes = resources.bytes(*r)) setRainbowTextureBytes(*bytes);
    }
    if (const SlideshowResource *r = resources.find(QStringLiteral("PictureFrameData"))) {
        const std::optional<QByteArray> bytes = resources.bytes(*r);
        if (!bytes) return refuse(DamagedSlideshowText(name));
        show.pictureFrame = *bytes;
    }

    const int nowI = record.getInt(k(key::NowI));
    const int nowM = std::max(0, record.getInt(k(key::NowM)));
    QStringList lyricFiles;
    std::map<int, int> fontIdByNumber; // ToInstallFont(n) -> its registration
    if (packaged) {
        // Counts are only believed as far as the resources exist.
        if (nowI < 1) return refuse(NoPicturesText());
        if (nowI > qsizetype(contents->resources.size()) || nowM > qsizetype(contents->resources.size()))
            return refuse(DamagedSlideshowText(name));
        // Every picture and song must be there before anything is unpacked.
        for (int i = 1; i <= nowI; ++i)
            if (!resources.find(key::item(key::ImgNames, i))) return refuse(DamagedSlideshowText(name));
        for (int j = 1; j <= nowM; ++j)
            if (!resources.find(key::item(key::MusicNames, j))) return refuse(DamagedSlideshowText(name));
        show.folder = std::make_unique<PrivateFolder>(options.privateParent);
        if (show.folder->path().isEmpty()) return refuse(QStringLiteral("无法建立存放图片幻灯内容的临时文件夹"));
        const QDir dir(show.folder->path());
        auto unpackAs = [&](const QString &key, const QString &stem, bool required) -> bool {
            const SlideshowResource *r = resources.find(key);
            if (!r) return !required;
            const QString path = dir.filePath(stem + QLatin1Char('.') + extensionFor(r->type));
            if (!resources.unpack(*r, path)) return false;
            record.putStr(key, path);
            return true;
        };
        bool ok = true;
        for (const char *single : {key::BackGroundPicture, key::OpeningImage, key::EndingImage, key::LogoImage})
            ok = ok && unpackAs(k(single), k(single), false);
        for (int i = 1; ok && i <= nowI; ++i)
            ok = unpackAs(key::item(key::ImgNames, i), QStringLiteral("ImgNames_%1").arg(i), true);
        for (int j = 1; ok && j <= nowM; ++j) {
            const QString stem = QStringLiteral("MusicNames_%1").arg(j);
            ok = unpackAs(key::item(key::MusicNames, j), stem, true);
            // The lyric takes its song's name: that is how the soundtrack pairs them.
            const QString lyricKey = key::item(key::MusicLyricFiles, j);
            if (ok && resources.find(lyricKey)) {
                ok = unpackAs(lyricKey, stem, false);
                if (ok) lyricFiles << record.getString(lyricKey);
            }
        }
        if (!ok)
            return refuse(QStringLiteral("无法解开图片幻灯“%1”中的图片和音乐：文件已损坏，或者临时文件夹没有足够的空间")
                              .arg(name));
        if (options.registerFonts) {
            const int fonts = std::clamp(record.getInt(k(key::ToInstallFontCount)), 0, int(contents->resources.size()));
            for (int i = 1; i <= fonts; ++i) {
                const SlideshowResource *r = resources.find(key::item(key::ToInstallFont, i));
                if (!r) continue;
                if (const std::optional<QByteArray> bytes = resources.bytes(*r)) {
                    const int id = registerFont(show, *bytes);
                    if (id >= 0) fontIdByNumber[i] = id;
                }
            }
        }
    } else if (nowI < 1) {
        return refuse(NoPicturesText());
    }

    ReadProjectBag(show.project, record, BagMode::Full, environmentFor(show.editingScreen), probeSong);
    if (packaged) {
        // The record lists lyric files by the song they belong to, not as a list.
        show.project.lyricFiles = lyricFiles;
        if (!fontIdByNumber.empty()) useFontsThatServe(show.project, record, fontIdByNumber);
    } else {
        dropMissingFiles(show.project);
        if (show.project.settings.filenameAsCaption) ApplyCaptionsFromFileNames(show.project);
    }
    if (show.project.pictures.empty()) return refuse(NoPicturesText());
    if (!show.project.settings.logoImage.isEmpty()) show.logo = QImage(show.project.settings.logoImage);
    fillCommon(show, &record);

    ShowLoadResult result;
    result.show = std::move(show);
    return result;
}

} // namespace

QString NotASlideshowText(const QString &path)
{
    return QStringLiteral("“%1”中没有可以播放的图片幻灯：这不是图片幻灯文件，或者文件已经损坏、不完整。").arg(path);
}

QString DamagedSlideshowText(const QString &path)
{
    return QStringLiteral("图片幻灯文件“%1”已经损坏或者不完整，无法播放。请重新复制或重新创建这个图片幻灯。").arg(path);
}

QString NoPicturesText()
{
    return QStringLiteral("图片幻灯中没有可以播放的图片。");
}

void ApplyCaptionsFromFileNames(Project &project)
{
    for (Picture &p : project.pictures)
        p.caption = QFileInfo(p.path).completeBaseName();
}

void ReleaseShowFonts(LoadedShow &show)
{
    for (const int id : show.fontIds)
        QFontDatabase::removeApplicationFont(id);
    show.fontIds.clear();
}

ShowLoadResult LoadSlideshow(const QString &path, const ShowLoadOptions &options)
{
    if (const FileProblem p = readProblem(path); p != FileProblem::None)
        return refuse(QStringLiteral("无法打开图片幻灯“%1”：%2").arg(path, fileProblemTextZh(p)));
    const qint64 size = QFileInfo(path).size();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return refuse(QStringLiteral("无法打开图片幻灯“%1”。").arg(path));
    const RangeReader read = [&file, size](QByteArray &out, qint64 offset, qint64 count) -> qint64 {
        out.clear();
        if (offset < 0 || count < 0 || offset > size || count > size - offset) return -1;
        return ReadFileBytes(out, QString(), offset, count, &file);
    };
    return loadFrom(size, read, path, options);
}

ShowLoadResult LoadSlideshowBytes(QByteArrayView bytes, const QString &name, const ShowLoadOptions &options)
{
    const qint64 size = bytes.size();
    const RangeReader read = [bytes, size](QByteArray &out, qint64 offset, qint64 count) -> qint64 {
        out.clear();
        if (offset < 0 || count < 0 || offset > size || count > size - offset) return -1;
        out = QByteArray(bytes.data() + offset, qsizetype(count));
        return count;
    };
    return loadFrom(size, read, name, options);
}

ShowLoadResult LoadProjectShow(const QString &path, const ShowLoadOptions &options)
{
    if (const FileProblem p = readProblem(path); p != FileProblem::None)
        return refuse(QStringLiteral("无法打开配置文件“%1”：%2").arg(path, fileProblemTextZh(p)));
    PropertyBag bag;
    if (!LoadBagFile(path, bag))
        return refuse(QStringLiteral("无法打开配置文件“%1”：这不是图片幻灯配置文件，或者文件已经损坏。").arg(path));
    LoadedShow show;
    show.sourcePath = path;
    // Positions in a project refer to the screen it is edited on, which is
    // this one when a project is played here.
    show.editingScreen = thisScreen();
    ReadProjectBag(show.project, bag, BagMode::Full, environmentFor(show.editingScreen), probeSong,
                   QFileInfo(path).absolutePath());
    dropMissingFiles(show.project);
    if (show.project.pictures.empty()) return refuse(NoPicturesText());
    if (show.project.settings.filenameAsCaption) ApplyCaptionsFromFileNames(show.project);
    if (!show.project.settings.logoImage.isEmpty()) show.logo = QImage(show.project.settings.logoImage);
    if (!options.programDir.isEmpty()) {
        // What a build would pack, taken from where the build takes it.
        const QString dir = QDir(options.programDir).absolutePath() + QLatin1Char('/');
        const Workspace workspace(dir, dir);
        for (const ButtonFile &b : kButtonFiles) {
            QImage image = QImage::fromData(ResourceEntryBytes(workspace, QString::fromLatin1(b.fileName)));
            if (!image.isNull()) show.buttons.emplace(QString::fromLatin1(b.key), std::move(image));
        }
        LoadTextTexture(workspace);
        show.pictureFrame = SelectedFrameBytes(show.project.settings, workspace);
    }
    fillCommon(show, nullptr);
    ShowLoadResult result;
    result.show = std::move(show);
    return result;
}

} // namespace pvsm
