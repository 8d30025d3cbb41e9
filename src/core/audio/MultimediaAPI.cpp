#include "MultimediaAPI.h"

#include "LittleEndian.h"
#include "Numbers.h"

#include <cstring>

namespace pvsm {

namespace {

// No real WAV file has more chunks than this; a file made of empty chunks
// would otherwise keep the walk busy for a long time.
constexpr int kMaxRiffChunks = 4096;

QByteArray fourCC(const QByteArray &id)
{
    QByteArray c = id.left(4);
    while (c.size() < 4)
        c.append(' ');
    return c;
}

} // namespace

WaveFormatEx WaveFormatEx::fromBytes(const QByteArray &record)
{
    uint8_t b[kSize] = {};
    for (int i = 0; i < kSize && i < record.size(); ++i)
        b[i] = uint8_t(record[i]);
    WaveFormatEx f;
    f.wFormatTag = le16(b);
    f.nChannels = le16(b + 2);
    f.nSamplesPerSec = le32(b + 4);
    f.nAvgBytesPerSec = le32(b + 8);
    f.nBlockAlign = le16(b + 12);
    f.wBitsPerSample = le16(b + 14);
    f.cbSize = le16(b + 16);
    return f;
}

QByteArray WaveFormatEx::toBytes() const
{
    QByteArray b;
    b.reserve(kSize);
    put16(b, wFormatTag);
    put16(b, nChannels);
    put32(b, nSamplesPerSec);
    put32(b, nAvgBytesPerSec);
    put16(b, nBlockAlign);
    put16(b, wBitsPerSample);
    put16(b, cbSize);
    return b;
}

WaveFormatEx MakePcmFormat(uint32_t sampleRate, uint16_t channels, uint16_t bitsPerSample)
{
    WaveFormatEx f;
    f.wFormatTag = kWaveFormatPcm;
    f.nChannels = channels;
    f.nSamplesPerSec = sampleRate;
    f.wBitsPerSample = bitsPerSample;
    f.nBlockAlign = uint16_t(Nearest(bitsPerSample / 8.0 * channels));
    f.nAvgBytesPerSec = sampleRate * f.nBlockAlign;
    f.cbSize = 0;
    return f;
}

RiffChunk FindRiffChunk(FileHandle &file, const QByteArray &chunkId)
{
    if (!file.isOpen()) return {};
    const QByteArray wanted = fourCC(chunkId);
    const int64_t length = FileLength(file);
    int64_t pos = 0;
    int chunks = 0;
    uint8_t h[12];
    // Top level: the first RIFF chunk of form WAVE.
    int64_t formStart = -1;
    while (pos + 12 <= length && chunks++ < kMaxRiffChunks) {
        if (FileReadAt(file, int32_t(pos), h, 12) != 12) return {};
        const uint32_t size = le32(h + 4);
        if (std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WAVE", 4) == 0) {
            formStart = pos + 12;
            break;
        }
        pos += 8 + int64_t(size) + (size & 1);
    }
    if (formStart < 0) return {};
    // Children of the form, in file order.
    pos = formStart;
    while (pos + 8 <= length && chunks++ < kMaxRiffChunks) {
        if (FileReadAt(file, int32_t(pos), h, 8) != 8) return {};
        const uint32_t size = le32(h + 4);
        if (std::memcmp(h, wanted.constData(), 4) == 0) return {int32_t(pos + 8), size};
        pos += 8 + int64_t(size) + (size & 1);
    }
    return {};
}

RiffChunk FindRiffChunk(const QString &path, const QByteArray &chunkId)
{
    FileHandle f = FileOpen(path, FileMode::Read);
    return FindRiffChunk(f, chunkId);
}

} // namespace pvsm
