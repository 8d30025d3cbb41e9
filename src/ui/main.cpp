#include "BuildFlow.h"
#include "ShowPreview.h"
#include "SlideshowBuildJob.h"
#include "Display.h"
#include "GuiPrompter.h"
#include "EditorContext.h"
#include "MainWindow.h"
#include "RecoveryPrompt.h"
#include "Resources.h"
#include "SettingsCommands.h"
#include "StartUp.h"
#include "Version.h"
#include "clsMemDC.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char **argv)
{
    pvsm::ReuseCanvasMemory();
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("pvsm"));
    app.setOrganizationName(QStringLiteral("pvsm")); // QSettings: ~/.config/pvsm/pvsm.conf
    app.setApplicationDisplayName(pvsm::productName());
    // The window is Chinese whatever the system's language, so Qt's own
    // dialogs and buttons (file dialogs, colour chooser, context menus) are too.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTexts);

    pvsm::ui::GuiPrompter prompter;
    pvsm::AppCore::Options options;
    options.exeDir = QCoreApplication::applicationDirPath();
    options.uiFont = QApplication::font().family();
    options.display = pvsm::probeDisplay();
    auto core = pvsm::AppCore::start(options, prompter);
    if (!core) return 0; // another copy is running: end quietly
    pvsm::LoadTextTexture(core->workspace());

    pvsm::ui::MainWindow window(*core, prompter);
    prompter.setParent(&window);
    QObject::connect(&window, &pvsm::ui::MainWindow::buildRequested, &window, [&] {
        // The build dialog and the finish window store their choices (the
        // kind of build, opening the folder) in the project: one undo step.
        pvsm::Settings &settings = core->session().project().settings;
        const pvsm::Settings before = settings;
        pvsm::ui::runBuildFlow(&window, core->session(), prompter);
        const pvsm::Settings after = settings;
        if (after == before) return;
        settings = before;
        window.context().push(
            new pvsm::ui::SettingsCommand(window.context(), QStringLiteral("修改创建选项"), before, after));
    });
    QObject::connect(&window, &pvsm::ui::MainWindow::previewRequested, &window,
                     [&] { pvsm::ui::runShowPreview(core->session(), prompter); });
    const QStringList args = app.arguments().mid(1);
    window.show();
    // A session that died leaves its autosave held until the user decides;
    // a restored project is what they were working on, so the file named on
    // the command line waits for another start.
    if (pvsm::ui::offerRecoveryAtStart(&window, *core)) {
        window.context().restoreFrame(true);
        window.context().notifyProjectChanged();
    }
    else if (!args.isEmpty())
        window.openProject(args.first());
    return app.exec();
}
