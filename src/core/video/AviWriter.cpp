#include "AviWriter.h"

#include "FileCheck.h"
#include "H264Repeat.h"
#include "YuvConvert.h"

#include <QFile>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace pvsm {

namespace {

QString avErrorText(int code)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return QString::fromUtf8(buf);
}

struct CodecContextDeleter { void operator()(AVCodecContext *c) const { avcodec_free_context(&c); } };
struct FrameDeleter { void operator()(AVFrame *f) const { av_frame_free(&f); } };
struct PacketDeleter { void operator()(AVPacket *p) const { av_packet_free(&p); } };
struct SwsDeleter { void operator()(SwsContext *s) const { sws_freeContext(s); } };

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwsPtr = std::unique_ptr<SwsContext, SwsDeleter>;

const AVOutputFormat *aviFormat()
{
    return av_guess_format("avi", nullptr, nullptr);
}

bool storableInAvi(const AVCodec *codec)
{
    const AVOutputFormat *avi = aviFormat();
    return avi && avformat_query_codec(avi, codec->id, FF_COMPLIANCE_NORMAL) == 1;
}

AVPixelFormat pickPixelFormat(const AVCodec *codec)
{
    if (!codec->pix_fmts) return AV_PIX_FMT_YUV420P;
    for (const AVPixelFormat *p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
        if (*p == AV_PIX_FMT_YUV420P) return *p;
    for (const AVPixelFormat *p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
        if (*p == AV_PIX_FMT_YUVJ420P || *p == AV_PIX_FMT_BGR24) return *p;
    return codec->pix_fmts[0];
}

// Whether two converted pictures of the same format and size hold the same
// bytes (the rows' padding aside).
bool samePicture(const AVFrame *a, const AVFrame *b)
{
    if (!a || !b || a->format != b->format || a->width != b->width || a->height != b->height) return false;
    const auto format = AVPixelFormat(a->format);
    const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(format);
    int rowBytes[4] = {};
    if (!desc || av_image_fill_linesizes(rowBytes, format, a->width) < 0) return false;
    for (int plane = 0; plane < 4 && a->data[plane]; ++plane) {
        const bool chroma = (plane == 1 || plane == 2) && !(desc->flags & AV_PIX_FMT_FLAG_RGB);
        const int rows = chroma ? AV_CEIL_RSHIFT(a->height, desc->log2_chroma_h) : a->height;
        for (int y = 0; y < rows; ++y)
            if (std::memcmp(a->data[plane] + ptrdiff_t(y) * a->linesize[plane],
                            b->data[plane] + ptrdiff_t(y) * b->linesize[plane], size_t(rowBytes[plane])) != 0)
                return false;
    }
    return true;
}

} // namespace

// ---- codec choice ------------------------------------------------------------

QString handlerNameForEncoder(const QString &name)
{
    const QByteArray n = name.toLatin1();
    const AVCodec *codec = avcodec_find_encoder_by_name(n.constData());
    if (!codec) return {};
    if (name == QLatin1String("libx264") || name == QLatin1String("libx264rgb")) return QStringLiteral("X264");
    switch (codec->id) {
    case AV_CODEC_ID_H264: return QStringLiteral("H264");
    case AV_CODEC_ID_MPEG4: return QStringLiteral("XVID");
    case AV_CODEC_ID_MJPEG: return QStringLiteral("MJPG");
    case AV_CODEC_ID_RAWVIDEO: return QStringLiteral("DIB ");
    default: break;
    }
    const AVOutputFormat *avi = aviFormat();
    unsigned tag = avi ? av_codec_get_tag(avi->codec_tag, codec->id) : 0;
    if (tag == 0) return QString::fromLatin1(codec->name).toUpper().left(4);
    QString text;
    for (int i = 0; i < 4; ++i) text += QChar(char((tag >> (8 * i)) & 0xFF));
    return text.toUpper();
}

std::vector<CompressorInfo> InstalledCompressors()
{
    std::vector<CompressorInfo> out;
    void *it = nullptr;
    while (const AVCodec *codec = av_codec_iterate(&it)) {
        if (!av_codec_is_encoder(codec) || codec->type != AVMEDIA_TYPE_VIDEO) continue;
        if (!storableInAvi(codec)) continue;
        const QString name = QString::fromLatin1(codec->name);
        out.push_back({name, handlerNameForEncoder(name), QString::fromUtf8(codec->long_name ? codec->long_name : codec->name)});
    }
    return out;
}

namespace {

// Opening a context at a small size tells whether the encoder really works
// here (hardware encoders are listed even without their device).
bool encoderOpens(const QString &name)
{
    const QByteArray n = name.toLatin1();
    const AVCodec *codec = avcodec_find_encoder_by_name(n.constData());
    if (!codec) return false;
    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx) return false;
    ctx->width = 64;
    ctx->height = 64;
    ctx->time_base = {1, kVideoFrameRate};
    ctx->framerate = {kVideoFrameRate, 1};
    ctx->pix_fmt = pickPixelFormat(codec);
    av_log_set_level(AV_LOG_QUIET);
    const int r = avcodec_open2(ctx.get(), codec, nullptr);
    av_log_set_level(AV_LOG_WARNING);
    return r >= 0;
}

} // namespace

