#include "SongLength.h"

#include "FfmpegHandles.h"
#include "FileAccess.h"
#include "LittleEndian.h"
#include "MP3Info.h"
#include "Numbers.h"

#include <cstring>

namespace pvsm {

namespace {

// A file counts as playable once a frame of its audio decodes; a damaged file
// may need a few packets before the first good one.
constexpr int kPlayablePacketTries = 64;

bool decodesAFrame(AVFormatContext *fmt, int streamIndex)
{
    AVStream *st = fmt->streams[streamIndex];
    const AVCodec *codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec) return false;
    ff::CodecPtr dec(avcodec_alloc_context3(codec));
    if (!dec || avcodec_parameters_to_context(dec.get(), st->codecpar) < 0) return false;
    if (avcodec_open2(dec.get(), codec, nullptr) < 0) return false;
    ff::PacketPtr pkt(av_packet_alloc());
    ff::FramePtr frame(av_frame_alloc());
    if (!pkt || !frame) return false;
    int tries = 0;
    while (tries < kPlayablePacketTries && av_read_frame(fmt, pkt.get()) >= 0) {
        if (pkt->stream_index == streamIndex) {
            ++tries;
            if (avcodec_send_packet(dec.get(), pkt.get()) >= 0 && avcodec_receive_frame(dec.get(), frame.get()) >= 0 &&
                frame->nb_samples > 0) {
                return true;
            }
        }
        av_packet_unref(pkt.get());
    }
    av_packet_unref(pkt.get());
    // Decoders with a delay give their first frame only when drained.
    if (avcodec_send_packet(dec.get(), nullptr) >= 0 && avcodec_receive_frame(dec.get(), frame.get()) >= 0)
        return frame->nb_samples > 0;
    return false;
}

} // namespace

double MediaDurationSeconds(const QString &path)
{
    if (!FileExists(path)) return -1;
    ff::FormatPtr fmt = ff::openInput(path);
    if (!fmt) return -1;
    const int idx = av_find_best_stream(fmt.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (idx < 0) return -1;
    double seconds = -1;
    if (fmt->duration > 0) {
        seconds = double(fmt->duration) / AV_TIME_BASE;
    } else {
        const AVStream *st = fmt->streams[idx];
        if (st->duration > 0) seconds = double(st->duration) * av_q2d(st->time_base);
    }
    if (seconds <= 0) return -1;
    if (!decodesAFrame(fmt.get(), idx)) return -1;
    return seconds;
}

double ProbeSongLength(const QString &path)
{
    const double d = MediaDurationSeconds(path);
    if (!(d > 0.3)) return -1;
    return NearestD(d * 1000.0) / 1000.0;
}

double CanonicalWavSeconds(const QByteArray &head)
{
    if (head.size() < 20 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE" || head.mid(12, 4) != "fmt ") return 0;
    const int64_t fmtSize = le32(head, 16);
    const int64_t dataHeader = 20 + fmtSize;
    if (dataHeader + 8 > head.size() || head.mid(int(dataHeader), 4) != "data") return 0;
    const double dataSize = le32(head, int(dataHeader + 4));
    const double channels = le16(head, 22);
    const double rate = le32(head, 24);
    const double bits = le16(head, 34);
    if (channels <= 0 || rate <= 0 || bits <= 0) return 0;
    return dataSize / channels / (bits / 8.0) / rate;
}

float GetSongLength(const QString &path, float knownLength)
{
    if (!FileExists(path)) return 0;
    const QString ext = path.right(3).toUpper();
    double seconds = 0;
    if (ext != QLatin1String("WAV") && ext != QLatin1String("TMP")) {
        double platform = knownLength;
        if (knownLength == 0) platform = std::max(0.0, MediaDurationSeconds(path));
        seconds = platform;
        if (ext == QLatin1String("MP3")) {
            MP3Info info;
            if (info.ReadMP3Info(path) && info.Duration() > 0) {
                const double d = info.Duration() / 1000.0;
                seconds = (d >= platform && d - platform <= 5.0) ? platform : d;
            }
        }
    } else if (knownLength != 0) {
        seconds = knownLength;
    } else {
        FileHandle f = FileOpen(path, FileMode::Read);
        QByteArray head(20, '\0');
        if (FileReadAt(f, 0, head.data(), 20) == 20) {
            // Enough for the fmt chunk the header declares, and the data header behind it.
            const int64_t fmtSize = le32(head, 16);
            const int64_t want = std::min<int64_t>(20 + fmtSize + 8, 1 << 20);
            head.resize(qsizetype(want));
            head.resize(FileReadAt(f, 0, head.data(), int32_t(want)));
            seconds = CanonicalWavSeconds(head);
        }
    }
    return float(NearestD(seconds * 1000.0) / 1000.0);
}

} // namespace pvsm

namespace pvsm {

float songLengthForList(const QString &path)
{
    const double probed = ProbeSongLength(path);
    if (probed <= 0) return -1.0f;
    return GetSongLength(path, float(probed));
}

} // namespace pvsm
