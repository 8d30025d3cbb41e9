#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace pvsm {

// Result codes shared by every sound source. The numbers are part of the
// contract: the soundtrack assembly and the CLI print them.
enum SoundResult : int32_t {
    SoundResultOk = 0,
    SoundResultInvalidSource = 1,   // missing, unopenable, lacks a required part, or not open
    SoundResultInvalidArgument = 3, // a seek target outside the allowed range
    SoundResultUnsupported = 4,     // opened, but the stream is not usable
    SoundResultEndOfStream = 5,     // data exhausted; the Read may still have delivered a last partial block
};

// Modes of ISoundStream::SeekTo. Any other value seeks to the start.
enum SeekMode : int32_t {
    SeekPercent = 0, // value 0..100 of the stream
    SeekSeconds = 1, // value in whole seconds from the start
};

// The 18 leading bytes of a little-endian WAVEFORMATEX record, as the sources
// hand them out and the converters read them.
struct WaveFormatEx
{
    uint16_t wFormatTag = 0;
    uint16_t nChannels = 0;
    uint32_t nSamplesPerSec = 0;
    uint32_t nAvgBytesPerSec = 0;
    uint16_t nBlockAlign = 0;
    uint16_t wBitsPerSample = 0;
    uint16_t cbSize = 0;

    static constexpr int kSize = 18;
    // Reads the first 18 bytes of `record` (missing bytes count as 0).
    static WaveFormatEx fromBytes(const QByteArray &record);
    QByteArray toBytes() const;
    bool operator==(const WaveFormatEx &) const = default;
};

inline constexpr uint16_t kWaveFormatPcm = 1;
inline constexpr uint16_t kWaveFormatMpegLayer3 = 0x55;
inline constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

// Plain PCM record: nBlockAlign = bitsPerSample / 8 × channels (rounded),
// nAvgBytesPerSec = sampleRate × nBlockAlign, cbSize 0.
WaveFormatEx MakePcmFormat(uint32_t sampleRate, uint16_t channels, uint16_t bitsPerSample);

// What a source can tell about its stream (all read-only).
class ISoundInfo
{
public:
    virtual ~ISoundInfo() = default;
    // Whether the converter must produce 16-bit output for this source.
    virtual bool Force16Bit() const = 0;
    // Current play position, milliseconds (only feeds progress displays).
    virtual int32_t Position() const = 0;
    // Total length, milliseconds.
    virtual int32_t Duration() const = 0;
};

// The one pull interface through which every decoder delivers audio. A source
// is created closed; OpenSource opens it; CloseSource (also run by the
// destructor) leaves it reusable. No call throws: failures are result codes.
// A source object belongs to one thread at a time.
class ISoundStream
{
public:
    virtual ~ISoundStream() = default;

    // The same object seen as ISoundInfo.
    virtual ISoundInfo &Info() = 0;
    // The format record (WAVEFORMATEX and any extension bytes) describing what
    // Read hands out. Owned by the source; valid until the next OpenSource or
    // the source's destruction. Empty before a successful OpenSource.
    virtual const QByteArray &WFXPointer() const = 0;
    virtual SoundResult OpenSource(const QString &Source) = 0;
    // Always SoundResultOk except where a source says otherwise.
    virtual SoundResult CloseSource() = 0;
    // Copies up to cBytes bytes into pBuffer and sets cBytesRead (−1 after a
    // failed file read). A closed source returns SoundResultInvalidSource and
    // leaves cBytesRead untouched.
    virtual SoundResult Read(uint8_t *pBuffer, int32_t cBytes, int32_t &cBytesRead) = 0;
    // `mode` is a SeekMode.
    virtual SoundResult SeekTo(int32_t value, int32_t mode) = 0;
};

} // namespace pvsm
