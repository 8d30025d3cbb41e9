#include "AudioFixtures.h"
#include "EncoderWAV.h"
#include "PCMPreparator.h"
#include "StreamWAV.h"
#include "StreamWMA.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace pvsm;
using namespace pvsm::test;

namespace {

constexpr double kToneRms = 12000 / M_SQRT2;

// What the soundtrack does with one song: decode, then write the soundtrack WAV.
int32_t decodeToSoundtrack(ISoundStream &source, const QString &out, bool force16 = false)
{
    PCMPreparator prep;
    if (!prep.InitConversion(&source, force16)) return -1;
    EncoderWAV enc;
    int32_t chunk = 0;
    const int32_t r = enc.Init(out, prep.OutputSamplerate(), prep.OutputChannels(), prep.OutputBitsPerSample(), chunk);
    if (r != 0) return r;
    std::vector<uint8_t> buf(static_cast<size_t>(chunk));
    for (int guard = 0; guard < 1000000; ++guard) {
        int32_t got = 0;
        prep.GetSamples(buf.data(), chunk, got);
        if (got > 0 && enc.Encode(buf.data(), got) != 0) break;
        if (prep.EndOfStream()) break;
    }
    prep.CloseConverter();
    enc.DeInit();
    return 0;
}

struct SoundtrackFile
{
    QByteArray bytes;
    std::vector<int16_t> pcm() const
    {
        const auto *p = reinterpret_cast<const int16_t *>(bytes.constData() + EncoderWAV::kHeaderSize);
        return std::vector<int16_t>(p, p + (bytes.size() - EncoderWAV::kHeaderSize) / 2);
    }
};

// Checks the 46-byte header and returns the file.
SoundtrackFile checkSoundtrack(const QString &path)
{
    SoundtrackFile f{readFile(path)};
    const QByteArray &b = f.bytes;
    EXPECT_GE(b.size(), 46);
    if (b.size() < 46) return f;
    EXPECT_EQ(b.left(4), QByteArray("RIFF"));
    EXPECT_EQ(le32(b, 4), uint32_t(b.size() - 8));
    EXPECT_EQ(b.mid(8, 8), QByteArray("WAVEfmt "));
    EXPECT_EQ(le32(b, 16), 18u);
    EXPECT_EQ(b.mid(20, 18), pcmFormat(22050, 2, 16));
    EXPECT_EQ(b.mid(38, 4), QByteArray("data"));
    EXPECT_EQ(le32(b, 42), uint32_t(b.size() - 46));
    return f;
}

} // namespace

TEST(Conversion, EveryKindOfSongBecomesTheSoundtrackFormat)
{
    if (!haveFfmpeg()) GTEST_SKIP() << "the ffmpeg tool makes these fixtures";
    struct Case
    {
        const char *name;
        int channels;
        QStringList ffmpegArgs; // codec and rate of the song
        QString ext;
        int converterBits; // what the converter hands out
        double levelTolerance;
        bool pcmDuration = true; // the source's length comes from an exact byte rate
    };
    const std::vector<Case> cases = {
        {"8-bit mono 8 kHz", 1, {"-c:a", "pcm_u8", "-ar", "8000"}, "wav", 8, 0.05},
        {"16-bit stereo 44.1 kHz", 2, {"-c:a", "pcm_s16le"}, "wav", 16, 0.02},
        {"24-bit stereo 48 kHz", 2, {"-c:a", "pcm_s24le", "-ar", "48000"}, "wav", 16, 0.02},
        {"float stereo 32 kHz", 2, {"-c:a", "pcm_f32le", "-ar", "32000"}, "wav", 16, 0.02},
        {"MS ADPCM mono 22.05 kHz", 1, {"-c:a", "adpcm_ms", "-ar", "22050"}, "wav", 16, 0.1, false},
        {"IMA ADPCM stereo 44.1 kHz", 2, {"-c:a", "adpcm_ima_wav"}, "wav", 16, 0.1, false},
        {"mu-law mono 8 kHz", 1, {"-c:a", "pcm_mulaw", "-ar", "8000"}, "wav", 16, 0.05},
        {"A-law stereo 16 kHz", 2, {"-c:a", "pcm_alaw", "-ar", "16000"}, "wav", 16, 0.05},
        {"MP3 inside WAV", 2, {"-c:a", "libmp3lame", "-b:a", "128k"}, "wav", 16, 0.1, false},
        {"WMA stereo", 2, {"-c:a", "wmav2", "-b:a", "128k"}, "wma", 16, 0.15},
        {"WMA mono 22.05 kHz", 1, {"-c:a", "wmav1", "-ar", "22050", "-b:a", "48k"}, "wma", 16, 0.15},
    };
    QTemporaryDir dir;
    constexpr int kSeconds = 2;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString src = dir.filePath(QStringLiteral("src.wav"));
        ASSERT_TRUE(writeFile(src, wavFile(44100, c.channels, 16, bytesOf(tone(44100, c.channels, 44100 * kSeconds)))));
        const QString song = dir.filePath(QStringLiteral("song.") + c.ext);
        ASSERT_TRUE(ffmpeg(QStringList{QStringLiteral("-i"), src} + c.ffmpegArgs + QStringList{song}));

        std::unique_ptr<ISoundStream> source;
        if (c.ext == QLatin1String("wma"))
            source = std::make_unique<StreamWMA>();
        else
            source = std::make_unique<StreamWAV>();
        ASSERT_EQ(source->OpenSource(song), SoundResultOk);
        if (c.pcmDuration) {
            EXPECT_NEAR(source->Info().Duration(), kSeconds * 1000, 80);
        }

        PCMPreparator probe;
        ASSERT_TRUE(probe.InitConversion(source.get(), false));
        EXPECT_EQ(probe.OutputBitsPerSample(), c.converterBits);
        EXPECT_EQ(probe.OutputChannels(), c.channels);
        probe.CloseConverter();

        const QString out = dir.filePath(QStringLiteral("TmpWav1.wav"));
        ASSERT_EQ(decodeToSoundtrack(*source, out), 0);
        const SoundtrackFile f = checkSoundtrack(out);
        const std::vector<int16_t> pcm = f.pcm();
        const double seconds = double(pcm.size()) / 2 / 22050;
        EXPECT_NEAR(seconds, kSeconds, 0.1);
        // The tone arrives at its level on both sides (a mono song is copied
        // to both at full level); skip the codecs' start and end.
        const size_t frames = pcm.size() / 2;
        ASSERT_GT(frames, 22050u);
        const int16_t *middle = pcm.data() + 2 * 4410;
        EXPECT_NEAR(rms(middle, frames - 2 * 4410, 2, 0) / kToneRms, 1.0, c.levelTolerance);
        EXPECT_NEAR(rms(middle, frames - 2 * 4410, 2, 1) / kToneRms, 1.0, c.levelTolerance);
        source->CloseSource();
    }
}

