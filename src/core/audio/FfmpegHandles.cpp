#include "FfmpegHandles.h"

#include "FileCheck.h"

#include <QFile>

namespace pvsm::ff {

void quietLog()
{
    static const bool done = [] {
        if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_FATAL);
        return true;
    }();
    (void)done;
}

FormatPtr openInput(const QString &path)
{
    quietLog();
    // A FIFO would block the open; a device would be read without end.
    if (readProblem(path) != FileProblem::None) return {};
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, QFile::encodeName(path).constData(), nullptr, nullptr) < 0) return {};
    FormatPtr ctx(raw);
    if (avformat_find_stream_info(ctx.get(), nullptr) < 0) return {};
    return ctx;
}

AVChannelLayout defaultLayout(int channels)
{
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, channels);
    return layout;
}

SwrPtr makeResampler(const AVChannelLayout &inLayout, AVSampleFormat inFormat, int inRate, int outChannels,
                     AVSampleFormat outFormat, int outRate)
{
    AVChannelLayout in{};
    if (inLayout.nb_channels <= 0 || av_channel_layout_copy(&in, &inLayout) < 0) return {};
    if (in.order == AV_CHANNEL_ORDER_UNSPEC) {
        const int n = in.nb_channels;
        av_channel_layout_uninit(&in);
        in = defaultLayout(n);
    }
    AVChannelLayout out = defaultLayout(outChannels);
    SwrContext *raw = nullptr;
    const int r = swr_alloc_set_opts2(&raw, &out, outFormat, outRate, &in, inFormat, inRate, 0, nullptr);
    const int inChannels = in.nb_channels;
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
    if (r < 0 || !raw) return {};
    SwrPtr swr(raw);
    // A mono source goes to both sides of a stereo output unchanged; the
    // resampler's own matrix would lower it by 3 dB.
    if (inChannels == 1 && outChannels == 2) {
        const double both[2] = {1.0, 1.0};
        if (swr_set_matrix(swr.get(), both, 1) < 0) return {};
    }
    if (swr_init(swr.get()) < 0) return {};
    return swr;
}

} // namespace pvsm::ff
