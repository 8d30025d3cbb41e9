#include "AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pvsm {

namespace {

// umask() can only be read by setting it, which races with other threads
// creating files; the kernel reports it in /proc instead.
mode_t processUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        while (!status.atEnd()) {
            const QByteArray line = status.readLine();
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint v = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok) return mode_t(v & 0777);
            }
        }
    }
    return 022;
}

QString resolveLinks(const QString &path)
{
    QFileInfo info(path);
    if (!info.isSymLink()) return info.absoluteFilePath();
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty()) return canonical;
    return info.symLinkTarget(); // a dangling link: create what it points to
}

// Makes the rename durable: without it a crash right after the save can bring
// back the old directory entry, or none.
void syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

AtomicFileWriter::AtomicFileWriter(const QString &targetPath) : m_target(resolveLinks(targetPath)) {}

AtomicFileWriter::~AtomicFileWriter()
{
    if (!m_committed) discard();
}

void AtomicFileWriter::fail(int error, FileProblem problem)
{
    if (m_failed) return;
    m_failed = true;
    m_errno = error ? error : EIO;
    m_problem = problem;
}

bool AtomicFileWriter::open()
{
    if (m_fd >= 0 || failed() || m_committed) return !failed() && m_fd >= 0;
    const QFileInfo target(m_target);
    struct stat st{};
    const QByteArray targetName = QFile::encodeName(m_target);
    mode_t mode = 0666 & ~processUmask();
    if (::stat(targetName.constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL,
                 S_ISDIR(st.st_mode) ? FileProblem::Folder : FileProblem::NotRegular);
            return false;
        }
        mode = st.st_mode & 07777;
    }
    // The temporary file lies beside the target, so the rename stays inside one
    // file system and cannot fail half-way.
    m_tempName = QFile::encodeName(target.absolutePath() + QLatin1String("/.") + target.fileName()
                                   + QLatin1String(".XXXXXX"));
    m_fd = ::mkostemp(m_tempName.data(), O_CLOEXEC);
    if (m_fd < 0) {
        const int e = errno;
        // The temporary file is made in the folder: a refusal is the folder's.
        fail(e, (e == EACCES || e == EPERM) ? FileProblem::ReadOnlyFolder : writeProblemFromErrno(e));
        m_tempName.clear();
        return false;
    }
    // A refusal is not fatal: the file is written, only its permissions differ.
    (void)::fchmod(m_fd, mode);
    return true;
}

QString AtomicFileWriter::temporaryPath() const
{
    return QFile::decodeName(m_tempName);
}

bool AtomicFileWriter::write(QByteArrayView bytes)
{
    if (failed() || m_fd < 0 || m_committed) return false;
    const char *p = bytes.data();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t put = ::write(m_fd, p, size_t(std::min<qint64>(left, 1 << 30)));
        if (put < 0) {
            if (errno == EINTR) continue;
            fail(errno, writeProblemFromErrno(errno));
            return false;
        }
        if (put == 0) {
            fail(ENOSPC, FileProblem::DiskFull);
            return false;
        }
        p += put;
        left -= put;
        m_written += put;
    }
    return true;
}

bool AtomicFileWriter::commit()
{
    if (m_committed) return true;
    if (failed() || m_fd < 0) {
        discard();
        return false;
    }
    // Delayed allocation means a full disk may only show at fsync or close.
    if (::fsync(m_fd) != 0 && errno != EINVAL && errno != EROFS) fail(errno, writeProblemFromErrno(errno));
    if (::close(m_fd) != 0 && !failed()) fail(errno, writeProblemFromErrno(errno));
    m_fd = -1;
    if (failed()) {
        discard();
        return false;
    }
    const QByteArray targetName = QFile::encodeName(m_target);
    if (::rename(m_tempName.constData(), targetName.constData()) != 0) {
        const int e = errno;
        fail(e, (e == EACCES || e == EPERM) ? FileProblem::ReadOnlyFolder : writeProblemFromErrno(e));
        discard();
        return false;
    }
    m_tempName.clear();
    m_committed = true;
    syncFolder(QFile::encodeName(QFileInfo(m_target).absolutePath()));
    return true;
}

void AtomicFileWriter::discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_tempName.isEmpty()) {
        ::unlink(m_tempName.constData());
        m_tempName.clear();
    }
}

bool WriteFileAtomically(const QString &path, QByteArrayView bytes, FileProblem *problem)
{
    AtomicFileWriter writer(path);
    const bool ok = writer.open() && writer.write(bytes) && writer.commit();
    if (problem) *problem = writer.problem();
    return ok;
}

} // namespace pvsm