TEST(Conversion, ConverterWidthsAndRefusals)
{
    StreamWAV wav;
    PCMPreparator prep;
    // 8-bit stays 8-bit unless 16 bits are forced.
    ASSERT_EQ(wav.OpenBytes(wavFile(8000, 1, 8, QByteArray(800, '\x80'))), SoundResultOk);
    ASSERT_TRUE(prep.InitConversion(&wav, false));
    EXPECT_EQ(prep.OutputBitsPerSample(), 8);
    ASSERT_TRUE(prep.InitConversion(&wav, true));
    EXPECT_EQ(prep.OutputBitsPerSample(), 16);
    EXPECT_EQ(prep.DstFormat(), MakePcmFormat(8000, 1, 16));

    // A format no decoder knows, and nonsense channel counts, are refused.
    const QByteArray unknown = riff(chunk("fmt ", pcmFormat(8000, 1, 16, 0x7A7A).left(16)) + chunk("data", "abcd"));
    ASSERT_EQ(wav.OpenBytes(unknown), SoundResultOk);
    EXPECT_FALSE(prep.InitConversion(&wav, false));
    ASSERT_EQ(wav.OpenBytes(wavFile(8000, 0, 16, "abcd")), SoundResultOk);
    EXPECT_FALSE(prep.InitConversion(&wav, false));
    ASSERT_EQ(wav.OpenBytes(wavFile(8000, 1, 12, "abcd")), SoundResultOk); // PCM of 12 bits
    EXPECT_FALSE(prep.InitConversion(&wav, false));
    int32_t got = 5;
    PCMPreparator empty;
    EXPECT_FALSE(empty.GetSamples(nullptr, 10, got));

    // A data chunk that claims far more than the file holds: the conversion
    // ends with the bytes that are there.
    const QByteArray pcm = bytesOf(tone(8000, 1, 4000));
    ASSERT_EQ(wav.OpenBytes(riff(chunk("fmt ", pcmFormat(8000, 1, 16).left(16)) + chunk("data", pcm, 0x7FFF0000))),
              SoundResultOk);
    ASSERT_TRUE(prep.InitConversion(&wav, false));
    QByteArray all;
    std::vector<uint8_t> buf(3000);
    for (int guard = 0; guard < 1000 && !prep.EndOfStream(); ++guard) {
        prep.GetSamples(buf.data(), int32_t(buf.size()), got);
        all.append(reinterpret_cast<const char *>(buf.data()), got);
    }
    EXPECT_TRUE(prep.EndOfStream());
    EXPECT_EQ(all, pcm);
}

