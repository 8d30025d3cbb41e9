// WAV files from untrusted sources: the chunk walk, the WAV source, the
// song-length header rule and the converter behind the source (which hands
// any fmt record to the decoders) must refuse or accept without reading past
// the data, and never loop on sizes that lie.
#include "LittleEndian.h"
#include "MultimediaAPI.h"
#include "PCMPreparator.h"
#include "SongLength.h"
#include "StreamWAV.h"

#include <QByteArray>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using pvsm::put16;
using pvsm::put32;

void check(bool ok)
{
    if (!ok) std::abort();
}

QByteArray chunk(const QByteArray &id, const QByteArray &body)
{
    QByteArray c = id;
    put32(c, uint32_t(body.size()));
    c += body;
    if (body.size() % 2) c.append('\0');
    return c;
}

QByteArray wav(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t blockAlign, uint16_t bits,
               const QByteArray &extra, const QByteArray &data)
{
    QByteArray fmt;
    put16(fmt, tag);
    put16(fmt, channels);
    put32(fmt, rate);
    put32(fmt, rate * blockAlign);
    put16(fmt, blockAlign);
    put16(fmt, bits);
    if (!extra.isNull()) {
        put16(fmt, uint16_t(extra.size()));
        fmt += extra;
    }
    const QByteArray chunks = chunk("fmt ", fmt) + chunk("LIST", "INFOISFT") + chunk("data", data);
    QByteArray r = "RIFF";
    put32(r, uint32_t(4 + chunks.size()));
    return r + "WAVE" + chunks;
}

QByteArray toneBytes(int frames, int channels)
{
    QByteArray b;
    for (int i = 0; i < frames * channels; ++i)
        put16(b, uint16_t(int16_t(9000 * std::sin(i * 0.07))));
    return b;
}

} // namespace

extern "C" std::vector<QByteArray> pvsmFuzzSeeds()
{
    QByteArray ima;
    put16(ima, 505); // samples per block
    QByteArray msadpcm;
    put16(msadpcm, 500);
    put16(msadpcm, 7);
    const int16_t coefs[14] = {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232};
    for (int16_t c : coefs)
        put16(msadpcm, uint16_t(c));
    QByteArray extensible;
    put16(extensible, 32);
    put32(extensible, 3);
    extensible += QByteArray("\x03\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
    QByteArray floats;
    for (int i = 0; i < 400; ++i) {
        const float v = float(std::sin(i * 0.05));
        floats.append(reinterpret_cast<const char *>(&v), 4);
    }
    QByteArray noise(512, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char(i * 37 + (i >> 2));
    return {wav(1, 2, 22050, 4, 16, QByteArray(), toneBytes(300, 2)),
            wav(1, 1, 8000, 1, 8, QByteArray(), QByteArray(300, '\x90')),
            wav(0x11, 1, 22050, 256, 4, ima, noise),
            wav(2, 1, 22050, 256, 4, msadpcm, noise),
            wav(7, 1, 8000, 1, 8, QByteArray(""), noise),
            wav(0xFFFE, 2, 44100, 8, 32, extensible, floats)};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    pvsm::FileHandle file = pvsm::FileOpenMemory(bytes);
    for (const char *id : {"data", "fmt ", "LIST"}) {
        const pvsm::RiffChunk c = pvsm::FindRiffChunk(file, id);
        check(c.offset >= 0 && c.offset <= bytes.size());
        check(c.found() || c.size == 0);
    }
    const double seconds = pvsm::CanonicalWavSeconds(bytes);
    check(seconds >= 0 && std::isfinite(seconds));

    pvsm::StreamWAV source;
    const pvsm::SoundResult opened = source.OpenBytes(bytes);
    check(opened == pvsm::SoundResultOk || opened == pvsm::SoundResultInvalidSource);
    if (opened != pvsm::SoundResultOk) return 0;
    check(source.WFXPointer().size() >= 16);
    source.Duration();
    source.SeekTo(50, pvsm::SeekPercent);
    source.SeekTo(1, pvsm::SeekSeconds);
    source.Position();
    source.SeekTo(0, pvsm::SeekPercent);

    pvsm::PCMPreparator prep;
    if (prep.InitConversion(&source, false)) {
        const int bits = prep.OutputBitsPerSample();
        check(bits == 8 || bits == 16);
        std::vector<uint8_t> pcm(8192);
        for (int i = 0; i < 64 && !prep.EndOfStream(); ++i) {
            int32_t got = -1;
            check(prep.GetSamples(pcm.data(), int32_t(pcm.size()), got));
            check(got >= 0 && got <= int32_t(pcm.size()));
        }
        prep.CloseConverter();
    }
    return 0;
}
