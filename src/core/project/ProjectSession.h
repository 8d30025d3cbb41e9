#pragma once

#include "Project.h"
#include "FileCheck.h"
#include "ProjectFile.h"
#include "Prompter.h"
#include "Workspace.h"

#include <functional>

namespace pvsm {

// The two-picture rule's message, shown by every command that makes a show.
QString twoPicturesText();

// The one open project with its file: Save, Open, New and the automatic save,
// talking to the user only through the prompter. One session per window (or
// per CLI command); not thread-safe.
class ProjectSession
{
public:
    ProjectSession(Workspace workspace, ProjectEnvironment env, Prompter &prompter);

    Project &project() { return m_project; }
    const Project &project() const { return m_project; }
    const Workspace &workspace() const { return m_workspace; }
    const ProjectEnvironment &environment() const { return m_env; }
    void setEnvironment(const ProjectEnvironment &env) { m_env = env; }

    // Empty for a project never saved or opened.
    const QString &currentPath() const { return m_currentPath; }
    bool hasCurrentFile() const { return m_currentPath.size() > 7; }
    // Told every time the current file changes (the running-session marker records it).
    void setCurrentPathListener(std::function<void(const QString &)> listener);

    // True when the project holds changes its file has not: after a restore
    // from the automatic save, until it is saved or another project replaces it.
    // The window adds its own edits to this.
    bool modified() const { return m_modified; }

    // Set while a build or export runs: New, Open, close and the automatic save do nothing.
    bool busy() const { return m_busy; }
    void setBusy(bool busy) { m_busy = busy; }

    // Set while a project is being loaded; change handlers of a view ignore changes then.
    bool loading() const { return m_loading; }

    WriteContext &writeContext() { return m_context; }
    void setSongLengthProbe(SongLengthProbe probe) { m_probe = std::move(probe); }

    // At least two pictures, else the message; true when the rule is met.
    bool checkTwoPictures();
    // The question asked before New, Open and exit.
    static QString savePromptText();
    // The message for a project file that cannot be opened; `problem` is what
    // the file system told, None when the file is readable but no project.
    static QString cannotOpenText(const QString &fileName, FileProblem problem);

    // The Save command. `chosenPath` skips the dialog when not empty (scripts).
    // Returns true when the project was written.
    bool save(const QString &chosenPath = {});
    // The save of the editor's save button: a project that has a file is
    // written to it without a question (temporary file, then rename, so a
    // failure keeps the old file whole and is shown); one without a file goes
    // through save(). True when the project was written.
    bool saveToCurrent();
    // The Open command. `chosenPath` skips the dialog when not empty.
    // Returns true when a project was read. A file that is not a project
    // (damaged, foreign, unreadable) is refused with cannotOpenText() and the
    // open project, its file name included, stays as it was.
    bool open(const QString &chosenPath = {});
    // The New command.
    void newProject();
    // One tick of the 500 ms timer; returns true when it saved AutoSave.aps.
    bool autoSaveTick();
    // While held, the automatic save is not written: AutoSave.aps holds a
    // dead session's work that the user has not yet restored or declined.
    void holdAutoSave(bool held) { m_autoSaveHeld = held; }
    bool autoSaveHeld() const { return m_autoSaveHeld; }
    // Loads AutoSave.aps as the project, keeping `originalPath` (the file the
    // work belongs to; may be empty) as the current file so that Save goes
    // there; the project counts as modified. False, and the project
    // unchanged, when the automatic save cannot be read.
    bool restoreAutoSave(const QString &originalPath);
    // What the last tick did: nothing due, saved, or a save that failed (the
    // count restarts either way, so a failing disk is tried every 30 s, not
    // at every tick).
    enum class AutoSave { NotDue, Saved, Failed };
    AutoSave lastAutoSave() const { return m_lastAutoSave; }

    // Drops pictures, songs and lyric files whose files are gone, telling the user once.
    void removeMissingFiles();

    // Writes the whole project to `path` (temporary file, then rename); on
    // failure the old file is whole and lastWriteProblem() says why.
    bool writeProjectFile(const QString &path);
    // Why the last writeProjectFile(`path`) failed, as far as can be told.
    FileProblem lastWriteProblem(const QString &path) const;

    // Closing: may cancel (returns false). Saves the current file and Pvsm.ini as the rules say.
    bool queryClose();
    // Reads Pvsm.ini in settings-only mode; false when absent or not a bag.
    bool loadLastRunSettings();

private:
    bool readProjectFile(const QString &path);
    // Reads `bag`, loaded from `path`, as the project (clearing the old one).
    void applyProjectBag(const QString &path, const PropertyBag &bag);
    // The silent save of the current file before Open, New and exit. True
    // when it worked, there is no current file, or the user chose to go on
    // after it failed.
    bool saveCurrentBeforeLeaving();
    void clearProjectLists();
    void setCurrentPath(const QString &path);

    Workspace m_workspace;
    ProjectEnvironment m_env;
    Prompter &m_prompter;
    Project m_project;
    WriteContext m_context;
    SongLengthProbe m_probe;
    QString m_currentPath;
    bool m_busy = false;
    bool m_loading = false;
    bool m_modified = false;
    bool m_autoSaveHeld = false;
    std::function<void(const QString &)> m_currentPathListener;
    int m_autoSaveTicks = 0;
    AutoSave m_lastAutoSave = AutoSave::NotDue;
    FileProblem m_lastWriteProblem = FileProblem::None;
};

} // namespace pvsm
