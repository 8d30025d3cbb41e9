#include "FileBytes.h"

#include "FileCheck.h"

#include <QFile>

namespace pvsm {

qint64 ReadFileBytes(QByteArray &bytes, const QString &path, qint64 offset, qint64 count, QFile *handle,
                     const std::function<void()> &yield)
{
    QFile own(path);
    QFile *file = handle;
    if (!file) {
        // A FIFO or a device would block the open or never end.
        if (readProblem(path) != FileProblem::None || !own.open(QIODevice::ReadOnly)) {
            bytes.clear();
            return 0;
        }
        file = &own;
    }
    const qint64 size = file->size();
    if (offset < 0 || offset >= size) {
        bytes.clear();
        return 0;
    }
    const qint64 available = size - offset;
    const qint64 want = (count < 0 || count > available) ? available : count;
    if (!file->seek(offset)) {
        bytes.clear();
        return 0;
    }
    bytes.resize(want);
    qint64 done = 0;
    while (done < want) {
        const qint64 piece = std::min(kReadPieceSize, want - done);
        const qint64 got = file->read(bytes.data() + done, piece);
        if (got <= 0) break;
        done += got;
        if (done < want && yield) yield();
    }
    bytes.resize(done);
    return done;
}

bool WriteFileBytes(const QByteArray &bytes, const QString &path, qint64 offset, QFile *handle,
                    const std::function<void()> &yield)
{
    QFile own(path);
    QFile *file = handle;
    if (!file) {
        // ReadWrite creates a missing file and, unlike WriteOnly, never truncates.
        if (!own.open(QIODevice::ReadWrite)) return false;
        file = &own;
    }
    if (offset < 0 || !file->seek(offset)) return false;
    qint64 done = 0;
    const qint64 total = bytes.size();
    while (done < total) {
        const qint64 piece = std::min(kWritePieceSize, total - done);
        const qint64 put = file->write(bytes.constData() + done, piece);
        if (put <= 0) return false;
        done += put;
        if (done < total && yield) yield();
    }
    return file->flush();
}

} // namespace pvsm
