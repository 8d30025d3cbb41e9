#include "StreamWMA.h"

#include "FfmpegHandles.h"
#include "FileAccess.h"
#include "Numbers.h"

#include <cstring>

namespace pvsm {

namespace {

constexpr int kMaxChannels = 8;
constexpr int kMaxSampleRate = 384000;

} // namespace

struct StreamWMA::Decoder
{
    ff::FormatPtr fmt;
    ff::CodecPtr codec;
    ff::PacketPtr packet;
    ff::FramePtr frame;
    ff::SwrPtr swr;
    AVChannelLayout swrLayout{};
    int swrFormat = -1;
    int swrRate = 0;
    int stream = -1;
    int outChannels = 0;
    int outRate = 0;
    bool draining = false; // the demuxer ran out; the decoder gives its last frames
    bool flushed = false;  // the resampler gave its last samples too

    ~Decoder() { av_channel_layout_uninit(&swrLayout); }

    void resetResampler()
    {
        swr.reset();
        av_channel_layout_uninit(&swrLayout);
        swrFormat = -1;
        swrRate = 0;
    }
};

StreamWMA::StreamWMA() = default;

StreamWMA::~StreamWMA()
{
    CloseSource();
}

SoundResult StreamWMA::OpenSource(const QString &Source)
{
    if (m_opened) CloseSource();
    if (!FileExists(Source)) return SoundResultInvalidSource;
    auto dec = std::make_unique<Decoder>();
    dec->fmt = ff::openInput(Source);
    if (!dec->fmt) return SoundResultInvalidSource;
    const AVCodec *codec = nullptr;
    dec->stream = av_find_best_stream(dec->fmt.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (dec->stream < 0 || !codec) return SoundResultUnsupported;
    AVStream *st = dec->fmt->streams[dec->stream];
    dec->codec.reset(avcodec_alloc_context3(codec));
    if (!dec->codec || avcodec_parameters_to_context(dec->codec.get(), st->codecpar) < 0 ||
        avcodec_open2(dec->codec.get(), codec, nullptr) < 0)
        return SoundResultUnsupported;
    const int channels = dec->codec->ch_layout.nb_channels;
    const int rate = dec->codec->sample_rate;
    if (channels < 1 || channels > kMaxChannels || rate < 1 || rate > kMaxSampleRate) return SoundResultUnsupported;
    dec->packet.reset(av_packet_alloc());
    dec->frame.reset(av_frame_alloc());
    if (!dec->packet || !dec->frame) return SoundResultUnsupported;
    dec->outChannels = channels;
    dec->outRate = rate;
    // Only the audio stream is read.
    for (unsigned i = 0; i < dec->fmt->nb_streams; ++i)
        if (int(i) != dec->stream) dec->fmt->streams[i]->discard = AVDISCARD_ALL;

    m_info = Attributes{};
    if (dec->fmt->duration > 0) m_info.Duration = dec->fmt->duration * (10000000 / AV_TIME_BASE);
    m_info.Bitrate = int32_t(std::min<int64_t>(dec->fmt->bit_rate, INT32_MAX));
    m_info.Seekable = dec->fmt->pb && (dec->fmt->pb->seekable & AVIO_SEEKABLE_NORMAL) && m_info.Duration > 0;

    m_waveFormat = MakePcmFormat(uint32_t(rate), uint16_t(channels), 16).toBytes();
    m_dec = std::move(dec);
    m_sample.clear();
    m_samplePos = 0;
    m_endReached = false;
    m_opened = true;
    return SoundResultOk;
}

SoundResult StreamWMA::CloseSource()
{
    if (!m_opened) return SoundResultInvalidSource;
    m_dec.reset();
    m_opened = false;
    m_sample.clear();
    m_samplePos = 0;
    return SoundResultOk;
}

bool StreamWMA::fetchSample()
{
    if (!m_dec) return false;
    Decoder &d = *m_dec;
    m_sample.clear();
    m_samplePos = 0;
    while (m_sample.empty()) {
        const int r = avcodec_receive_frame(d.codec.get(), d.frame.get());
        if (r == 0) {
            AVFrame *f = d.frame.get();
            if (!d.swr || av_channel_layout_compare(&d.swrLayout, &f->ch_layout) != 0 || d.swrFormat != f->format ||
                d.swrRate != f->sample_rate) {
                d.resetResampler();
                d.swr = ff::makeResampler(f->ch_layout, AVSampleFormat(f->format), f->sample_rate, d.outChannels,
                                          AV_SAMPLE_FMT_S16, d.outRate);
                if (!d.swr) {
                    av_frame_unref(f);
                    continue; // a frame in a layout we cannot convert is skipped
                }
                av_channel_layout_copy(&d.swrLayout, &f->ch_layout);
                d.swrFormat = f->format;
                d.swrRate = f->sample_rate;
            }
            const int maxOut = swr_get_out_samples(d.swr.get(), f->nb_samples);
            if (maxOut > 0) {
                m_sample.resize(size_t(maxOut) * size_t(d.outChannels) * 2);
                uint8_t *out = m_sample.data();
                const int n = swr_convert(d.swr.get(), &out, maxOut, const_cast<const uint8_t **>(f->extended_data),
                                          f->nb_samples);
                m_sample.resize(n > 0 ? size_t(n) * size_t(d.outChannels) * 2 : 0);
            }
            if (f->pts != AV_NOPTS_VALUE) {
                const AVRational tb = d.fmt->streams[d.stream]->time_base;
                m_info.SampleTime = av_rescale_q(f->pts, tb, AVRational{1, 10000000});
            }
            av_frame_unref(f);
            continue;
        }
        if (r == AVERROR_EOF) {
            if (!d.flushed && d.swr) {
                d.flushed = true;
                const int maxOut = swr_get_out_samples(d.swr.get(), 0);
                if (maxOut > 0) {
                    m_sample.resize(size_t(maxOut) * size_t(d.outChannels) * 2);
                    uint8_t *out = m_sample.data();
                    const int n = swr_convert(d.swr.get(), &out, maxOut, nullptr, 0);
                    m_sample.resize(n > 0 ? size_t(n) * size_t(d.outChannels) * 2 : 0);
                }
                continue;
            }
            m_endReached = true;
            return false;
        }
        if (r != AVERROR(EAGAIN)) {
            m_endReached = true;
            return false;
        }
        // The decoder wants input.
        if (d.draining) {
            m_endReached = true;
            return false;
        }
        const int rr = av_read_frame(d.fmt.get(), d.packet.get());
        if (rr < 0) {
            d.draining = true;
            avcodec_send_packet(d.codec.get(), nullptr);
            continue;
        }
        if (d.packet->stream_index == d.stream)
            avcodec_send_packet(d.codec.get(), d.packet.get()); // a damaged packet is skipped
        av_packet_unref(d.packet.get());
    }
    return true;
}

SoundResult StreamWMA::Read(uint8_t *pBuffer, int32_t cBytes, int32_t &cBytesRead)
{
    if (!m_opened) return SoundResultInvalidSource;
    cBytesRead = 0;
    while (cBytesRead < cBytes) {
        const int32_t rest = int32_t(m_sample.size()) - m_samplePos;
        const int32_t missing = cBytes - cBytesRead;
        if (rest < missing) {
            if (rest > 0) std::memcpy(pBuffer + cBytesRead, m_sample.data() + m_samplePos, size_t(rest));
            cBytesRead += rest;
            m_samplePos += rest;
            if (!fetchSample()) return SoundResultEndOfStream;
        } else {
            std::memcpy(pBuffer + cBytesRead, m_sample.data() + m_samplePos, size_t(missing));
            m_samplePos += missing;
            cBytesRead += missing;
            return SoundResultOk;
        }
    }
    return SoundResultOk;
}

SoundResult StreamWMA::SeekTo(int32_t value, int32_t mode)
{
    if (!m_opened || !m_dec) return SoundResultInvalidSource;
    const double durationMs = double(Duration());
    int64_t start = 0; // 100-nanosecond units
    if (mode == SeekPercent) {
        if (value < 0 || value > 100) return SoundResultInvalidArgument;
        start = int64_t(durationMs * value / 100.0 * 10000.0);
    } else if (mode == SeekSeconds) {
        if (durationMs <= 0 || value < 0 || value > durationMs / 1000.0) return SoundResultInvalidArgument;
        start = int64_t(durationMs / 100.0 * (value / (durationMs / 1000.0) * 100.0) * 10000.0);
    }
    Decoder &d = *m_dec;
    const int64_t ts = av_rescale_q(start, AVRational{1, 10000000}, AV_TIME_BASE_Q);
    if (av_seek_frame(d.fmt.get(), -1, ts, AVSEEK_FLAG_BACKWARD) < 0) return SoundResultInvalidArgument;
    avcodec_flush_buffers(d.codec.get());
    d.resetResampler();
    d.draining = false;
    d.flushed = false;
    m_endReached = false;
    m_info.SampleTime = start;
    fetchSample();
    return SoundResultOk;
}

int32_t StreamWMA::Position() const
{
    return Nearest(double(m_info.SampleTime) / 10000.0);
}

int32_t StreamWMA::Duration() const
{
    return Nearest(double(m_info.Duration) / 10000.0);
}

} // namespace pvsm
