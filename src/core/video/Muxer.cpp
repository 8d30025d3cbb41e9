#include "Muxer.h"

#include "AvContainer.h"
#include "cLameEncoder.h"
#include "EncoderWAV.h"
#include "FileCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <memory>
#include <vector>

namespace pvsm {

namespace {

const QString kMuxCaption = QStringLiteral("步骤5/5：合并视频和音频");

// An MP3 decoder plays the first input sample this many samples late: the
// encoder's own delay (576) plus the synthesis filter's (529).
constexpr int kMp3DelaySamples = 1105;

using namespace av;

// Removes scratch files however the join ends.
struct ScratchFiles
{
    QStringList paths;
    ~ScratchFiles()
    {
        for (const QString &p : paths) QFile::remove(p);
    }
};

// `frames` MP3 frames of silence in the soundtrack format, made by the same
// encoder as the soundtrack so that the frames match its stream. Fewer when
// cancelled or when the silence would need more than `maxBytes` of scratch
// space (`tooBig` then says so).
std::vector<PacketPtr> silentFrames(int frames, int samplesPerFrame, const QString &folder, ScratchFiles &scratch,
                                    const JobControl &control, int64_t maxBytes, bool &tooBig)
{
    std::vector<PacketPtr> packets;
    tooBig = false;
    if (frames <= 0) return packets;
    const QString wav = QDir(folder).filePath(QStringLiteral("~Pvsm_silence.wav"));
    const QString mp3 = QDir(folder).filePath(QStringLiteral("~Pvsm_silence.mp3"));
    scratch.paths << wav << mp3;
    // A few frames more than needed: the encoder's last frames are flushed padding.
    int64_t bytes = int64_t(frames + 4) * samplesPerFrame * 4;
    if (maxBytes >= 0 && bytes > maxBytes) {
        tooBig = true;
        return packets;
    }
    JobControl quiet; // the encoder's own progress is not this step's
    quiet.cancel = control.cancel;
    {
        EncoderWAV writer;
        int32_t chunk = EncoderWAV::kInBufferSize;
        if (writer.Init(wav, 22050, 2, 16, chunk) != 0) return packets;
        std::vector<uint8_t> zeros(size_t(chunk), 0);
        while (bytes > 0) {
            if (control.cancelled()) return packets;
            const int32_t n = int32_t(std::min<int64_t>(bytes, chunk));
            if (writer.Encode(zeros.data(), n) != 0) return packets;
            bytes -= n;
        }
        writer.DeInit();
    }
    cLameEncoder encoder;
    if (!encoder.SetWavFile(wav)) return packets;
    encoder.SetMp3File(mp3);
    if (!encoder.Encode(quiet)) return packets;
    InputPtr in = openInput(mp3);
    if (!in) return packets;
    const int stream = firstStream(in.get(), AVMEDIA_TYPE_AUDIO);
    while (int(packets.size()) < frames) {
        PacketPtr pkt(av_packet_alloc());
        if (!pkt || av_read_frame(in.get(), pkt.get()) < 0) break;
        if (pkt->stream_index == stream) packets.push_back(std::move(pkt));
    }
    return packets;
}

} // namespace

MuxOutcome MuxVideoAudio(const QString &videoPath, const QString &mp3Path, double mp3LeadSeconds,
                         double musicStartSeconds, const QString &outputPath, const JobControl &control,
                         const QString &scratchFolder, int64_t maxBytes)
{
    MuxOutcome outcome;
    if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_FATAL);
    ScratchFiles scratch;
    auto fail = [&](const QString &why) {
        QFile::remove(outputPath);
        outcome.ok = false;
        outcome.error = why;
        return outcome;
    };
    auto cancelled = [&] {
        QFile::remove(outputPath);
        outcome.cancelled = true;
        return outcome;
    };
    auto failWrite = [&](int code, const QString &why) {
        if (isDiskFullErrno(-code)) outcome.diskFull = true;
        return fail(why);
    };
    control.report(0, kMuxCaption);

    InputPtr video = openInput(videoPath);
    if (!video) return fail(QStringLiteral("cannot read the video part"));
    InputPtr audio = openInput(mp3Path);
    if (!audio) return fail(QStringLiteral("cannot read the audio part"));
    const int vIn = firstStream(video.get(), AVMEDIA_TYPE_VIDEO);
    const int aIn = firstStream(audio.get(), AVMEDIA_TYPE_AUDIO);
    if (vIn < 0 || aIn < 0) return fail(QStringLiteral("a part has no stream"));
    const AVCodecParameters *apar = audio->streams[aIn]->codecpar;
    const int rate = apar->sample_rate > 0 ? apar->sample_rate : 22050;
    const int frameSamples = apar->frame_size > 0 ? apar->frame_size : (rate < 32000 ? 576 : 1152);

    // Whole MP3 frames to add in front (positive) or to drop (negative).
    const double shiftSeconds = musicStartSeconds - mp3LeadSeconds - double(kMp3DelaySamples) / rate;
    const int shiftFrames = int(std::lround(shiftSeconds * rate / frameSamples));
    std::vector<PacketPtr> lead;
    if (shiftFrames > 0) {
        bool tooBig = false;
        lead = silentFrames(shiftFrames, frameSamples, scratchFolder, scratch, control, maxBytes, tooBig);
        if (control.cancelled()) return cancelled();
        outcome.diskFull = tooBig;
        if (int(lead.size()) != shiftFrames) return fail(QStringLiteral("cannot make the silent lead-in"));
    }
    int toDrop = std::max(0, -shiftFrames);

