#include "Workspace.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pvsm {

namespace {

// Names of files that only a program folder holding the shipped data contains.
constexpr const char *kShippedData[] = {"Sec5.wav", "gmi.src", "Pvsm.bfq"};

QString withSlash(QString dir)
{
    if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
    return dir;
}

bool holdsShippedData(const QString &dir)
{
    for (const char *name : kShippedData)
        if (QFileInfo::exists(QDir(dir).filePath(QString::fromLatin1(name)))) return true;
    return false;
}

constexpr const char *kJobPrefix = "job-";
constexpr const char *kJobLock = ".job.lock";

bool isJobFolderName(const QString &name)
{
    return name.startsWith(QLatin1String(kJobPrefix));
}

// Opens (creating it when missing and `create` is set) and locks the lock
// file `lock`. The descriptor, or -1 when another open description holds the
// lock or the file (or, without `create`, the file) is gone. `*busy` tells the
// first case.
int lockFileAt(const QString &lockPath, bool create, bool *busy = nullptr)
{
    if (busy) *busy = false;
    const QByteArray lock = QFile::encodeName(lockPath);
    const int fd = ::open(lock.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), 0600);
    if (fd < 0) return -1;
    int r = ::flock(fd, LOCK_EX | LOCK_NB);
    while (r != 0 && errno == EINTR) r = ::flock(fd, LOCK_EX | LOCK_NB);
    if (r != 0) {
        if (busy) *busy = errno == EWOULDBLOCK;
        ::close(fd);
        return -1;
    }
    // Another process may have removed the file between our open and our
    // lock: the lock must be on the file that is still there.
    struct stat held = {};
    struct stat there = {};
    if (::fstat(fd, &held) != 0 || ::stat(lock.constData(), &there) != 0 || held.st_ino != there.st_ino
        || held.st_dev != there.st_dev) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int lockJobFolder(const QString &folder, bool create = true)
{
    return lockFileAt(QDir(folder).filePath(QString::fromLatin1(kJobLock)), create);
}

// Removes `folder` when no running job holds it; true when it was removed.
bool removeIfStale(const QString &folder)
{
    const int fd = lockJobFolder(folder);
    if (fd < 0) return false;
    // Holding the lock keeps a job that is being created from taking the
    // folder while it goes.
    const bool removed = QDir(folder).removeRecursively();
    ::close(fd);
    return removed;
}

// QFileInfo::isWritable only reads permission bits; root, ACLs and read-only
// mounts disagree with them, so try to create a file.
bool canCreateFilesIn(const QString &dir)
{
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".pvsm-write-probe-XXXXXX")));
    return probe.open();
}

} // namespace

Workspace::Workspace(QString programDir, QString workDir)
    : m_programDir(withSlash(QDir::cleanPath(programDir)))
    , m_workDir(withSlash(QDir::cleanPath(workDir)))
{
}

QString Workspace::xdgWorkDir()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/pvsm");
}

Workspace Workspace::forExecutable(const QString &exeDir)
{
    QString programDir = exeDir;
    if (!holdsShippedData(exeDir)) {
        // An installed copy keeps its data in ../share/pvsm.
        const QString shared = QDir(exeDir).filePath(QStringLiteral("../share/pvsm"));
        if (holdsShippedData(shared)) programDir = shared;
    }
    QString workDir = programDir;
    if (!canCreateFilesIn(programDir)) {
        workDir = xdgWorkDir();
        QDir().mkpath(workDir);
    }
    return Workspace(programDir, workDir);
}

