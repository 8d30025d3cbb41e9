#include "Mp4Mux.h"

#include "AacEncoder.h"
#include "AvContainer.h"
#include "FileCheck.h"
#include "Soundtrack.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <memory>
#include <vector>

namespace pvsm {

namespace {

const QString kMuxCaption = QStringLiteral("步骤5/5：合并视频和音频");

// Bytes the index takes at the end for each packet: its size, time and
// chunk entries, with room for the boxes around them.
constexpr int64_t kIndexBytesPerPacket = 16;

using namespace av;

// The WAV as a stream of 16-bit sample frames placed on the video's time:
// silence in front when the music starts later in the video than in the
// WAV, the WAV's start skipped when earlier, and nothing after the video's end.
class PlacedPcm
{
public:
    bool open(const Mp4Sound &sound, double videoSeconds, QString &error)
    {
        m_in = openInput(sound.wavPath);
        if (!m_in) return fail(error, QStringLiteral("cannot read the soundtrack"));
        m_stream = firstStream(m_in.get(), AVMEDIA_TYPE_AUDIO);
        if (m_stream < 0) return fail(error, QStringLiteral("the soundtrack has no sound"));
        const AVStream *st = m_in->streams[m_stream];
        const AVCodecParameters *p = st->codecpar;
        if (p->codec_id != AV_CODEC_ID_PCM_S16LE) return fail(error, QStringLiteral("the soundtrack is not 16-bit PCM"));
        m_rate = p->sample_rate;
        m_channels = p->ch_layout.nb_channels;
        if (m_rate <= 0 || m_channels < 1) return fail(error, QStringLiteral("the soundtrack's format is unusable"));
        const double shift = sound.musicStartSeconds - sound.leadSeconds;
        m_silenceFront = shift > 0 ? std::llround(shift * m_rate) : 0;
        m_skip = shift < 0 ? std::llround(-shift * m_rate) : 0;
        m_total = std::max<int64_t>(0, std::llround(videoSeconds * m_rate));
        m_videoSeconds = videoSeconds;
        int64_t wavFrames = -1;
        if (st->duration > 0) wavFrames = av_rescale_q(st->duration, st->time_base, AVRational{1, m_rate});
        else if (avio_size(m_in->pb) > 44) wavFrames = (avio_size(m_in->pb) - 44) / (2 * m_channels);
        // Music that goes on for more than a video frame after the picture
        // ends is cut there.
        const int64_t musicEnd = wavFrames + m_silenceFront - m_skip;
        m_cut = wavFrames >= 0 && musicEnd > m_total + m_rate / 30;
        m_fade = sound.fadeOutEnd && m_cut;
        m_packet.reset(av_packet_alloc());
        return m_packet != nullptr;
    }

    int rate() const { return m_rate; }
    int channels() const { return m_channels; }

    // The next piece; false at the end.
    bool next(std::vector<int16_t> &out)
    {
        out.clear();
        if (m_done >= m_total) return false;
        if (m_done < m_silenceFront) {
            const int64_t n = std::min<int64_t>({m_silenceFront - m_done, m_total - m_done, int64_t(m_rate)});
            out.assign(size_t(n * m_channels), 0);
            m_done += n;
            return true;
        }
        while (true) {
            av_packet_unref(m_packet.get());
            if (av_read_frame(m_in.get(), m_packet.get()) < 0) {
                m_done = m_total; // the music ended before the picture
                return false;
            }
            if (m_packet->stream_index != m_stream) continue;
            int64_t frames = m_packet->size / (2 * m_channels);
            const auto *data = reinterpret_cast<const int16_t *>(m_packet->data);
            if (m_skip > 0) {
                const int64_t s = std::min(m_skip, frames);
                m_skip -= s;
                frames -= s;
                data += s * m_channels;
            }
            if (frames <= 0) continue;
            frames = std::min(frames, m_total - m_done);
            out.assign(data, data + frames * m_channels);
            if (m_fade) applyFade(out, m_done);
            m_done += frames;
            return true;
        }
    }

private:
    static bool fail(QString &error, const QString &why)
    {
        error = why;
        return false;
    }

