#include "CliPrompter.h"
#include "CliProgress.h"
#include "Commands.h"
#include "ProjectSession.h"
#include "Soundtrack.h"
#include "VideoExport.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace pvsm::cli {

namespace {

int exportVideo(const QStringList &args)
{
    QStringList positional;
    ExportOptions options;
    QSize screen;
    int sizeIndex = -1;
    bool overwrite = false;
    bool yes = false;
    bool withoutMusic = false;
    bool listCodecs = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&]() -> QString { return i + 1 < args.size() ? args[++i] : QString(); };
        if (a == QLatin1String("--size")) {
            options.videoSize = parseSize(value());
            if (!options.videoSize.isValid() || options.videoSize.width() % 4 != 0 || options.videoSize.height() % 2 != 0) {
                err(QStringLiteral("--size takes WIDTHxHEIGHT with a width that is a multiple of 4 and an even height"));
                return kUsage;
            }
        } else if (a == QLatin1String("--size-index")) {
            sizeIndex = value().toInt();
            if (sizeIndex < 0 || sizeIndex >= int(frameSizeList().size())) {
                err(QStringLiteral("--size-index takes 0 .. %1").arg(frameSizeList().size() - 1));
                return kUsage;
            }
        } else if (a == QLatin1String("--fps")) {
            bool ok = false;
            options.frameRate = value().toInt(&ok);
            if (!ok || !isFrameRate(options.frameRate)) {
                err(QStringLiteral("--fps takes 25, 30 or 60 (frames per second)"));
                return kUsage;
            }
        } else if (a == QLatin1String("--codec")) options.encode.encoder = value();
        else if (a == QLatin1String("--preset")) options.encode.preset = value();
        else if (a == QLatin1String("--crf")) options.encode.crf = value().toInt();
        else if (a == QLatin1String("--screen")) screen = parseSize(value());
        else if (a == QLatin1String("--loop")) options.loopToLongerTrack = true;
        else if (a == QLatin1String("--overwrite")) overwrite = true;
        else if (a == QLatin1String("--yes")) yes = true;
        else if (a == QLatin1String("--without-music")) withoutMusic = true;
        else if (a == QLatin1String("--list-codecs")) listCodecs = true;
        else if (a.startsWith(QLatin1String("--"))) {
            err(QStringLiteral("unknown option %1").arg(a));
            return kUsage;
        } else positional << a;
    }
    if (listCodecs) {
        const auto installed = InstalledCompressors();
        const auto preferred = FindPreferredCodec(installed);
        for (const CompressorInfo &c : installed)
            out(QStringLiteral("Codec: %1 %2 %3%4")
                    .arg(c.handler, c.encoder, c.description,
                         preferred && preferred->encoder == c.encoder ? QStringLiteral(" (preferred)") : QString()));
        if (positional.isEmpty()) return kOk;
    }
    if (positional.size() != 2) {
        err(QStringLiteral("export: give the project file and the output file"));
        return kUsage;
    }

    CliPrompter prompter;
    prompter.overwrite = overwrite;
    prompter.yes = yes;
    prompter.withoutMusic = withoutMusic;
    const ProjectEnvironment env = cliEnvironment(screen);
    ProjectSession session(cliWorkspace(), env, prompter);
    PropertyBag probe;
    if (!loadBagOrSay(positional[0], positional[0], QStringLiteral("a project file"), probe)) return kFailed;
    if (!session.open(QFileInfo(positional[0]).absoluteFilePath())) return kFailed;

    options.targetPath = QFileInfo(positional[1]).absoluteFilePath();
    options.editingScreen = QSize(env.screenWidth, env.screenHeight);
    if (sizeIndex < 0 && !args.contains(QStringLiteral("--size"))) sizeIndex = defaultFrameSizeIndex(options.editingScreen);
    if (sizeIndex >= 0) {
        const FrameSizeEntry &e = frameSizeList()[size_t(sizeIndex)];
        options.videoSize = QSize(e.width, e.height);
    }

    const std::atomic<bool> &cancel = cancelOnSignals();
    ProgressBar bar;
    JobControl control;
    control.cancel = &cancel;
    control.progress = [&](int percent, const QString &caption) { bar.update(percent, caption); };
    QElapsedTimer clock;
    clock.start();
    const ExportOutcome outcome = ExportAvi(session.project(), session.workspace(), options, prompter, control,
                                              makeProjectSoundtrackFactory(session.workspace(), prompter));
    bar.done();
    if (outcome.installCodecRequested) err(exportText::restartAfterInstall());
    if (!outcome.completed) {
        if (outcome.status == kExportCancelled && cancel.load()) err(QStringLiteral("已取消"));
        return kFailed;
    }
    out(QStringLiteral("File: ") + outcome.target);
    out(QStringLiteral("Format: ") + QFileInfo(outcome.target).suffix().toUpper());
    out(QStringLiteral("Encoder: ") + outcome.encoder);
    out(QStringLiteral("Size: %1x%2").arg(options.videoSize.width()).arg(options.videoSize.height()));
    out(QStringLiteral("Frames: %1").arg(outcome.frames));
    out(QStringLiteral("FrameRate: %1").arg(options.frameRate));
    out(QStringLiteral("Duration: %1").arg(double(outcome.frames) / options.frameRate, 0, 'f', 3));
    out(QStringLiteral("Bytes: %1").arg(outcome.bytes));
    out(QStringLiteral("Songs: %1").arg(outcome.songs));
    if (outcome.withoutMusic) err(QStringLiteral("the video was made without its music (--without-music)"));
    out(QStringLiteral("Seconds: %1").arg(clock.elapsed() / 1000.0, 0, 'f', 2));
    err(outcome.finishReport);
    return kOk;
}

const CommandRegistrar kExport({{QStringLiteral("export")},
                                QStringLiteral("export PROJECT.aps OUT.avi|OUT.mp4 [--size WxH | --size-index N] [--fps 25|30|60] [--codec NAME] "
                                               "[--list-codecs] [--preset NAME] [--crf N] [--screen WxH] [--loop] [--overwrite] [--yes] "
                                               "[--without-music]"),
                                exportVideo});

} // namespace

} // namespace pvsm::cli
