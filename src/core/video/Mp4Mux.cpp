#include "Mp4Mux.h"

#include "AacEncoder.h"
#include "AvContainer.h"
#include "FileCheck.h"
#include "Soundtrack.h"
#include "ThreadPriority.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
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
// WAV, the WAV's start skipped when earlier, and, once the video's end is
// set, nothing after it.
class PlacedPcm
{
public:
    bool open(const Mp4Sound &sound, QString &error)
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
        m_fadeOutEnd = sound.fadeOutEnd;
        if (st->duration > 0) m_wavFrames = av_rescale_q(st->duration, st->time_base, AVRational{1, m_rate});
        else if (avio_size(m_in->pb) > 44) m_wavFrames = (avio_size(m_in->pb) - 44) / (2 * m_channels);
        m_packet.reset(av_packet_alloc());
        return m_packet != nullptr;
    }

    int rate() const { return m_rate; }
    int channels() const { return m_channels; }
    int64_t done() const { return m_done; }
    // No sound is left: the music ended, or the video's end is reached.
    bool exhausted() const { return m_done >= m_total || (m_wavEnded && m_pendingAt >= m_pending.size()); }

    // The first frame the end's fade or cut may change in a video of at
    // least `leastSeconds`: everything before it is the same whatever the end.
    int64_t unchangedBefore(double leastSeconds) const
    {
        const double from = m_fadeOutEnd ? leastSeconds - kMusicFadeSeconds : leastSeconds;
        return from <= 0 ? 0 : int64_t(std::floor(from * m_rate));
    }

    // Sets the video's end; false when more was handed out than that end
    // leaves unchanged (the PCM must then be read again from the start).
    bool setEnd(double videoSeconds)
    {
        m_total = std::max<int64_t>(0, std::llround(videoSeconds * m_rate));
        m_videoSeconds = videoSeconds;
        // Music that goes on for more than a video frame after the picture
        // ends is cut there.
        const int64_t musicEnd = m_wavFrames + m_silenceFront - m_skip;
        const bool cut = m_wavFrames >= 0 && musicEnd > m_total + m_rate / 30;
        m_fade = m_fadeOutEnd && cut;
        if (m_done > m_total) return false;
        return !m_fade || m_done == 0 || double(m_done - 1) <= (videoSeconds - kMusicFadeSeconds) * m_rate;
    }

    // The next piece, up to frame `limit` (and the end once set); false
    // when nothing is left before it.
    bool next(std::vector<int16_t> &out, int64_t limit)
    {
        out.clear();
        limit = std::min(limit, m_total);
        if (m_done >= limit) return false;
        if (m_done < m_silenceFront) {
            const int64_t n = std::min<int64_t>({m_silenceFront - m_done, limit - m_done, int64_t(m_rate)});
            out.assign(size_t(n * m_channels), 0);
            m_done += n;
            return true;
        }
        while (m_pendingAt >= m_pending.size()) {
            if (m_wavEnded || !readPiece()) return false;
        }
        const int64_t frames = std::min<int64_t>(int64_t(m_pending.size() - m_pendingAt) / m_channels, limit - m_done);
        const auto from = m_pending.begin() + std::ptrdiff_t(m_pendingAt);
        out.assign(from, from + std::ptrdiff_t(frames * m_channels));
        m_pendingAt += size_t(frames * m_channels);
        if (m_fade) applyFade(out, m_done);
        m_done += frames;
        return true;
    }

private:
    static bool fail(QString &error, const QString &why)
    {
        error = why;
        return false;
    }

    // One packet of the WAV, its skipped start taken off, into m_pending.
    bool readPiece()
    {
        while (true) {
            av_packet_unref(m_packet.get());
            if (av_read_frame(m_in.get(), m_packet.get()) < 0) {
                m_wavEnded = true; // the music ended before the picture
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
            m_pending.assign(data, data + frames * m_channels);
            m_pendingAt = 0;
            return true;
        }
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
    int64_t m_wavFrames = -1;
    int64_t m_total = std::numeric_limits<int64_t>::max(); // until the end is set
    int64_t m_done = 0;
    std::vector<int16_t> m_pending; // read from the WAV, not yet handed out
    size_t m_pendingAt = 0;
    bool m_wavEnded = false;
    bool m_fadeOutEnd = false;
    bool m_fade = false;
    double m_videoSeconds = 0;
};

// How a coded packet waits in the packet file: this header, then its bytes,
// then each piece of side data as a type, a size and its bytes.
struct StoredPacket
{
    int64_t pts;
    int64_t dts;
    int64_t duration;
    int32_t size;
    int32_t flags;
    int32_t sideData;
    int32_t reserved;
};

} // namespace

