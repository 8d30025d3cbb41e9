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
    QString programFile(const QString &name) const; // a shipped file, found case-insensitively

    // True when `path` names the automatic-save file, whatever the letter case.
    bool isAutoSavePath(const QString &path) const;

    // Creates Project/ (when missing) and creates or empties Temp/.
    bool prepare() const;
    bool ensureProjectDir() const;
    bool ensureOutputDir() const;
    // Deletes everything inside Temp/; the folder itself stays.
    void emptyTemp() const;

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

// Text of the first-run marker.
inline constexpr const char *kFirstRunMarkerText = "plehwohs";

} // namespace pvsm
