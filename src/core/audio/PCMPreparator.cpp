#include "PCMPreparator.h"

#include "FfmpegHandles.h"
#include "LittleEndian.h"
#include "Numbers.h"

#include <cstring>

namespace pvsm {

namespace {

constexpr int kMaxChannels = 8;
constexpr uint32_t kMaxSampleRate = 384000;
constexpr int32_t kMinSrcBuffer = 4096;
constexpr int32_t kMaxSrcBuffer = 1 << 20;

enum class Feed {
    Whole,  // PCM: any whole number of blocks makes a packet
    Parser, // a bit stream split into packets by the codec's parser
    Blocks, // whole nBlockAlign blocks per packet (ADPCM and other block codecs)
};

AVCodecID pcmCodec(uint16_t tag, uint16_t bits)
{
    if (tag == kWaveFormatPcm) {
        switch (bits) {
        case 8:
            return AV_CODEC_ID_PCM_U8;
        case 16:
            return AV_CODEC_ID_PCM_S16LE;
        case 24:
            return AV_CODEC_ID_PCM_S24LE;
        case 32:
            return AV_CODEC_ID_PCM_S32LE;
        default:
            return AV_CODEC_ID_NONE;
        }
    }
    if (tag == 3) { // IEEE float
        if (bits == 32) return AV_CODEC_ID_PCM_F32LE;
        if (bits == 64) return AV_CODEC_ID_PCM_F64LE;
    }
    return AV_CODEC_ID_NONE;
}

} // namespace

struct PCMPreparator::Codec
{
    ff::CodecPtr ctx;
    ff::ParserPtr parser;
    ff::PacketPtr packet;
    ff::FramePtr frame;
    ff::SwrPtr swr;
    AVChannelLayout swrLayout{};
    int swrFormat = -1;
    int swrRate = 0;
    Feed feed = Feed::Whole;
    int blockAlign = 1;
    AVSampleFormat outFormat = AV_SAMPLE_FMT_S16;
    int outChannels = 2;
    int outRate = 44100;
    int outBytesPerFrame = 4;

    ~Codec() { av_channel_layout_uninit(&swrLayout); }

    // Converts one decoded frame and appends it to `out`.
    void convert(AVFrame *f, std::vector<uint8_t> &out)
    {
        if (!swr || av_channel_layout_compare(&swrLayout, &f->ch_layout) != 0 || swrFormat != f->format ||
            swrRate != f->sample_rate) {
            flushResampler(out);
            swr.reset();
            av_channel_layout_uninit(&swrLayout);
            swr = ff::makeResampler(f->ch_layout, AVSampleFormat(f->format), f->sample_rate, outChannels, outFormat,
                                    outRate);
            if (!swr) return;
            av_channel_layout_copy(&swrLayout, &f->ch_layout);
            swrFormat = f->format;
            swrRate = f->sample_rate;
        }
        run(const_cast<const uint8_t **>(f->extended_data), f->nb_samples, out);
    }

    void flushResampler(std::vector<uint8_t> &out)
    {
        if (swr) run(nullptr, 0, out);
    }

    void run(const uint8_t **in, int samples, std::vector<uint8_t> &out)
    {
        const int maxOut = swr_get_out_samples(swr.get(), samples);
        if (maxOut <= 0) return;
        const size_t at = out.size();
        out.resize(at + size_t(maxOut) * size_t(outBytesPerFrame));
        uint8_t *dst = out.data() + at;
        const int n = swr_convert(swr.get(), &dst, maxOut, in, samples);
        out.resize(at + size_t(std::max(n, 0)) * size_t(outBytesPerFrame));
    }

    void receive(std::vector<uint8_t> &out)
    {
        while (avcodec_receive_frame(ctx.get(), frame.get()) == 0) {
            if (frame->nb_samples > 0 && frame->ch_layout.nb_channels > 0) convert(frame.get(), out);
            av_frame_unref(frame.get());
        }
    }

    void send(const uint8_t *data, int size, std::vector<uint8_t> &out)
    {
        if (size <= 0) return;
        if (av_new_packet(packet.get(), size) < 0) return;
        std::memcpy(packet->data, data, size_t(size));
        avcodec_send_packet(ctx.get(), packet.get()); // a damaged packet is skipped
        av_packet_unref(packet.get());
        receive(out);
    }

