#include "SlideshowBuild.h"

#include "FontLookup.h"
#include "IconReplace.h"

#include "FileBytes.h"
#include "FileCheck.h"
#include "ProjectSession.h"
#include "ResourcePackage.h"
#include "Scramble.h"
#include "SlideshowPackage.h"
#include "SlideshowRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace pvsm {

namespace buildText {
QString playerMissing(const QString &playerPath)
{
    return playerPath + QStringLiteral(" 丢失或损坏，请重新安装程序");
}
QString tooLarge() { return QStringLiteral("文件数量太多或太大，大于2GB"); }
QString diskSpaceQuestion(const QString &volume)
{
    return QStringLiteral("“") + volume + QStringLiteral("”所在磁盘空间可能不够，或将导致错误，是否继续？");
}
QString iconFailed() { return QStringLiteral("替换图标失败"); }
QString restrictedFolder(const QString &folder)
{
    return folder + QLatin1Char('\n') + QStringLiteral("该目录可能受限制（例如反病毒软件或其他保护性软件），无法正常写入文件，")
           + QLatin1Char('\n') + QStringLiteral("请重新安装软件到其他目录，或重新选择其他目录保存这个文件");
}
QString errorCode(int code, const QString &description)
{
    return QStringLiteral("错误代码 ") + QString::number(code) + QLatin1Char(' ') + description + QLatin1Char('\n')
           + QStringLiteral("建议你先退出程序，再重新创建文件");
}
QString saveTitle(SlideshowKind kind)
{
    return kind == SlideshowKind::Package ? QStringLiteral("选择保存图片幻灯的路径") : QStringLiteral("选择保存图片幻灯的位置");
}
} // namespace buildText

QString slideshowFinishText(const QString &showName, int pictures, int songs, qint64 bytes, const QString &target)
{
    // Cut, not rounded, in whole hundredths so that no float error shows.
    const qint64 hundredths = bytes * 100 / 1048576;
    const QString size = QString::number(hundredths / 100) + QLatin1Char('.')
                         + QStringLiteral("%1").arg(hundredths % 100, 2, 10, QLatin1Char('0'));
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("幻灯名称： ") + showName + crlf + QStringLiteral("图片总数： ") + QString::number(pictures) + crlf
           + QStringLiteral("音乐总数： ") + QString::number(songs) + crlf + QStringLiteral("文件大小： ") + size
           + QStringLiteral(" MB") + crlf + QStringLiteral("保存路径： ") + target;
}

QString previewPath(const Workspace &workspace)
{
    return workspace.tempDir() + QStringLiteral("~tmpview.scr");
}

bool StartSlideshow(const QString &path, QString *error)
{
    const QString folder = QFileInfo(path).absolutePath();
    struct statvfs fs = {};
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) == 0 && (fs.f_flag & ST_NOEXEC)) {
        if (error)
            *error = QStringLiteral("“") + folder
                     + QStringLiteral("”所在的文件系统不允许运行程序（挂载时带有 noexec），无法启动图片幻灯");
        return false;
    }
    // The program itself, never a shell: a path is no command line.
    if (!QProcess::startDetached(QFileInfo(path).absoluteFilePath(), {}, folder)) {
        if (error) *error = QStringLiteral("无法启动图片幻灯 '") + path + QStringLiteral("'");
        return false;
    }
    return true;
}