std::optional<CompressorInfo> FindPreferredCodec(const std::vector<CompressorInfo> &installed)
{
    for (const CompressorInfo &c : installed) {
        const QString h = c.handler.toUpper();
        if ((h == QLatin1String("H264") || h == QLatin1String("X264") || h == QLatin1String("AVC1")) && encoderOpens(c.encoder))
            return c;
    }
    for (const CompressorInfo &c : installed)
        if (c.handler.toUpper() == QLatin1String("XVID") && encoderOpens(c.encoder)) return c;
    return std::nullopt;
}

// ---- writer --------------------------------------------------------------------

struct AviWriter::Impl
{
    AVFormatContext *format = nullptr;
    AVStream *stream = nullptr;
    CodecContextPtr codec;
    PacketPtr packet;
    SwsPtr sws;
    bool bt709 = false; // the matrix the stream is marked with
    QSize size;
    bool headerWritten = false;
    int64_t lastEncodedPosition = -1;
    // How frames that repeat a picture are stored: coded skip frames (H.264),
    // copies of the packet (intra-only codecs), or empty chunks (others).
    std::optional<H264RepeatFrames> h264;
    bool intraOnly = false;
    int64_t lastSubmitted = -1;
    // The converted picture at lastSubmitted (a reference to its buffer), to
    // spot pictures handed over again. Compared once converted, a picture
    // needs neither a copy of its own nor a comparison of four bytes a pixel.
    AVFrame *last = nullptr;

    // The encoder runs on a thread of its own: while it codes one picture the
    // frame loop renders the next ones instead of waiting inside the encoder.
    // Converted pictures wait in a short queue; the frames they are made in
    // go round between the two threads.
    std::thread worker;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<AVFrame *> queue;  // converted, waiting for the encoder
    std::vector<AVFrame *> spare; // converted and coded, free for the next picture
    bool finishing = false;       // no more pictures: the worker ends when the queue is empty
    std::map<int64_t, int64_t> repeatsAfter; // position -> frames that repeat it (under `mutex`)

