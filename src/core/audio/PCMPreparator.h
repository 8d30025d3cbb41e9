#pragma once

#include "ISoundStream.h"

#include <memory>
#include <vector>

namespace pvsm {

// Decodes what a source hands out into plain PCM at the source's own sample
// rate and channel count: raw MPEG audio frames, PCM of any usual width, and
// the compressed WAV formats the media libraries know (ADPCM, A-law, µ-law,
// GSM, …). Output is 8-bit only for an 8-bit (or narrower) PCM source that
// does not force 16 bits; everything else becomes 16-bit. One object per
// song; single thread.
class PCMPreparator
{
public:
    PCMPreparator();
    ~PCMPreparator();
    PCMPreparator(const PCMPreparator &) = delete;
    PCMPreparator &operator=(const PCMPreparator &) = delete;

    // Prepares the conversion of `Stream`, which must be open and must outlive
    // this object (it is not owned). False when its format cannot be decoded.
    bool InitConversion(ISoundStream *Stream, bool Force16Bit);
    // Fills up to cBytes bytes of PCM; fewer only at the end of the stream.
    // False only when no source is set.
    bool GetSamples(uint8_t *pBuffer, int32_t cBytes, int32_t &cBytesReturned);
    // True once the source has run out (or failed, or gave nothing) and all
    // the output converted from it has been handed out: a caller that stops
    // at the first GetSamples after which this is true loses nothing.
    bool EndOfStream() const { return m_endOfStream && m_dstPos >= m_dstValid; }
    int32_t OutputSamplerate() const { return int32_t(m_dstFormat.nSamplesPerSec); }
    int16_t OutputChannels() const { return int16_t(m_dstFormat.nChannels); }
    int16_t OutputBitsPerSample() const { return int16_t(m_dstFormat.wBitsPerSample); }
    // Releases the decoder and the buffers; always true.
    bool CloseConverter();

    const WaveFormatEx &SrcFormat() const { return m_srcFormat; }
    const WaveFormatEx &DstFormat() const { return m_dstFormat; }

private:
    struct Codec;
    bool refill();

    std::unique_ptr<Codec> m_codec;
    WaveFormatEx m_srcFormat;
    WaveFormatEx m_dstFormat;
    std::vector<uint8_t> m_srcBuffer;
    std::vector<uint8_t> m_dstBuffer;
    int32_t m_dstPos = 0;
    int32_t m_dstValid = 0;
    int32_t m_leftover = 0;
    bool m_endOfStream = false;
    bool m_firstConvert = false;
    ISoundStream *m_source = nullptr;
};

} // namespace pvsm