namespace {

constexpr int kMinStoredPathLength = 8;
const QString kWriting = QStringLiteral("正在写入...");

// The player program as the build needs it: Pvsm.bfq unscrambled, an ELF
// program with its icon slot. Empty when the file is missing or is no such
// program.
QByteArray playerProgram(const QString &bfqPath)
{
    if (readProblem(bfqPath) != FileProblem::None) return {};
    QByteArray bytes;
    if (ReadFileBytes(bytes, bfqPath, 0, -1) <= 0) return {};
    ScrambleBytes(bytes.data(), bytes.size(), kScrambledFileBytes);
    if (!bytes.startsWith("\x7F" "ELF") || !HasIconSlot(bytes)) return {};
    return bytes;
}

qint64 fileSize(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() ? info.size() : 0;
}

// What the resources of a complete slideshow add up to, as the files are now.
qint64 inputBytes(const ResourceList &resources)
{
    qint64 total = 0;
    for (const ResourceEntry &e : resources) total += fileSize(e.path);
    return total;
}

QString failureMessage(const ResourceWriteResult &r, const QString &target)
{
    using S = ResourceWriteResult::Status;
    switch (r.status) {
    case S::TooLarge: return buildText::tooLarge();
    case S::ReadFailed:
        return QStringLiteral("无法读取 '") + r.path + QStringLiteral("'：") + fileProblemTextZh(r.problem);
    case S::WriteFailed: return cannotWriteText(QFileInfo(target).fileName(), r.problem);
    case S::VerifyFailed: return buildText::restrictedFolder(QFileInfo(target).absolutePath());
    case S::Ok:
    case S::Cancelled: break;
    }
    return {};
}

} // namespace

