#include "StreamWAV.h"

#include "MultimediaAPI.h"
#include "Numbers.h"

namespace pvsm {

namespace {

// A `fmt ` chunk longer than this is no format record; refusing it keeps a
// lying size from allocating without bound.
constexpr uint32_t kMaxFmtSize = 65536;

} // namespace

StreamWAV::~StreamWAV()
{
    CloseSource();
}

SoundResult StreamWAV::OpenSource(const QString &Source)
{
    if (!FileExists(Source)) return SoundResultInvalidSource;
    FileHandle f = FileOpen(Source, FileMode::Read);
    if (!f.isOpen()) return SoundResultInvalidSource;
    return openHandle(std::move(f));
}

SoundResult StreamWAV::OpenBytes(const QByteArray &bytes)
{
    return openHandle(FileOpenMemory(bytes));
}

SoundResult StreamWAV::openHandle(FileHandle file)
{
    CloseSource();
    const RiffChunk data = FindRiffChunk(file, "data");
    const RiffChunk fmt = FindRiffChunk(file, "fmt ");
    if (!data.found() || !fmt.found() || fmt.size < 16 || fmt.size > kMaxFmtSize) return SoundResultInvalidSource;
    QByteArray fmtBytes(qsizetype(fmt.size), '\0');
    if (FileReadAt(file, fmt.offset, fmtBytes.data(), int32_t(fmt.size)) != int32_t(fmt.size))
        return SoundResultInvalidSource;
    if (FileSeek(file, data.offset, FileBegin) != data.offset) return SoundResultInvalidSource;
    m_file = std::move(file);
    m_dataStart = data.offset;
    m_dataSize = data.size;
    m_fmtStart = fmt.offset;
    m_fmtSize = fmt.size;
    m_fmtBytes = fmtBytes;
    m_waveFormat = WaveFormatEx::fromBytes(m_fmtBytes);
    return SoundResultOk;
}

SoundResult StreamWAV::CloseSource()
{
    FileClose(m_file);
    return SoundResultOk;
}

SoundResult StreamWAV::Read(uint8_t *pBuffer, int32_t cBytes, int32_t &cBytesRead)
{
    if (!m_file.isOpen()) return SoundResultInvalidSource;
    const int64_t end = int64_t(m_dataStart) + m_dataSize;
    const int64_t pos = FilePosition(m_file);
    if (pos < 0 || pos > end || cBytes < 0) {
        cBytesRead = 0;
        return SoundResultEndOfStream;
    }
    if (pos + cBytes > end) {
        cBytesRead = FileRead(m_file, pBuffer, int32_t(end - pos));
        return SoundResultEndOfStream;
    }
    cBytesRead = FileRead(m_file, pBuffer, cBytes);
    return SoundResultOk;
}

SoundResult StreamWAV::SeekTo(int32_t value, int32_t mode)
{
    if (!m_file.isOpen()) return SoundResultOk;
    double target = 0;
    if (mode == SeekPercent) {
        if (value < 0 || value > 100) return SoundResultInvalidArgument;
        target = NearestD(value / 100.0 * m_dataSize);
    } else if (mode == SeekSeconds) {
        if (value < 0 || value > Duration() / 1000.0) return SoundResultInvalidArgument;
        target = double(value) * m_waveFormat.nAvgBytesPerSec;
    }
    if (value == 0) {
        FileSeek(m_file, m_dataStart, FileBegin);
        return SoundResultOk;
    }
    const int64_t t = int64_t(target);
    const int64_t align = m_waveFormat.nBlockAlign;
    const int64_t aligned = align > 0 ? t - t % align : t;
    const int64_t dest = int64_t(m_dataStart) + aligned;
    if (dest <= kMaxAudioFileBytes) FileSeek(m_file, int32_t(dest), FileBegin);
    return SoundResultOk;
}

int32_t StreamWAV::Duration() const
{
    if (m_waveFormat.nAvgBytesPerSec == 0) return 0;
    return Nearest(double(m_dataSize) / m_waveFormat.nAvgBytesPerSec * 1000.0);
}

int32_t StreamWAV::Position() const
{
    if (!m_file.isOpen() || m_waveFormat.nAvgBytesPerSec == 0) return 0;
    return Nearest(double(FilePosition(m_file) - m_dataStart) / m_waveFormat.nAvgBytesPerSec * 1000.0);
}

} // namespace pvsm