    void applyFade(std::vector<int16_t> &samples, int64_t firstFrame) const
    {
        const int64_t frames = int64_t(samples.size()) / m_channels;
        for (int64_t i = 0; i < frames; ++i) {
            const double g = MusicFadeGain(double(firstFrame + i) / m_rate, m_videoSeconds);
            if (g >= 1.0) continue;
            for (int c = 0; c < m_channels; ++c) {
                int16_t &s = samples[size_t(i * m_channels + c)];
                s = int16_t(std::lround(s * g));
            }
        }
    }

    InputPtr m_in;
    PacketPtr m_packet;
    int m_stream = -1;
    int m_rate = 0;
    int m_channels = 0;
    int64_t m_silenceFront = 0;
    int64_t m_skip = 0;
    int64_t m_total = 0;
    int64_t m_done = 0;
    bool m_fade = false;
    bool m_cut = false;
    double m_videoSeconds = 0;
};

} // namespace

MuxOutcome MuxMp4(const QString &videoPath, const Mp4Sound *sound, double videoSeconds, const QString &outputPath,
                  const JobControl &control, int64_t maxBytes)
{
    MuxOutcome outcome;
    if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_FATAL);
    OutputPtr out;
    auto fail = [&](const QString &why) {
        out.reset();
        QFile::remove(outputPath);
        outcome.ok = false;
        outcome.error = why;
        return outcome;
    };
    auto failWrite = [&](int code, const QString &why) {
        if (isDiskFullErrno(-code) || (out && out->pb && isDiskFullErrno(-out->pb->error))) outcome.diskFull = true;
        return fail(why);
    };
    control.report(0, kMuxCaption);

    InputPtr video = openInput(videoPath);
    if (!video) return fail(QStringLiteral("cannot read the video part"));
    const int vIn = firstStream(video.get(), AVMEDIA_TYPE_VIDEO);
    if (vIn < 0) return fail(QStringLiteral("the video part has no picture"));
    const AVStream *vs = video->streams[vIn];
    if (vs->codecpar->codec_id != AV_CODEC_ID_H264) return fail(QStringLiteral("MP4 takes H.264 pictures only"));

    PlacedPcm pcm;
    if (sound) {
        QString why;
        if (!pcm.open(*sound, videoSeconds, why)) return fail(why);
    }

    const QByteArray file = QFile::encodeName(outputPath);
    AVFormatContext *rawOut = nullptr;
    if (avformat_alloc_output_context2(&rawOut, nullptr, "mp4", file.constData()) < 0 || !rawOut)
        return fail(QStringLiteral("no MP4 muxer"));
    out.reset(rawOut);
    AVStream *vOut = avformat_new_stream(out.get(), nullptr);
    if (!vOut || avcodec_parameters_copy(vOut->codecpar, vs->codecpar) < 0) return fail(QStringLiteral("out of memory"));
    vOut->codecpar->codec_tag = 0; // the AVI's tag means nothing in MP4
    vOut->time_base = vs->time_base;
    vOut->avg_frame_rate = vs->avg_frame_rate;

    AacEncoder aac;
    AVStream *aOut = nullptr;
    int64_t packets = 0;
    auto withinLimit = [&] {
        ++packets;
        return maxBytes < 0 || avio_tell(out->pb) + packets * kIndexBytesPerPacket <= maxBytes;
    };
    int writeError = 0;
    bool overLimit = false;
    if (sound) {
        aOut = avformat_new_stream(out.get(), nullptr);
        if (!aOut) return fail(QStringLiteral("out of memory"));
        QString why;
        const auto sink = [&](AVPacket *p) {
            p->stream_index = aOut->index;
            av_packet_rescale_ts(p, AVRational{1, AacEncoder::kSampleRate}, aOut->time_base);
            const int r = av_interleaved_write_frame(out.get(), p);
            if (r < 0) {
                writeError = r;
                return false;
            }
            if (!withinLimit()) {
                overLimit = true;
                return false;
            }
            return true;
        };
        if (!aac.open(pcm.rate(), pcm.channels(), sink, &why)) return fail(why);
        if (!aac.copyParameters(aOut->codecpar)) return fail(QStringLiteral("cannot set the sound's format"));
        aOut->time_base = AVRational{1, AacEncoder::kSampleRate};
        // The priming samples come before the first sample that plays.
        aOut->codecpar->initial_padding = aac.primingSamples();
    }

