#include "AudioFixtures.h"
#include "FakePrompter.h"
#include "MP3Info.h"
#include "MultimediaAPI.h"
#include "PCMPreparator.h"
#include "StreamMP3.h"
#include "cLameEncoder.h"
#include "clsWavConcatenate.h"

#include <QFileInfo>
#include <QTemporaryDir>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <gtest/gtest.h>

#include <atomic>

using namespace pvsm;
using namespace pvsm::test;

namespace {

const WaveFormatEx kSoundtrack = MakePcmFormat(22050, 2, 16);

// Sample frames a media file decodes to, with the container's own trimming of
// encoder delay and padding (what a player hears).
int64_t decodedFrames(const QString &path)
{
    AVFormatContext *fmt = nullptr;
    if (avformat_open_input(&fmt, QFile::encodeName(path).constData(), nullptr, nullptr) < 0) return -1;
    avformat_find_stream_info(fmt, nullptr);
    const AVCodec *codec = nullptr;
    const int idx = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    int64_t frames = -1;
    if (idx >= 0 && codec) {
        AVCodecContext *ctx = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(ctx, fmt->streams[idx]->codecpar);
        if (avcodec_open2(ctx, codec, nullptr) == 0) {
            frames = 0;
            AVPacket *pkt = av_packet_alloc();
            AVFrame *f = av_frame_alloc();
            auto drain = [&] {
                while (avcodec_receive_frame(ctx, f) == 0) {
                    frames += f->nb_samples;
                    av_frame_unref(f);
                }
            };
            while (av_read_frame(fmt, pkt) >= 0) {
                if (pkt->stream_index == idx && avcodec_send_packet(ctx, pkt) == 0) drain();
                av_packet_unref(pkt);
            }
            avcodec_send_packet(ctx, nullptr);
            drain();
            av_frame_free(&f);
            av_packet_free(&pkt);
        }
        avcodec_free_context(&ctx);
    }
    avformat_close_input(&fmt);
    return frames;
}

} // namespace

TEST(WavConcatenate, ThreePartsMakeOneFile)
{
    QTemporaryDir dir;
    const QByteArray a = bytesOf(tone(22050, 2, 3001));
    const QByteArray b = bytesOf(tone(22050, 2, 22050 * 10)); // exactly one ten-second chunk
    const QByteArray c = bytesOf(tone(22050, 2, 77));
    const QString pa = dir.filePath(QStringLiteral("a.wav")), pb = dir.filePath(QStringLiteral("b.wav")),
                  pc = dir.filePath(QStringLiteral("c.wav"));
    ASSERT_TRUE(writeFile(pa, wavFile(22050, 2, 16, a)));
    // An 18-byte fmt chunk and a LIST chunk before the data, as other writers make them.
    ASSERT_TRUE(
        writeFile(pb, riff(chunk("fmt ", pcmFormat(22050, 2, 16)) + chunk("LIST", "INFOabc") + chunk("data", b))));
    ASSERT_TRUE(writeFile(pc, wavFile(22050, 2, 16, c)));

    clsWavConcatenate join;
    join.SetOutputFormat(kSoundtrack);
    const QString out = dir.filePath(QStringLiteral("TmpWav.wav"));
    EXPECT_FALSE(join.WaveConcatenate(out, false)); // an empty queue
    EXPECT_EQ(join.LastOutcome(), clsWavConcatenate::Outcome::EmptyQueue);
    EXPECT_FALSE(QFileInfo::exists(out));

    EXPECT_FALSE(join.WaveAdd(dir.filePath(QStringLiteral("missing.wav"))));
    EXPECT_FALSE(join.WaveAdd(dir.path()));
    ASSERT_TRUE(join.WaveAdd(pa));
    ASSERT_TRUE(join.WaveAdd(pb));
    ASSERT_TRUE(join.WaveAdd(pc));
    ASSERT_TRUE(join.WaveAdd(pa));                              // the same file twice puts its data in twice
    EXPECT_EQ(join.Queue()[1].DataStart, 12 + 26 + 16 + 8 + 1); // counted from 1

    std::vector<int> percents;
    JobControl job;
    job.progress = [&](int p, const QString &caption) {
        percents.push_back(p);
        EXPECT_EQ(caption, QStringLiteral("步骤2/5：合并音频"));
    };
    ASSERT_TRUE(join.WaveConcatenate(out, true, job));
    EXPECT_EQ(join.LastOutcome(), clsWavConcatenate::Outcome::Joined);
    const QByteArray joined = readFile(out);
    const QByteArray data = a + b + c + a;
    ASSERT_EQ(joined.size(), 44 + data.size());
    EXPECT_EQ(joined.left(44), MakeWavHeader44(kSoundtrack, joined.size()));
    EXPECT_EQ(le32(joined, 4), uint32_t(joined.size() - 8));
    EXPECT_EQ(le32(joined, 16), 16u);
    EXPECT_EQ(le32(joined, 28), 88200u);
    EXPECT_EQ(le32(joined, 40), uint32_t(data.size()));
    EXPECT_EQ(joined.mid(44), data);
    EXPECT_FALSE(percents.empty());
}