struct Mp4SoundCoder::Impl
{
    Mp4Sound sound;
    QString packetPath;

    // Shared with the thread, under `mutex`.
    std::mutex mutex;
    std::condition_variable changed;
    double leastSeconds = 0;
    std::optional<double> endSeconds;
    std::atomic<bool> stop{false};
    bool done = false;
    std::atomic<double> coded{0}; // seconds, for codedSeconds()
    const std::atomic<bool> *userCancel = nullptr; // seen when finish() codes without the thread

    std::thread thread;

    // The coder's own: the thread's while it runs, then the owner's.
    std::unique_ptr<PlacedPcm> pcm;
    std::unique_ptr<AacEncoder> aac;
    std::FILE *packets = nullptr;
    bool opened = false;
    bool failed = false;
    bool wasCancelled = false;
    bool full = false;
    QString error;
    int passes = 0;
    std::vector<int16_t> samples;

    ~Impl()
    {
        if (packets) std::fclose(packets);
    }

    bool stopped() const
    {
        return stop.load(std::memory_order_relaxed) || (userCancel && userCancel->load(std::memory_order_relaxed));
    }

    bool failWith(const QString &why)
    {
        if (!failed) error = why;
        failed = true;
        return false;
    }

    // From the start: the WAV opened, the encoder opened, the packet file emptied.
    bool begin()
    {
        ++passes;
        coded.store(0, std::memory_order_relaxed);
        pcm = std::make_unique<PlacedPcm>();
        QString why;
        if (!pcm->open(sound, why)) return failWith(why);
        if (packets) std::fclose(packets);
        packets = std::fopen(QFile::encodeName(packetPath).constData(), "w+be");
        if (!packets) {
            full = isDiskFullErrno(errno);
            return failWith(QStringLiteral("cannot create the sound's work file"));
        }
        aac = std::make_unique<AacEncoder>();
        if (!aac->open(pcm->rate(), pcm->channels(), [this](AVPacket *p) { return store(p); }, &why))
            return failWith(why);
        opened = true;
        return true;
    }

    bool store(const AVPacket *p)
    {
        const StoredPacket h{p->pts, p->dts, p->duration, p->size, p->flags, p->side_data_elems, 0};
        bool ok = std::fwrite(&h, sizeof h, 1, packets) == 1
                  && (p->size == 0 || std::fwrite(p->data, size_t(p->size), 1, packets) == 1);
        for (int i = 0; ok && i < p->side_data_elems; ++i) {
            const AVPacketSideData &sd = p->side_data[i];
            const int32_t head[2] = {int32_t(sd.type), int32_t(sd.size)};
            ok = std::fwrite(head, sizeof head, 1, packets) == 1
                 && (sd.size == 0 || std::fwrite(sd.data, sd.size, 1, packets) == 1);
        }
        if (!ok) full = isDiskFullErrno(errno);
        return ok;
    }

    // Codes the sound before frame `limit`, a piece at a time so that a stop
    // is seen within a fraction of a second.
    bool codeUntil(int64_t limit)
    {
        while (!stopped() && pcm->next(samples, limit)) {
            if (!aac->write(samples.data(), int64_t(samples.size()) / pcm->channels())) return failWith(aac->errorText());
            coded.store(double(pcm->done()) / pcm->rate(), std::memory_order_relaxed);
        }
        return true;
    }

    // The end known: the rest coded, the encoder's tail written.
    bool codeToEnd(double videoSeconds)
    {
        if (!opened && !begin()) return false;
        if (!pcm->setEnd(videoSeconds)) {
            // The frame loop's word proved wrong: what was coded is not this
            // video's sound.
            if (!begin()) return false;
            (void)pcm->setEnd(videoSeconds);
        }
        if (!codeUntil(std::numeric_limits<int64_t>::max())) return false;
        if (stopped()) return true;
        if (!aac->finish()) return failWith(aac->errorText());
        if (std::fflush(packets) != 0) {
            full = isDiskFullErrno(errno);
            return failWith(QStringLiteral("cannot write the sound's work file"));
        }
        return true;
    }

