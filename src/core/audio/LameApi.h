#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>

namespace pvsm {

// The encoder configuration record of beInitStream, with the values it gets
// at construction of cLameEncoder.
struct BeConfig
{
    int32_t dwConfig = 256; // record format selector
    int32_t dwStructVersion = 1;
    int32_t dwStructSize = 331;
    int32_t dwSampleRate = 22050; // Hz of the PCM handed in
    int32_t dwReSampleRate = 0;   // Hz of the MP3; 0 = the encoder decides
    int32_t nMode = 0;            // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int32_t dwBitrate = 0;        // kbit/s; 0 = the encoder decides
    int32_t dwMaxBitrate = 0;
    int32_t nPreset = 6;
    int32_t dwMpegVersion = 1;
    int32_t dwPsyModel = 0;
    int32_t dwEmphasis = 0;
    int32_t bPrivate = 0;
    int32_t bCRC = 0;
    int32_t bCopyright = 0;
    int32_t bOriginal = 1;
    int32_t bWriteVBRHeader = 1;
    int32_t bEnableVBR = 0;
    int32_t nVBRQuality = 0;
    int32_t dwVbrAbr_bps = 0;
    int32_t nVbrMethod = 0;
    int32_t bNoRes = 1; // no bit reservoir
    int32_t bStrictIso = 0;
    int16_t nQuality = 0;
};

// Presets of BeConfig::nPreset that this layer gives a meaning.
inline constexpr int32_t kLamePresetStandard = 6; // LAME's "standard" VBR, with the VBR header
inline constexpr int32_t kLamePresetFastStandard = 7;
inline constexpr int32_t kLamePresetExtreme = 8;
inline constexpr int32_t kLamePresetFastExtreme = 9;
inline constexpr int32_t kLamePresetInsane = 10;
inline constexpr int32_t kLamePresetAbr = 11;
inline constexpr int32_t kLamePresetCbr = 12; // constant bit rate, no VBR header

enum BeResult : uint32_t {
    BE_ERR_SUCCESSFUL = 0,
    BE_ERR_INVALID_FORMAT = 1,
    BE_ERR_INVALID_FORMAT_PARAMETERS = 2,
    BE_ERR_NO_MORE_HANDLES = 3,
    BE_ERR_INVALID_HANDLE = 4,
    BE_ERR_BUFFER_TOO_SMALL = 5,
};

// The five calls of the MP3 encoder library, over libmp3lame. Streams belong
// to this object (closed at its destruction); one thread at a time.
class LameApi
{
public:
    LameApi();
    ~LameApi();
    LameApi(const LameApi &) = delete;
    LameApi &operator=(const LameApi &) = delete;

    // dwSamples: 16-bit samples (all channels counted) to pass per chunk;
    // dwBufferSize: the least output buffer size for every call below.
    uint32_t beInitStream(const BeConfig &config, uint32_t &dwSamples, uint32_t &dwBufferSize, uint32_t &hbeStream);
    // nSamples 16-bit interleaved samples (at most dwSamples); pOutput must
    // hold dwBufferSize bytes; pdwOutput receives the bytes produced.
    uint32_t beEncodeChunk(uint32_t hbeStream, uint32_t nSamples, const int16_t *pSamples, uint8_t *pOutput,
                           uint32_t &pdwOutput);
    // Flushes the last frames into pOutput.
    uint32_t beDeinitStream(uint32_t hbeStream, uint8_t *pOutput, uint32_t &pdwOutput);
    uint32_t beCloseStream(uint32_t hbeStream);
    // Writes the VBR header of the last stream flushed (kept after its close)
    // over the placeholder frame at the start of the finished file.
    uint32_t beWriteVBRHeader(const QString &lpszFileName);

private:
    struct Stream;
    std::map<uint32_t, std::unique_ptr<Stream>> m_streams;
    uint32_t m_nextHandle = 1;
    QByteArray m_lastTag;
};

} // namespace pvsm
