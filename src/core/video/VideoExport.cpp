#include "VideoExport.h"

#include "FileCheck.h"
#include "FrameList.h"
#include "OutputChecks.h"
#include "ProjectSession.h"
#include "Muxer.h"
#include "EndFade.h"
#include "Mp4Mux.h"
#include "Soundtrack.h"

#include "NumberRules.h"
#include "Numbers.h"
#include "clsMemDC.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pvsm {

namespace {

constexpr FrameSizeEntry kFrameSizes[] = {
    {"848*480 (16:9)", 848, 480},   {"960*540 (16:9)", 960, 540},   {"1024*576 (16:9)", 1024, 576},
    {"1280*720 (16:9)", 1280, 720}, {"1600*900 (16:9)", 1600, 900}, {"1920*1080(16:9)", 1920, 1080},
    {"800*600 (4:3)", 800, 600},    {"1024*768 (4:3)", 1024, 768},  {"1280*960 (4:3)", 1280, 960},
    {"1440*1080(4:3)", 1440, 1080}, {"1920*1440(4:3)", 1920, 1440}, {"800*500 (16:10)", 800, 500},
    {"1024*640 (16:10)", 1024, 640}, {"1280*800 (16:10)", 1280, 800}, {"1440*900 (16:10)", 1440, 900},
    {"1920*1200(16:10)", 1920, 1200}, {"1280*1024(5:4)", 1280, 1024}, {"1792*768 (21:9)", 1792, 768},
    // Added after the first 18, whose places a choice made before keeps.
    {"2560*1440(16:9)", 2560, 1440}, {"3840*2160(16:9)", 3840, 2160}, {"1080*1920(9:16)", 1080, 1920},
    {"720*1280 (9:16)", 720, 1280},  {"1080*1080(1:1)", 1080, 1080},
};

} // namespace

std::span<const FrameSizeEntry> frameSizeList()
{
    return kFrameSizes;
}

bool isFrameRate(int fps)
{
    return std::find(std::begin(kFrameRates), std::end(kFrameRates), fps) != std::end(kFrameRates);
}

int defaultFrameSizeIndex(QSize screen)
{
    if (screen.height() <= 0) return 3;
    return Nearest(double(screen.width()) / screen.height() * 100.0) < 150 ? 8 : 3;
}

QSize parseFrameSizeText(const QString &text)
{
    const int star = text.indexOf(QLatin1Char('*'));
    if (star <= 0) return {};
    const int w = text.left(star).trimmed().toInt();
    QString tail = text.mid(star + 1, 4);
    const int paren = tail.indexOf(QLatin1Char('('));
    if (paren >= 0) tail.truncate(paren);
    const int h = tail.trimmed().toInt();
    return {w, h};
}

namespace exportText {
QString twoPictures() { return twoPicturesText(); }
QString midiRefused() { return QStringLiteral("保存为视频的时候不支持Midi文件，\n请移除或将其转换为Wav/Mp3"); }
QString uncompressedRefused()
{
    return QStringLiteral("请不要选择无压缩格式，否则需要较多硬盘空间，而且创建的视频文件最大不能超过2GB");
}
QString outputError() { return QStringLiteral("输出视频时遇到错误"); }
QString cannotEncode() { return QStringLiteral("程序无法输出视频，请尝试其他视频编码器"); }
QString installPrompt()
{
    return QStringLiteral("找不到默认的编码器X264。如果你已经安装了X264，请重启本程序使之生效。\n"
                          "你是否要安装X264视频编码器？\n\n"
                          "是：查看安装方法（使用系统的软件包管理器安装带有 libx264 的 FFmpeg 库，例如 apt-get install libavcodec-extra）\n\n"
                          "否：选择其他已经在系统安装了的编码器\n\n"
                          "取消：取消创建过程");
}
QString restartAfterInstall()
{
    return QStringLiteral("为了使编码器生效，程序必须重启，请保存你的配置并在安装编码器后重新启动本软件");
}
QString diskSpaceQuestion(const QString &folder)
{
    return QStringLiteral("音乐文件太多，需要超过2GB硬盘空间来存放临时文件，\n或“") + folder
           + QStringLiteral("”所在磁盘空间不够可能导致错误，你要继续创建过程吗？");
}
QString diskFull(const QString &folder)
{
    return QStringLiteral("“") + folder + QStringLiteral("”所在磁盘空间不足，无法完成视频文件，创建过程已停止");
}
QString unknownSuffix(const QString &fileName)
{
    return QStringLiteral("无法保存为“") + fileName + QStringLiteral("”：视频文件的扩展名必须是 .mp4 或 .avi");
}
QString oddFrameSize(QSize size)
{
    return QStringLiteral("编码器不接受帧大小 %1*%2：宽度必须是4的倍数，高度必须是偶数，且都不小于16")
        .arg(size.width())
        .arg(size.height());
}
QString mp4NeedsH264() { return QStringLiteral("MP4视频只能使用H.264（X264）编码器，请选择X264或保存为AVI"); }
} // namespace exportText

