#pragma once

#include "FileAccess.h"
#include "ISoundStream.h"

#include <QString>

#include <memory>
#include <vector>

namespace pvsm {

// Writes PCM as a WAV file in the soundtrack format: 22050 Hz, 16 bit,
// stereo. Input of another rate, width (8 or 16 bit) or channel count is
// converted on the way. The 46-byte header (fmt chunk of 18 bytes) is
// written when the file is finished. One object per song; single thread.
class EncoderWAV
{
public:
    static constexpr int32_t kInBufferSize = 16384;
    static constexpr int32_t kHeaderSize = 46;

    enum Result : int32_t {
        EncoderOk = 0,
        EncoderFileError = 1,        // the output cannot be created (or, later, written)
        EncoderUnsupportedInput = 4, // the input format cannot be converted
        EncoderTooMuchInput = 6,     // Encode got more than kInBufferSize bytes
        EncoderConvertFailed = 8,    // a conversion failed before consuming any input
    };

    EncoderWAV();
    ~EncoderWAV();
    EncoderWAV(const EncoderWAV &) = delete;
    EncoderWAV &operator=(const EncoderWAV &) = delete;

    // Creates (or replaces) dstFilename. cbPCMData receives the largest chunk
    // Encode accepts (kInBufferSize).
    int32_t Init(const QString &dstFilename, int32_t srcSampleRate, int16_t srcChannels, int16_t srcBitsPerSample,
                 int32_t &cbPCMData);
    // Converts and writes `bytes` bytes of input PCM. A trailing partial sample
    // frame is dropped. After a failed write every later call returns 1.
    int32_t Encode(const uint8_t *ptr, int32_t bytes);
    // Writes what the converter still holds, completes the header, closes the
    // file. Always 0.
    int32_t DeInit();

    const WaveFormatEx &OutFormat() const { return m_outFormat; }
    // Display names of the output format.
    static QString OutFormatName() { return QStringLiteral("22050 Hz 16 Bit Stereo"); }
    static QString OutFormatTagName() { return QStringLiteral("PCM"); }
    // Whether DeInit writes the header (true from construction).
    bool WriteHeader = true;

private:
    struct Converter;
    bool write(const uint8_t *data, int32_t bytes);

    WaveFormatEx m_outFormat;
    WaveFormatEx m_inFormat;
    std::unique_ptr<Converter> m_conv;
    FileHandle m_file;
    std::vector<uint8_t> m_outBuffer;
    bool m_failed = false;
};

// The header EncoderWAV writes for a file of `fileLength` bytes: "RIFF",
// length − 8, "WAVE", "fmt ", 18, the 18-byte format, "data", length − 46.
QByteArray MakeWavHeader46(const WaveFormatEx &format, int64_t fileLength);

} // namespace pvsm
