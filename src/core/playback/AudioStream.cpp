#include "AudioStream.h"

#include "PCMPreparator.h"
#include "StreamMP3.h"
#include "StreamWAV.h"
#include "StreamWMA.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>

namespace pvsm {

namespace {

struct SwrFree
{
    void operator()(SwrContext *p) const { swr_free(&p); }
};

// The sound source the export picks for a song, by the file's extension.
std::unique_ptr<ISoundStream> sourceFor(const QString &path)
{
    const QString ext = path.right(3).toUpper();
    if (ext == QLatin1String("MP3")) return std::make_unique<StreamMP3>();
    if (ext == QLatin1String("WMA")) return std::make_unique<StreamWMA>();
    return std::make_unique<StreamWAV>();
}

std::unique_ptr<SwrContext, SwrFree> makeResampler(int inChannels, int inBits, int inRate, int outRate)
{
    AVChannelLayout in{}, out{};
    av_channel_layout_default(&in, inChannels);
    av_channel_layout_default(&out, 2);
    SwrContext *raw = nullptr;
    const int r = swr_alloc_set_opts2(&raw, &out, AV_SAMPLE_FMT_S16, outRate, &in,
                                      inBits == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16, inRate, 0, nullptr);
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
    std::unique_ptr<SwrContext, SwrFree> swr(raw);
    if (r < 0 || !raw) return nullptr;
    // Mono to both sides at full level, as the soundtrack's WAVs have it.
    if (inChannels == 1) {
        const double both[2] = {1.0, 1.0};
        if (swr_set_matrix(raw, both, 1) < 0) return nullptr;
    }
    if (swr_init(raw) < 0) return nullptr;
    return swr;
}

} // namespace

struct MusicStream::Decoder
{
    std::unique_ptr<ISoundStream> source;
    PCMPreparator converter;
    std::unique_ptr<SwrContext, SwrFree> swr;
    std::vector<uint8_t> in = std::vector<uint8_t>(16384);
    std::vector<int16_t> out; // converted, not yet read (interleaved stereo)
    size_t outPos = 0;        // in samples of `out`
    int blockAlign = 4;
    bool ended = false;
    int emptyReads = 0;

    ~Decoder()
    {
        converter.CloseConverter();
        if (source) source->CloseSource();
    }

    bool open(const QString &path, int outRate, double offsetSeconds, int64_t &skipFrames)
    {
        source = sourceFor(path);
        if (source->OpenSource(path) != SoundResultOk) return false;
        // A WAV seeks to the byte, whole seconds by its own seek and the rest
        // decoded and passed over. The compressed sources seek by whole
        // percents of the file (seconds off in a long song): they are decoded
        // from the start and passed over, several hundred times faster than
        // they play.
        const int wholeSeconds = int(std::floor(offsetSeconds));
        const bool exactSeek = dynamic_cast<StreamWAV *>(source.get()) != nullptr;
        if (exactSeek && wholeSeconds >= 1 && source->SeekTo(wholeSeconds, SeekSeconds) == SoundResultOk)
            skipFrames = std::max<int64_t>(0, skipFrames - int64_t(wholeSeconds) * outRate);
        if (!converter.InitConversion(source.get(), false)) return false;
        const WaveFormatEx &f = converter.DstFormat();
        if (f.nChannels < 1 || f.nSamplesPerSec < 1) return false;
        blockAlign = std::max(1, int(f.nChannels) * (f.wBitsPerSample == 8 ? 1 : 2));
        swr = makeResampler(f.nChannels, f.wBitsPerSample, int(f.nSamplesPerSec), outRate);
        return swr != nullptr;
    }

    int64_t pending() const { return int64_t(out.size() - outPos) / 2; }

