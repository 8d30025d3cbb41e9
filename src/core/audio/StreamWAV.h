#pragma once

#include "FileAccess.h"
#include "ISoundStream.h"

namespace pvsm {

// Sound source for RIFF WAVE files. It hands out the bytes of the `data`
// chunk as they are, whatever the format (PCM or compressed); the format
// record is the whole `fmt ` chunk, so the converter decides whether the
// format can be decoded. Sizes are taken as declared.
class StreamWAV final : public ISoundStream, public ISoundInfo
{
public:
    StreamWAV() = default;
    ~StreamWAV() override;

    ISoundInfo &Info() override { return *this; }
    // The `fmt ` chunk contents (FmtSize bytes).
    const QByteArray &WFXPointer() const override { return m_fmtBytes; }
    SoundResult OpenSource(const QString &Source) override;
    // Reads from `bytes` as if they were the file (for tests and fuzzing).
    SoundResult OpenBytes(const QByteArray &bytes);
    SoundResult CloseSource() override;
    SoundResult Read(uint8_t *pBuffer, int32_t cBytes, int32_t &cBytesRead) override;
    SoundResult SeekTo(int32_t value, int32_t mode) override;

    bool Force16Bit() const override { return false; }
    int32_t Position() const override;
    int32_t Duration() const override;

    int32_t DataStart() const { return m_dataStart; }
    uint32_t DataSize() const { return m_dataSize; }
    const WaveFormatEx &WaveFormat() const { return m_waveFormat; }

private:
    SoundResult openHandle(FileHandle file);

    mutable FileHandle m_file;
    int32_t m_dataStart = 0;
    uint32_t m_dataSize = 0;
    int32_t m_fmtStart = 0;
    uint32_t m_fmtSize = 0;
    QByteArray m_fmtBytes;
    WaveFormatEx m_waveFormat;
};

} // namespace pvsm
