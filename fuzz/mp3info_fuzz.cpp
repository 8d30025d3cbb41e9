// MP3 files from untrusted sources: the structure parser, the MP3 source and
// the decoder behind it must refuse or accept without reading past the data,
// and every answer must stay within what the bytes can mean.
#include "LameApi.h"
#include "MP3Info.h"
#include "PCMPreparator.h"
#include "StreamMP3.h"

#include <QByteArray>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok) std::abort();
}

QByteArray be32(uint32_t v)
{
    QByteArray b;
    for (int i = 3; i >= 0; --i)
        b.append(char((v >> (8 * i)) & 0xFF));
    return b;
}

// A short stereo tone through the project's own encoder layer.
QByteArray encodedTone(int rate, int32_t preset)
{
    pvsm::LameApi lame;
    pvsm::BeConfig config;
    config.dwSampleRate = rate;
    config.nPreset = preset;
    uint32_t samples = 0, bufferSize = 0, stream = 0;
    if (lame.beInitStream(config, samples, bufferSize, stream) != pvsm::BE_ERR_SUCCESSFUL) return {};
    std::vector<int16_t> pcm(samples);
    std::vector<uint8_t> out(bufferSize);
    QByteArray mp3;
    for (int chunk = 0; chunk < 8; ++chunk) {
        for (size_t i = 0; i < pcm.size(); ++i)
            pcm[i] = int16_t(8000 * std::sin(double(chunk * samples + i) * 0.05));
        uint32_t n = 0;
        lame.beEncodeChunk(stream, samples, pcm.data(), out.data(), n);
        mp3.append(reinterpret_cast<const char *>(out.data()), qsizetype(n));
    }
    uint32_t n = 0;
    lame.beDeinitStream(stream, out.data(), n);
    mp3.append(reinterpret_cast<const char *>(out.data()), qsizetype(n));
    lame.beCloseStream(stream);
    return mp3;
}

} // namespace

extern "C" std::vector<QByteArray> pvsmFuzzSeeds()
{
    const QByteArray header("\xFF\xFB\x90\x00", 4); // MPEG 1 Layer III, 128 kbit/s, 44100 Hz
    QByteArray xingFrame = header + QByteArray(32, '\0') + "Xing" + be32(15) + be32(100) + be32(41700);
    for (int i = 0; i < 100; ++i)
        xingFrame.append(char(i * 2));
    xingFrame += be32(50);
    xingFrame = xingFrame.leftJustified(417, '\0');
    QByteArray plain = header + QByteArray(413, '\0');
    QByteArray id3 = QByteArray("ID3\x03\x00\x00\x00\x00\x00\x0A", 10) + QByteArray(10, 'x');
    QByteArray vbri = header + QByteArray(32, '\0') + "VBRI" + QByteArray("\x00\x01\x05\x00\x00\x4B", 6) + be32(4170) +
                      be32(10) + QByteArray("\x00\x02\x00\x01\x00\x02\x00\x01\x00\x10\x00\x20\x00\x30", 14);
    vbri = vbri.leftJustified(417, '\0');
    return {id3 + xingFrame + plain + plain, vbri + plain + plain + "TAG" + QByteArray(125, 'x'), encodedTone(22050, 6),
            encodedTone(44100, 12)};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    pvsm::MP3Info info;
    if (info.ReadMP3InfoFromBytes(bytes)) {
        check(info.FirstFrame() >= 0 && info.FirstFrame() < bytes.size());
        check(info.FileSize() == bytes.size());
        check(info.Layer() >= 1 && info.Layer() <= 3);
        check(info.Channels() == 1 || info.Channels() == 2);
        check(info.SampleRate() >= 8000 && info.SampleRate() <= 48000);
        check(info.Frames() >= 0 && info.Duration() >= 0 && std::isfinite(info.Duration()));
    } else {
        check(info.FirstFrame() == 0 && info.SampleRate() == 0 && info.Duration() == 0);
    }

    pvsm::StreamMP3 source;
    const pvsm::SoundResult opened = source.OpenBytes(bytes);
    check(opened == pvsm::SoundResultOk || opened == pvsm::SoundResultUnsupported);
    if (opened != pvsm::SoundResultOk) return 0;
    check(source.FirstFrame() <= pvsm::StreamMP3::kFrameSearchLimit);
    check(source.WFXPointer().size() == pvsm::StreamMP3::kWfxSize);
    source.Duration();
    source.Position();
    for (int32_t value : {0, 37, 100, 101, -1})
        source.SeekTo(value, pvsm::SeekPercent);
    source.SeekTo(1, pvsm::SeekSeconds);
    source.SeekTo(0, pvsm::SeekPercent);

    // Decode a bounded amount: the decoder glue sees whatever the bytes hold.
    pvsm::PCMPreparator prep;
    if (prep.InitConversion(&source, false)) {
        check(prep.OutputBitsPerSample() == 16);
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
