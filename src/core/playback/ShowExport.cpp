#include "ShowExport.h"

#include "AtomicFile.h"
#include "FileBytes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace pvsm {

namespace {

constexpr qint64 kCopyPiece = 4 * 1024 * 1024;

// A name in `dir` that no file holds yet: "a.jpg", "a (2).jpg", ...
QString freeName(const QDir &dir, const QString &name)
{
    if (!QFileInfo::exists(dir.filePath(name))) return dir.filePath(name);
    const QFileInfo info(name);
    const QString base = info.completeBaseName(), suffix = info.suffix();
    for (int n = 2;; ++n) {
        const QString candidate =
            base + QStringLiteral(" (%1)").arg(n) + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
        if (!QFileInfo::exists(dir.filePath(candidate))) return dir.filePath(candidate);
    }
}

bool copyFile(const QString &from, const QString &to, ShowExportResult &result)
{
    QFile in(from);
    if (readProblem(from) != FileProblem::None || !in.open(QIODevice::ReadOnly)) {
        result.failedPath = from;
        result.problem = readProblem(from);
        return false;
    }
    AtomicFileWriter out(to);
    if (!out.open()) {
        result.failedPath = to;
        result.problem = out.problem();
        return false;
    }
    const qint64 size = in.size();
    for (qint64 done = 0; done < size;) {
        QByteArray piece;
        const qint64 want = std::min(kCopyPiece, size - done);
        if (ReadFileBytes(piece, from, done, want, &in) != want) {
            result.failedPath = from;
            return false;
        }
        if (!out.write(piece)) break;
        done += want;
    }
    if (!out.commit()) {
        result.failedPath = to;
        result.problem = out.problem();
        return false;
    }
    return true;
}

} // namespace

bool ExportAllowed(const LoadedShow &show)
{
    return show.enableExport;
}

bool ExportNeedsPassword(const LoadedShow &show)
{
    return !show.exportPassword.isEmpty();
}

bool ExportPasswordAccepted(const LoadedShow &show, const QString &given)
{
    return !ExportNeedsPassword(show) || given == show.exportPassword;
}

QString ExportName(const LoadedShow &show, bool picture, size_t index)
{
    const QString path = picture ? show.project.pictures[index].path : show.project.songs[index].path;
    const QFileInfo info(path);
    if (!show.packaged) return info.fileName();
    const size_t count = picture ? show.project.pictures.size() : show.project.songs.size();
    const int width = std::max(2, int(QString::number(count).size()));
    return (picture ? QStringLiteral("图片") : QStringLiteral("音乐")) +
           QStringLiteral("%1").arg(index + 1, width, 10, QLatin1Char('0')) + QLatin1Char('.') + info.suffix();
}

ShowExportResult ExportShowFiles(const LoadedShow &show, const QString &password, const QString &folder,
                                 const JobControl &control)
{
    ShowExportResult result;
    if (!ExportAllowed(show)) {
        result.status = ShowExportResult::Status::NotAllowed;
        return result;
    }
    if (!ExportPasswordAccepted(show, password)) {
        result.status = ShowExportResult::Status::WrongPassword;
        return result;
    }
    const QDir dir(folder);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        result.status = ShowExportResult::Status::NoFolder;
        return result;
    }
    struct Item
    {
        QString from;
        QString name;
    };
    std::vector<Item> items;
    for (size_t i = 0; i < show.project.pictures.size(); ++i)
        items.push_back({show.project.pictures[i].path, ExportName(show, true, i)});
    for (size_t i = 0; i < show.project.songs.size(); ++i)
        items.push_back({show.project.songs[i].path, ExportName(show, false, i)});
    for (size_t i = 0; i < items.size(); ++i) {
        if (control.cancelled()) {
            result.status = ShowExportResult::Status::Cancelled;
            return result;
        }
        control.report(int(i * 100 / items.size()), QStringLiteral("正在导出..."));
        const QString target = freeName(dir, items[i].name);
        if (!copyFile(items[i].from, target, result)) {
            result.status = ShowExportResult::Status::Failed;
            return result;
        }
        result.written << target;
    }
    control.report(100, QStringLiteral("正在导出..."));
    return result;
}

QString ExportResultText(const ShowExportResult &result, const QString &folder)
{
    using S = ShowExportResult::Status;
    switch (result.status) {
    case S::Ok:
        return QStringLiteral("已经把 %1 个文件导出到 %2")
            .arg(result.written.size())
            .arg(QDir::toNativeSeparators(folder));
    case S::NotAllowed:
        return QStringLiteral("这个图片幻灯不允许导出图片和音乐。");
    case S::WrongPassword:
        return QStringLiteral("密码不正确，不能导出图片和音乐。");
    case S::NoFolder:
        return QStringLiteral("找不到导出的文件夹：%1").arg(QDir::toNativeSeparators(folder));
    case S::Cancelled:
        return QStringLiteral("导出已经取消，已导出 %1 个文件。").arg(result.written.size());
    case S::Failed: {
        QString text = QStringLiteral("导出失败：无法复制 %1").arg(QDir::toNativeSeparators(result.failedPath));
        if (result.problem != FileProblem::None)
            text += QStringLiteral("（") + fileProblemTextZh(result.problem) + QStringLiteral("）");
        return text;
    }
    }
    return {};
}

} // namespace pvsm