    void run()
    {
        LowerThreadPriority(19);
        if (begin()) {
            while (true) {
                int64_t limit = 0;
                std::optional<double> end;
                {
                    std::unique_lock<std::mutex> lock(mutex);
                    changed.wait(lock, [&] {
                        return stop.load() || endSeconds
                               || (!pcm->exhausted() && pcm->unchangedBefore(leastSeconds) > pcm->done());
                    });
                    if (stop.load()) break;
                    end = endSeconds;
                    limit = pcm->unchangedBefore(leastSeconds);
                }
                if (end) {
                    (void)codeToEnd(*end);
                    break;
                }
                if (!codeUntil(limit)) break;
            }
        }
        const std::lock_guard<std::mutex> lock(mutex);
        done = true;
        changed.notify_all();
    }
};

Mp4SoundCoder::Mp4SoundCoder(const Mp4Sound &sound, QString packetFile) : d(std::make_unique<Impl>())
{
    d->sound = sound;
    d->packetPath = std::move(packetFile);
}

Mp4SoundCoder::~Mp4SoundCoder()
{
    if (d->thread.joinable()) {
        d->stop.store(true);
        {
            const std::lock_guard<std::mutex> lock(d->mutex);
            d->changed.notify_all();
        }
        d->thread.join();
    }
    // The file goes now; Impl closes it.
    if (!d->packetPath.isEmpty()) QFile::remove(d->packetPath);
}

void Mp4SoundCoder::start()
{
    if (d->thread.joinable() || d->opened) return;
    try {
        d->thread = std::thread([impl = d.get()] { impl->run(); });
    } catch (const std::system_error &) {
        // No thread to be had: finish() codes it all.
    }
}

void Mp4SoundCoder::allowUntil(double videoSeconds)
{
    const std::lock_guard<std::mutex> lock(d->mutex);
    if (videoSeconds <= d->leastSeconds) return;
    d->leastSeconds = videoSeconds;
    d->changed.notify_all();
}

bool Mp4SoundCoder::finish(double videoSeconds, const JobControl &control)
{
    if (d->thread.joinable()) {
        std::unique_lock<std::mutex> lock(d->mutex);
        d->endSeconds = videoSeconds;
        d->changed.notify_all();
        // Polled for the cancel flag, which nobody signals, and for the
        // progress display: a long show's sound may still be far from done.
        int shown = -1;
        while (!d->done) {
            if (control.cancelled()) d->stop.store(true);
            const int percent = videoSeconds > 0 ? std::clamp(int(99 * codedSeconds() / videoSeconds), 0, 99) : 0;
            if (percent > shown) {
                shown = percent;
                lock.unlock();
                control.report(percent, kMuxCaption);
                lock.lock();
            }
            d->changed.wait_for(lock, std::chrono::milliseconds(20));
        }
        lock.unlock();
        d->thread.join();
    } else {
        // No thread: coded here, the cancel flag seen between pieces.
        d->userCancel = control.cancel;
        (void)d->codeToEnd(videoSeconds);
    }
    if (d->failed) return false;
    if (d->stopped() || control.cancelled()) {
        d->wasCancelled = true;
        return false;
    }
    return true;
}

bool Mp4SoundCoder::cancelled() const { return d->wasCancelled; }
bool Mp4SoundCoder::diskFull() const { return d->full; }
QString Mp4SoundCoder::errorText() const { return d->error; }
int Mp4SoundCoder::passes() const { return d->passes; }
double Mp4SoundCoder::codedSeconds() const { return d->coded.load(std::memory_order_relaxed); }

namespace {

// Reads back the packets the coder stored, in order.
class StoredPackets
{
public:
    explicit StoredPackets(std::FILE *file) : m_file(file) { std::rewind(m_file); }

    // The next packet into `p`; false at the end or on a damaged file (`damaged`).
    bool next(AVPacket *p)
    {
        av_packet_unref(p);
        StoredPacket h{};
        if (std::fread(&h, sizeof h, 1, m_file) != 1) {
            m_damaged = !std::feof(m_file);
            return false;
        }
        if (h.size < 0 || h.sideData < 0 || av_new_packet(p, h.size) < 0
            || (h.size > 0 && std::fread(p->data, size_t(h.size), 1, m_file) != 1))
            return damaged();
        p->pts = h.pts;
        p->dts = h.dts;
        p->duration = h.duration;
        p->flags = h.flags;
        for (int i = 0; i < h.sideData; ++i) {
            int32_t head[2] = {0, 0};
            if (std::fread(head, sizeof head, 1, m_file) != 1 || head[1] < 0) return damaged();
            uint8_t *data = av_packet_new_side_data(p, AVPacketSideDataType(head[0]), size_t(head[1]));
            if (!data || (head[1] > 0 && std::fread(data, size_t(head[1]), 1, m_file) != 1)) return damaged();
        }
        return true;
    }
    bool isDamaged() const { return m_damaged; }

private:
    bool damaged()
    {
        m_damaged = true;
        return false;
    }