    // Decodes the next piece into `out`. False once nothing more will come.
    bool refill()
    {
        out.clear();
        outPos = 0;
        if (ended) return false;
        int32_t got = 0;
        converter.GetSamples(in.data(), int32_t(in.size()), got);
        const bool eos = converter.EndOfStream();
        const int frames = got > 0 ? got / blockAlign : 0;
        if (frames > 0) {
            const int room = swr_get_out_samples(swr.get(), frames);
            out.resize(size_t(std::max(0, room)) * 2);
            const uint8_t *src[1] = {in.data()};
            uint8_t *dst[1] = {reinterpret_cast<uint8_t *>(out.data())};
            const int n = swr_convert(swr.get(), dst, room, src, frames);
            out.resize(size_t(std::max(0, n)) * 2);
            emptyReads = 0;
        } else if (++emptyReads > 64) {
            // A converter that keeps giving nothing has nothing more to give.
            ended = true;
        }
        if (eos) ended = true;
        return !out.empty() || !ended;
    }
};

MusicStream::MusicStream(int sampleRate) : m_rate(std::max(8000, sampleRate)) {}
MusicStream::~MusicStream() = default;

void MusicStream::setPlaylist(double leadSeconds, std::vector<MusicTrack> tracks)
{
    m_lead = std::max(0.0, leadSeconds);
    m_tracks = std::move(tracks);
    m_decoder.reset();
    m_open = SIZE_MAX;
}

void MusicStream::seek(double seconds)
{
    m_frame = std::max<int64_t>(0, std::llround(seconds * m_rate));
    m_decoder.reset();
    m_open = SIZE_MAX;
}

double MusicStream::position() const
{
    return double(m_frame) / m_rate;
}

int64_t MusicStream::trackStartFrame(size_t index) const
{
    double t = m_lead;
    for (size_t i = 0; i < index && i < m_tracks.size(); ++i) t += std::max(0.0, m_tracks[i].seconds);
    return std::llround(t * m_rate);
}

std::vector<double> MusicStream::trackStarts() const
{
    std::vector<double> starts;
    for (size_t i = 0; i < m_tracks.size(); ++i) starts.push_back(double(trackStartFrame(i)) / m_rate);
    return starts;
}

double MusicStream::musicEnd() const
{
    return double(trackStartFrame(m_tracks.size())) / m_rate;
}

bool MusicStream::openTrack(size_t index, int64_t offsetFrames)
{
    m_decoder = std::make_unique<Decoder>();
    m_open = index;
    int64_t skip = offsetFrames;
    if (!m_decoder->open(m_tracks[index].path, m_rate, double(offsetFrames) / m_rate, skip)) {
        m_decoder.reset(); // the track plays as silence
        return false;
    }
    while (skip > 0) {
        if (m_decoder->pending() == 0 && !m_decoder->refill()) break;
        const int64_t n = std::min(skip, m_decoder->pending());
        m_decoder->outPos += size_t(n) * 2;
        skip -= n;
    }
    return true;
}

int64_t MusicStream::read(char *data, int64_t bytes)
{
    const int64_t frames = std::max<int64_t>(0, bytes / 4);
    int16_t *outSamples = reinterpret_cast<int16_t *>(data);
    int64_t done = 0;
    auto silence = [&](int64_t n) {
        std::memset(outSamples + done * 2, 0, size_t(n) * 4);
        done += n;
        m_frame += n;
    };
    while (done < frames) {
        const int64_t leadEnd = trackStartFrame(0);
        if (m_frame < leadEnd || m_tracks.empty()) {
            silence(m_tracks.empty() ? frames - done : std::min(frames - done, leadEnd - m_frame));
            continue;
        }
        size_t k = 0;
        while (k < m_tracks.size() && m_frame >= trackStartFrame(k + 1)) ++k;
        if (k >= m_tracks.size()) {
            silence(frames - done);
            break;
        }
        const int64_t start = trackStartFrame(k);
        const int64_t end = trackStartFrame(k + 1);
        if (m_open != k) openTrack(k, m_frame - start);
        int64_t want = std::min(frames - done, end - m_frame);
        while (want > 0 && m_decoder) {
            if (m_decoder->pending() == 0 && !m_decoder->refill()) break;
            const int64_t n = std::min(want, m_decoder->pending());
            std::memcpy(outSamples + done * 2, m_decoder->out.data() + m_decoder->outPos, size_t(n) * 4);
            m_decoder->outPos += size_t(n) * 2;
            done += n;
            m_frame += n;
            want -= n;
        }
        // A track that ends early is filled up to its time with silence.
        if (want > 0) silence(want);
    }
    return done * 4;
}

} // namespace pvsm
