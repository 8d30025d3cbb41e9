#include "cLameEncoder.h"

#include "MultimediaAPI.h"
#include "Numbers.h"

#include <QFile>

namespace pvsm {

namespace {

// A read buffer larger than this is no encoder chunk.
constexpr int32_t kMaxReadBufferFrames = 1 << 22;
constexpr int kProgressEveryChunks = 100;

} // namespace

cLameWavReader::cLameWavReader()
    : m_buffer(size_t(kDefaultBufferBytes / 2), 0)
{
}

bool cLameWavReader::SetReadBufferSize(int32_t frames)
{
    if (m_file.isOpen() || frames <= 0 || frames > kMaxReadBufferFrames) return false;
    m_bufferBytes = frames * 4;
    m_buffer.assign(size_t(m_bufferBytes / 2), 0);
    return true;
}

bool cLameWavReader::OpenFile(const QString &sSoundFile)
{
    CloseFile();
    if (sSoundFile.isEmpty()) return false;
    FileHandle f = FileOpen(sSoundFile, FileMode::Read);
    if (!f.isOpen()) return false;
    const RiffChunk fmt = FindRiffChunk(f, "fmt");
    if (!fmt.found() || fmt.size < 16 || fmt.size > uint32_t(kMaxFmtSize)) return false;
    QByteArray fmtBytes(qsizetype(fmt.size), '\0');
    if (FileReadAt(f, fmt.offset, fmtBytes.data(), int32_t(fmt.size)) != int32_t(fmt.size)) return false;
    const WaveFormatEx format = WaveFormatEx::fromBytes(fmtBytes);
    if (format.wBitsPerSample != 16 || format.nChannels != 2) return false;
    const RiffChunk data = FindRiffChunk(f, "data");
    if (!data.found() || FileSeek(f, data.offset, FileBegin) != data.offset) return false;
    m_waveFormat = format;
    m_dataStart = data.offset;
    // A size that claims more than the file holds is cut to the file.
    m_dataSize = uint32_t(std::min<int64_t>(data.size, int64_t(FileLength(f)) - data.offset));
    m_file = std::move(f);
    m_filename = sSoundFile;
    m_lastReadBytes = 0;
    std::fill(m_buffer.begin(), m_buffer.end(), 0);
    return true;
}

void cLameWavReader::CloseFile()
{
    FileClose(m_file);
    m_filename.clear();
}

bool cLameWavReader::Read()
{
    m_lastReadBytes = 0;
    if (!m_file.isOpen()) return false;
    const int64_t remaining = int64_t(m_dataStart) + m_dataSize - FilePosition(m_file);
    auto *buffer = reinterpret_cast<uint8_t *>(m_buffer.data());
    if (m_bufferBytes < remaining) {
        const int32_t got = FileRead(m_file, buffer, m_bufferBytes);
        m_lastReadBytes = std::max<int32_t>(got, 0);
        return got == m_bufferBytes;
    }
    if (remaining > 0) m_lastReadBytes = std::max<int32_t>(FileRead(m_file, buffer, int32_t(remaining)), 0);
    return false;
}

int32_t cLameWavReader::BufferStartPosition()
{
    return m_file.isOpen() ? FilePosition(m_file) - m_dataStart : 0;
}

void cLameWavReader::SeekAbsolute(int32_t lSample)
{
    if (!m_file.isOpen()) return;
    const int64_t offset = int64_t(lSample) * 4;
    if (offset < 0 || offset > m_dataSize) return;
    FileSeek(m_file, int32_t(m_dataStart + offset), FileBegin);
}

void cLameWavReader::SeekRelative(int32_t lSampleOffset)
{
    if (!m_file.isOpen()) return;
    const int64_t target = int64_t(FilePosition(m_file)) - m_dataStart + int64_t(lSampleOffset) * 4;
    if (target < 0 || target > m_dataSize) return;
    FileSeek(m_file, int32_t(m_dataStart + target), FileBegin);
}

cLameMp3Writer::cLameMp3Writer()
    : m_buffer(size_t(kDefaultBufferSize), 0)
{
}

bool cLameMp3Writer::SetBufferSize(int32_t bytes)
{
    m_buffer.clear();
    if (bytes <= 0) return false;
    m_buffer.assign(size_t(bytes), 0);
    return true;
}

bool cLameMp3Writer::SetFilename(const QString &path)
{
    FileClose(m_file);
    if (m_buffer.empty()) m_buffer.assign(size_t(kDefaultBufferSize), 0);
    m_file = FileOpen(path, FileMode::ReadWrite);
    m_filename = m_file.isOpen() ? path : QString();
    return m_file.isOpen();
}

int32_t cLameMp3Writer::WriteBufferToFile(int32_t lSize)
{
    if (lSize <= 0 || lSize > BufferSize() || !m_file.isOpen()) return 0;
    return std::max<int32_t>(FileWrite(m_file, m_buffer.data(), lSize), 0);
}

bool cLameEncoder::SetWavFile(const QString &path)
{
    if (!FileExists(path)) return false;
    m_wavFile = path;
    return true;
}

bool cLameEncoder::Encode(const JobControl &job)
{
    m_cancelled = false;
    LameApi lame;
    if (lame.beInitStream(m_config, m_samplesPerChunk, m_mp3BufferSize, m_streamHandle) != BE_ERR_SUCCESSFUL) {
        m_streamHandle = 0;
        m_samplesPerChunk = 0;
        m_mp3BufferSize = 0;
    }
    if (m_streamHandle == 0) return false;

    cLameWavReader reader;
    reader.SetReadBufferSize(int32_t(m_samplesPerChunk / 2));
    reader.OpenFile(m_wavFile);
    cLameMp3Writer writer;
    bool ok = writer.SetBufferSize(int32_t(m_mp3BufferSize)) && writer.SetFilename(m_mp3File);

    auto encode = [&](int32_t frames) {
        uint32_t produced = 0;
        if (lame.beEncodeChunk(m_streamHandle, uint32_t(frames) * 2, reader.ReadBufferPtr(), writer.BufferPointer(),
                               produced) != BE_ERR_SUCCESSFUL) {
            ok = false;
            return;
        }
        if (produced > 0 && writer.WriteBufferToFile(int32_t(produced)) != int32_t(produced)) ok = false;
    };

    int64_t chunks = 0;
    int64_t frames = 0;
    while (ok && reader.Read()) {
        encode(reader.ReadBufferSize());
        ++chunks;
        frames += reader.ReadSize();
        // The flag is asked after every chunk, not only with the progress: an
        // encoder running beside the render must stop at once when the export
        // ends, even while it gets little processor time.
        if (job.cancelled()) {
            m_cancelled = true;
            break;
        }
        if (chunks % kProgressEveryChunks == 0 && reader.AudioLength() > 0)
            job.report(Nearest(double(frames) / reader.AudioLength() * 100.0), progressCaption());
    }
    // The read that reaches the end still holds the song's last samples (a
    // whole buffer when the data is an exact multiple of it); they are
    // encoded rather than cut off.
    if (ok && !m_cancelled && reader.ReadSize() > 0) encode(reader.ReadSize());
    if (!m_cancelled && job.cancelled()) m_cancelled = true;

    if (m_cancelled) {
        writer.CloseFile();
        QFile::remove(m_mp3File);
    } else {
        uint32_t produced = 0;
        if (lame.beDeinitStream(m_streamHandle, writer.BufferPointer(), produced) != BE_ERR_SUCCESSFUL) ok = false;
        if (produced > 0 && writer.WriteBufferToFile(int32_t(produced)) != int32_t(produced)) ok = false;
        writer.CloseFile();
    }
    reader.CloseFile();
    lame.beCloseStream(m_streamHandle);
    m_streamHandle = 0;
    if (m_config.nPreset != kLamePresetCbr && !m_cancelled && ok) lame.beWriteVBRHeader(m_mp3File);
    return ok && !m_cancelled;
}

} // namespace pvsm
