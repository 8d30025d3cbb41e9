#include "clsWavConcatenate.h"

#include "FfmpegHandles.h"
#include "FileAccess.h"
#include "LittleEndian.h"
#include "MultimediaAPI.h"
#include "Numbers.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace pvsm {

namespace {

constexpr int kMaxChannels = 8;
constexpr uint32_t kMaxSampleRate = 384000;

bool usablePcm(const WaveFormatEx &f)
{
    if (f.wFormatTag != kWaveFormatPcm && f.wFormatTag != kWaveFormatExtensible) return false;
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return false;
    if (f.nChannels < 1 || f.nChannels > kMaxChannels) return false;
    if (f.nSamplesPerSec < 1 || f.nSamplesPerSec > kMaxSampleRate) return false;
    return f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8;
}

AVSampleFormat sampleFormat(const WaveFormatEx &f)
{
    return f.wBitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
}

// Converts one entry's PCM into the output format, chunk by chunk.
class EntryConverter
{
public:
    bool open(const WaveFormatEx &in, const WaveFormatEx &out)
    {
        m_in = in;
        m_out = out;
        m_copy = in.nChannels == out.nChannels && in.nSamplesPerSec == out.nSamplesPerSec &&
                 in.wBitsPerSample == out.wBitsPerSample;
        if (m_copy) return true;
        const AVChannelLayout layout = ff::defaultLayout(in.nChannels);
        m_swr = ff::makeResampler(layout, sampleFormat(in), int(in.nSamplesPerSec), out.nChannels, sampleFormat(out),
                                  int(out.nSamplesPerSec));
        return bool(m_swr);
    }

    // Converts whole sample frames of `bytes`; with `end` the converter's
    // remainder follows. Returns the bytes to write.
    const std::vector<uint8_t> &convert(const uint8_t *data, int32_t bytes, bool end)
    {
        m_buffer.clear();
        const int frames = bytes / m_in.nBlockAlign;
        if (m_copy) {
            m_buffer.assign(data, data + size_t(frames) * m_in.nBlockAlign);
            return m_buffer;
        }
        run(frames > 0 ? data : nullptr, frames);
        if (end) run(nullptr, 0);
        return m_buffer;
    }

private:
    void run(const uint8_t *data, int frames)
    {
        const int maxOut = swr_get_out_samples(m_swr.get(), frames);
        if (maxOut <= 0) return;
        const size_t at = m_buffer.size();
        m_buffer.resize(at + size_t(maxOut) * m_out.nBlockAlign);
        uint8_t *dst = m_buffer.data() + at;
        const uint8_t *src = data;
        const int n = frames > 0 ? swr_convert(m_swr.get(), &dst, maxOut, &src, frames)
                                 : swr_convert(m_swr.get(), &dst, maxOut, nullptr, 0);
        m_buffer.resize(at + size_t(std::max(n, 0)) * m_out.nBlockAlign);
    }

    WaveFormatEx m_in, m_out;
    bool m_copy = false;
    ff::SwrPtr m_swr;
    std::vector<uint8_t> m_buffer;
};

} // namespace

QByteArray MakeWavHeader44(const WaveFormatEx &format, int64_t fileLength)
{
    QByteArray h;
    h.reserve(clsWavConcatenate::kHeaderSize);
    h.append("RIFF");
    put32(h, uint32_t(fileLength - 8));
    h.append("WAVEfmt ");
    put32(h, 16);
    put16(h, kWaveFormatPcm);
    put16(h, format.nChannels);
    put32(h, format.nSamplesPerSec);
    // Bytes per second from the block size, which equals the rate × 4 of the
    // 16-bit stereo soundtrack and stays right for any other output.
    put32(h, format.nSamplesPerSec * format.nBlockAlign);
    put16(h, format.nBlockAlign);
    put16(h, format.wBitsPerSample);
    h.append("data");
    put32(h, uint32_t(fileLength - clsWavConcatenate::kHeaderSize));
    return h;
}

