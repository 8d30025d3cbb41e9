#include "LameApi.h"

#include <QFile>

#include <lame/lame.h>

#include <vector>

namespace pvsm {

struct LameApi::Stream
{
    lame_t gfp = nullptr;
    int channels = 2;
    uint32_t samplesPerChunk = 0;
    uint32_t bufferSize = 0;
    bool vbrTag = false;

    ~Stream()
    {
        if (gfp) lame_close(gfp);
    }
};

LameApi::LameApi() = default;

LameApi::~LameApi() = default;

uint32_t LameApi::beInitStream(const BeConfig &config, uint32_t &dwSamples, uint32_t &dwBufferSize, uint32_t &hbeStream)
{
    dwSamples = 0;
    dwBufferSize = 0;
    hbeStream = 0;
    if (config.dwConfig != 256 || config.dwSampleRate <= 0) return BE_ERR_INVALID_FORMAT;
    auto s = std::make_unique<Stream>();
    s->gfp = lame_init();
    if (!s->gfp) return BE_ERR_NO_MORE_HANDLES;
    lame_t g = s->gfp;
    s->channels = config.nMode == 3 ? 1 : 2;
    lame_set_num_channels(g, s->channels);
    lame_set_in_samplerate(g, config.dwSampleRate);
    if (config.dwReSampleRate > 0) lame_set_out_samplerate(g, config.dwReSampleRate);
    switch (config.nMode) {
    case 1:
        lame_set_mode(g, JOINT_STEREO);
        break;
    case 2:
        lame_set_mode(g, DUAL_CHANNEL);
        break;
    case 3:
        lame_set_mode(g, MONO);
        break;
    default:
        break; // stereo: the encoder chooses between plain and joint stereo per frame
    }
    lame_set_copyright(g, config.bCopyright != 0);
    lame_set_original(g, config.bOriginal != 0);
    lame_set_error_protection(g, config.bCRC != 0);
    lame_set_extension(g, config.bPrivate != 0);
    lame_set_strict_ISO(g, config.bStrictIso != 0);
    lame_set_disable_reservoir(g, config.bNoRes != 0);
    lame_set_emphasis(g, config.dwEmphasis);
    lame_set_write_id3tag_automatic(g, 0);

    const int kbps = config.dwBitrate > 0 ? config.dwBitrate : 128;
    switch (config.nPreset) {
    case kLamePresetStandard:
        lame_set_preset(g, STANDARD);
        break;
    case kLamePresetFastStandard:
        lame_set_preset(g, STANDARD_FAST);
        break;
    case kLamePresetExtreme:
        lame_set_preset(g, EXTREME);
        break;
    case kLamePresetFastExtreme:
        lame_set_preset(g, EXTREME_FAST);
        break;
    case kLamePresetInsane:
        lame_set_preset(g, INSANE);
        break;
    case kLamePresetAbr:
        lame_set_VBR(g, vbr_abr);
        lame_set_VBR_mean_bitrate_kbps(g, kbps);
        break;
    case kLamePresetCbr:
        lame_set_VBR(g, vbr_off);
        lame_set_brate(g, kbps);
        break;
    default:
        if (config.bEnableVBR) {
            lame_set_VBR(g, vbr_default);
            lame_set_VBR_q(g, std::clamp(config.nVBRQuality, 0, 9));
        } else {
            lame_set_brate(g, kbps);
        }
        break;
    }
    if (config.dwMaxBitrate > 0 && lame_get_VBR(g) != vbr_off) lame_set_VBR_max_bitrate_kbps(g, config.dwMaxBitrate);
    // A constant bit rate stream carries no VBR header.
    s->vbrTag = config.bWriteVBRHeader != 0 && config.nPreset != kLamePresetCbr;
    lame_set_bWriteVbrTag(g, s->vbrTag ? 1 : 0);
    if (lame_init_params(g) < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;

    const int frameSize = lame_get_framesize(g);
    s->samplesPerChunk = uint32_t(frameSize * s->channels);
    // LAME's bound for one call: 1.25 × samples per channel + 7200.
    s->bufferSize = uint32_t(frameSize * 5 / 4 + 7200);
    dwSamples = s->samplesPerChunk;
    dwBufferSize = s->bufferSize;
    hbeStream = m_nextHandle++;
    m_streams[hbeStream] = std::move(s);
    return BE_ERR_SUCCESSFUL;
}

uint32_t LameApi::beEncodeChunk(uint32_t hbeStream, uint32_t nSamples, const int16_t *pSamples, uint8_t *pOutput,
                                uint32_t &pdwOutput)
{
    pdwOutput = 0;
    const auto it = m_streams.find(hbeStream);
    if (it == m_streams.end()) return BE_ERR_INVALID_HANDLE;
    Stream &s = *it->second;
    if (nSamples > s.samplesPerChunk) return BE_ERR_BUFFER_TOO_SMALL;
    const int perChannel = int(nSamples) / s.channels;
    int n = 0;
    if (s.channels == 2)
        n = lame_encode_buffer_interleaved(s.gfp, const_cast<short *>(pSamples), perChannel, pOutput,
                                           int(s.bufferSize));
    else
        n = lame_encode_buffer(s.gfp, pSamples, pSamples, perChannel, pOutput, int(s.bufferSize));
    if (n < 0) return BE_ERR_BUFFER_TOO_SMALL;
    pdwOutput = uint32_t(n);
    return BE_ERR_SUCCESSFUL;
}

uint32_t LameApi::beDeinitStream(uint32_t hbeStream, uint8_t *pOutput, uint32_t &pdwOutput)
{
    pdwOutput = 0;
    const auto it = m_streams.find(hbeStream);
    if (it == m_streams.end()) return BE_ERR_INVALID_HANDLE;
    Stream &s = *it->second;
    const int n = lame_encode_flush(s.gfp, pOutput, int(s.bufferSize));
    if (n < 0) return BE_ERR_BUFFER_TOO_SMALL;
    pdwOutput = uint32_t(n);
    m_lastTag.clear();
    if (s.vbrTag) {
        // The header is final only now, after the last frame.
        const size_t size = lame_get_lametag_frame(s.gfp, nullptr, 0);
        if (size > 0) {
            m_lastTag.resize(qsizetype(size));
            const size_t got = lame_get_lametag_frame(s.gfp, reinterpret_cast<unsigned char *>(m_lastTag.data()), size);
            m_lastTag.resize(qsizetype(got));
        }
    }
    return BE_ERR_SUCCESSFUL;
}

uint32_t LameApi::beCloseStream(uint32_t hbeStream)
{
    return m_streams.erase(hbeStream) ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_HANDLE;
}

uint32_t LameApi::beWriteVBRHeader(const QString &lpszFileName)
{
    if (m_lastTag.isEmpty()) return BE_ERR_INVALID_HANDLE;
    QFile f(lpszFileName);
    if (!f.open(QIODevice::ReadWrite)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    // The stream began with a placeholder frame of exactly this size.
    if (f.size() < m_lastTag.size() || f.write(m_lastTag) != m_lastTag.size()) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return BE_ERR_SUCCESSFUL;
}

} // namespace pvsm