QString Workspace::projectDir() const { return m_workDir + QStringLiteral("Project/"); }
QString Workspace::tempDir() const { return m_workDir + QStringLiteral("Temp/"); }
QString Workspace::outputDir() const { return m_workDir + QStringLiteral("Output/"); }
QString Workspace::iniPath() const { return m_workDir + QStringLiteral("Pvsm.ini"); }
QString Workspace::firstRunMarkerPath() const { return m_workDir + QStringLiteral("plehwohs.ini"); }
QString Workspace::autoSavePath() const { return projectDir() + QStringLiteral("AutoSave.aps"); }
QString Workspace::tempIconPath() const { return tempDir() + QStringLiteral("tempicon.ico"); }
QString Workspace::chosenIconPath() const { return tempDir() + QStringLiteral("icofinal.ico"); }
void Workspace::dropChosenIcon() const
{
    if (!m_workDir.isEmpty()) QFile::remove(chosenIconPath());
}

QString Workspace::programFile(const QString &name) const
{
    const QString exact = m_programDir + name;
    if (QFileInfo::exists(exact)) return exact;
    const QDir dir(m_programDir);
    for (const QString &entry : dir.entryList(QDir::Files))
        if (entry.compare(name, Qt::CaseInsensitive) == 0) return m_programDir + entry;
    return exact;
}

bool Workspace::isAutoSavePath(const QString &path) const
{
    const QString a = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString b = QDir::cleanPath(autoSavePath());
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool Workspace::ensureProjectDir() const { return QDir().mkpath(projectDir()); }
bool Workspace::ensureOutputDir() const { return QDir().mkpath(outputDir()); }

bool Workspace::prepare() const
{
    bool ok = ensureProjectDir();
    if (QFileInfo::exists(tempDir()))
        emptyTemp();
    else
        ok = QDir().mkpath(tempDir()) && ok;
    return ok;
}

void Workspace::emptyTemp() const
{
    QDir temp(tempDir());
    if (!temp.exists()) return;
    const auto entries = temp.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir() && !entry.isSymLink()) {
            if (isJobFolderName(entry.fileName())) removeIfStale(entry.absoluteFilePath());
            else QDir(entry.absoluteFilePath()).removeRecursively();
        } else {
            QFile::remove(entry.absoluteFilePath());
        }
    }
}

void Workspace::removeStaleJobFolders() const
{
    const QDir temp(tempDir());
    if (!temp.exists()) return;
    const auto entries = temp.entryInfoList({QString::fromLatin1(kJobPrefix) + QLatin1Char('*')},
                                            QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries)
        if (!entry.isSymLink()) removeIfStale(entry.absoluteFilePath());
}

JobFolder::JobFolder(const Workspace &workspace)
{
    QDir().mkpath(workspace.tempDir());
    workspace.removeStaleJobFolders();
    // A sweep by another process may take a folder between its creation and
    // its lock; a fresh one is made then.
    for (int attempt = 0; attempt < 8 && m_fd < 0; ++attempt) {
        QByteArray pattern = QFile::encodeName(workspace.tempDir() + QString::fromLatin1(kJobPrefix)) + "XXXXXX";
        if (!::mkdtemp(pattern.data())) return;
        const QString folder = QFile::decodeName(pattern);
        m_fd = lockJobFolder(folder);
        if (m_fd < 0) continue;
        m_path = folder + QLatin1Char('/');
        // For people (and tests) looking at Temp/: whose folder this is.
        const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
        if (::write(m_fd, pid.constData(), size_t(pid.size())) != pid.size()) {
            // The lock is what counts; a lock file without its note is fine.
        }
    }
}

JobFolder::~JobFolder()
{
    remove();
}

JobFolder::JobFolder(JobFolder &&other) noexcept
    : m_path(std::move(other.m_path))
    , m_fd(other.m_fd)
{
    other.m_path.clear();
    other.m_fd = -1;
}

JobFolder &JobFolder::operator=(JobFolder &&other) noexcept
{
    if (this != &other) {
        remove();
        m_path = std::move(other.m_path);
        m_fd = other.m_fd;
        other.m_path.clear();
        other.m_fd = -1;
    }
    return *this;
}