TEST(EncoderWav, HeaderChunkLimitAndIdentity)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.wav"));
    EncoderWAV enc;
    int32_t chunk = 0;
    ASSERT_EQ(enc.Init(out, 22050, 2, 16, chunk), EncoderWAV::EncoderOk);
    EXPECT_EQ(chunk, 16384);
    const std::vector<uint8_t> big(16385, 1);
    EXPECT_EQ(enc.Encode(big.data(), 16385), EncoderWAV::EncoderTooMuchInput);
    EXPECT_EQ(enc.DeInit(), 0);
    EXPECT_EQ(readFile(out).size(), 46); // nothing was written

    // Input already in the soundtrack format passes unchanged, a trailing
    // partial frame dropped.
    const QByteArray pcm = bytesOf(tone(22050, 2, 10000));
    ASSERT_EQ(enc.Init(out, 22050, 2, 16, chunk), EncoderWAV::EncoderOk);
    for (qsizetype at = 0; at < pcm.size(); at += chunk)
        ASSERT_EQ(enc.Encode(reinterpret_cast<const uint8_t *>(pcm.constData() + at),
                             int32_t(std::min<qsizetype>(chunk, pcm.size() - at))),
                  0);
    EXPECT_EQ(enc.Encode(reinterpret_cast<const uint8_t *>(pcm.constData()), 3), 0);
    enc.DeInit();
    const SoundtrackFile f = checkSoundtrack(out);
    EXPECT_EQ(f.bytes.mid(46), pcm);

    EXPECT_EQ(enc.Init(out, 22050, 2, 24, chunk), EncoderWAV::EncoderUnsupportedInput);
    EXPECT_EQ(enc.Init(dir.filePath(QStringLiteral("no/such/folder/x.wav")), 22050, 2, 16, chunk),
              EncoderWAV::EncoderFileError);
}

TEST(StreamWma, ReadsAcrossSamplesSeeksAndEnds)
{
    if (!haveFfmpeg()) GTEST_SKIP() << "the ffmpeg tool makes these fixtures";
    QTemporaryDir dir;
    const QString src = dir.filePath(QStringLiteral("src.wav"));
    ASSERT_TRUE(writeFile(src, wavFile(44100, 2, 16, bytesOf(tone(44100, 2, 44100 * 3)))));
    const QString song = dir.filePath(QStringLiteral("song.wma"));
    ASSERT_TRUE(ffmpeg({QStringLiteral("-i"), src, QStringLiteral("-c:a"), QStringLiteral("wmav2"), song}));

    StreamWMA wma;
    EXPECT_EQ(wma.CloseSource(), SoundResultInvalidSource); // nothing open
    EXPECT_EQ(wma.OpenSource(dir.filePath(QStringLiteral("missing.wma"))), SoundResultInvalidSource);
    const QString garbage = dir.filePath(QStringLiteral("garbage.wma"));
    ASSERT_TRUE(writeFile(garbage, QByteArray(5000, '\x42')));
    EXPECT_EQ(wma.OpenSource(garbage), SoundResultInvalidSource);

    ASSERT_EQ(wma.OpenSource(song), SoundResultOk);
    EXPECT_TRUE(wma.Force16Bit());
    EXPECT_EQ(WaveFormatEx::fromBytes(wma.WFXPointer()), MakePcmFormat(44100, 2, 16));
    EXPECT_NEAR(wma.Duration(), 3000, 80);
    EXPECT_GT(wma.FileAttributes().Bitrate, 0);
    EXPECT_TRUE(wma.FileAttributes().Seekable);

    // One read larger than any decoded sample spans several of them.
    std::vector<uint8_t> first(100000);
    int32_t got = 0;
    ASSERT_EQ(wma.Read(first.data(), int32_t(first.size()), got), SoundResultOk);
    EXPECT_EQ(got, int32_t(first.size()));
    EXPECT_GT(wma.Position(), 0);

    // Back to the start: the same bytes again.
    ASSERT_EQ(wma.SeekTo(0, SeekPercent), SoundResultOk);
    std::vector<uint8_t> again(first.size());
    ASSERT_EQ(wma.Read(again.data(), int32_t(again.size()), got), SoundResultOk);
    EXPECT_EQ(again, first);
    EXPECT_EQ(wma.SeekTo(4, SeekSeconds), SoundResultInvalidArgument);
    EXPECT_EQ(wma.SeekTo(101, SeekPercent), SoundResultInvalidArgument);

    // To the end: the last read delivers what was left and reports the end.
    int64_t total = first.size();
    std::vector<uint8_t> buf(65536);
    SoundResult r = SoundResultOk;
    for (int guard = 0; guard < 10000 && r == SoundResultOk; ++guard) {
        r = wma.Read(buf.data(), int32_t(buf.size()), got);
        total += got;
    }
    EXPECT_EQ(r, SoundResultEndOfStream);
    EXPECT_TRUE(wma.EndReached());
    EXPECT_NEAR(double(total) / (44100 * 4), 3.0, 0.1);
    EXPECT_EQ(wma.Read(buf.data(), 100, got), SoundResultEndOfStream);
    EXPECT_EQ(got, 0);
    EXPECT_EQ(wma.CloseSource(), SoundResultOk);
}
