#pragma once

#include "Display.h"
#include "ProjectSession.h"
#include "Prompter.h"
#include "Workspace.h"

#include <memory>

namespace pvsm {

// The editor's life from start to exit, without any window: the single-instance
// rule, the working folders, the project with its defaults and the last run's
// settings. The GUI creates one at start and calls `close` when the window closes.
class AppCore
{
public:
    struct Options
    {
        QString exeDir;          // folder of the executable
        Workspace workspace;     // used instead of exeDir when its workDir is set (tests)
        QString uiFont;          // the user-interface font name
        DisplayFacts display;    // screen of the editing machine
    };

    // Runs the start-up sequence. Returns null when another instance owns the
    // work folder: the caller ends at once, without a window.
    static std::unique_ptr<AppCore> start(const Options &options, Prompter &prompter);
    ~AppCore();

    ProjectSession &session() { return *m_session; }
    const Workspace &workspace() const { return m_workspace; }
    const QString &defaultTextFont() const { return m_env.defaultFont; }
    const DisplayFacts &display() const { return m_display; }
    bool lastRunSettingsLoaded() const { return m_lastRunLoaded; }

    // The first activation of the window: the first-run check. Returns true when
    // this is a first run and the help should be opened; warns through the
    // prompter when the marker cannot be written.
    bool firstActivation();

    // The screen changed size (the window's timer notices it).
    void setScreenSize(QSize screen);

    // Closing the window: false when the close is cancelled. Otherwise the
    // project and Pvsm.ini are saved as the rules say and Temp/ is emptied.
    bool close();

private:
    AppCore(Workspace workspace, Prompter &prompter);

    Workspace m_workspace;
    Prompter &m_prompter;
    std::unique_ptr<SingleInstance> m_instance;
    DisplayFacts m_display;
    ProjectEnvironment m_env;
    std::unique_ptr<ProjectSession> m_session;
    bool m_activated = false;
    bool m_lastRunLoaded = false;
    bool m_closed = false;
};

// Message shown on a first run when the marker cannot be created.
QString cannotCreateFilesMessage(const QString &folder);

} // namespace pvsm
