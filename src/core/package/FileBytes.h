#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QFile;

namespace pvsm {

// Large transfers go in pieces so that the caller can keep a window or a
// progress bar alive between them.
inline constexpr qint64 kReadPieceSize = 0xC00000;  // 12 MiB
inline constexpr qint64 kWritePieceSize = 0x200000; // 2 MiB

// Reads `count` bytes (-1: to the end) from `offset` into `bytes`, resizing it.
// Uses `handle` when given, else opens and closes `path`. A missing or empty
// file reads nothing, and so does a path that is no regular file (it is not
// opened). Returns the number of bytes read; `bytes` holds exactly those.
qint64 ReadFileBytes(QByteArray &bytes, const QString &path, qint64 offset, qint64 count,
                     QFile *handle = nullptr, const std::function<void()> &yield = {});

// Writes all of `bytes` at `offset`, creating the file when missing and never
// truncating it. Returns false when the file could not be opened or written.
bool WriteFileBytes(const QByteArray &bytes, const QString &path, qint64 offset, QFile *handle = nullptr,
                    const std::function<void()> &yield = {});

} // namespace pvsm