    // Decodes `size` bytes; returns how many must wait for more input.
    int decode(const uint8_t *data, int size, bool end, std::vector<uint8_t> &out)
    {
        int keep = 0;
        switch (feed) {
        case Feed::Parser: {
            while (size > 0) {
                uint8_t *pkt = nullptr;
                int pktSize = 0;
                const int used = av_parser_parse2(parser.get(), ctx.get(), &pkt, &pktSize, data, size, AV_NOPTS_VALUE,
                                                  AV_NOPTS_VALUE, 0);
                if (used < 0) break;
                data += used;
                size -= used;
                if (pktSize > 0) send(pkt, pktSize, out);
                if (used == 0 && pktSize == 0) break;
            }
            if (end) {
                uint8_t *pkt = nullptr;
                int pktSize = 0;
                av_parser_parse2(parser.get(), ctx.get(), &pkt, &pktSize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE,
                                 0);
                if (pktSize > 0) send(pkt, pktSize, out);
            }
            break;
        }
        case Feed::Whole: {
            const int whole = size - size % blockAlign;
            send(data, whole, out);
            keep = size - whole;
            break;
        }
        case Feed::Blocks: {
            // Decoders take several blocks in one packet and consume them in turn.
            const int whole = size - size % blockAlign;
            send(data, whole, out);
            keep = size - whole;
            if (end && keep > 0) {
                // A last partial block: what the decoder can make of it.
                send(data + whole, keep, out);
                keep = 0;
            }
            break;
        }
        }
        if (end) {
            avcodec_send_packet(ctx.get(), nullptr);
            receive(out);
            flushResampler(out);
            keep = 0;
        }
        return keep;
    }
};

PCMPreparator::PCMPreparator() = default;

PCMPreparator::~PCMPreparator() = default;

bool PCMPreparator::InitConversion(ISoundStream *Stream, bool Force16Bit)
{
    CloseConverter();
    m_source = nullptr;
    if (!Stream) return false;
    ff::quietLog();
    const QByteArray record = Stream->WFXPointer();
    m_srcFormat = WaveFormatEx::fromBytes(record);
    const uint16_t originalBits = m_srcFormat.wBitsPerSample;
    if (m_srcFormat.wBitsPerSample < 8)
        m_srcFormat.wBitsPerSample = 8;
    else if (m_srcFormat.wBitsPerSample > 8)
        m_srcFormat.wBitsPerSample = 16;
    uint16_t width = m_srcFormat.wBitsPerSample;
    if (Force16Bit || Stream->Info().Force16Bit()) width = 16;

    const int channels = m_srcFormat.nChannels;
    const uint32_t rate = m_srcFormat.nSamplesPerSec;
    if (channels < 1 || channels > kMaxChannels || rate < 1 || rate > kMaxSampleRate) return false;

    // The codec the record names.
    uint16_t tag = m_srcFormat.wFormatTag;
    const bool extensible = tag == kWaveFormatExtensible && m_srcFormat.cbSize >= 22 && record.size() >= 40;
    if (extensible) tag = le16(record, 24); // the first two bytes of the SubFormat GUID
    auto codec = std::make_unique<Codec>();
    AVCodecID id = pcmCodec(tag, originalBits);
    codec->feed = Feed::Whole;
    if (id == AV_CODEC_ID_NONE) {
        if (tag == kWaveFormatMpegLayer3)
            id = AV_CODEC_ID_MP3;
        else if (tag == 0x50)
            id = AV_CODEC_ID_MP2;
        else if (tag != kWaveFormatPcm && tag != 3) {
            const AVCodecTag *tags[] = {avformat_get_riff_audio_tags(), nullptr};
            id = av_codec_get_id(tags, tag);
        }
        if (id == AV_CODEC_ID_NONE) return false;
        codec->feed = Feed::Blocks;
    }
    const AVCodec *decoder = avcodec_find_decoder(id);
    if (!decoder) return false;
    codec->ctx.reset(avcodec_alloc_context3(decoder));
    codec->packet.reset(av_packet_alloc());
    codec->frame.reset(av_frame_alloc());
    if (!codec->ctx || !codec->packet || !codec->frame) return false;
    AVCodecContext *c = codec->ctx.get();
    c->sample_rate = int(rate);
    av_channel_layout_uninit(&c->ch_layout);
    c->ch_layout = ff::defaultLayout(channels);
    c->block_align = m_srcFormat.nBlockAlign;
    c->bits_per_coded_sample = originalBits;
    c->bit_rate = int64_t(m_srcFormat.nAvgBytesPerSec) * 8;
    // Codec-specific bytes behind the 18-byte record (not for the extensible
    // record, whose extension describes channels, not the codec).
    const int extra = std::min<int>(m_srcFormat.cbSize, int(record.size()) - WaveFormatEx::kSize);
    if (codec->feed == Feed::Blocks && !extensible && extra > 0) {
        c->extradata = static_cast<uint8_t *>(av_mallocz(size_t(extra) + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!c->extradata) return false;
        std::memcpy(c->extradata, record.constData() + WaveFormatEx::kSize, size_t(extra));
        c->extradata_size = extra;
    }
    if (avcodec_open2(c, decoder, nullptr) < 0) return false;
    if (codec->feed == Feed::Blocks) {
        codec->parser.reset(av_parser_init(id));
        if (codec->parser) codec->feed = Feed::Parser;
    }
    codec->blockAlign = std::max<int>(1, m_srcFormat.nBlockAlign);
    if (codec->feed == Feed::Whole) {
        // PCM packets must hold whole sample frames whatever the record says.
        const int frameBytes = channels * std::max<int>(1, originalBits / 8);
        codec->blockAlign = frameBytes;
    }

    // Compressed formats decode to 16 bits whatever their coded width; the
    // narrow output is kept for 8-bit PCM, as the platform converter did.
    if (codec->feed != Feed::Whole || tag != kWaveFormatPcm) width = 16;
    m_dstFormat = MakePcmFormat(rate, uint16_t(channels), width);
    codec->outFormat = width == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
    codec->outChannels = channels;
    codec->outRate = int(rate);
    codec->outBytesPerFrame = m_dstFormat.nBlockAlign;

    // Half a second of input per refill, in whole blocks.
    int64_t src = std::max<int64_t>(m_srcFormat.nAvgBytesPerSec / 2, kMinSrcBuffer);
    src = std::min<int64_t>(src, kMaxSrcBuffer);
    src = std::max<int64_t>(src - src % codec->blockAlign, codec->blockAlign);
    m_srcBuffer.assign(size_t(src), 0);
    m_dstBuffer.clear();
    m_dstBuffer.reserve(size_t(m_dstFormat.nAvgBytesPerSec / 2));
    m_codec = std::move(codec);
    m_source = Stream;
    m_endOfStream = false;
    m_firstConvert = true;
    m_leftover = 0;
    m_dstPos = 0;
    m_dstValid = 0;
    return true;
}

bool PCMPreparator::refill()
{
    if (m_endOfStream || !m_codec) {
        m_dstValid = 0;
        m_dstPos = 0;
        m_dstBuffer.clear();
        return false;
    }
    const int32_t want = int32_t(m_srcBuffer.size()) - m_leftover;
    int32_t got = 0;
    const SoundResult r = m_source->Read(m_srcBuffer.data() + m_leftover, want, got);
    // A source that delivers nothing without saying so (a WAV whose data
    // chunk claims more than the file holds) would otherwise be asked forever.
    if (r != SoundResultOk || got <= 0) m_endOfStream = true;
    got = std::clamp(got, 0, want);
    m_dstBuffer.clear();
    const int total = m_leftover + got;
    const int keep = m_codec->decode(m_srcBuffer.data(), total, m_endOfStream, m_dstBuffer);
    if (keep > 0) std::memmove(m_srcBuffer.data(), m_srcBuffer.data() + (total - keep), size_t(keep));
    m_leftover = keep;
    m_firstConvert = false;
    m_dstPos = 0;
    m_dstValid = int32_t(m_dstBuffer.size());
    return true;
}

bool PCMPreparator::GetSamples(uint8_t *pBuffer, int32_t cBytes, int32_t &cBytesReturned)
{
    if (!m_source) return false;
    cBytesReturned = 0;
    while (cBytesReturned < cBytes) {
        const int32_t missing = cBytes - cBytesReturned;
        const int32_t ready = m_dstValid - m_dstPos;
        if (ready >= missing) {
            std::memcpy(pBuffer + cBytesReturned, m_dstBuffer.data() + m_dstPos, size_t(missing));
            m_dstPos += missing;
            cBytesReturned += missing;
            break;
        }
        if (ready > 0) {
            std::memcpy(pBuffer + cBytesReturned, m_dstBuffer.data() + m_dstPos, size_t(ready));
            cBytesReturned += ready;
            m_dstPos += ready;
        }
        if (!refill()) break;
    }
    return true;
}

bool PCMPreparator::CloseConverter()
{
    m_codec.reset();
    m_srcBuffer.clear();
    m_srcBuffer.shrink_to_fit();
    m_dstBuffer.clear();
    m_dstBuffer.shrink_to_fit();
    m_endOfStream = false;
    m_dstValid = 0;
    m_dstPos = 0;
    m_leftover = 0;
    return true;
}

} // namespace pvsm
