#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "FileCheck.h"

namespace pvsm {

// Writes a file the user owns so that the old file stays whole until the new
// one is complete on disk: the bytes go to a temporary file beside the target,
// every write is checked, the data is synced, and only then is it renamed over
// the target. Unlike QSaveFile, which buffers and on some Qt versions does not
// report a flush that failed, nothing here is buffered: the first failed write
// makes the writer fail for good, and commit() refuses.
//
// A target that is a symbolic link is written through it (the link stays). An
// existing target keeps its permission bits; a new file gets 0666 less the
// process umask. Not thread-safe; one writer per target at a time.
class AtomicFileWriter
{
public:
    explicit AtomicFileWriter(const QString &targetPath);
    ~AtomicFileWriter(); // discards an uncommitted temporary file
    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;

    // Creates the temporary file. False (with problem()) when it cannot be made.
    bool open();
    // Appends bytes. False once any write has failed.
    bool write(QByteArrayView bytes);
    // Syncs, closes and renames the temporary file over the target. False, and
    // the target untouched, when anything failed before or during it.
    bool commit();
    // Removes the temporary file; the target stays as it was.
    void discard();

    bool failed() const { return m_failed; }
    // The cause, when the file system told one (None otherwise, also on success).
    FileProblem problem() const { return m_problem; }
    int errorNumber() const { return m_errno; }
    const QString &targetPath() const { return m_target; }
    // The file being written, until commit() or discard(); empty before open().
    // A caller may read it back to check it, or set its mode, before the rename.
    QString temporaryPath() const;
    qint64 bytesWritten() const { return m_written; }

private:
    void fail(int error, FileProblem problem);

    QString m_target;      // the path renamed onto (symbolic links resolved)
    QByteArray m_tempName; // local 8-bit name of the temporary file
    int m_fd = -1;
    qint64 m_written = 0;
    bool m_failed = false;
    FileProblem m_problem = FileProblem::None;
    int m_errno = 0;
    bool m_committed = false;
};

// Writes `bytes` as the whole content of `path` through an AtomicFileWriter.
// Returns false, with the cause in `problem` when known, and the old file (if
// any) unchanged when the file could not be written.
bool WriteFileAtomically(const QString &path, QByteArrayView bytes, FileProblem *problem = nullptr);

} // namespace pvsm