TEST(WavConcatenate, ConvertsOtherFormatsAndRefusesWhatItCannot)
{
    QTemporaryDir dir;
    // One second of 8-bit mono at 11025 Hz becomes one second of the soundtrack.
    QByteArray u8(11025, '\0');
    const std::vector<int16_t> t = tone(11025, 1, 11025);
    for (int i = 0; i < 11025; ++i)
        u8[i] = char(128 + t[size_t(i)] / 256);
    const QString p = dir.filePath(QStringLiteral("mono8.wav"));
    ASSERT_TRUE(writeFile(p, wavFile(11025, 1, 8, u8)));
    clsWavConcatenate join;
    join.SetOutputFormat(kSoundtrack);
    ASSERT_TRUE(join.WaveAdd(p));
    const QString out = dir.filePath(QStringLiteral("out.wav"));
    ASSERT_TRUE(join.WaveConcatenate(out, false));
    const QByteArray joined = readFile(out);
    EXPECT_NEAR((joined.size() - 44) / 88200.0, 1.0, 0.01);
    const auto *pcm = reinterpret_cast<const int16_t *>(joined.constData() + 44);
    const size_t frames = size_t(joined.size() - 44) / 4;
    EXPECT_NEAR(rms(pcm + 2000, frames - 4000, 2, 1) / (12000 / M_SQRT2), 1.0, 0.05);

    // A compressed input cannot be joined: false, and the partial file stays for the caller.
    const QString adpcm = dir.filePath(QStringLiteral("adpcm.wav"));
    ASSERT_TRUE(writeFile(adpcm, riff(chunk("fmt ", pcmFormat(22050, 1, 4, 0x11).left(16)) + chunk("data", "abcd"))));
    join.ResetQueue();
    ASSERT_TRUE(join.WaveAdd(p));
    ASSERT_TRUE(join.WaveAdd(adpcm));
    EXPECT_FALSE(join.WaveConcatenate(out, false));
    EXPECT_EQ(join.LastOutcome(), clsWavConcatenate::Outcome::Failed);
}

TEST(WavConcatenate, RefusesTwoGigabytesWithTheWarning)
{
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.wav"));
    {
        // A sparse file whose data chunk holds exactly the limit.
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(riff(chunk("fmt ", pcmFormat(22050, 2, 16).left(16))) + "data");
        QByteArray size;
        put32(size, uint32_t(clsWavConcatenate::kMaxTotalBytes));
        f.write(size);
        ASSERT_TRUE(f.resize(44 + clsWavConcatenate::kMaxTotalBytes));
    }
    clsWavConcatenate join;
    join.SetOutputFormat(kSoundtrack);
    ASSERT_TRUE(join.WaveAdd(big));
    EXPECT_EQ(join.Queue()[0].DataSize, uint32_t(clsWavConcatenate::kMaxTotalBytes));
    test::FakePrompter prompter;
    const QString out = dir.filePath(QStringLiteral("out.wav"));
    EXPECT_FALSE(join.WaveConcatenate(out, false, {}, &prompter));
    EXPECT_EQ(join.LastOutcome(), clsWavConcatenate::Outcome::NoSpace);
    ASSERT_EQ(prompter.informed.size(), 1);
    EXPECT_TRUE(prompter.informed[0].endsWith(QStringLiteral("盘空间不足，或临时音乐文件超过2GB，无法合并音频")));
    EXPECT_FALSE(QFileInfo::exists(out));
}

