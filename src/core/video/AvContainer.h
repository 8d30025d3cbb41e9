#pragma once

// Owning handles of libavformat's containers and packets, and the two
// lookups every join of a video with its sound makes.

#include <QFile>
#include <QString>

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace pvsm::av {

struct InputDeleter
{
    void operator()(AVFormatContext *p) const { avformat_close_input(&p); }
};
struct OutputDeleter
{
    void operator()(AVFormatContext *p) const
    {
        if (p->pb) avio_closep(&p->pb);
        avformat_free_context(p);
    }
};
struct PacketDeleter
{
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
using InputPtr = std::unique_ptr<AVFormatContext, InputDeleter>;
using OutputPtr = std::unique_ptr<AVFormatContext, OutputDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

// The file opened and its streams probed; null when either fails.
inline InputPtr openInput(const QString &path)
{
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, QFile::encodeName(path).constData(), nullptr, nullptr) < 0) return nullptr;
    InputPtr in(raw);
    if (avformat_find_stream_info(in.get(), nullptr) < 0) return nullptr;
    return in;
}

// The index of the first stream of `type`, or -1.
inline int firstStream(AVFormatContext *ctx, AVMediaType type)
{
    for (unsigned i = 0; i < ctx->nb_streams; ++i)
        if (ctx->streams[i]->codecpar->codec_type == type) return int(i);
    return -1;
}

} // namespace pvsm::av
