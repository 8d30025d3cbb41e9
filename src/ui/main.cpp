#include "Display.h"
#include "GuiPrompter.h"
#include "MainWindow.h"
#include "StartUp.h"
#include "Version.h"
#include "clsMemDC.h"

#include <QApplication>

int main(int argc, char **argv)
{
    pvsm::ReuseCanvasMemory();
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("pvsm"));
    app.setOrganizationName(QStringLiteral("pvsm")); // QSettings: ~/.config/pvsm/pvsm.conf
    app.setApplicationDisplayName(pvsm::productName());

    pvsm::ui::GuiPrompter prompter;
    pvsm::AppCore::Options options;
    options.exeDir = QCoreApplication::applicationDirPath();
    options.uiFont = QApplication::font().family();
    options.display = pvsm::probeDisplay();
    auto core = pvsm::AppCore::start(options, prompter);
    if (!core) return 0; // another copy is running: end quietly

    pvsm::ui::MainWindow window(*core, prompter);
    prompter.setParent(&window);
    const QStringList args = app.arguments().mid(1);
    if (!args.isEmpty()) window.openProject(args.first());
    window.show();
    return app.exec();
}
