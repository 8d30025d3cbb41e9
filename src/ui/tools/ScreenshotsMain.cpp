// pvsm-screenshots OUTDIR [PROJECT]: the editor's windows as PNG files, for
// reviewers. Runs the real window over a work folder of its own, so the
// program folder's Pvsm.ini and autosave are left alone.
#include "Display.h"
#include "GuiPrompter.h"
#include "JobDialogScreenshots.h"
#include "MainWindow.h"
#include "MotionScreenshots.h"
#include "PlacementScreenshots.h"
#include "Screenshots.h"
#include "StartUp.h"
#include "clsMemDC.h"

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    pvsm::ReuseCanvasMemory();
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: pvsm-screenshots OUTDIR [PROJECT.aps]\n");
        return 2;
    }
    const QString outDir = QDir(args[0]).absolutePath();
    const QString project =
        args.size() > 1 ? QDir(args[1]).absolutePath()
                        : QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Demo/demo.aps"));

    QTemporaryDir work;
    // Window geometry and recent files of the user's own editor stay untouched.
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, work.filePath(QStringLiteral("settings")));
    // A marker of an earlier run: the first-run help does not cover the window.
    QDir().mkpath(work.filePath(QStringLiteral("w")));

    pvsm::ui::GuiPrompter prompter;
    pvsm::AppCore::Options options;
    options.exeDir = QCoreApplication::applicationDirPath();
    options.workspace = pvsm::Workspace(QCoreApplication::applicationDirPath(), work.filePath(QStringLiteral("w")));
    options.uiFont = QApplication::font().family();
    options.display = pvsm::probeDisplay();
    auto core = pvsm::AppCore::start(options, prompter);
    if (!core) return 1;
    core->firstActivation(); // counted as done: no help window over the shots

    int written = 0;
    for (const QSize size : {QSize(1366, 768), QSize(1920, 1080)}) {
        pvsm::ui::MainWindow window(*core, prompter);
        prompter.setParent(&window);
        // Opened once: opening again would first save the open file over itself.
        if (core->session().currentPath().isEmpty()) window.openProject(project);
        written += pvsm::ui::saveMainWindowScreenshots(window, outDir, size);
        written += pvsm::ui::savePlacementScreenshots(window, outDir);
        written += pvsm::ui::saveMotionScreenshots(window, outDir);
        written += pvsm::ui::saveMusicScreenshots(window, outDir, work.filePath(QStringLiteral("songs")));
        if (size.width() == 1366) written += pvsm::ui::savePreviewScreenshots(window, outDir);
        prompter.setParent(nullptr);
        window.hide();
    }
    // The windows of a build at their own sizes, over no main window.
    pvsm::ui::saveJobDialogScreenshots(outDir);
    std::printf("%d screenshots of the main window and the build's windows in %s\n", written, qPrintable(outDir));
    return written > 0 ? 0 : 1;
}
