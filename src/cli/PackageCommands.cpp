#include "CliPrompter.h"
#include "CliProgress.h"
#include "Commands.h"
#include "FrameList.h"
#include "IconScan.h"
#include "ProjectSession.h"
#include "SlideshowBuild.h"
#include "SlideshowPackage.h"

#include <QFileInfo>
#include <QTemporaryDir>

namespace pvsm::cli {

namespace {

std::optional<SlideshowKind> kindFromName(const QString &name)
{
    if (name == QLatin1String("package")) return SlideshowKind::Package;
    if (name == QLatin1String("local")) return SlideshowKind::Local;
    if (name == QLatin1String("preview")) return SlideshowKind::Preview;
    return std::nullopt;
}

int build(const QStringList &args)
{
    QStringList positional;
    BuildRequest request;
    QString iconSource;
    bool overwrite = false;
    bool yes = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&]() -> QString { return i + 1 < args.size() ? args[++i] : QString(); };
        if (a == QLatin1String("--kind")) {
            const QString name = value();
            const auto kind = kindFromName(name);
            if (!kind) {
                err(QStringLiteral("--kind takes package, local or preview, not '%1'").arg(name));
                return kUsage;
            }
            request.kind = *kind;
        } else if (a == QLatin1String("--icon")) {
            iconSource = QFileInfo(value()).absoluteFilePath();
            if (!readableOrSay(iconSource, iconSource)) return kFailed;
        } else if (a == QLatin1String("--pack-fonts")) {
            request.packFonts = true;
        } else if (a == QLatin1String("--overwrite")) overwrite = true;
        else if (a == QLatin1String("--yes")) yes = true;
        else if (a.startsWith(QLatin1String("--"))) {
            err(QStringLiteral("unknown option %1").arg(a));
            return kUsage;
        } else positional << a;
    }
    if (positional.size() != 2) {
        err(QStringLiteral("build: give the project file and the output file"));
        return kUsage;
    }
    CliPrompter prompter;
    prompter.overwrite = overwrite;
    prompter.yes = yes;
    const ProjectEnvironment env = cliEnvironment();
    ProjectSession session(cliWorkspace(), env, prompter);
    PropertyBag probe;
    if (!loadBagOrSay(positional[0], positional[0], QStringLiteral("a project file"), probe)) return kFailed;
    if (!session.open(QFileInfo(positional[0]).absoluteFilePath())) return kFailed;

    // As the chooser takes it: the first icon image found in the file (an
    // icon file, a program, a PNG picture), as a single-image icon file.
    QTemporaryDir iconDir;
    if (!iconSource.isEmpty()) {
        const IconScan scan = ScanIconFile(iconSource);
        const QByteArray icon = scan.hits.empty() ? QByteArray() : ExtractIcon(iconSource, scan.hits.front());
        if (icon.isEmpty()) {
            err(QStringLiteral("%1 holds no icon of 32 or 48 pixels").arg(iconSource));
            return kFailed;
        }
        request.iconFile = iconDir.filePath(QStringLiteral("icofinal.ico"));
        if (!iconDir.isValid() || !writeFileOrSay(request.iconFile, icon, QStringLiteral("icon"))) return kFailed;
    }
    request.outputPath = QFileInfo(positional[1]).absoluteFilePath();
    request.editingScreen = QSize(env.screenWidth, env.screenHeight);
    request.appVersion = session.writeContext().appVersion;
    // The project's frame: a package frame, the own PNG or the test frame.
    request.frameData = SelectedFrameBytes(session.project().settings, session.workspace());

    ProgressBar bar;
    JobControl control;
    control.cancel = &cancelOnSignals();
    control.progress = [&](int percent, const QString &caption) { bar.update(percent, caption); };
    const BuildOutcome outcome = BuildScreenSaver(session.project(), session.workspace(), request, prompter, control);
    bar.done();
    if (!outcome.completed) {
        if (outcome.cancelled && control.cancelled()) err(QStringLiteral("已取消"));
        return kFailed;
    }
    out(QStringLiteral("File: ") + outcome.target);
    out(QStringLiteral("Bytes: %1").arg(outcome.bytes));
    err(outcome.finishReport);
    return kOk;
}

int inspect(const QStringList &args)
{
    if (args.size() != 1) {
        err(QStringLiteral("package inspect: give the slideshow file"));
        return kUsage;
    }
    QString problem;
    const std::optional<SlideshowContents> show = ReadSlideshow(args[0], &problem);
    if (!show) {
        err(QStringLiteral("%1 is not a slideshow: it %2").arg(args[0], problem));
        return kFailed;
    }
    out(QStringLiteral("PlayerBytes: %1").arg(show->trailer.playerLength));
    out(QStringLiteral("ResourceBytes: %1").arg(show->trailer.resourcesLength));
    out(QStringLiteral("SettingsBytes: %1").arg(show->trailer.blobLength));
    out(QStringLiteral("ResFileSize: %1").arg(show->record.getInt(QStringLiteral("ResFileSize"))));
    for (const SlideshowResource &r : show->resources)
        out(QStringLiteral("Resource: %1\t%2\t%3\t%4").arg(r.key).arg(r.offset).arg(r.size).arg(r.type));
    return kOk;
}

int extract(const QStringList &args)
{
    if (args.size() != 3) {
        err(QStringLiteral("package extract: give the slideshow file, the resource key and the output file"));
        return kUsage;
    }
    QString problem;
    if (!ExtractSlideshowResource(args[0], args[1], args[2], &problem)) {
        err(QStringLiteral("%1 %2").arg(args[0], problem));
        return kFailed;
    }
    return kOk;
}

const CommandRegistrar kBuild({{QStringLiteral("build")},
                               QStringLiteral("build PROJECT.aps OUT [--kind package|local|preview] [--icon FILE] "
                                              "[--pack-fonts] [--overwrite] [--yes]"),
                               build});
const CommandRegistrar kInspect({{QStringLiteral("package"), QStringLiteral("inspect")},
                                 QStringLiteral("package inspect FILE"), inspect});
const CommandRegistrar kExtract({{QStringLiteral("package"), QStringLiteral("extract")},
                                 QStringLiteral("package extract FILE KEY OUT"), extract});

} // namespace

} // namespace pvsm::cli
