#include "EncoderWAV.h"

#include "FfmpegHandles.h"
#include "LittleEndian.h"
#include "MultimediaAPI.h"

namespace pvsm {

namespace {

constexpr int kMaxChannels = 8;
constexpr int32_t kMaxSampleRate = 384000;

} // namespace

struct EncoderWAV::Converter
{
    ff::SwrPtr swr;
};

QByteArray MakeWavHeader46(const WaveFormatEx &format, int64_t fileLength)
{
    QByteArray h;
    h.reserve(EncoderWAV::kHeaderSize);
    h.append("RIFF");
    put32(h, uint32_t(fileLength - 8));
    h.append("WAVEfmt ");
    put32(h, WaveFormatEx::kSize);
    h.append(format.toBytes());
    h.append("data");
    put32(h, uint32_t(fileLength - 8 - 20 - WaveFormatEx::kSize));
    return h;
}

EncoderWAV::EncoderWAV()
    : m_outFormat(MakePcmFormat(22050, 2, 16))
{
}

EncoderWAV::~EncoderWAV()
{
    if (m_file.isOpen()) DeInit();
}

int32_t EncoderWAV::Init(const QString &dstFilename, int32_t srcSampleRate, int16_t srcChannels,
                         int16_t srcBitsPerSample, int32_t &cbPCMData)
{
    if (m_file.isOpen()) DeInit();
    m_failed = false;
    if (srcSampleRate < 1 || srcSampleRate > kMaxSampleRate || srcChannels < 1 || srcChannels > kMaxChannels ||
        (srcBitsPerSample != 8 && srcBitsPerSample != 16))
        return EncoderUnsupportedInput;
    m_inFormat = MakePcmFormat(uint32_t(srcSampleRate), uint16_t(srcChannels), uint16_t(srcBitsPerSample));
    auto conv = std::make_unique<Converter>();
    const AVChannelLayout inLayout = ff::defaultLayout(srcChannels);
    conv->swr = ff::makeResampler(inLayout, srcBitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16, srcSampleRate,
                                  m_outFormat.nChannels, AV_SAMPLE_FMT_S16, int(m_outFormat.nSamplesPerSec));
    if (!conv->swr) return EncoderUnsupportedInput;
    FileHandle f = FileOpen(dstFilename, FileMode::Write);
    if (!f.isOpen()) return EncoderFileError;
    if (WriteHeader) {
        const QByteArray placeholder(kHeaderSize, '\0');
        if (FileWrite(f, placeholder.constData(), kHeaderSize) != kHeaderSize) return EncoderFileError;
    }
    m_conv = std::move(conv);
    m_file = std::move(f);
    cbPCMData = kInBufferSize;
    return EncoderOk;
}

bool EncoderWAV::write(const uint8_t *data, int32_t bytes)
{
    if (bytes <= 0) return true;
    if (FileWrite(m_file, data, bytes) != bytes) m_failed = true;
    return !m_failed;
}

int32_t EncoderWAV::Encode(const uint8_t *ptr, int32_t bytes)
{
    if (bytes > kInBufferSize) return EncoderTooMuchInput;
    if (!m_file.isOpen() || !m_conv || m_failed) return EncoderFileError;
    const int frames = bytes > 0 ? bytes / m_inFormat.nBlockAlign : 0;
    if (frames == 0) return EncoderOk;
    SwrContext *swr = m_conv->swr.get();
    const int maxOut = swr_get_out_samples(swr, frames);
    m_outBuffer.resize(size_t(std::max(maxOut, 0)) * m_outFormat.nBlockAlign);
    uint8_t *out = m_outBuffer.data();
    const uint8_t *in = ptr;
    const int n = swr_convert(swr, &out, maxOut, &in, frames);
    if (n < 0) return EncoderConvertFailed;
    return write(m_outBuffer.data(), n * m_outFormat.nBlockAlign) ? EncoderOk : EncoderFileError;
}

int32_t EncoderWAV::DeInit()
{
    if (!m_file.isOpen()) return EncoderOk;
    if (m_conv && !m_failed) {
        SwrContext *swr = m_conv->swr.get();
        const int maxOut = swr_get_out_samples(swr, 0);
        if (maxOut > 0) {
            m_outBuffer.resize(size_t(maxOut) * m_outFormat.nBlockAlign);
            uint8_t *out = m_outBuffer.data();
            const int n = swr_convert(swr, &out, maxOut, nullptr, 0);
            if (n > 0) write(m_outBuffer.data(), n * m_outFormat.nBlockAlign);
        }
    }
    if (WriteHeader) {
        const int32_t length = FileLength(m_file);
        const QByteArray header = MakeWavHeader46(m_outFormat, length);
        if (FileSeek(m_file, 0, FileBegin) == 0) FileWrite(m_file, header.constData(), int32_t(header.size()));
    }
    FileClose(m_file);
    m_conv.reset();
    m_outBuffer.clear();
    return EncoderOk;
}

} // namespace pvsm
