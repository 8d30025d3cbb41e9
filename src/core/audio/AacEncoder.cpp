#include "AacEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace pvsm {

namespace {

QString avText(int code)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return QString::fromUtf8(buf);
}

} // namespace

struct AacEncoder::Impl
{
    AVCodecContext *codec = nullptr;
    SwrContext *swr = nullptr;
    AVAudioFifo *fifo = nullptr;
    AVFrame *frame = nullptr;
    AVPacket *packet = nullptr;
    PacketSink sink;
    int inputRate = 0;
    int inputChannels = 0;
    int64_t nextPts = 0; // samples at 48 kHz handed to the encoder

    ~Impl()
    {
        avcodec_free_context(&codec);
        swr_free(&swr);
        if (fifo) av_audio_fifo_free(fifo);
        av_frame_free(&frame);
        av_packet_free(&packet);
    }
};

AacEncoder::AacEncoder() = default;
AacEncoder::~AacEncoder() = default;

bool AacEncoder::fail(const QString &message)
{
    if (m_error.isEmpty()) m_error = message;
    return false;
}

bool AacEncoder::open(int inputRate, int inputChannels, PacketSink sink, QString *error)
{
    d = std::make_unique<Impl>();
    m_error.clear();
    auto bad = [&](const QString &why) {
        fail(why);
        if (error) *error = m_error;
        d.reset();
        return false;
    };
    if (inputRate <= 0 || inputChannels < 1 || inputChannels > 8) return bad(QStringLiteral("unusable PCM format"));
    d->sink = std::move(sink);
    d->inputRate = inputRate;
    d->inputChannels = inputChannels;
    const AVCodec *aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!aac) return bad(QStringLiteral("no AAC encoder"));
    d->codec = avcodec_alloc_context3(aac);
    if (!d->codec) return bad(QStringLiteral("out of memory"));
    AVCodecContext *c = d->codec;
    c->sample_rate = kSampleRate;
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    av_channel_layout_default(&c->ch_layout, kChannels);
    c->bit_rate = 192000;
    c->profile = FF_PROFILE_AAC_LOW;
    c->time_base = {1, kSampleRate};
    // MP4 keeps the decoder set-up apart from the packets.
    c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int r = avcodec_open2(c, aac, nullptr);
    if (r < 0) return bad(QStringLiteral("cannot start the AAC encoder: %1").arg(avText(r)));

    AVChannelLayout inLayout;
    av_channel_layout_default(&inLayout, inputChannels);
    r = swr_alloc_set_opts2(&d->swr, &c->ch_layout, AV_SAMPLE_FMT_FLTP, kSampleRate, &inLayout, AV_SAMPLE_FMT_S16,
                            inputRate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    if (r < 0 || !d->swr || swr_init(d->swr) < 0) return bad(QStringLiteral("cannot resample to 48 kHz"));
    d->fifo = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, kChannels, c->frame_size * 4);
    d->frame = av_frame_alloc();
    d->packet = av_packet_alloc();
    if (!d->fifo || !d->frame || !d->packet) return bad(QStringLiteral("out of memory"));
    return true;
}

bool AacEncoder::copyParameters(AVCodecParameters *out) const
{
    return d && avcodec_parameters_from_context(out, d->codec) >= 0;
}

int AacEncoder::primingSamples() const
{
    return d ? d->codec->initial_padding : 0;
}

bool AacEncoder::write(const int16_t *samples, int64_t frames)
{
    if (!d) return fail(QStringLiteral("the AAC encoder is not open"));
    while (frames > 0) {
        // Pieces of a second keep the resampler's buffers small.
        const int n = int(std::min<int64_t>(frames, d->inputRate));
        const int outMax = swr_get_out_samples(d->swr, n);
        uint8_t **planes = nullptr;
        if (av_samples_alloc_array_and_samples(&planes, nullptr, kChannels, outMax, AV_SAMPLE_FMT_FLTP, 0) < 0)
            return fail(QStringLiteral("out of memory"));
        const uint8_t *in[1] = {reinterpret_cast<const uint8_t *>(samples)};
        const int got = swr_convert(d->swr, planes, outMax, in, n);
        bool ok = got >= 0 && av_audio_fifo_write(d->fifo, reinterpret_cast<void **>(planes), got) == got;
        av_freep(&planes[0]);
        av_freep(&planes);
        if (!ok) return fail(QStringLiteral("cannot resample the sound"));
        samples += int64_t(n) * d->inputChannels;
        frames -= n;
        if (!encodeFrames(false)) return false;
    }
    return true;
}

bool AacEncoder::encodeFrames(bool flushing)
{
    const int frameSize = d->codec->frame_size;
    while (av_audio_fifo_size(d->fifo) >= frameSize || (flushing && av_audio_fifo_size(d->fifo) > 0)) {
        const int n = std::min(frameSize, av_audio_fifo_size(d->fifo));
        av_frame_unref(d->frame);
        d->frame->nb_samples = n;
        d->frame->format = AV_SAMPLE_FMT_FLTP;
        d->frame->sample_rate = kSampleRate;
        if (av_channel_layout_copy(&d->frame->ch_layout, &d->codec->ch_layout) < 0
            || av_frame_get_buffer(d->frame, 0) < 0)
            return fail(QStringLiteral("out of memory"));
        if (av_audio_fifo_read(d->fifo, reinterpret_cast<void **>(d->frame->data), n) != n)
            return fail(QStringLiteral("cannot read the resampled sound"));
        d->frame->pts = d->nextPts;
        d->nextPts += n;
        const int r = avcodec_send_frame(d->codec, d->frame);
        if (r < 0) return fail(QStringLiteral("the AAC encoder failed: %1").arg(avText(r)));
        if (!drain(false)) return false;
    }
    return true;
}

bool AacEncoder::drain(bool flushing)
{
    while (true) {
        const int r = avcodec_receive_packet(d->codec, d->packet);
        if (r == AVERROR(EAGAIN) || (flushing && r == AVERROR_EOF)) return true;
        if (r < 0) return fail(QStringLiteral("the AAC encoder failed: %1").arg(avText(r)));
        const bool ok = d->sink ? d->sink(d->packet) : true;
        av_packet_unref(d->packet);
        if (!ok) return fail(QStringLiteral("the sound could not be written"));
    }
}

bool AacEncoder::finish()
{
    if (!d) return fail(QStringLiteral("the AAC encoder is not open"));
    // The resampler holds back a few samples of its filter.
    const int tail = swr_get_out_samples(d->swr, 0);
    if (tail > 0) {
        uint8_t **planes = nullptr;
        if (av_samples_alloc_array_and_samples(&planes, nullptr, kChannels, tail, AV_SAMPLE_FMT_FLTP, 0) < 0)
            return fail(QStringLiteral("out of memory"));
        const int got = swr_convert(d->swr, planes, tail, nullptr, 0);
        const bool ok = got >= 0 && av_audio_fifo_write(d->fifo, reinterpret_cast<void **>(planes), got) == got;
        av_freep(&planes[0]);
        av_freep(&planes);
        if (!ok) return fail(QStringLiteral("cannot resample the sound"));
    }
    if (!encodeFrames(true)) return false;
    const int r = avcodec_send_frame(d->codec, nullptr);
    if (r < 0) return fail(QStringLiteral("the AAC encoder failed: %1").arg(avText(r)));
    return drain(true);
}

} // namespace pvsm