TEST(WavConcatenate, CancelLeavesTheFileWithoutHeader)
{
    QTemporaryDir dir;
    const QString p = dir.filePath(QStringLiteral("long.wav"));
    ASSERT_TRUE(writeFile(p, wavFile(22050, 2, 16, QByteArray(88200 * 25, '\1'))));
    clsWavConcatenate join;
    join.SetOutputFormat(kSoundtrack);
    ASSERT_TRUE(join.WaveAdd(p));
    ASSERT_TRUE(join.WaveAdd(p));
    std::atomic<bool> cancel{true};
    JobControl job;
    job.cancel = &cancel;
    const QString out = dir.filePath(QStringLiteral("out.wav"));
    EXPECT_TRUE(join.WaveConcatenate(out, true, job));
    EXPECT_EQ(join.LastOutcome(), clsWavConcatenate::Outcome::Cancelled);
    const QByteArray got = readFile(out);
    EXPECT_EQ(got.size(), 44 + 882000); // one ten-second chunk, then the cancel was seen
    EXPECT_EQ(got.left(4), QByteArray(4, '\0'));
}

TEST(LameWavReader, ChunksOfTheEncoderAndTheLastRead)
{
    QTemporaryDir dir;
    const QString p = dir.filePath(QStringLiteral("a.wav"));
    ASSERT_TRUE(writeFile(p, wavFile(22050, 2, 16, QByteArray(4608 * 3, '\2'))));
    cLameWavReader reader;
    EXPECT_EQ(reader.ReadBufferSize(), 32768);
    ASSERT_TRUE(reader.SetReadBufferSize(2304 / 2));
    ASSERT_TRUE(reader.OpenFile(p));
    EXPECT_FALSE(reader.SetReadBufferSize(10)); // not while a file is open
    EXPECT_EQ(reader.AudioLength(), 3456);
    EXPECT_TRUE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 1152); // 4608 bytes
    EXPECT_TRUE(reader.Read());
    // The data is an exact multiple of the buffer: the last whole buffer
    // comes with the read that reports the end.
    EXPECT_FALSE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 1152);
    EXPECT_EQ(reader.BufferStartPosition(), 4608 * 3);
    reader.SeekAbsolute(100);
    EXPECT_EQ(reader.BufferStartPosition(), 400);
    reader.SeekRelative(-200); // before the data: ignored
    EXPECT_EQ(reader.BufferStartPosition(), 400);

    // Only 16-bit stereo, and fmt chunks of at most 50 bytes.
    const QString mono = dir.filePath(QStringLiteral("mono.wav"));
    ASSERT_TRUE(writeFile(mono, wavFile(22050, 1, 16, QByteArray(100, '\0'))));
    EXPECT_FALSE(reader.OpenFile(mono));
    const QString longFmt = dir.filePath(QStringLiteral("longfmt.wav"));
    ASSERT_TRUE(writeFile(longFmt,
                          riff(chunk("fmt ", pcmFormat(22050, 2, 16) + QByteArray(34, '\0')) + chunk("data", "abcd"))));
    EXPECT_FALSE(reader.OpenFile(longFmt));
    EXPECT_TRUE(reader.Filename().isEmpty());
}

TEST(LameEncoder, EncodesTheWholeSongIncludingTheLastPartialBuffer)
{
    QTemporaryDir dir;
    struct Case
    {
        int frames;
        int32_t preset;
    };
    // Lengths that end with a partial buffer, and one that is an exact
    // multiple of it (576 frames per buffer at 22050 Hz).
    const std::vector<Case> cases = {{22050 * 3 + 123, 6}, {576 * 100, 6}, {22050 * 2 + 401, 12}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.frames << " frames, preset " << c.preset);
        const QString wav = dir.filePath(QStringLiteral("TmpWav.wav"));
        ASSERT_TRUE(writeFile(wav, wavFile(22050, 2, 16, bytesOf(tone(22050, 2, c.frames)))));
        const QString mp3 = dir.filePath(QStringLiteral("Pvsm_Audio_Part.mp3"));
        cLameEncoder enc;
        EXPECT_EQ(enc.EncodingPreset(), 6);
        EXPECT_EQ(enc.SampleRate(), 22050);
        ASSERT_TRUE(enc.SetWavFile(wav));
        enc.SetMp3File(mp3);
        enc.SetEncodingPreset(c.preset);
        ASSERT_TRUE(enc.Encode());
        EXPECT_EQ(enc.SamplesPerChunk(), 1152u);

        MP3Info info;
        ASSERT_TRUE(info.ReadMP3Info(mp3));
        EXPECT_EQ(info.SampleRate(), 22050);
        EXPECT_EQ(info.Channels(), 2);
        const int64_t decoded = decodedFrames(mp3);
        if (c.preset == 6) {
            // The VBR header carries the encoder delay and padding, so a
            // player hears exactly the input.
            EXPECT_TRUE(info.IsVBR());
            EXPECT_EQ(decoded, c.frames);
        } else {
            // No VBR header: the stream is as long as its frames, and at
            // least as long as the input.
            EXPECT_FALSE(info.IsVBR());
            const QByteArray bytes = readFile(mp3);
            EXPECT_NE(bytes.mid(4 + 17, 4), QByteArray("Info"));
            EXPECT_NE(bytes.mid(4 + 17, 4), QByteArray("Xing"));
            EXPECT_GE(decoded, c.frames);
            EXPECT_LE(decoded, c.frames + 576 * 3);
        }
    }
}

