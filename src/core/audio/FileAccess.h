#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

namespace pvsm {

// File access of the audio classes. Every position and length is a signed
// 32-bit number: files above kMaxAudioFileBytes cannot be opened for reading,
// and writes and seeks that would pass that limit fail. The joiner checks the
// limit before it starts (clsWavConcatenate), so a soundtrack never meets it
// half-way.
inline constexpr int64_t kMaxAudioFileBytes = 0x7FFFFFFF;

enum class FileMode {
    Read,      // must exist
    Write,     // created or truncated ("always new")
    ReadWrite, // created or truncated
};

enum FileSeekMethod : int32_t { FileBegin = 0, FileCurrent = 1, FileEnd = 2 };

// An open file, or a byte array read as if it were one (for parsers under
// test and fuzzing). Move-only; closes on destruction.
class FileHandle
{
public:
    FileHandle() = default;
    ~FileHandle();
    FileHandle(FileHandle &&other) noexcept;
    FileHandle &operator=(FileHandle &&other) noexcept;
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;

    // −1 when closed; a memory file has a handle of 0.
    int Handle = -1;
    // The name it was opened with; emptied on close.
    QString Path;

    bool isOpen() const { return Handle != -1; }

private:
    friend FileHandle FileOpenMemory(const QByteArray &bytes, const QString &name);
    friend int32_t FileRead(FileHandle &, void *, int32_t);
    friend int32_t FileWrite(FileHandle &, const void *, int32_t);
    friend int32_t FileSeek(FileHandle &, int32_t, int32_t);
    friend int32_t FileLength(const FileHandle &);
    friend void FileClose(FileHandle &);
    std::shared_ptr<const QByteArray> m_memory;
    int64_t m_memoryPos = 0;
};

// True when `path` names a regular file that can be opened for reading
// (told without opening it).
bool FileExists(const QString &path);
// A closed record (Handle −1) on failure. Reading refuses files larger than
// kMaxAudioFileBytes. Only regular files are opened (a missing one is created
// by the writing modes): a FIFO or a device is refused before the open, which
// would wait for the FIFO's other end.
FileHandle FileOpen(const QString &path, FileMode mode);
// A read-only handle over `bytes` (no file is touched).
FileHandle FileOpenMemory(const QByteArray &bytes, const QString &name = QStringLiteral("memory"));
void FileClose(FileHandle &record);
// Bytes read (0 for a closed record or at the end), −1 on a failed read.
int32_t FileRead(FileHandle &record, void *buffer, int32_t count);
// Bytes written (0 for a closed record), −1 on failure or when the write
// would pass kMaxAudioFileBytes (then nothing is written).
int32_t FileWrite(FileHandle &record, const void *buffer, int32_t count);
// The new position, or −1 (position unchanged) for a closed record or a
// target outside 0..kMaxAudioFileBytes.
int32_t FileSeek(FileHandle &record, int32_t distance, int32_t method);
int32_t FilePosition(FileHandle &record);
// 0 for a closed record.
int32_t FileLength(const FileHandle &record);
bool FileAtEnd(FileHandle &record);

// Reads up to `count` bytes at `offset` without disturbing the caller's idea
// of the position (it is restored). Returns the bytes read.
int32_t FileReadAt(FileHandle &record, int32_t offset, void *buffer, int32_t count);

} // namespace pvsm
