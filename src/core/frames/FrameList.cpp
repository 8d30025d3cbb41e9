#include "FrameList.h"

#include "AtomicFile.h"
#include "FileCheck.h"
#include "PictureEncode.h"
#include "PictureInfo.h"
#include "Resources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace pvsm {

namespace frameText {
QString none() { return QStringLiteral("无"); }
QString testFrame() { return QStringLiteral("测试用相框"); }
QString ownPng() { return QStringLiteral("自定义 PNG 相框..."); }
QString moreFrames() { return QStringLiteral("更多相框下载..."); }
QString alreadyExists(const QString &name) { return name + QStringLiteral(" 已经存在"); }
QString copyrightTitle() { return QStringLiteral("版权声明"); }
QString chooserFilterName() { return QStringLiteral("所有支持的格式"); }
QString chooserFilter() { return QStringLiteral("*.Png;*.frame"); }
} // namespace frameText

namespace {

QString packageName(int n)
{
    return QString::number(n) + QStringLiteral(".frame");
}

// A file of `name` in `folder`, letter case ignored; empty when none.
QString fileIn(const QString &folder, const QString &name)
{
    if (folder.isEmpty()) return {};
    const QDir dir(folder);
    if (QFileInfo(dir.filePath(name)).isFile()) return dir.filePath(name);
    for (const QString &entry : dir.entryList(QDir::Files))
        if (entry.compare(name, Qt::CaseInsensitive) == 0) return dir.filePath(entry);
    return {};
}

bool isPngFile(const QString &path)
{
    return GetImageInfo(path, false).format == PictureFormat::Png;
}

} // namespace

QByteArray FramePackages::frameBytes(int k) const
{
    if (k < 1 || k > int(frames.size())) return {};
    const PackageFrame &f = frames[size_t(k - 1)];
    PackageIndex index;
    index.indexLength = f.indexLength;
    return ReadPackageEntry(f.path, index, f.entry);
}

QString FramePackagePath(const Workspace &workspace, int n)
{
    const QString name = packageName(n);
    QString path = fileIn(workspace.programDir(), name);
    if (path.isEmpty() && workspace.workDir() != workspace.programDir()) path = fileIn(workspace.workDir(), name);
    return path;
}

FramePackages LoadFramePackages(const Workspace &workspace)
{
    FramePackages packages;
    for (int n = 1; n <= kMaxFramePackages; ++n) {
        const QString path = FramePackagePath(workspace, n);
        if (path.isEmpty() || readProblem(path) != FileProblem::None) continue;
        const std::optional<PackageIndex> index = ReadPackageIndex(path, PackageKind::Frames);
        if (!index) continue;
        packages.found = true;
        packages.copyright = index->copyright;
        for (const PackageEntry &e : index->entries) packages.frames.push_back({n, path, index->indexLength, e});
    }
    return packages;
}

std::vector<FrameListEntry> ListPicFrame(const FramePackages &packages)
{
    std::vector<FrameListEntry> list;
    list.push_back({FrameEntryKind::None, frameText::none()});
    if (packages.found) {
        for (size_t k = 0; k < packages.frames.size(); ++k)
            list.push_back({FrameEntryKind::PackageFrame, packages.frames[k].entry.name, int(k + 1)});
    } else {
        list.push_back({FrameEntryKind::TestFrame, frameText::testFrame()});
    }
    list.push_back({FrameEntryKind::OwnPng, frameText::ownPng()});
    list.push_back({FrameEntryKind::MoreFrames, frameText::moreFrames()});
    return list;
}

int FrameListRow(const std::vector<FrameListEntry> &list, int32_t pictureFrameNum)
{
    for (size_t row = 0; row < list.size(); ++row) {
        const FrameListEntry &e = list[row];
        if ((pictureFrameNum > 0 && e.kind == FrameEntryKind::PackageFrame && e.frame == pictureFrameNum)
            || (pictureFrameNum == -1 && e.kind == FrameEntryKind::OwnPng)
            || (pictureFrameNum == -2 && e.kind == FrameEntryKind::TestFrame))
            return int(row);
    }
    return 0;
}

QByteArray TestFrameBytes(const Workspace &workspace)
{
    return ResourceEntryBytes(workspace, QStringLiteral("TESTFRAME.PNG"));
}