BuildOutcome BuildScreenSaver(const Project &original, const Workspace &workspace, const BuildRequest &request,
                              Prompter &prompter, const JobControl &control)
{
    BuildOutcome outcome;
    auto refused = [&]() {
        outcome.cancelled = true;
        return outcome;
    };
    if (original.pictures.size() < 2) {
        prompter.inform(twoPicturesText(), PromptIcon::Information);
        return refused();
    }
    Project project = original;
    Settings &s = project.settings;
    if (s.backGroundSet == QLatin1String("3") && s.backGroundPicture.size() < kMinStoredPathLength)
        s.backGroundSet = QStringLiteral("1");

    const QString bfq = workspace.programFile(QStringLiteral("Pvsm.bfq"));
    QByteArray player = playerProgram(bfq);
    if (player.isEmpty()) {
        prompter.inform(buildText::playerMissing(QFileInfo(bfq).absoluteFilePath()), PromptIcon::Information);
        return outcome;
    }
    workspace.ensureOutputDir();
    QDir().mkpath(workspace.tempDir());

    QString target = request.outputPath;
    if (target.isEmpty() && request.kind == SlideshowKind::Preview) target = previewPath(workspace);
    if (target.isEmpty()) {
        FileDialogRequest r;
        r.title = buildText::saveTitle(request.kind);
        r.filterName = request.kind == SlideshowKind::Package ? QStringLiteral("图片幻灯文件(*.exe,*.scr)")
                                                              : QStringLiteral("图片幻灯和屏保(*.exe,*.scr)");
        r.patterns = {QStringLiteral("*")};
        r.initialDir = workspace.outputDir();
        r.initialName = s.txtSetting[0];
        target = prompter.chooseSaveFile(r);
        if (target.isEmpty()) return refused();
    }
    target = QFileInfo(target).absoluteFilePath();
    outcome.target = target;

    PropertyBag bag;
    RecordContext record;
    record.write.appVersion = request.appVersion;
    record.write.framePictureLoaded = !request.frameData.isEmpty();
    record.editingScreen = request.editingScreen;
    ResourceList resources;
    if (request.kind == SlideshowKind::Package) {
        record.fonts = request.fonts;
        if (request.packFonts && record.fonts.files.isEmpty()) {
            const auto &styles = project.settings.textStyles;
            record.fonts = LookupFonts({styles[0].fontName, styles[1].fontName, styles[2].fontName, styles[3].fontName});
            // The styles found nowhere travel without a font file; the build goes on.
            if (record.fonts.anyMissing())
                prompter.inform(QString::fromUtf8(kFontMissingMessage), PromptIcon::Information);
        }
        WritePackageRecord(project, bag, resources, record);
        const qint64 total = inputBytes(resources);
        if (total >= kMaxPackageInputBytes) {
            prompter.inform(buildText::tooLarge(), PromptIcon::Information);
            return outcome;
        }
        const QString folder = QFileInfo(target).absolutePath();
        if (!HasFreeSpace(folder, WholeMegabytes(total), request.freeSpace)
            && prompter.ask(buildText::diskSpaceQuestion(VolumeOf(folder)), PromptButtons::YesNo, PromptIcon::Information,
                            QStringLiteral("Info"))
                   != Answer::Yes)
            return refused();
    } else {
        // The player shows every transition when none is chosen; the saved
        // project keeps its choice, only this copy changes.
        if (s.selectedTransitions.none()) s.enableTransition = false;
        WriteLocalRecord(project, bag, record, request.kind == SlideshowKind::Preview);
    }
    if (request.kind != SlideshowKind::Preview && !ConfirmOverwrite(target, prompter)) return refused();
    if (const FileProblem problem = writeProblem(target); problem != FileProblem::None && problem != FileProblem::DiskFull) {
        prompter.inform(cannotWriteText(QFileInfo(target).fileName(), problem), PromptIcon::Information);
        return outcome;
    }

    // The icon goes into a work copy of the player; a failed replacement
    // leaves the player's own icon, and the build goes on.
    if (request.kind != SlideshowKind::Preview && !request.iconFile.isEmpty()) {
        const JobFolder job(workspace);
        const QString work = job.filePath(QStringLiteral("Pvsm.bfq.Tmp"));
        if (request.replaceIcon && QFileInfo(request.iconFile).isFile() && job.isValid()
            && WriteFileAtomically(work, player) && request.replaceIcon(request.iconFile, work)) {
            QByteArray stamped;
            if (ReadFileBytes(stamped, work, 0, -1) > 0 && stamped.startsWith("\x7F" "ELF")) {
                player = stamped;
                outcome.iconReplaced = true;
            }
        }
        if (!outcome.iconReplaced) prompter.inform(buildText::iconFailed(), PromptIcon::Error);
    }

    AtomicFileWriter out(target);
    if (!out.open() || !out.write(player)) {
        prompter.inform(cannotWriteText(QFileInfo(target).fileName(), out.problem()), PromptIcon::Information);
        return outcome;
    }
    ResourceInputs inputs;
    inputs.resourcePackage = workspace.programFile(QStringLiteral("gmi.src"));
    inputs.resourceIndex = ReadPackageIndex(inputs.resourcePackage, PackageKind::Resources);
    inputs.frameData = request.frameData;
    inputs.resources = std::move(resources);
    const QString caption = request.kind == SlideshowKind::Package ? kWriting : QString();
    const ResourceWriteResult written = WriteResources(out, player.size(), bag, inputs, caption, control);
    if (!written.ok()) {
        out.discard();
        if (written.status == ResourceWriteResult::Status::Cancelled) return refused();
        prompter.inform(failureMessage(written, target),
                        written.status == ResourceWriteResult::Status::VerifyFailed ? PromptIcon::Warning
                                                                                      : PromptIcon::Information);
        return outcome;
    }
    // A program, as the player is.
    if (::chmod(QFile::encodeName(out.temporaryPath()).constData(), 0755) != 0 || !out.commit()) {
        const int error = out.errorNumber() ? out.errorNumber() : errno;
        out.discard();
        prompter.inform(out.problem() != FileProblem::None ? cannotWriteText(QFileInfo(target).fileName(), out.problem())
                                                           : buildText::errorCode(error, QString::fromLocal8Bit(std::strerror(error))),
                        PromptIcon::Warning);
        return outcome;
    }
    outcome.completed = true;
    outcome.trailer = written.trailer;
    outcome.bytes = QFileInfo(target).size();
    outcome.finishReport = slideshowFinishText(s.txtSetting[0], int(project.pictures.size()), int(project.songs.size()),
                                               outcome.bytes, target);
    return outcome;
}

} // namespace pvsm