bool clsWavConcatenate::WaveAdd(const QString &file)
{
    const QFileInfo info(file);
    if (!info.exists() || info.isDir() || !info.isFile()) return false;
    FileHandle f = FileOpen(file, FileMode::Read);
    if (!f.isOpen()) return false;
    QByteArray head(44, '\0');
    head.resize(std::max<int32_t>(FileReadAt(f, 0, head.data(), 44), 0));
    const RiffChunk data = FindRiffChunk(f, "data");
    if (!data.found()) return false;
    WaveEntry e;
    e.FileName = file;
    e.DataStart = int64_t(data.offset) + 1;
    // A size that claims more than the file holds (a stream written without
    // knowing its length) is cut to the file.
    e.DataSize = uint32_t(std::min<int64_t>(data.size, int64_t(FileLength(f)) - data.offset));
    e.WaveFormat = head.mid(20, 20).leftJustified(20, '\0');
    m_queue.push_back(e);
    return true;
}

bool clsWavConcatenate::WaveConcatenate(const QString &output, bool nProgress, const JobControl &job,
                                        Prompter *prompter)
{
    if (m_queue.empty()) {
        m_outcome = Outcome::EmptyQueue;
        return false;
    }
    int64_t total = 0;
    for (const WaveEntry &e : m_queue)
        total += e.DataSize;

    // Space on the volume that receives the output; a failed query counts as enough.
    const QStorageInfo storage(QFileInfo(output).absolutePath());
    bool enoughSpace = true;
    if (storage.isValid() && storage.bytesAvailable() >= 0)
        enoughSpace = NearestD(storage.bytesAvailable() / 1048576.0) > NearestD(total / 1048576.0);
    if (!enoughSpace || total >= kMaxTotalBytes) {
        if (prompter) {
            const QString volume = storage.isValid() ? storage.rootPath() : QFileInfo(output).absolutePath();
            prompter->inform(volume + QStringLiteral("盘空间不足，或临时音乐文件超过2GB，无法合并音频"),
                             PromptIcon::Warning);
        }
        m_outcome = Outcome::NoSpace;
        return false;
    }

    m_outcome = Outcome::Failed;
    if (!usablePcm(m_outputFormat)) return false;
    FileHandle out = FileOpen(output, FileMode::Write);
    if (!out.isOpen()) return false;
    if (FileSeek(out, kHeaderSize, FileBegin) != kHeaderSize) return false;
    int64_t done = 0;
    for (const WaveEntry &e : m_queue) {
        const WaveFormatEx in = WaveFormatEx::fromBytes(e.WaveFormat);
        EntryConverter conv;
        if (!usablePcm(in) || !conv.open(in, m_outputFormat)) return false;
        const int64_t chunk = int64_t(in.nBlockAlign) * in.nSamplesPerSec * 10;
        std::vector<uint8_t> buffer(size_t(chunk), 0);
        FileHandle src = FileOpen(e.FileName, FileMode::Read);
        if (!src.isOpen() || FileSeek(src, int32_t(e.DataStart - 1), FileBegin) < 0) return false;
        int64_t left = e.DataSize;
        bool cancelled = false;
        while (true) {
            const bool last = left < chunk;
            const int32_t want = int32_t(last ? left : chunk);
            const int32_t got = std::max<int32_t>(FileRead(src, buffer.data(), want), 0);
            // A file cut short ends the entry where its bytes end.
            const bool end = last || got < want;
            const std::vector<uint8_t> &pcm = conv.convert(buffer.data(), got, end);
            if (!pcm.empty() && FileWrite(out, pcm.data(), int32_t(pcm.size())) != int32_t(pcm.size())) return false;
            left -= got;
            done += got;
            if (end) break;
            if (job.cancelled()) {
                cancelled = true;
                break;
            }
            if (nProgress && total > 0) job.report(Nearest(double(done) / double(total) * 100.0), progressCaption());
        }
        if (cancelled || job.cancelled()) {
            m_outcome = Outcome::Cancelled;
            return true;
        }
    }
    const int32_t length = FileLength(out);
    const QByteArray header = MakeWavHeader44(m_outputFormat, length);
    if (FileSeek(out, 0, FileBegin) != 0 || FileWrite(out, header.constData(), kHeaderSize) != kHeaderSize)
        return false;
    FileClose(out);
    m_outcome = Outcome::Joined;
    return true;
}

} // namespace pvsm