std::optional<VideoContainer> containerForPath(const QString &path, VideoContainer fallback)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix.isEmpty()) return fallback;
    if (suffix == QLatin1String("avi")) return VideoContainer::Avi;
    if (suffix == QLatin1String("mp4")) return VideoContainer::Mp4;
    return std::nullopt;
}

QString containerSuffix(VideoContainer container)
{
    return container == VideoContainer::Mp4 ? QStringLiteral("mp4") : QStringLiteral("avi");
}

QString finishReportText(const QString &showName, int pictures, int songs, qint64 bytes, const QString &target)
{
    const double mb = std::floor(double(bytes) / 1048576.0 * 100.0) / 100.0;
    return QStringLiteral("视频名称： ") + showName + QStringLiteral("\r\n") + QStringLiteral("图片数量：")
           + QString::number(pictures) + QStringLiteral("\r\n") + QStringLiteral("音乐数量： ") + QString::number(songs)
           + QStringLiteral("\r\n") + QStringLiteral("文件大小： ") + QString::number(mb, 'f', 2) + QStringLiteral(" MB")
           + QStringLiteral("\r\n") + QStringLiteral("保存位置：") + target;
}

namespace {

// The encoder to use, or nothing with the status saying why.
std::optional<CompressorInfo> chooseCodec(const ExportOptions &options, Prompter &prompter, ExportOutcome &outcome)
{
    const std::vector<CompressorInfo> installed = InstalledCompressors();
    auto byName = [&](const QString &name) -> std::optional<CompressorInfo> {
        for (const CompressorInfo &c : installed)
            if (c.encoder.compare(name, Qt::CaseInsensitive) == 0 || c.handler.trimmed().compare(name.trimmed(), Qt::CaseInsensitive) == 0)
                return c;
        return std::nullopt;
    };
    auto manual = [&]() -> std::optional<CompressorInfo> {
        QStringList items;
        for (const CompressorInfo &c : installed) items << QStringLiteral("%1  (%2, %3)").arg(c.handler, c.encoder, c.description);
        const int chosen = prompter.chooseItem(QStringLiteral("视频压缩"), QStringLiteral("压缩程序："), items);
        if (chosen < 0 || chosen >= int(installed.size())) {
            outcome.status = kExportCodecRefused;
            return std::nullopt;
        }
        return installed[size_t(chosen)];
    };

    std::optional<CompressorInfo> codec;
    if (!options.encode.encoder.isEmpty()) {
        codec = byName(options.encode.encoder);
        if (!codec) {
            prompter.inform(exportText::cannotEncode(), PromptIcon::Information);
            outcome.status = kExportCodecRefused;
            return std::nullopt;
        }
    } else if (options.chooseCodecManually) {
        codec = manual();
    } else {
        codec = FindPreferredCodec(installed);
        if (!codec) {
            const Answer a = prompter.ask(exportText::installPrompt(), PromptButtons::YesNoCancel,
                                          PromptIcon::Information, QStringLiteral("Info"));
            if (a == Answer::Yes) {
                outcome.installCodecRequested = true;
                outcome.status = kExportCancelled;
                return std::nullopt;
            }
            if (a == Answer::Cancel) {
                outcome.status = kExportCancelled;
                return std::nullopt;
            }
            codec = manual();
        }
    }
    if (codec && codec->handler.toUpper() == QLatin1String("DIB ")) {
        prompter.inform(exportText::uncompressedRefused(), PromptIcon::Information);
        outcome.status = kExportCodecRefused;
        return std::nullopt;
    }
    return codec;
}

// Two gradient frames written to a scratch file tell whether the encoder
// really works here before the long render starts.
int probeCodec(const VideoEncodeOptions &encode, QSize size, const QString &tempDir, Prompter &prompter)
{
    QDir().mkpath(tempDir);
    const QString probePath = QDir(tempDir).filePath(QStringLiteral("pvsm-probe.avi"));
    AviWriter writer;
    QString error;
    if (!writer.open(probePath, size, encode, &error)) {
        QFile::remove(probePath);
        prompter.inform(exportText::outputError(), PromptIcon::Information);
        return kExportWriteFailed;
    }
    clsMemDC frame(size.width(), size.height(), 0);
    for (int i = 0; i < 2; ++i) {
        FillGradient(frame, 1, ToArgb(0x80FFFF, 255), ToArgb(0x0000FF, 255));
        writer.WriteFrame(frame.image(), 1);
    }
    const bool ok = writer.close();
    QFile::remove(probePath);
    if (!ok) {
        prompter.inform(exportText::cannotEncode(), PromptIcon::Information);
        return kExportWriteFailed;
    }
    return kExportRunning;
}

// What the export may write on a disk with `freeBytes` free: all but a
// margin that leaves the system and other programs room to work. Negative
// when the free space is unknown (no limit then).
qint64 spaceAllowance(qint64 freeBytes)
{
    if (freeBytes < 0) return -1;
    const qint64 margin = 16 * 1048576 + freeBytes / 50;
    return std::max<qint64>(0, freeBytes - margin);
}

bool sameFileSystem(const QString &a, const QString &b)
{
    struct stat sa = {};
    struct stat sb = {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0
           && sa.st_dev == sb.st_dev;
}

// Forces a file's data to the disk, so that renaming it over the user's file
// can never leave a name that points at data the disk did not take. 0, or
// the errno that failed.
int syncToDisk(const QString &path, int flags = O_RDONLY)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0) return errno;
    int r = ::fsync(fd) == 0 ? 0 : errno;
    if (::close(fd) != 0 && r == 0) r = errno;
    return r;
}

} // namespace