void JobFolder::remove()
{
    if (m_fd < 0) return;
    QDir(m_path).removeRecursively();
    ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

bool JobFolder::isLive(const QString &folder)
{
    // Only looks: a lock file made here could keep a job that is removing its
    // folder from removing all of it.
    const QString lock = QDir(folder).filePath(QString::fromLatin1(kJobLock));
    if (!QFileInfo(lock).isFile()) return false;
    const int fd = lockJobFolder(folder, false);
    if (fd < 0) return QFileInfo::exists(lock);
    ::close(fd);
    return false;
}

Workspace::FirstRun Workspace::checkFirstRun() const
{
    FirstRun result;
    if (QFileInfo::exists(firstRunMarkerPath()) || QFileInfo::exists(iniPath())) return result;
    result.isFirstRun = true;
    QFile marker(firstRunMarkerPath());
    if (marker.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        marker.write(kFirstRunMarkerText);
        marker.close();
    }
    result.markerCreated = QFileInfo::exists(firstRunMarkerPath());
    return result;
}

namespace {

constexpr const char kMarkerHeader[] = "pvsm session\n";
constexpr const char kMarkerProject[] = "project ";

// The whole of the file behind `fd`, read from its start.
QByteArray readAll(int fd)
{
    QByteArray text;
    char buffer[4096];
    off_t at = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, n);
        at += n;
        if (text.size() > 1 << 20) break; // not a marker of ours
    }
    return text;
}

bool writeWhole(int fd, const QByteArray &text)
{
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t n = ::pwrite(fd, text.constData() + done, size_t(text.size() - done), off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return ::ftruncate(fd, off_t(text.size())) == 0;
}

} // namespace

QByteArray SessionMarker::format(qint64 pid, const QString &projectPath)
{
    // The path comes last and runs to the end, so any byte a file name may
    // hold, a line feed too, comes back as it was.
    return QByteArray(kMarkerHeader) + "pid " + QByteArray::number(pid) + '\n' + kMarkerProject
           + QFile::encodeName(projectPath);
}

bool SessionMarker::parse(const QByteArray &text, QString *projectPath)
{
    if (!text.startsWith(kMarkerHeader)) return false;
    const qsizetype at = text.indexOf(QByteArray("\n") + kMarkerProject);
    if (at < 0) return false;
    if (projectPath) *projectPath = QFile::decodeName(text.mid(at + 1 + qsizetype(sizeof kMarkerProject) - 1));
    return true;
}

SessionMarker::SessionMarker(const QString &workDir)
    : m_path(QDir(workDir).filePath(QStringLiteral(".pvsm.session")))
{
    bool busy = false;
    m_fd = lockFileAt(m_path, true, &busy);
    if (m_fd < 0) {
        m_previous.live = busy;
        return;
    }
    // A marker that is there and free was left by a session that never
    // reached its normal end.
    const QByteArray left = readAll(m_fd);
    if (!left.isEmpty()) {
        m_previous.died = true;
        // A damaged text leaves the file unknown: then the autosave stands
        // for a project never saved.
        parse(left, &m_previous.projectPath);
    }
    setProjectPath({});
}

SessionMarker::~SessionMarker()
{
    if (m_fd >= 0) ::close(m_fd);
}

bool SessionMarker::setProjectPath(const QString &projectPath)
{
    if (m_fd < 0) return false;
    return writeWhole(m_fd, format(qint64(::getpid()), projectPath));
}

void SessionMarker::release()
{
    if (m_fd < 0) return;
    // Removed while still locked, so that no one takes it for a dead session's.
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
    m_fd = -1;
}

SingleInstance::SingleInstance(const QString &workDir)
    : m_lock(std::make_unique<QLockFile>(QDir(workDir).filePath(QStringLiteral(".pvsm.lock"))))
{
    m_lock->setStaleLockTime(0); // only a dead owner makes the lock stale
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire()
{
    if (m_lock->tryLock(0)) return true;
    // Only a lock held by a live process means another copy runs; a folder
    // where no lock can be written must not keep the program from starting.
    return m_lock->error() != QLockFile::LockFailedError;
}

} // namespace pvsm
