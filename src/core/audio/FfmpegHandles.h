#pragma once

// Owners of FFmpeg objects, for the .cpp files of this folder only (FFmpeg is
// a private dependency of the audio library: no public header includes this).

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <QString>

#include <memory>

namespace pvsm::ff {

struct FormatDeleter
{
    void operator()(AVFormatContext *p) const { avformat_close_input(&p); }
};
struct CodecDeleter
{
    void operator()(AVCodecContext *p) const { avcodec_free_context(&p); }
};
struct FrameDeleter
{
    void operator()(AVFrame *p) const { av_frame_free(&p); }
};
struct PacketDeleter
{
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct SwrDeleter
{
    void operator()(SwrContext *p) const { swr_free(&p); }
};
struct ParserDeleter
{
    void operator()(AVCodecParserContext *p) const { av_parser_close(p); }
};

using FormatPtr = std::unique_ptr<AVFormatContext, FormatDeleter>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwrPtr = std::unique_ptr<SwrContext, SwrDeleter>;
using ParserPtr = std::unique_ptr<AVCodecParserContext, ParserDeleter>;

// FFmpeg's own log lines would fill standard error on every damaged file;
// the audio classes report failures as values instead.
void quietLog();

// Opens `path` for demuxing and reads its stream information; null on failure.
FormatPtr openInput(const QString &path);

// A resampler from the frame's own layout, rate and sample format to packed
// `outFormat` with `outChannels` channels at `outRate`. A mono source is
// copied to both sides of a stereo output at full level. Null on failure.
SwrPtr makeResampler(const AVChannelLayout &inLayout, AVSampleFormat inFormat, int inRate, int outChannels,
                     AVSampleFormat outFormat, int outRate);

// The default layout for `channels` (1 = mono, 2 = stereo, …).
AVChannelLayout defaultLayout(int channels);

} // namespace pvsm::ff
