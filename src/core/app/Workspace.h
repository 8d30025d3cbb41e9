#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace pvsm {

// Where the program's files live. The program folder holds what ships with the
// program (player, packages, silent segments); the work folder holds what the
// program writes: Project/, Temp/, Output/, Pvsm.ini and the first-run marker.
// Both are the same folder for a copy of the program the user can write to; an
// installed, read-only copy keeps its work folder in the user's XDG data folder.
class Workspace
{
public:
    Workspace() = default;
    Workspace(QString programDir, QString workDir);

    // Decides both folders for the executable in `exeDir`.
    static Workspace forExecutable(const QString &exeDir);
    // The per-user work folder used when the program folder is read-only.
    static QString xdgWorkDir();

    const QString &programDir() const { return m_programDir; }
    const QString &workDir() const { return m_workDir; }

    QString projectDir() const;   // Project/
    QString tempDir() const;      // Temp/
    QString outputDir() const;    // Output/
    QString iniPath() const;      // Pvsm.ini
    QString firstRunMarkerPath() const; // plehwohs.ini
    QString autoSavePath() const; // Project/AutoSave.aps
    QString tempIconPath() const;   // Temp/tempicon.ico: the chooser's current image
    QString chosenIconPath() const; // Temp/icofinal.ico: the icon the builders apply
    // Drops the chosen slideshow icon (clearing the project, clearing all pictures).
    void dropChosenIcon() const;
    QString programFile(const QString &name) const; // a shipped file, found case-insensitively

    // True when `path` names the automatic-save file, whatever the letter case.
    bool isAutoSavePath(const QString &path) const;

    // Creates Project/ (when missing) and creates or empties Temp/.
    bool prepare() const;
    bool ensureProjectDir() const;
    bool ensureOutputDir() const;
    // Deletes everything inside Temp/ but the folders of jobs that are still
    // running (in this or another process); the folder itself stays.
    void emptyTemp() const;
    // Deletes the job folders in Temp/ whose job is no longer running: left
    // behind by a process that was killed or crashed.
    void removeStaleJobFolders() const;

    struct FirstRun
    {
        bool isFirstRun = false;     // neither the marker nor Pvsm.ini existed
        bool markerCreated = false;  // the marker could be written
    };
    // Creates the marker on a first run. A read-only work folder makes every
    // start a first run whose marker cannot be created.
    FirstRun checkFirstRun() const;

private:
    QString m_programDir;
    QString m_workDir;
};

// Keeps a second copy of the editor from running on the same work folder.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &workDir);
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // False when another live process holds the lock. A folder where no lock
    // can be written counts as free.
    bool acquire();

private:
    std::unique_ptr<QLockFile> m_lock;
};

// The scratch folder of one job (an export, a build) inside Temp/: every job
// has its own, so any number of jobs, in one process or in several, can run
// side by side on one work folder without touching each other's files.
//
// The folder holds a lock file, naming the process in its text, that the job
// keeps locked (flock) while it runs. The kernel drops the lock when the process ends however it ends, so a
// folder whose lock can be taken belongs to no running job: that is how
// emptyTemp() and removeStaleJobFolders() tell a live job's folder from one
// left by a killed run. Creating a job folder first removes such stale ones.
//
// The destructor deletes the folder with everything in it and releases the
// lock. Not copyable; movable.
class JobFolder
{
public:
    JobFolder() = default;
    // Creates Temp/job-XXXXXX (Temp/ too when missing). isValid() is false
    // when no folder could be made there.
    explicit JobFolder(const Workspace &workspace);
    ~JobFolder();
    JobFolder(JobFolder &&other) noexcept;
    JobFolder &operator=(JobFolder &&other) noexcept;
    JobFolder(const JobFolder &) = delete;
    JobFolder &operator=(const JobFolder &) = delete;

    bool isValid() const { return m_fd >= 0; }
    // The folder with a trailing slash; empty when not valid.
    const QString &path() const { return m_path; }
    QString filePath(const QString &name) const { return m_path + name; }

    // Deletes the folder now (the destructor then has nothing left to do).
    void remove();

    // True when `folder` is a job folder whose job still runs. Changes
    // nothing in the folder.
    static bool isLive(const QString &folder);

private:
    QString m_path;
    int m_fd = -1; // the locked lock file
};

// The editor's running-session marker, `.pvsm.session` in the work folder:
// it says which project the running editor has open, and the editor keeps it
// locked (flock) while it runs. A normal end removes it. One that is there with
// no one holding its lock was left by an editor that was killed or crashed,
// which is how the next start knows that the last session did not end
// normally and which file the user was working on.
class SessionMarker
{
public:
    // What the marker said before this process took it.
    struct Previous
    {
        bool died = false;     // left by a session that did not end normally
        bool live = false;     // another running process holds it
        QString projectPath;   // that session's current file; empty when none
    };

    // Reads what the last session left and takes the marker for this one.
    // A folder where no marker can be made leaves isHeld() false.
    explicit SessionMarker(const QString &workDir);
    // Without release() the marker stays: the end was not a normal one.
    ~SessionMarker();
    SessionMarker(const SessionMarker &) = delete;
    SessionMarker &operator=(const SessionMarker &) = delete;

    bool isHeld() const { return m_fd >= 0; }
    const Previous &previous() const { return m_previous; }
    const QString &path() const { return m_path; }

    // Records the current file of this session; false when it could not be written.
    bool setProjectPath(const QString &projectPath);
    // The normal end: the marker goes.
    void release();

    // The marker's text for a session of process `pid` with `projectPath`
    // open, and the reverse; parse() returns false for a text that is not a marker.
    static QByteArray format(qint64 pid, const QString &projectPath);
    static bool parse(const QByteArray &text, QString *projectPath);

private:
    QString m_path;
    int m_fd = -1;
    Previous m_previous;
};

// Text of the first-run marker.
inline constexpr const char *kFirstRunMarkerText = "plehwohs";

} // namespace pvsm