TEST(LameEncoder, CancelAndOddInput)
{
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("TmpWav.wav"));
    ASSERT_TRUE(writeFile(wav, wavFile(22050, 2, 16, bytesOf(tone(22050, 2, 22050 * 10)))));
    const QString mp3 = dir.filePath(QStringLiteral("out.mp3"));
    cLameEncoder enc;
    ASSERT_TRUE(enc.SetWavFile(wav));
    enc.SetMp3File(mp3);
    std::atomic<bool> cancel{true};
    JobControl job;
    job.cancel = &cancel;
    EXPECT_FALSE(enc.Encode(job));
    EXPECT_TRUE(enc.Cancelled());
    EXPECT_FALSE(QFileInfo::exists(mp3));

    // A WAV that is not 16-bit stereo gives an MP3 without audio.
    const QString mono = dir.filePath(QStringLiteral("mono.wav"));
    ASSERT_TRUE(writeFile(mono, wavFile(22050, 1, 16, bytesOf(tone(22050, 1, 22050)))));
    ASSERT_TRUE(enc.SetWavFile(mono));
    EXPECT_FALSE(enc.SetWavFile(dir.filePath(QStringLiteral("missing.wav"))));
    EXPECT_EQ(enc.WavFile(), mono);
    EXPECT_TRUE(enc.Encode());
    EXPECT_LE(decodedFrames(mp3), 576 * 3);

    // The MP3 cannot be created: a failure.
    enc.SetMp3File(dir.filePath(QStringLiteral("no/such/folder/out.mp3")));
    EXPECT_FALSE(enc.Encode());
    EXPECT_FALSE(enc.Cancelled());
}

TEST(LameEncoder, OutputDecodesThroughTheMp3Source)
{
    // The soundtrack MP3 goes back through the project's own reader and decoder.
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("TmpWav.wav"));
    ASSERT_TRUE(writeFile(wav, wavFile(22050, 2, 16, bytesOf(tone(22050, 2, 22050 * 2)))));
    const QString mp3 = dir.filePath(QStringLiteral("out.mp3"));
    cLameEncoder enc;
    ASSERT_TRUE(enc.SetWavFile(wav));
    enc.SetMp3File(mp3);
    ASSERT_TRUE(enc.Encode());
    StreamMP3 source;
    ASSERT_EQ(source.OpenSource(mp3), SoundResultOk);
    EXPECT_TRUE(source.HasXing());
    EXPECT_NEAR(source.Duration(), 2000, 100);
    PCMPreparator prep;
    ASSERT_TRUE(prep.InitConversion(&source, false));
    std::vector<int16_t> pcm;
    std::vector<uint8_t> buf(16384);
    while (!prep.EndOfStream()) {
        int32_t got = 0;
        prep.GetSamples(buf.data(), int32_t(buf.size()), got);
        const auto *s = reinterpret_cast<const int16_t *>(buf.data());
        pcm.insert(pcm.end(), s, s + got / 2);
    }
    const size_t frames = pcm.size() / 2;
    EXPECT_GE(frames, size_t(22050 * 2));
    EXPECT_NEAR(rms(pcm.data() + 2 * 4410, frames - 2 * 8820, 2, 0) / (12000 / M_SQRT2), 1.0, 0.1);
}
