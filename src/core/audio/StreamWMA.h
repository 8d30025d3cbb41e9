#pragma once

#include "ISoundStream.h"

#include <memory>
#include <vector>

namespace pvsm {

// Sound source for Windows Media Audio files (and anything else the media
// libraries can demux and decode). It decodes to interleaved 16-bit PCM at
// the stream's own rate and channel count and hands that out, so the
// converter has only PCM to pass on. Each OpenSource serves one file.
class StreamWMA final : public ISoundStream, public ISoundInfo
{
public:
    // The file attributes read at open.
    struct Attributes
    {
        int64_t Duration = 0;   // 100-nanosecond units ("Duration")
        int32_t Bitrate = 0;    // bits per second ("Bitrate")
        bool Seekable = false;  // ("Seekable")
        int64_t SampleTime = 0; // 100-nanosecond time of the last sample fetched
    };

    StreamWMA();
    ~StreamWMA() override;

    ISoundInfo &Info() override { return *this; }
    // The 16-bit PCM WAVEFORMATEX (18 bytes) of what Read hands out.
    const QByteArray &WFXPointer() const override { return m_waveFormat; }
    // 1: missing or unreadable file; 4: no audio stream that decodes.
    SoundResult OpenSource(const QString &Source) override;
    // 0 when a file was open, 1 otherwise.
    SoundResult CloseSource() override;
    // Fills the buffer across decoded samples; 5 when the stream ends before
    // it is full (the bytes still buffered are delivered).
    SoundResult Read(uint8_t *pBuffer, int32_t cBytes, int32_t &cBytesRead) override;
    // Seeks and preloads the next sample; 3 for a target outside the stream
    // or a seek the file refuses.
    SoundResult SeekTo(int32_t value, int32_t mode) override;

    bool Force16Bit() const override { return true; }
    int32_t Position() const override;
    int32_t Duration() const override;

    const Attributes &FileAttributes() const { return m_info; }
    bool EndReached() const { return m_endReached; }

private:
    struct Decoder;
    bool fetchSample();

    std::unique_ptr<Decoder> m_dec;
    bool m_opened = false;
    QByteArray m_waveFormat;
    Attributes m_info;
    std::vector<uint8_t> m_sample;
    int32_t m_samplePos = 0;
    bool m_endReached = false;
};

} // namespace pvsm
