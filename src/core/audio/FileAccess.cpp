#include "FileAccess.h"

#include "FileCheck.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pvsm {

FileHandle::~FileHandle()
{
    FileClose(*this);
}

FileHandle::FileHandle(FileHandle &&other) noexcept
    : Handle(other.Handle)
    , Path(std::move(other.Path))
    , m_memory(std::move(other.m_memory))
    , m_memoryPos(other.m_memoryPos)
{
    other.Handle = -1;
    other.Path.clear();
    other.m_memoryPos = 0;
}

FileHandle &FileHandle::operator=(FileHandle &&other) noexcept
{
    if (this != &other) {
        FileClose(*this);
        Handle = other.Handle;
        Path = std::move(other.Path);
        m_memory = std::move(other.m_memory);
        m_memoryPos = other.m_memoryPos;
        other.Handle = -1;
        other.Path.clear();
        other.m_memoryPos = 0;
    }
    return *this;
}

namespace {

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

} // namespace

bool FileExists(const QString &path)
{
    return readProblem(path) == FileProblem::None;
}

FileHandle FileOpen(const QString &path, FileMode mode)
{
    FileHandle h;
    if (path.isEmpty()) return h;
    // Opening a FIFO (for reading or writing) waits for its other end, and a
    // device never ends: only regular files are opened, or created.
    const FileProblem problem = readProblem(path);
    if (mode == FileMode::Read ? problem != FileProblem::None
                               : problem == FileProblem::Folder || problem == FileProblem::NotRegular)
        return h;
    int flags = O_CLOEXEC;
    switch (mode) {
    case FileMode::Read:
        flags |= O_RDONLY;
        break;
    case FileMode::Write:
        flags |= O_WRONLY | O_CREAT | O_TRUNC;
        break;
    case FileMode::ReadWrite:
        flags |= O_RDWR | O_CREAT | O_TRUNC;
        break;
    }
    const int fd = ::open(nativePath(path).constData(), flags, 0644);
    if (fd < 0) return h;
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxAudioFileBytes) {
        ::close(fd);
        return h;
    }
    h.Handle = fd;
    h.Path = path;
    return h;
}

FileHandle FileOpenMemory(const QByteArray &bytes, const QString &name)
{
    FileHandle h;
    if (bytes.size() > kMaxAudioFileBytes) return h;
    h.Handle = 0;
    h.Path = name;
    h.m_memory = std::make_shared<const QByteArray>(bytes);
    h.m_memoryPos = 0;
    return h;
}

void FileClose(FileHandle &record)
{
    if (record.Handle == -1) return;
    if (!record.m_memory) ::close(record.Handle);
    record.Handle = -1;
    record.Path.clear();
    record.m_memory.reset();
    record.m_memoryPos = 0;
}

int32_t FileRead(FileHandle &record, void *buffer, int32_t count)
{
    if (record.Handle == -1 || count <= 0) return 0;
    if (record.m_memory) {
        const int64_t size = record.m_memory->size();
        if (record.m_memoryPos >= size) return 0;
        const int64_t n = std::min<int64_t>(count, size - record.m_memoryPos);
        std::memcpy(buffer, record.m_memory->constData() + record.m_memoryPos, size_t(n));
        record.m_memoryPos += n;
        return int32_t(n);
    }
    int64_t done = 0;
    auto *out = static_cast<char *>(buffer);
    while (done < count) {
        const ssize_t r = ::read(record.Handle, out + done, size_t(count - done));
        if (r < 0) {
            if (errno == EINTR) continue;
            return done > 0 ? int32_t(done) : -1;
        }
        if (r == 0) break;
        done += r;
    }
    return int32_t(done);
}

int32_t FileWrite(FileHandle &record, const void *buffer, int32_t count)
{
    if (record.Handle == -1 || count <= 0) return 0;
    if (record.m_memory) return -1;
    const off_t pos = ::lseek(record.Handle, 0, SEEK_CUR);
    if (pos < 0 || int64_t(pos) + count > kMaxAudioFileBytes) return -1;
    int64_t done = 0;
    const auto *in = static_cast<const char *>(buffer);
    while (done < count) {
        const ssize_t w = ::write(record.Handle, in + done, size_t(count - done));
        if (w < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        done += w;
    }
    return int32_t(done);
}

int32_t FileSeek(FileHandle &record, int32_t distance, int32_t method)
{
    if (record.Handle == -1) return -1;
    int64_t base = 0;
    if (record.m_memory) {
        if (method == FileCurrent)
            base = record.m_memoryPos;
        else if (method == FileEnd)
            base = record.m_memory->size();
        const int64_t target = base + distance;
        if (target < 0 || target > kMaxAudioFileBytes) return -1;
        record.m_memoryPos = target;
        return int32_t(target);
    }
    // Asking for the size rather than seeking to the end keeps the position
    // unchanged when the target is refused.
    struct stat st
    {
    };
    if (method == FileCurrent)
        base = ::lseek(record.Handle, 0, SEEK_CUR);
    else if (method == FileEnd)
        base = ::fstat(record.Handle, &st) == 0 ? int64_t(st.st_size) : -1;
    if (base < 0) return -1;
    const int64_t target = base + distance;
    if (target < 0 || target > kMaxAudioFileBytes) return -1;
    const off_t r = ::lseek(record.Handle, off_t(target), SEEK_SET);
    return r < 0 ? -1 : int32_t(r);
}

int32_t FilePosition(FileHandle &record)
{
    return FileSeek(record, 0, FileCurrent);
}

int32_t FileLength(const FileHandle &record)
{
    if (record.Handle == -1) return 0;
    if (record.m_memory) return int32_t(record.m_memory->size());
    struct stat st
    {
    };
    if (::fstat(record.Handle, &st) != 0) return 0;
    return int32_t(std::min<int64_t>(st.st_size, kMaxAudioFileBytes));
}

bool FileAtEnd(FileHandle &record)
{
    return FilePosition(record) >= FileLength(record);
}

int32_t FileReadAt(FileHandle &record, int32_t offset, void *buffer, int32_t count)
{
    const int32_t saved = FilePosition(record);
    if (saved < 0 || FileSeek(record, offset, FileBegin) < 0) return 0;
    const int32_t n = FileRead(record, buffer, count);
    FileSeek(record, saved, FileBegin);
    return std::max<int32_t>(n, 0);
}

} // namespace pvsm
