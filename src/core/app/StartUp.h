#pragma once

#include "Display.h"
#include "ProjectSession.h"
#include "Prompter.h"
#include "Recovery.h"
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

    // Crash recovery. The start finds out whether the last session died
    // leaving work in the automatic save that its file lacks; until the user
    // decides, the automatic save is held (not overwritten).
    bool recoveryOffered() const { return m_recoveryPending; }
    const RecoveryFacts &recoveryFacts() const { return m_recovery; }
    // Restore: the automatic save becomes the project, with the last session's
    // file as the current file. When it cannot be read it is kept aside as
    // declineRecovery() does, `*keptCopy` names the copy, and false is returned.
    bool restoreRecovery(QString *keptCopy = nullptr);
    // Decline: the automatic save is kept under a dated name in Project/;
    // returns that path (empty when it could not be moved, and then it stays
    // where it is, held for this session).
    QString declineRecovery();

    // The screen changed size (the window's timer notices it).
    void setScreenSize(QSize screen);

    // Closing the window: false when the close is cancelled. Otherwise the
    // project and Pvsm.ini are saved as the rules say, Temp/ is emptied and
    // the session counts as ended normally.
    bool close();

private:
    AppCore(Workspace workspace, Prompter &prompter);

    Workspace m_workspace;
    Prompter &m_prompter;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<SessionMarker> m_marker;
    RecoveryFacts m_recovery;
    bool m_recoveryPending = false;
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