    std::FILE *m_file;
    bool m_damaged = false;
};

} // namespace

MuxOutcome MuxMp4(const QString &videoPath, Mp4SoundCoder *sound, double videoSeconds, const QString &outputPath,
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

    // The copy's progress goes on from where the sound's left off.
    int lastPercent = 0; // 0 is shown above
    const auto countedReport = [&](int percent) {
        if (percent <= lastPercent) return;
        lastPercent = percent;
        control.report(percent, kMuxCaption);
    };
    const JobControl soundControl{[&](int percent, const QString &) { countedReport(percent); }, control.cancel};
    if (sound && !sound->finish(videoSeconds, soundControl)) {
        if (sound->cancelled()) {
            outcome.cancelled = true;
            return outcome;
        }
        outcome.diskFull = sound->diskFull();
        return fail(sound->errorText());
    }

    InputPtr video = openInput(videoPath);
    if (!video) return fail(QStringLiteral("cannot read the video part"));
    const int vIn = firstStream(video.get(), AVMEDIA_TYPE_VIDEO);
    if (vIn < 0) return fail(QStringLiteral("the video part has no picture"));
    const AVStream *vs = video->streams[vIn];
    if (vs->codecpar->codec_id != AV_CODEC_ID_H264) return fail(QStringLiteral("MP4 takes H.264 pictures only"));

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

    AVStream *aOut = nullptr;
    std::optional<StoredPackets> stored;
    if (sound) {
        aOut = avformat_new_stream(out.get(), nullptr);
        if (!aOut) return fail(QStringLiteral("out of memory"));
        if (!sound->d->aac->copyParameters(aOut->codecpar)) return fail(QStringLiteral("cannot set the sound's format"));
        aOut->time_base = AVRational{1, AacEncoder::kSampleRate};
        // The priming samples come before the first sample that plays.
        aOut->codecpar->initial_padding = sound->d->aac->primingSamples();
        stored.emplace(sound->d->packets);
    }

    if (const int o = avio_open(&out->pb, file.constData(), AVIO_FLAG_WRITE); o < 0)
        return failWrite(o, QStringLiteral("cannot create the output"));
    AVDictionary *opts = nullptr;
    av_dict_set(&opts, "movflags", "+faststart", 0);
    int r = avformat_write_header(out.get(), &opts);
    av_dict_free(&opts);
    if (r < 0) return failWrite(r, QStringLiteral("cannot start the MP4"));

    int64_t packets = 0;
    auto withinLimit = [&] {
        ++packets;
        return maxBytes < 0 || avio_tell(out->pb) + packets * kIndexBytesPerPacket <= maxBytes;
    };
    const int64_t videoBytes = std::max<int64_t>(1, avio_size(video->pb));
    PacketPtr vp(av_packet_alloc());
    PacketPtr ap(av_packet_alloc());
    if (!vp || !ap) return fail(QStringLiteral("out of memory"));
    double audioSeconds = 0; // the sound written so far
    bool audioDone = !sound;
    // Empty when the sound went in; otherwise why it did not.
    auto writeAudioUntil = [&](double seconds) -> std::optional<MuxOutcome> {
        while (!audioDone && audioSeconds < seconds) {
            if (!stored->next(ap.get())) {
                audioDone = true;
                if (stored->isDamaged()) return fail(QStringLiteral("the sound's work file is damaged"));
                break;
            }
            audioSeconds = double(ap->pts + ap->duration) / AacEncoder::kSampleRate;
            ap->stream_index = aOut->index;
            av_packet_rescale_ts(ap.get(), AVRational{1, AacEncoder::kSampleRate}, aOut->time_base);
            if (const int w = av_interleaved_write_frame(out.get(), ap.get()); w < 0)
                return failWrite(w, QStringLiteral("writing the MP4 failed"));
            if (!withinLimit()) {
                outcome.diskFull = true;
                return fail(QStringLiteral("the MP4 reached the free space measured at the start"));
            }
        }
        return std::nullopt;
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
        if (auto failed = writeAudioUntil(at + 0.5)) return *failed;
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
        if (pos > 0) countedReport(int(std::min<int64_t>(99, pos * 100 / videoBytes)));
    }
    if (auto failed = writeAudioUntil(std::numeric_limits<double>::infinity())) return *failed;
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