    AVFormatContext *rawOut = nullptr;
    if (avformat_alloc_output_context2(&rawOut, nullptr, "avi", QFile::encodeName(outputPath).constData()) < 0 || !rawOut)
        return fail(QStringLiteral("no AVI muxer"));
    OutputPtr out(rawOut);
    AVStream *vOut = avformat_new_stream(out.get(), nullptr);
    AVStream *aOut = avformat_new_stream(out.get(), nullptr);
    if (!vOut || !aOut) return fail(QStringLiteral("out of memory"));
    if (avcodec_parameters_copy(vOut->codecpar, video->streams[vIn]->codecpar) < 0
        || avcodec_parameters_copy(aOut->codecpar, apar) < 0)
        return fail(QStringLiteral("out of memory"));
    vOut->codecpar->codec_tag = video->streams[vIn]->codecpar->codec_tag;
    aOut->codecpar->codec_tag = 0;
    vOut->time_base = video->streams[vIn]->time_base;
    vOut->avg_frame_rate = video->streams[vIn]->avg_frame_rate;
    aOut->time_base = AVRational{1, rate};
    if (avio_open(&out->pb, QFile::encodeName(outputPath).constData(), AVIO_FLAG_WRITE) < 0)
        return fail(QStringLiteral("cannot create the output"));
    if (avformat_write_header(out.get(), nullptr) < 0) return fail(QStringLiteral("cannot start the output"));

    const int64_t videoBytes = std::max<int64_t>(1, avio_size(video->pb));
    const AVRational audioTb{1, rate};
    int64_t audioIndex = 0; // MP3 frames written
    int64_t chunks = 0;     // packets written, each with its index entries to come
    int lastPercent = -1;
    PacketPtr vp(av_packet_alloc()), ap(av_packet_alloc());
    if (!vp || !ap) return fail(QStringLiteral("out of memory"));
    bool vHave = false, aHave = false, vDone = false, aDone = false;
    size_t leadNext = 0;

    auto nextVideo = [&] {
        while (!vDone) {
            av_packet_unref(vp.get());
            if (av_read_frame(video.get(), vp.get()) < 0) {
                vDone = true;
                return;
            }
            if (vp->stream_index == vIn) {
                vHave = true;
                return;
            }
        }
    };
    auto nextAudio = [&] {
        while (!aDone) {
            av_packet_unref(ap.get());
            if (leadNext < lead.size()) {
                av_packet_ref(ap.get(), lead[leadNext++].get());
                ap->stream_index = aIn;
            } else if (av_read_frame(audio.get(), ap.get()) < 0) {
                aDone = true;
                return;
            }
            if (ap->stream_index != aIn) continue;
            if (toDrop > 0) { // only ever set without a lead-in
                --toDrop;
                continue;
            }
            aHave = true;
            return;
        }
    };
    nextVideo();
    nextAudio();
    while (vHave || aHave) {
        if (control.cancelled()) {
            out.reset();
            return cancelled();
        }
        bool takeVideo = vHave;
        if (vHave && aHave) {
            const int64_t vt = vp->dts != AV_NOPTS_VALUE ? vp->dts : vp->pts;
            takeVideo = vt == AV_NOPTS_VALUE
                        || av_compare_ts(vt, video->streams[vIn]->time_base, audioIndex * frameSamples, audioTb) <= 0;
        }
        int rc = 0;
        if (takeVideo) {
            const int64_t pos = vp->pos;
            av_packet_rescale_ts(vp.get(), video->streams[vIn]->time_base, vOut->time_base);
            vp->stream_index = vOut->index;
            vp->pos = -1;
            rc = av_interleaved_write_frame(out.get(), vp.get());
            vHave = false;
            if (pos > 0) {
                const int percent = int(std::min<int64_t>(100, pos * 100 / videoBytes));
                if (percent != lastPercent) {
                    lastPercent = percent;
                    control.report(percent, kMuxCaption);
                }
            }
            nextVideo();
        } else {
            ap->pts = ap->dts = av_rescale_q(audioIndex * frameSamples, audioTb, aOut->time_base);
            ap->duration = av_rescale_q(frameSamples, audioTb, aOut->time_base);
            ap->stream_index = aOut->index;
            ap->pos = -1;
            rc = av_interleaved_write_frame(out.get(), ap.get());
            ++audioIndex;
            aHave = false;
            nextAudio();
        }
        if (rc < 0) {
            out.reset();
            return failWrite(rc, QStringLiteral("writing the joined file failed"));
        }
        // Index entries of about 32 bytes a chunk follow at the trailer.
        if (maxBytes >= 0 && avio_tell(out->pb) + ++chunks * 32 > maxBytes) {
            out.reset();
            outcome.diskFull = true;
            return fail(QStringLiteral("the joined file reached the free space measured at the start"));
        }
    }
    if (const int r = av_write_trailer(out.get()); r < 0) {
        out.reset();
        return failWrite(r, QStringLiteral("finishing the joined file failed"));
    }
    avio_flush(out->pb);
    if (out->pb->error < 0) {
        const int r = out->pb->error;
        out.reset();
        return failWrite(r, QStringLiteral("writing the joined file failed"));
    }
    if (const int r = avio_closep(&out->pb); r < 0) {
        out.reset();
        return failWrite(r, QStringLiteral("closing the joined file failed"));
    }
    out.reset();
    control.report(100, kMuxCaption);
    outcome.ok = QFileInfo(outputPath).size() > 0;
    if (!outcome.ok) return fail(QStringLiteral("the joined file is empty"));
    return outcome;
}

} // namespace pvsm
