#pragma once

#include "FileAccess.h"
#include "ISoundStream.h"
#include "MP3Info.h"
#include "MpegAudio.h"

namespace pvsm {

// Sound source for MP3 files. It does not decode: it finds the first frame
// header (one valid header within the first 64 KiB suffices), describes the
// stream with an MPEGLAYER3WAVEFORMAT record, and hands out the file's raw
// bytes from that frame on; the converter (PCMPreparator) decodes them.
class StreamMP3 final : public ISoundStream, public ISoundInfo
{
public:
    // Last offset tested for the first frame header.
    static constexpr int32_t kFrameSearchLimit = 64 * 1024;
    // Size of the MPEGLAYER3WAVEFORMAT record (WAVEFORMATEX + 12 bytes).
    static constexpr int kWfxSize = 30;

    StreamMP3() = default;
    ~StreamMP3() override;

    ISoundInfo &Info() override { return *this; }
    const QByteArray &WFXPointer() const override { return m_wfx; }
    // A second call closes the first file. 1: missing or unopenable; 4: no
    // valid header in the first 64 KiB, or a frame length of 0 or 1 (then
    // StopsExport() is true as well).
    SoundResult OpenSource(const QString &Source) override;
    SoundResult OpenBytes(const QByteArray &bytes);
    SoundResult CloseSource() override;
    SoundResult Read(uint8_t *pBuffer, int32_t cBytes, int32_t &cBytesRead) override;
    // Percent seeks use the Xing table of contents when there is one; targets
    // are not aligned to frames (the decoder resynchronises).
    SoundResult SeekTo(int32_t value, int32_t mode) override;

    bool Force16Bit() const override { return true; }
    // Milliseconds, estimated from the file position (progress display only).
    int32_t Position() const override;
    int32_t Duration() const override;

    // The last OpenSource met a header whose frame length is 0 or 1 (free
    // format); the running export is to be stopped, not only this song.
    bool StopsExport() const { return m_stopsExport; }

    int32_t FirstFrame() const { return m_firstFrame; }
    const FrameHeader &Header() const { return m_header; }
    bool HasXing() const { return m_hasXing; }
    const XingHeader &Xing() const { return m_xing; }

private:
    SoundResult openHandle(FileHandle file);
    int32_t frameLength() const { return m_header.frameLength(); }
    double audioBytes() const;
    double frameCount() const;

    mutable FileHandle m_file;
    int32_t m_firstFrame = 0;
    FrameHeader m_header;
    bool m_hasXing = false;
    XingHeader m_xing;
    QByteArray m_wfx;
    bool m_stopsExport = false;
};

} // namespace pvsm