QByteArray OwnFrameBytes(const QString &path)
{
    if (path.size() < 8 || readProblem(path) != FileProblem::None || !isPngFile(path)) return {};
    const PreparedPicture prepared = PreparePictureForPackage(path);
    if (prepared.reencoded && !prepared.bytes.isEmpty()) return prepared.bytes;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

FrameSelection SelectFrameEntry(const FrameListEntry &entry, const FramePackages &packages, const Workspace &workspace,
                                const Settings &settings)
{
    FrameSelection s;
    switch (entry.kind) {
    case FrameEntryKind::None:
        s.frameChanged = true;
        break;
    case FrameEntryKind::PackageFrame:
        s.frameChanged = true;
        s.choice = {entry.frame, packages.frameBytes(entry.frame)};
        // A frame whose bytes are gone is no frame: the record must never
        // name a frame that the show does not carry.
        if (s.choice.bytes.isEmpty()) s.choice = {};
        break;
    case FrameEntryKind::TestFrame:
        s.frameChanged = true;
        s.choice = {-2, TestFrameBytes(workspace)};
        if (s.choice.bytes.isEmpty()) s.choice = {};
        break;
    case FrameEntryKind::OwnPng: {
        s.showChooser = true;
        QByteArray bytes = OwnFrameBytes(settings.pictureFrameImage);
        if (!bytes.isEmpty()) {
            s.frameChanged = true;
            s.choice = {-1, std::move(bytes)};
        }
        break;
    }
    case FrameEntryKind::MoreFrames:
        s.openHelp = true;
        break;
    }
    return s;
}

FrameChoice RestoreFrame(const Settings &settings, const FramePackages &packages, bool fullProjectLoad,
                         bool hasPictures)
{
    const int32_t num = settings.pictureFrameNum;
    if (!fullProjectLoad || !hasPictures || num == 0 || num == -2) return {};
    if (num > 0) {
        if (!packages.found || num > int(packages.frames.size())) return {};
        QByteArray bytes = packages.frameBytes(num);
        if (bytes.isEmpty()) return {};
        return {num, std::move(bytes)};
    }
    if (num == -1) {
        QByteArray bytes = OwnFrameBytes(settings.pictureFrameImage);
        if (bytes.isEmpty()) return {};
        return {-1, std::move(bytes)};
    }
    return {};
}

QByteArray SelectedFrameBytes(const Settings &settings, const Workspace &workspace)
{
    const int32_t num = settings.pictureFrameNum;
    if (num > 0) return LoadFramePackages(workspace).frameBytes(num);
    if (num == -1) return OwnFrameBytes(settings.pictureFrameImage);
    if (num == -2) return TestFrameBytes(workspace);
    return {};
}

AddFrameOutcome AddFrameFile(const QString &path, const Workspace &workspace)
{
    AddFrameOutcome out;
    if (path.size() < 8) return out;
    const QString name = QFileInfo(path).fileName();
    if (readProblem(path) != FileProblem::None) {
        out.kind = AddFrameOutcome::NotAPackage;
        out.message = QStringLiteral("无法读取 '") + name + QStringLiteral("'：") + fileProblemTextZh(readProblem(path));
        return out;
    }
    if (isPngFile(path)) {
        out.kind = AddFrameOutcome::OwnPng;
        out.image = path;
        out.choice = {-1, OwnFrameBytes(path)};
        if (out.choice.bytes.isEmpty()) out.choice = {};
        return out;
    }
    // A name that is installed already, in either folder, changes nothing.
    const bool twoFolders = workspace.workDir() != workspace.programDir();
    if (!fileIn(workspace.programDir(), name).isEmpty() || (twoFolders && !fileIn(workspace.workDir(), name).isEmpty())) {
        out.kind = AddFrameOutcome::AlreadyExists;
        out.message = frameText::alreadyExists(name);
        return out;
    }
    const std::optional<PackageIndex> added = QFileInfo(path).size() <= kMaxFramePackageBytes
                                                  ? ReadPackageIndex(path, PackageKind::Frames)
                                                  : std::nullopt;
    if (!added) {
        out.kind = AddFrameOutcome::NotAPackage;
        out.message = QStringLiteral("'") + name + QStringLiteral("' 不是相框包");
        return out;
    }
    // Only 1.frame ... 10.frame are read: a package of another name takes
    // the first free number, or it would never be listed.
    static const QRegularExpression numbered(QStringLiteral("^([1-9]|10)\\.frame$"),
                                             QRegularExpression::CaseInsensitiveOption);
    QString target = numbered.match(name).hasMatch() ? name : QString();
    if (target.isEmpty()) {
        for (int n = 1; n <= kMaxFramePackages && target.isEmpty(); ++n)
            if (FramePackagePath(workspace, n).isEmpty()) target = packageName(n);
    } else {
        target = target.toLower();
        // "3.frame" and "3.FRAME" are one package number.
        if (!FramePackagePath(workspace, target.section(QLatin1Char('.'), 0, 0).toInt()).isEmpty()) {
            out.kind = AddFrameOutcome::AlreadyExists;
            out.message = frameText::alreadyExists(name);
            return out;
        }
    }
    if (target.isEmpty()) {
        out.kind = AddFrameOutcome::NoFreeNumber;
        out.message = QStringLiteral("已有 %1 个相框包，无法再添加 '").arg(kMaxFramePackages) + name + QStringLiteral("'");
        return out;
    }
    // Into the program folder when it may be written, else the work folder.
    const QString folder = writeProblem(QDir(workspace.programDir()).filePath(target)) == FileProblem::None
                               ? workspace.programDir()
                               : workspace.workDir();
    const QString installed = QDir(folder).filePath(target);
    QFile source(path);
    QByteArray bytes;
    if (source.open(QIODevice::ReadOnly)) bytes = source.readAll();
    FileProblem written = FileProblem::None;
    if (bytes.isEmpty() || !WriteFileAtomically(installed, bytes, &written)) {
        out.kind = AddFrameOutcome::CopyFailed;
        out.message = cannotWriteText(target, written);
        return out;
    }
    out.kind = AddFrameOutcome::Added;
    out.installedPath = installed;
    out.packages = LoadFramePackages(workspace);
    // The notice of the package just added (the reload's last package may
    // be another one).
    out.copyright = added->copyright;
    return out;
}

} // namespace pvsm