    ~Impl()
    {
        av_frame_free(&last);
        for (AVFrame *f : queue) av_frame_free(&f);
        for (AVFrame *f : spare) av_frame_free(&f);
        if (format) {
            if (format->pb) avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }
};

AviWriter::AviWriter() = default;

AviWriter::~AviWriter()
{
    if (d && d->headerWritten) close();
    stopWorker();
}

bool AviWriter::isOpen() const
{
    return d && d->headerWritten;
}

bool AviWriter::fail(const QString &message)
{
    const std::lock_guard<std::mutex> lock(m_errorMutex);
    if (!m_failed) m_error = message;
    m_failed = true;
    return false;
}

bool AviWriter::open(const QString &path, QSize size, const VideoEncodeOptions &options, QString *error)
{
    // The libraries' progress chatter is not for our users; problems still show.
    if (av_log_get_level() > AV_LOG_WARNING) av_log_set_level(AV_LOG_WARNING);
    // A writer opened again first finishes what it was writing.
    if (d && d->headerWritten) close();
    stopWorker();
    d = std::make_unique<Impl>();
    m_frameCounter = 0;
    m_encoded = 0;
    m_failed = m_cancelled = m_diskFull = false;
    m_error.clear();
    auto bad = [&](const QString &message) {
        fail(message);
        if (error) *error = message;
        d.reset();
        return false;
    };
    if (size.width() < 2 || size.height() < 2 || size.width() % 2 || size.height() % 2)
        return bad(QStringLiteral("frame size %1x%2 is not even").arg(size.width()).arg(size.height()));

    const QByteArray encoderName = options.encoder.toLatin1();
    const AVCodec *codec = avcodec_find_encoder_by_name(encoderName.constData());
    if (!codec) return bad(QStringLiteral("no video encoder named %1").arg(options.encoder));

    const QByteArray file = QFile::encodeName(path);
    int r = avformat_alloc_output_context2(&d->format, aviFormat(), nullptr, file.constData());
    if (r < 0 || !d->format) return bad(QStringLiteral("cannot make an AVI file: %1").arg(avErrorText(r)));

    d->codec.reset(avcodec_alloc_context3(codec));
    AVCodecContext *c = d->codec.get();
    c->width = size.width();
    c->height = size.height();
    const int rate = options.frameRate > 0 ? options.frameRate : kVideoFrameRate;
    c->time_base = {1, rate};
    c->framerate = {rate, 1};
    c->pix_fmt = pickPixelFormat(codec);
    c->gop_size = 3 * rate; // a key picture every 3 seconds
    // AVI stores no presentation times: frames must come out in the order they
    // go in, or the empty chunks that stand for held pictures would misplace them.
    c->max_b_frames = 0;
    const bool hd = size.height() >= 720;
    c->colorspace = hd ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
    c->color_primaries = hd ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
    c->color_trc = hd ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
    c->color_range = AVCOL_RANGE_MPEG;
    if (d->format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    AVDictionary *opts = nullptr;
    if (options.encoder == QLatin1String("libx264")) {
        const QByteArray preset = (options.preset.isEmpty() ? QString::fromLatin1(kDefaultX264Preset) : options.preset).toLatin1();
        av_dict_set(&opts, "preset", preset.constData(), 0);
        av_dict_set(&opts, "crf", QByteArray::number(options.crf >= 0 ? options.crf : kDefaultX264Crf).constData(), 0);
        av_dict_set(&opts, "bf", "0", 0);
        // Repeated frames are coded as copies of the picture before them, which
        // needs every P frame to predict from that picture alone.
        c->refs = 1;
        d->h264.emplace();
    } else if (codec->id == AV_CODEC_ID_MPEG4 || codec->id == AV_CODEC_ID_MJPEG) {
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = FF_QP2LAMBDA * 3;
    }
    r = avcodec_open2(c, codec, &opts);
    av_dict_free(&opts);
    if (r < 0) return bad(QStringLiteral("cannot start the %1 encoder: %2").arg(options.encoder, avErrorText(r)));
    if (const AVCodecDescriptor *desc = avcodec_descriptor_get(codec->id))
        d->intraOnly = (desc->props & AV_CODEC_PROP_INTRA_ONLY) != 0;

    d->stream = avformat_new_stream(d->format, nullptr);
    if (!d->stream) return bad(QStringLiteral("cannot add a video stream"));
    d->stream->time_base = c->time_base;
    d->stream->avg_frame_rate = c->framerate;
    r = avcodec_parameters_from_context(d->stream->codecpar, c);
    if (r < 0) return bad(QStringLiteral("cannot set the stream format: %1").arg(avErrorText(r)));

    r = avio_open(&d->format->pb, file.constData(), AVIO_FLAG_WRITE);
    if (r < 0) return bad(QStringLiteral("cannot create %1: %2").arg(path, avErrorText(r)));
    r = avformat_write_header(d->format, nullptr);
    if (r < 0) return bad(QStringLiteral("cannot write the AVI header: %1").arg(avErrorText(r)));
    d->headerWritten = true;

    d->packet.reset(av_packet_alloc());
    // Three frames: one being converted, one waiting, one in the encoder.
    for (int i = 0; i < 3; ++i) {
        AVFrame *f = av_frame_alloc();
        if (!f) return bad(QStringLiteral("out of memory"));
        d->spare.push_back(f);
        f->format = c->pix_fmt;
        f->width = c->width;
        f->height = c->height;
        if (av_frame_get_buffer(f, 0) < 0) return bad(QStringLiteral("out of memory"));
    }
    d->sws.reset(sws_getContext(c->width, c->height, AV_PIX_FMT_BGRA, c->width, c->height, c->pix_fmt,
                                SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr));
    if (!d->sws) return bad(QStringLiteral("cannot convert pictures for the %1 encoder").arg(options.encoder));
    d->bt709 = hd;
    const int *coefficients = sws_getCoefficients(hd ? SWS_CS_ITU709 : SWS_CS_ITU601);
    sws_setColorspaceDetails(d->sws.get(), coefficients, 1, coefficients, 0, 0, 1 << 16, 1 << 16);
    d->size = size;
    d->worker = std::thread([this] { encodeQueued(); });
    return true;
}

namespace {

// 0, or the library's negative error code.
int writeBytes(AVFormatContext *format, int streamIndex, const QByteArray &bytes, int64_t position, bool key)
{
    PacketPtr pkt(av_packet_alloc());
    if (!pkt || av_new_packet(pkt.get(), int(bytes.size())) < 0) return AVERROR(ENOMEM);
    if (!bytes.isEmpty()) memcpy(pkt->data, bytes.constData(), size_t(bytes.size()));
    pkt->pts = pkt->dts = position;
    pkt->duration = 1;
    pkt->stream_index = streamIndex;
    if (key) pkt->flags |= AV_PKT_FLAG_KEY;
    const int r = av_interleaved_write_frame(format, pkt.get());
    return r < 0 ? r : 0;
}

// Bytes the AVI muxer adds at close for each chunk: the legacy index entry
// (16) and the OpenDML one (8), rounded up for the index headers.
constexpr int64_t kIndexBytesPerChunk = 32;

} // namespace

bool AviWriter::cancelled() const
{
    return m_cancelled || (m_watched && m_watched->load(std::memory_order_relaxed));
}

bool AviWriter::failWrite(int errorCode)
{
    if (isDiskFullErrno(-errorCode) || (d && d->format && d->format->pb && isDiskFullErrno(-d->format->pb->error)))
        m_diskFull = true;
    return fail(QStringLiteral("cannot write the video: %1").arg(avErrorText(errorCode)));
}

bool AviWriter::withinLimit(int64_t position)
{
    if (m_sizeLimit < 0) return true;
    // Every frame up to `position` has its index entry, empty chunks too.
    const int64_t size = avio_tell(d->format->pb) + (position + 1) * kIndexBytesPerChunk;
    if (size <= m_sizeLimit) return true;
    m_diskFull = true;
    return fail(QStringLiteral("the video reached the free space measured at the start"));
}

bool AviWriter::drainPackets(bool flushing)
{
    while (true) {
        const int r = avcodec_receive_packet(d->codec.get(), d->packet.get());
        if (r == AVERROR(EAGAIN) || (flushing && r == AVERROR_EOF)) return true;
        if (r < 0) return fail(QStringLiteral("the video encoder failed: %1").arg(avErrorText(r)));
        const int64_t position = d->packet->pts; // encoder and stream both count in frames
        const bool key = d->packet->flags & AV_PKT_FLAG_KEY;
        QByteArray bytes(reinterpret_cast<const char *>(d->packet->data), d->packet->size);
        av_packet_unref(d->packet.get());
        if (d->h264) bytes = d->h264->processEncoderPacket(bytes);
        if (const int w = writeBytes(d->format, d->stream->index, bytes, position, key)) return failWrite(w);
        if (!withinLimit(position)) return false;

        int64_t repeats = 0;
        {
            const std::lock_guard<std::mutex> lock(d->mutex);
            const auto it = d->repeatsAfter.find(position);
            if (it == d->repeatsAfter.end()) continue;
            repeats = it->second;
            d->repeatsAfter.erase(it);
        }
        // A held picture may stand for millions of frames: the loop must
        // notice a cancel and a full disk between any two of them.
        for (int64_t i = 1; i <= repeats; ++i) {
            if (cancelled()) {
                m_cancelled = true;
                return true;
            }
            QByteArray copy;
            if (d->h264 && d->h264->canRepeat()) copy = d->h264->repeatFrame();
            else if (d->intraOnly) copy = bytes;
            else break; // the muxer stores the gap as empty chunks
            if (const int w = writeBytes(d->format, d->stream->index, copy, position + i, d->intraOnly && key))
                return failWrite(w);
            if (!withinLimit(position + i)) return false;
        }
    }
}

bool AviWriter::convertPicture(const QImage &frame, AVFrame *out)
{
    QImage img = frame;
    if (img.format() != QImage::Format_RGB32 && img.format() != QImage::Format_ARGB32
        && img.format() != QImage::Format_ARGB32_Premultiplied)
        img = img.convertToFormat(QImage::Format_RGB32);
    if (img.size() != d->size) img = img.scaled(d->size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // A buffer the last picture still holds is left to it, not copied.
    if (!av_frame_is_writable(out)) {
        const int format = out->format, width = out->width, height = out->height;
        av_frame_unref(out);
        out->format = format;
        out->width = width;
        out->height = height;
        if (av_frame_get_buffer(out, 0) < 0) return fail(QStringLiteral("out of memory"));
    }
    if (out->format == AV_PIX_FMT_YUV420P && Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        ConvertToYuv420(img.constBits(), img.bytesPerLine(), img.width(), img.height(), d->bt709, out->data,
                        out->linesize);
    } else {
        const uint8_t *src[1] = {img.constBits()};
        const int srcStride[1] = {int(img.bytesPerLine())};
        sws_scale(d->sws.get(), src, srcStride, 0, img.height(), out->data, out->linesize);
    }
    return true;
}

bool AviWriter::encodePicture(const QImage &frame, int64_t position, int count)
{
    AVFrame *f = nullptr;
    {
        std::unique_lock<std::mutex> lock(d->mutex);
        d->changed.wait(lock, [&] { return !d->spare.empty() || m_failed; });
        if (m_failed) return false;
        f = d->spare.back();
        d->spare.pop_back();
    }
    auto giveBack = [&] {
        {
            const std::lock_guard<std::mutex> lock(d->mutex);
            d->spare.push_back(f);
        }
        d->changed.notify_all();
    };
    if (!convertPicture(frame, f)) {
        giveBack();
        return false;
    }
    // Renderers often hand over the picture they handed over last (a slide
    // written twice, a lyric line that has not changed): those frames are
    // repeats too and need no encoder work.
    if (d->lastSubmitted >= 0 && samePicture(f, d->last)) {
        giveBack();
        const std::lock_guard<std::mutex> lock(d->mutex);
        d->repeatsAfter[d->lastSubmitted] += count;
        return true;
    }
    if (!d->last) d->last = av_frame_alloc();
    av_frame_unref(d->last);
    if (!d->last || av_frame_ref(d->last, f) < 0) {
        giveBack();
        return fail(QStringLiteral("out of memory"));
    }
    f->pts = position;
    {
        const std::lock_guard<std::mutex> lock(d->mutex);
        if (count > 1) d->repeatsAfter[position] = count - 1;
        d->queue.push_back(f);
    }
    d->changed.notify_all();
    d->lastSubmitted = position;
    ++m_encoded;
    return true;
}

void AviWriter::encodeQueued()
{
    while (true) {
        AVFrame *f = nullptr;
        {
            std::unique_lock<std::mutex> lock(d->mutex);
            d->changed.wait(lock, [&] { return !d->queue.empty() || d->finishing; });
            if (d->queue.empty()) return;
            f = d->queue.front();
            d->queue.pop_front();
        }
        bool ok = !m_failed && !cancelled();
        if (ok) {
            const int64_t position = f->pts;
            const int r = avcodec_send_frame(d->codec.get(), f);
            if (r < 0) ok = fail(QStringLiteral("the video encoder failed: %1").arg(avErrorText(r)));
            else {
                d->lastEncodedPosition = position;
                ok = drainPackets(false);
            }
        }
        {
            const std::lock_guard<std::mutex> lock(d->mutex);
            d->spare.push_back(f);
        }
        d->changed.notify_all();
    }
}

void AviWriter::stopWorker()
{
    if (!d || !d->worker.joinable()) return;
    {
        const std::lock_guard<std::mutex> lock(d->mutex);
        d->finishing = true;
    }
    d->changed.notify_all();
    d->worker.join();
}

bool AviWriter::WriteFrame(const QImage &frame, int count)
{
    if (m_failed || cancelled() || !d || !d->headerWritten || count < 1) return false;
    // Frame n lies at position n - 1.
    if (!encodePicture(frame, m_frameCounter, count)) return false;
    m_frameCounter += count;
    return true;
}

void AviWriter::setFrameCounter(int64_t frames)
{
    if (frames <= m_frameCounter) return;
    // The skipped frames go on showing the last picture.
    if (d && d->lastSubmitted >= 0) {
        const std::lock_guard<std::mutex> lock(d->mutex);
        d->repeatsAfter[d->lastSubmitted] += frames - m_frameCounter;
    }
    m_frameCounter = frames;
}

bool AviWriter::close()
{
    if (!d) return !m_failed && !cancelled();
    stopWorker();
    if (cancelled()) {
        // The file is deleted by the caller: nothing more is encoded.
        m_cancelled = true;
        d.reset();
        return false;
    }
    bool ok = !m_failed;
    if (d->headerWritten) {
        // Stored as empty chunks, the last picture's repeats would have no later
        // chunk to stretch to: encode it once more at the last position so the
        // stream has its full length.
        const int64_t lastPosition = m_frameCounter - 1;
        const bool codedRepeats = d->h264 || d->intraOnly;
        if (ok && !codedRepeats && lastPosition > d->lastEncodedPosition && d->lastEncodedPosition >= 0 && d->last) {
            d->repeatsAfter.erase(d->lastSubmitted);
            AVFrame *f = av_frame_clone(d->last);
            if (!f) ok = fail(QStringLiteral("out of memory"));
            else {
                f->pts = lastPosition;
                if (avcodec_send_frame(d->codec.get(), f) < 0) ok = fail(QStringLiteral("the video encoder failed"));
                else {
                    d->lastEncodedPosition = lastPosition;
                    ok = drainPackets(false) && ok;
                }
                av_frame_free(&f);
            }
        }
        if (avcodec_send_frame(d->codec.get(), nullptr) >= 0) ok = drainPackets(true) && ok;
        int r = av_write_trailer(d->format);
        if (r < 0) ok = failWrite(r);
        d->headerWritten = false;
        // The trailer's own writes end in the buffer: only closing shows
        // whether they reached the file.
        if (d->format->pb) {
            avio_flush(d->format->pb);
            if (d->format->pb->error < 0) ok = failWrite(d->format->pb->error);
            r = avio_closep(&d->format->pb);
            if (r < 0) ok = failWrite(r);
        }
    }
    d.reset();
    return ok && !m_failed;
}

} // namespace pvsm