ExportOutcome ExportAvi(const Project &project, const Workspace &workspace, const ExportOptions &options,
                        Prompter &prompter, const JobControl &control, const SoundtrackFactory &soundtrackFactory)
{
    ExportOutcome outcome;
    if (project.pictures.size() < 2) {
        prompter.inform(exportText::twoPictures(), PromptIcon::Information);
        outcome.status = kExportCodecRefused;
        return outcome;
    }

    // Music: MIDI cannot be decoded; large music needs room for its work files.
    qint64 estimate = 0;
    for (const Song &song : project.songs) {
        const QString ext = song.path.right(3).toUpper();
        if (ext == QLatin1String("MID")) {
            prompter.inform(exportText::midiRefused(), PromptIcon::Information);
            outcome.status = kExportCodecRefused;
            return outcome;
        }
        const qint64 length = QFileInfo(song.path).size();
        estimate += (ext == QLatin1String("MP3") || ext == QLatin1String("WMA")) ? length * 8 : length;
    }
    auto freeBytes = [&](const QString &folder) -> qint64 {
        return options.freeSpace ? options.freeSpace(folder) : SystemFreeSpace(folder);
    };
    if (!project.songs.empty()) {
        // The soundtrack's work files need twice the songs' decoded size.
        const bool enough = HasFreeSpace(workspace.workDir(), 2 * WholeMegabytes(estimate) + 1, options.freeSpace);
        if (estimate > 1070000000 || !enough) {
            if (prompter.ask(exportText::diskSpaceQuestion(VolumeOf(workspace.workDir())), PromptButtons::YesNo,
                             PromptIcon::Information, QStringLiteral("Info"))
                != Answer::Yes) {
                outcome.status = kExportCancelled;
                return outcome;
            }
        }
    }

    workspace.ensureOutputDir();

    QString target = options.targetPath;
    if (target.isEmpty()) {
        FileDialogRequest r;
        r.title = QStringLiteral("选择保存视频文件的位置");
        if (options.container == VideoContainer::Mp4) {
            r.filterName = QStringLiteral("MP4(*.mp4)");
            r.patterns = {QStringLiteral("*.mp4")};
        } else {
            r.filterName = QStringLiteral("AVI(*.avi)");
            r.patterns = {QStringLiteral("*.avi")};
        }
        r.defaultSuffix = containerSuffix(options.container);
        r.initialDir = workspace.outputDir();
        r.initialName = project.settings.txtSetting[0];
        target = prompter.chooseSaveFile(r);
        if (target.isEmpty()) {
            outcome.status = kExportCancelled;
            return outcome;
        }
    }
    target = QFileInfo(target).absoluteFilePath();
    // Everything that refuses the export is asked before the replace
    // question, which gives the user's old file up.
    const std::optional<VideoContainer> container = containerForPath(target, options.container);
    if (!container) {
        prompter.inform(exportText::unknownSuffix(QFileInfo(target).fileName()), PromptIcon::Information);
        outcome.status = kExportCodecRefused;
        return outcome;
    }
    const bool mp4 = *container == VideoContainer::Mp4;
    if (QFileInfo(target).suffix().isEmpty()) target += QLatin1Char('.') + containerSuffix(*container);
    outcome.target = target;
    const QString name = QFileInfo(target).fileName();
    const QString targetFolder = QFileInfo(target).absolutePath();
    if (options.videoSize.width() % 4 != 0 || options.videoSize.height() % 2 != 0 || options.videoSize.width() < 16
        || options.videoSize.height() < 16) {
        prompter.inform(exportText::oddFrameSize(options.videoSize), PromptIcon::Information);
        outcome.status = kExportCodecRefused;
        return outcome;
    }
    if (!isFrameRate(options.frameRate)) {
        prompter.inform(exportText::outputError(), PromptIcon::Information);
        outcome.status = kExportCodecRefused;
        return outcome;
    }
    if (const FileProblem problem = writeProblem(target);
        problem != FileProblem::None && problem != FileProblem::DiskFull) {
        prompter.inform(cannotWriteText(name, problem), PromptIcon::Information);
        outcome.status = kExportWriteFailed;
        return outcome;
    }
    // The file is made under a work name beside the target: a folder that
    // takes no new file is found now, not after the whole render.
    {
        const QString trial = QDir(targetFolder).filePath(QStringLiteral(".") + name + QStringLiteral(".part"));
        const int fd = ::open(QFile::encodeName(trial).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) {
            FileProblem problem = writeProblemFromErrno(errno);
            if (problem == FileProblem::None || problem == FileProblem::ReadOnlyFile) problem = FileProblem::ReadOnlyFolder;
            prompter.inform(cannotWriteText(name, problem), PromptIcon::Information);
            outcome.status = kExportWriteFailed;
            return outcome;
        }
        if (fd >= 0) {
            ::close(fd);
            QFile::remove(trial);
        }
    }
    if (!ConfirmOverwrite(target, prompter)) {
        outcome.status = kExportCancelled;
        return outcome;
    }

    // Every file of this export but the target lives here, apart from any
    // other job's; it goes with everything in it however the export ends.
    const JobFolder job(workspace);
    if (!job.isValid()) {
        prompter.inform(exportText::outputError(), PromptIcon::Information);
        outcome.status = kExportWriteFailed;
        return outcome;
    }

    const std::optional<CompressorInfo> codec = chooseCodec(options, prompter, outcome);
    if (!codec) return outcome;
    // An MP4 holds the H.264 stream x264 makes for the AVI, copied as it is.
    if (mp4 && codec->encoder != QLatin1String("libx264")) {
        prompter.inform(exportText::mp4NeedsH264(), PromptIcon::Information);
        outcome.status = kExportCodecRefused;
        return outcome;
    }
    VideoEncodeOptions encode = options.encode;
    encode.encoder = codec->encoder;
    encode.frameRate = options.frameRate;
    outcome.encoder = codec->encoder;
    const int probe = probeCodec(encode, options.videoSize, job.path(), prompter);
    if (probe != kExportRunning) {
        outcome.status = probe;
        return outcome;
    }

    // The room the export may take, measured once: a show that would need
    // more (a picture held for days) stops with the disk-full message instead
    // of filling the disk. With music the work files (the decoded songs, the
    // joined WAV, the MP3) come first; where the video part and the target
    // share a disk, the joined copy needs as much room again as the part.
    const qint64 targetAllowance = spaceAllowance(freeBytes(targetFolder));
    const bool workBesideTarget = sameFileSystem(job.path(), targetFolder);
    const qint64 workAllowance = workBesideTarget ? targetAllowance : spaceAllowance(freeBytes(job.path()));
    const qint64 musicReserve = 2 * estimate;
    qint64 musicPartLimit = -1;
    if (workBesideTarget) {
        if (targetAllowance >= 0) musicPartLimit = std::max<qint64>(0, targetAllowance - musicReserve) / 2;
    } else {
        if (workAllowance >= 0) musicPartLimit = std::max<qint64>(0, workAllowance - musicReserve);
        if (targetAllowance >= 0) musicPartLimit = musicPartLimit < 0 ? targetAllowance : std::min(musicPartLimit, targetAllowance);
    }
    auto stopDiskFull = [&](const QString &folder) {
        prompter.inform(exportText::diskFull(QDir::toNativeSeparators(folder)), PromptIcon::Information);
        outcome.status = kExportWriteFailed;
        outcome.diskFull = true;
        return outcome;
    };

    FrameLoopSettings loopSettings;
    loopSettings.videoSize = options.videoSize;
    loopSettings.editingScreen = options.editingScreen;
    loopSettings.TransitionFrames = Nearest(project.settings.transitionSpeed / 1000.0 * 30.0);
    loopSettings.fps = options.frameRate;
    for (int i = 0; i < kTransitionCount; ++i)
        if (project.settings.selectedTransitions[size_t(i)]) loopSettings.SelectedTransitions.push_back(i);
    loopSettings.pictureFrame = SelectedFrameBytes(project.settings, workspace);

    // The video is written beside the target under a name of its own and
    // replaces the target only once it is complete. With music the picture
    // goes to a work file first and the joined file takes that own name.
    const QString partPath = QDir(targetFolder).filePath(QStringLiteral(".") + name + QStringLiteral(".part"));
    const QString videoPart = job.filePath(QString::fromLatin1(soundtrackFiles::kVideoPart));
    auto complete = [&](const FrameLoopResult &r, int songs, bool withoutMusic) {
        outcome.completed = true;
        outcome.status = kExportRunning;
        outcome.frames = r.frames;
        outcome.bytes = QFileInfo(target).size();
        outcome.songs = songs;
        outcome.withoutMusic = withoutMusic;
        outcome.finishReport = finishReportText(project.settings.txtSetting[0], int(project.pictures.size()), songs,
                                                outcome.bytes, target);
    };
    // Synced, then renamed over the target in one step: the user's old file
    // stays whole until the new one is complete on the disk.
    auto placeAtTarget = [&](QString from) {
        if (!sameFileSystem(from, targetFolder)) {
            // A work file on another disk is copied beside the target first.
            QFile::remove(partPath);
            const bool copied = QFile::copy(from, partPath);
            QFile::remove(from);
            from = partPath;
            if (!copied) {
                QFile::remove(partPath);
                prompter.inform(exportText::outputError(), PromptIcon::Information);
                outcome.status = kExportWriteFailed;
                return false;
            }
        }
        const int synced = syncToDisk(from);
        if (synced == 0 && ::rename(QFile::encodeName(from).constData(), QFile::encodeName(target).constData()) == 0) {
            (void)syncToDisk(targetFolder, O_RDONLY | O_DIRECTORY);
            return true;
        }
        QFile::remove(from);
        if (isDiskFullErrno(synced)) {
            stopDiskFull(targetFolder);
            return false;
        }
        prompter.inform(QStringLiteral("无法替换 '") + name + QStringLiteral("'，文件可能正在使用中"), PromptIcon::Information);
        outcome.status = kExportWriteFailed;
        return false;
    };
    ExportOptions chosen = options;
    chosen.container = *container;
    for (int attempt = 0; attempt <= options.maxRetries; ++attempt) {
        std::unique_ptr<Soundtrack> soundtrack = soundtrackFactory ? soundtrackFactory(project, chosen, job.path()) : nullptr;
        auto *music = dynamic_cast<ProjectSoundtrack *>(soundtrack.get());
        // The MP4's sound is coded from the joined WAV when the picture is done.
        if (music && mp4) music->keepPcm(true);
        // The AVI's cut music is faded in the WAV once the video's end is known.
        if (music && !mp4 && project.settings.fadeOutEnd) music->keepWav(true);
        // An MP4 is made from the rendered AVI, music or not.
        const QString renderPath = music || mp4 ? videoPart : partPath;
        auto dropAudio = [&] {
            if (!music) return;
            const QString mp3 = music->audioFile();
            if (!mp3.isEmpty()) QFile::remove(mp3);
        };
        const qint64 renderLimit = music ? musicPartLimit : mp4 ? (workBesideTarget && targetAllowance >= 0 ? targetAllowance / 2 : workAllowance) : targetAllowance;
        if (renderLimit == 0) return stopDiskFull(music ? workspace.tempDir() : targetFolder);
        AviWriter writer;
        QString error;
        if (!writer.open(renderPath, options.videoSize, encode, &error)) {
            QFile::remove(renderPath);
            prompter.inform(exportText::outputError(), PromptIcon::Information);
            outcome.status = kExportWriteFailed;
            return outcome;
        }
        writer.watchCancel(control.cancel);
        writer.setSizeLimit(renderLimit);
        QElapsedTimer clock;
        clock.start();
        // The last second goes to black when the project asks for it.
        EndFadeSink fade(writer, options.frameRate);
        TimelineSink &videoSink = project.settings.fadeOutEnd ? static_cast<TimelineSink &>(fade) : writer;
        // The MP4's sound is coded from the music's start while the frames
        // render, as far as the frame loop vouches for the video's length.
        std::unique_ptr<Mp4SoundCoder> soundCoder;
        double leastSeconds = 0;
        LengthWordTap sink(videoSink, [&](int64_t total) {
            leastSeconds = std::max(leastSeconds, double(total) / options.frameRate);
            if (soundCoder) soundCoder->allowUntil(leastSeconds);
        });
        FrameLoopSettings attemptSettings = loopSettings;
        auto makeSoundCoder = [&](int64_t musicStartFrame) {
            Mp4Sound sound;
            sound.wavPath = music->keptPcmFile();
            if (sound.wavPath.isEmpty()) return;
            sound.leadSeconds = music->leadSeconds();
            sound.musicStartSeconds = double(musicStartFrame) / options.frameRate;
            sound.fadeOutEnd = project.settings.fadeOutEnd;
            soundCoder = std::make_unique<Mp4SoundCoder>(
                sound, job.filePath(QString::fromLatin1(soundtrackFiles::kSoundPackets)));
        };
        if (music && mp4)
            attemptSettings.onMusicStart = [&](int64_t musicStartFrame) {
                makeSoundCoder(musicStartFrame);
                if (!soundCoder) return;
                soundCoder->allowUntil(leastSeconds);
                soundCoder->start();
            };
        FrameLoop loop(project, attemptSettings, sink, soundtrack.get(), control);
        FrameLoopResult r = loop.RenderVideo();
        if (project.settings.fadeOutEnd && !r.failed && !r.cancelled && !fade.finish()) r.failed = true;
        const bool closed = writer.close();
        const qint64 decodeJoinMs = music ? music->decodeJoinMs() : 0;
        outcome.steps.decodeJoinMs += decodeJoinMs;
        outcome.steps.renderMs += clock.elapsed() - decodeJoinMs;
        if (r.cancelled || control.cancelled() || (music && music->stoppedExport())) {
            QFile::remove(renderPath);
            dropAudio();
            outcome.status = kExportCancelled;
            return outcome;
        }
        if (music && music->musicRefused()) {
            QFile::remove(renderPath);
            outcome.status = kExportMusicMissing;
            return outcome;
        }
        if (writer.diskFull()) {
            QFile::remove(renderPath);
            dropAudio();
            return stopDiskFull(music ? workspace.tempDir() : targetFolder);
        }
        if (!r.failed && closed) {
            bool haveMp3 = false;
            if (music) {
                // The MP3 was encoded while the video was rendered.
                const bool wanted = music->songCount() > 0;
                clock.restart();
                haveMp3 = music->finishAudio(control);
                outcome.steps.mp3WaitMs += clock.elapsed();
                if (control.cancelled()) {
                    QFile::remove(renderPath);
                    dropAudio();
                    outcome.status = kExportCancelled;
                    return outcome;
                }
                // The video was laid out for the music; without it, it goes
                // out only when the user says so.
                if (wanted && !haveMp3
                    && prompter.ask(soundtrackText::goOnWithoutMusic(), PromptButtons::YesNo, PromptIcon::Warning,
                                    QStringLiteral("Info"))
                           != Answer::Yes) {
                    QFile::remove(renderPath);
                    outcome.status = kExportMusicMissing;
                    return outcome;
                }
            }
            // Joins (or for an MP4 without music rewraps) the rendered
            // picture into the part file beside the target, then places it.
            auto joinAndPlace = [&](const MuxOutcome &mux, int songs, bool withoutMusic) {
                if (mux.cancelled || control.cancelled()) {
                    QFile::remove(partPath);
                    outcome.status = kExportCancelled;
                    return;
                }
                if (mux.diskFull) {
                    QFile::remove(partPath);
                    stopDiskFull(targetFolder);
                    return;
                }
                if (!mux.ok) {
                    QFile::remove(partPath);
                    prompter.inform(exportText::outputError(), PromptIcon::Information);
                    outcome.status = kExportWriteFailed;
                    return;
                }
                if (!placeAtTarget(partPath)) return;
                complete(r, songs, withoutMusic);
            };
            const double videoSeconds = double(r.frames) / options.frameRate;
            if (haveMp3) {
                const QString mp3 = music->audioFile();
                const int songs = music->songsInSoundtrack();
                // Where the parts share the target's disk they stay there
                // while the joined file grows.
                qint64 muxLimit = targetAllowance;
                if (muxLimit >= 0 && workBesideTarget)
                    muxLimit = std::max<qint64>(0, muxLimit - QFileInfo(renderPath).size() - QFileInfo(mp3).size());
                clock.restart();
                const double musicStart = double(r.musicStartFrame) / options.frameRate;
                MuxOutcome mux;
                if (!mp4 && project.settings.fadeOutEnd) {
                    clock.restart();
                    const bool goOn = music->fadeCutMusic(videoSeconds, musicStart, control);
                    outcome.steps.mp3WaitMs += clock.elapsed();
                    if (!goOn) {
                        QFile::remove(renderPath);
                        dropAudio();
                        outcome.status = kExportCancelled;
                        return outcome;
                    }
                    clock.restart();
                }
                if (mp4) {
                    if (!soundCoder) makeSoundCoder(r.musicStartFrame);
                    mux = MuxMp4(renderPath, soundCoder.get(), videoSeconds, partPath, control, muxLimit);
                    soundCoder.reset();
                } else {
                    mux = MuxVideoAudio(renderPath, mp3, music->leadSeconds(), musicStart, partPath, control, job.path(),
                                        muxLimit);
                }
                outcome.steps.muxMs += clock.elapsed();
                QFile::remove(renderPath);
                QFile::remove(mp3);
                joinAndPlace(mux, songs, false);
            } else if (mp4) {
                qint64 muxLimit = targetAllowance;
                if (muxLimit >= 0 && workBesideTarget) muxLimit = std::max<qint64>(0, muxLimit - QFileInfo(renderPath).size());
                clock.restart();
                const MuxOutcome mux = MuxMp4(renderPath, nullptr, videoSeconds, partPath, control, muxLimit);
                outcome.steps.muxMs += clock.elapsed();
                QFile::remove(renderPath);
                joinAndPlace(mux, 0, music != nullptr);
            } else {
                // The video alone is the show: it had no music, or the user
                // agreed to go on without the music that failed.
                if (!placeAtTarget(renderPath)) return outcome;
                complete(r, 0, music != nullptr);
            }
            return outcome;
        }
        QFile::remove(renderPath);
        dropAudio();
        outcome.status = kExportWriteFailed;
    }
    prompter.inform(exportText::cannotEncode(), PromptIcon::Information);
    return outcome;
}

} // namespace pvsm