    if (const int o = avio_open(&out->pb, file.constData(), AVIO_FLAG_WRITE); o < 0)
        return failWrite(o, QStringLiteral("cannot create the output"));
    AVDictionary *opts = nullptr;
    av_dict_set(&opts, "movflags", "+faststart", 0);
    int r = avformat_write_header(out.get(), &opts);
    av_dict_free(&opts);
    if (r < 0) return failWrite(r, QStringLiteral("cannot start the MP4"));

    const int64_t videoBytes = std::max<int64_t>(1, avio_size(video->pb));
    int lastPercent = -1;
    PacketPtr vp(av_packet_alloc());
    if (!vp) return fail(QStringLiteral("out of memory"));
    std::vector<int16_t> samples;
    double audioSeconds = 0; // sound handed to the encoder so far
    bool audioDone = !sound;
    auto feedAudioUntil = [&](double seconds) {
        while (!audioDone && audioSeconds < seconds) {
            if (!pcm.next(samples)) {
                audioDone = true;
                return aac.finish();
            }
            const int64_t frames = int64_t(samples.size()) / pcm.channels();
            if (!aac.write(samples.data(), frames)) return false;
            audioSeconds += double(frames) / pcm.rate();
        }
        return true;
    };
    auto audioFailed = [&] {
        if (writeError < 0) return failWrite(writeError, QStringLiteral("writing the MP4 failed"));
        if (overLimit) {
            outcome.diskFull = true;
            return fail(QStringLiteral("the MP4 reached the free space measured at the start"));
        }
        return fail(aac.errorText());
    };

    int64_t lastDts = -1;
    while (true) {
        if (control.cancelled()) {
            out.reset();
            QFile::remove(outputPath);
            outcome.cancelled = true;
            return outcome;
        }
        av_packet_unref(vp.get());
        if (av_read_frame(video.get(), vp.get()) < 0) break;
        if (vp->stream_index != vIn) continue;
        if (vp->dts == AV_NOPTS_VALUE) vp->dts = vp->pts;
        if (vp->dts == AV_NOPTS_VALUE) vp->dts = lastDts + 1;
        // A picture repeated as an empty chunk lets the one before it last longer.
        if (vp->size == 0) continue;
        vp->pts = vp->dts; // no picture is reordered
        lastDts = vp->dts;
        vp->duration = 1;
        const double at = double(vp->dts) * av_q2d(vs->time_base);
        // The sound runs a little ahead so the muxer always has both streams.
        if (!feedAudioUntil(at + 0.5)) return audioFailed();
        const int64_t pos = vp->pos;
        av_packet_rescale_ts(vp.get(), vs->time_base, vOut->time_base);
        vp->stream_index = vOut->index;
        vp->pos = -1;
        r = av_interleaved_write_frame(out.get(), vp.get());
        if (r < 0) return failWrite(r, QStringLiteral("writing the MP4 failed"));
        if (!withinLimit()) {
            outcome.diskFull = true;
            return fail(QStringLiteral("the MP4 reached the free space measured at the start"));
        }
        if (pos > 0) {
            const int percent = int(std::min<int64_t>(99, pos * 100 / videoBytes));
            if (percent != lastPercent) {
                lastPercent = percent;
                control.report(percent, kMuxCaption);
            }
        }
    }
    if (!feedAudioUntil(videoSeconds + 1.0)) return audioFailed();
    if (!audioDone) {
        audioDone = true;
        if (!aac.finish()) return audioFailed();
    }
    if (lastDts < 0) return fail(QStringLiteral("the video part has no pictures"));
    // Moving the index to the front rewrites the file: the room for it was
    // counted with every packet.
    if (const int t = av_write_trailer(out.get()); t < 0) return failWrite(t, QStringLiteral("finishing the MP4 failed"));
    avio_flush(out->pb);
    if (out->pb->error < 0) return failWrite(out->pb->error, QStringLiteral("writing the MP4 failed"));
    if (const int c = avio_closep(&out->pb); c < 0) return failWrite(c, QStringLiteral("closing the MP4 failed"));
    out.reset();
    control.report(100, kMuxCaption);
    outcome.ok = QFileInfo(outputPath).size() > 0;
    if (!outcome.ok) return fail(QStringLiteral("the MP4 is empty"));
    return outcome;
}

} // namespace pvsm
