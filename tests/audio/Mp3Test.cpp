#include "AudioFixtures.h"
#include "Bitstream.h"
#include "MP3Info.h"
#include "MpegAudio.h"
#include "Numbers.h"
#include "PCMPreparator.h"
#include "SongLength.h"
#include "StreamMP3.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pvsm;
using namespace pvsm::test;

namespace {

// MPEG 1 Layer III, 128 kbit/s, 44100 Hz, stereo: 417-byte frames.
const QByteArray kMpeg1Header("\xFF\xFB\x90\x00", 4);
// MPEG 2 Layer III, 64 kbit/s, 22050 Hz, stereo: 208-byte frames.
const QByteArray kMpeg2Header("\xFF\xF3\x80\x00", 4);
// MPEG 2.5 Layer III, 8 kbit/s, 8000 Hz, stereo: 72-byte frames.
const QByteArray kMpeg25Header("\xFF\xE3\x18\x00", 4);

QByteArray frame(const QByteArray &header, int length, const QByteArray &body = {}, int bodyAt = 4)
{
    QByteArray f = header + QByteArray(length - 4, '\0');
    f.replace(bodyAt, body.size(), body);
    return f.left(length);
}

QByteArray frames(const QByteArray &header, int length, int count)
{
    QByteArray all;
    for (int i = 0; i < count; ++i)
        all += frame(header, length);
    return all;
}

QByteArray be32(uint32_t v)
{
    QByteArray b;
    for (int i = 3; i >= 0; --i)
        b.append(char((v >> (8 * i)) & 0xFF));
    return b;
}

QByteArray id3(int major, int flags, QByteArray sizeBytes, int bodyLength)
{
    QByteArray t = "ID3";
    t.append(char(major));
    t.append('\0');
    t.append(char(flags));
    t += sizeBytes;
    return t + QByteArray(bodyLength, '\0');
}

bool headerValid(uint8_t b1, uint8_t b2, uint8_t b3)
{
    const uint8_t h[4] = {0xFF, b1, b2, b3};
    return IsValidHeader(h);
}

} // namespace

TEST(Bitstream, ReadsMostSignificantBitFirst)
{
    Bitstream bits;
    bits.SetData(QByteArray("\x00\xFF\xA5\x3C", 4), 1, 3);
    EXPECT_EQ(bits.ReadBits(4), 0xFu);
    EXPECT_EQ(bits.ReadBits(8), 0xFAu); // across a byte boundary
    bits.SkipBits(4);
    EXPECT_EQ(bits.ReadBits(8), 0x3Cu);
    EXPECT_EQ(bits.ReadBits(8), 0u); // past the end: zero bits
    bits.SetData(QByteArray("\xDE\xAD\xBE\xEF", 4), 0, 4);
    EXPECT_EQ(bits.ReadBits(32), 0xDEADBEEFu);
}

TEST(MpegHeader, ValidityAndFrameGeometry)
{
    EXPECT_TRUE(headerValid(0xFB, 0x90, 0x00));
    EXPECT_FALSE(headerValid(0xDB, 0x90, 0x00)); // byte 1 not above 0xDF
    EXPECT_FALSE(headerValid(0xEB, 0x90, 0x00)); // reserved version
    EXPECT_FALSE(headerValid(0xF9, 0x90, 0x00)); // reserved layer
    EXPECT_FALSE(headerValid(0xFB, 0x00, 0x00)); // free format
    EXPECT_FALSE(headerValid(0xFB, 0xF0, 0x00)); // bit rate index 15
    EXPECT_FALSE(headerValid(0xFB, 0x9C, 0x00)); // sample rate index 3
    // MPEG 1 Layer II: low rates only in single channel, high rates only in the others.
    EXPECT_FALSE(headerValid(0xFD, 0x10, 0x00)); // 32 kbit/s stereo
    EXPECT_TRUE(headerValid(0xFD, 0x10, 0xC0));  // 32 kbit/s mono
    EXPECT_FALSE(headerValid(0xFD, 0xB0, 0xC0)); // 224 kbit/s mono
    EXPECT_TRUE(headerValid(0xFD, 0xB0, 0x40));  // 224 kbit/s joint stereo
    // Free format passes the source's looser check.
    const uint8_t free[4] = {0xFF, 0xFB, 0x00, 0x00};
    EXPECT_TRUE(IsValidSourceHeader(free));

    struct Case
    {
        QByteArray header;
        int rate, bitRate, samples, length, sideInfo;
    };
    const std::vector<Case> cases = {
        {kMpeg1Header, 44100, 128000, 1152, 417, 32},
        {QByteArray("\xFF\xFB\x92\xC0", 4), 44100, 128000, 1152, 418, 17}, // padded, mono
        {kMpeg2Header, 22050, 64000, 576, 208, 17},                        // 72 × rate factor
        {kMpeg25Header, 8000, 8000, 576, 72, 17},
        {QByteArray("\xFF\xFD\xB0\x40", 4), 44100, 224000, 1152, 731, 32}, // Layer II
        {QByteArray("\xFF\xFF\x90\x00", 4), 44100, 288000, 384, 312, 32}, // Layer I: truncate(12 × 288000 / 44100) × 4
    };
    for (const Case &c : cases) {
        const FrameHeader h = FrameHeader::parse(reinterpret_cast<const uint8_t *>(c.header.constData()));
        EXPECT_EQ(h.sampleRate(), c.rate);
        EXPECT_EQ(h.bitRate(), c.bitRate);
        EXPECT_EQ(h.samplesPerFrame(), c.samples);
        EXPECT_EQ(h.frameLength(), c.length);
        EXPECT_EQ(h.sideInfoLength(), c.sideInfo);
    }
}

TEST(Mp3Info, FirstFrameSearch)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        int32_t firstFrame; // -1: none found
    };
    const QByteArray ten("\x00\x00\x00\x0A", 4);
    QByteArray v24 = id3(4, 0x10, ten, 10) + QByteArray("3DI\x04\x00\x10\x00\x00\x00\x0A", 10);
    std::vector<Case> cases = {
        {"frames at 0", frames(kMpeg1Header, 417, 3), 0},
        {"ID3v2 of declared size 10", id3(3, 0, ten, 10) + frames(kMpeg1Header, 417, 3), 20},
        {"ID3v2.4 with footer", v24 + frames(kMpeg1Header, 417, 3), 30},
        {"plain big-endian size with a top bit",
         id3(3, 0, QByteArray("\x00\x00\x00\x80", 4), 128) + frames(kMpeg1Header, 417, 3), 138},
        {"free format", frames(QByteArray("\xFF\xFB\x00\x00", 4), 417, 5), -1},
        {"a lone header, then frames at 5000",
         frame(kMpeg1Header, 417) + QByteArray(5000 - 417, '\0') + frames(kMpeg1Header, 417, 3), 5000},
        {"a lone header, then frames past the search range",
         frame(kMpeg1Header, 417) + QByteArray(20000 - 417, '\0') + frames(kMpeg1Header, 417, 3), -1},
        {"range counted from the end of the tag",
         id3(3, 0, QByteArray("\x00\x01\x00\x00", 4), 16384) + QByteArray(9000, '\0') + frames(kMpeg1Header, 417, 3),
         16394 + 9000},
        {"tag size beyond the file", id3(3, 0, QByteArray("\x7F\x7F\x7F\x7F", 4), 0) + frames(kMpeg1Header, 417, 3),
         -1},
        {"empty", QByteArray(), -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MP3Info info;
        EXPECT_EQ(info.ReadMP3InfoFromBytes(c.bytes), c.firstFrame >= 0);
        EXPECT_EQ(info.FirstFrame(), std::max(c.firstFrame, 0));
        if (c.firstFrame < 0) {
            EXPECT_EQ(info.SampleRate(), 0);
            EXPECT_EQ(info.Duration(), 0);
        }
    }
}

TEST(Mp3Info, LengthFromTagsAndFileSize)
{
    // CBR with an ID3v1 tag: the tag's 128 bytes are no audio.
    {
        QByteArray bytes = frames(kMpeg1Header, 417, 10) + "TAG" + QByteArray(125, 'x');
        MP3Info info;
        ASSERT_TRUE(info.ReadMP3InfoFromBytes(bytes));
        EXPECT_EQ(info.FileSize(), 4170 + 128);
        EXPECT_EQ(info.MpegBytes(), 4170);
        EXPECT_EQ(info.Frames(), 10);
        EXPECT_NEAR(info.Duration(), 10 * 1152 / 44100.0 * 1000, 1e-9);
        EXPECT_EQ(info.BitRate(), 128000);
        EXPECT_EQ(info.Channels(), 2);
        EXPECT_EQ(info.Layer(), 3);
        EXPECT_FLOAT_EQ(info.MpegVersion(), 1.0f);
        EXPECT_FALSE(info.IsVBR());
        EXPECT_FALSE(info.Protected()); // protection bit 1: no CRC
    }
    // A Xing tag with frames and bytes; the same as an Info tag.
    const QByteArray xingBody = be32(3) + be32(1000) + be32(400000);
    for (const char *name : {"Xing", "Info"}) {
        SCOPED_TRACE(name);
        const QByteArray bytes =
            frame(kMpeg1Header, 417, QByteArray(name) + xingBody, 36) + frames(kMpeg1Header, 417, 4);
        MP3Info info;
        ASSERT_TRUE(info.ReadMP3InfoFromBytes(bytes));
        EXPECT_EQ(info.Frames(), 1000);
        EXPECT_EQ(info.MpegBytes(), 400000);
        EXPECT_NEAR(info.Duration(), 1000 * 1152 / 44100.0 * 1000, 1e-6);
        const bool xing = QByteArray(name) == "Xing";
        EXPECT_EQ(info.IsVBR(), xing);
        EXPECT_EQ(info.BitRate(), xing ? 122500 : 128000); // the average only for VBR
    }
    // VBRI, 36 bytes into the frame.
    {
        QByteArray vbri = "VBRI";
        vbri += QByteArray("\x00\x01\x05\x00\x00\x4B", 6) + be32(300000) + be32(800);
        vbri += QByteArray("\x00\x02\x00\x01\x00\x02\x00\x01", 8) + QByteArray("\x00\x10\x00\x20\x00\x30", 6);
        const QByteArray bytes = frame(kMpeg1Header, 417, vbri, 36) + frames(kMpeg1Header, 417, 4);
        MP3Info info;
        ASSERT_TRUE(info.ReadMP3InfoFromBytes(bytes));
        EXPECT_TRUE(info.IsVBR());
        EXPECT_EQ(info.Frames(), 800);
        EXPECT_EQ(info.MpegBytes(), 300000);
        EXPECT_EQ(info.Vbri().Delay, 1280.0);
        EXPECT_EQ(info.Vbri().Toc, (std::vector<uint32_t>{16, 32, 48}));
    }
    // MPEG 2 Layer III at 22050 Hz: 576 samples and 72 × bit rate / rate.
    {
        const QByteArray bytes = frames(kMpeg2Header, 208, 50);
        MP3Info info;
        ASSERT_TRUE(info.ReadMP3InfoFromBytes(bytes));
        EXPECT_EQ(info.SampleRate(), 22050);
        EXPECT_FLOAT_EQ(info.MpegVersion(), 2.0f);
        EXPECT_EQ(info.Frames(), 50);
        EXPECT_NEAR(info.Duration(), 50 * 576 / 22050.0 * 1000, 1e-9);
    }
    // A tag announcing more than its frame holds: the header facts stay, the length is 0.
    {
        const QByteArray bytes = frame(kMpeg25Header, 72, "Xing" + be32(15), 21) + frames(kMpeg25Header, 72, 4);
        MP3Info info;
        EXPECT_TRUE(info.ReadMP3InfoFromBytes(bytes));
        EXPECT_EQ(info.SampleRate(), 8000);
        EXPECT_EQ(info.Frames(), 0);
        EXPECT_EQ(info.Duration(), 0);
    }
}

TEST(StreamMp3, FrameSearchWfxAndLength)
{
    StreamMP3 s;
    // The first header at 61440 (behind a large tag) is found; past 65536 it is not.
    EXPECT_EQ(s.OpenBytes(QByteArray(61440, '\0') + frames(kMpeg1Header, 417, 2)), SoundResultOk);
    EXPECT_EQ(s.FirstFrame(), 61440);
    EXPECT_EQ(s.OpenBytes(QByteArray(65536, '\0') + frames(kMpeg1Header, 417, 2)), SoundResultOk);
    EXPECT_EQ(s.OpenBytes(QByteArray(65537, '\0') + frames(kMpeg1Header, 417, 2)), SoundResultUnsupported);
    EXPECT_FALSE(s.StopsExport());
    // Free format: found, then refused by its frame length, and the export stops.
    EXPECT_EQ(s.OpenBytes(frames(QByteArray("\xFF\xFB\x00\x00", 4), 417, 2)), SoundResultUnsupported);
    EXPECT_TRUE(s.StopsExport());
    int32_t got = 0;
    uint8_t buf[16];
    EXPECT_EQ(s.Read(buf, 4, got), SoundResultInvalidSource); // refused: closed

    // 22050 Hz MPEG 2 stereo.
    ASSERT_EQ(s.OpenBytes(frames(kMpeg2Header, 208, 10)), SoundResultOk);
    const QByteArray wfx = s.WFXPointer();
    ASSERT_EQ(wfx.size(), 30);
    const WaveFormatEx f = WaveFormatEx::fromBytes(wfx);
    EXPECT_EQ(f.wFormatTag, 0x55);
    EXPECT_EQ(f.nSamplesPerSec, 22050u);
    EXPECT_EQ(f.nChannels, 2);
    EXPECT_EQ(f.nAvgBytesPerSec, 16384u);
    EXPECT_EQ(f.nBlockAlign, 1);
    EXPECT_EQ(f.cbSize, 12);
    EXPECT_EQ(le16(wfx, 18), 1);    // wID
    EXPECT_EQ(le32(wfx, 20), 2u);   // fdwFlags
    EXPECT_EQ(le16(wfx, 24), 522);  // nBlockSize
    EXPECT_EQ(le16(wfx, 28), 1393); // nCodecDelay
    EXPECT_TRUE(s.Force16Bit());

    // CBR without Xing: audio bytes = length − first frame + 1.
    ASSERT_EQ(s.OpenBytes(kMpeg1Header + QByteArray(1000001 - 4, '\0')), SoundResultOk);
    EXPECT_EQ(s.Duration(), 62500);

    // 40 seconds at 128 kbit/s: whole seconds up to 40 are valid targets.
    const int32_t length = 640099; // 640000 audio bytes behind 100 bytes of junk
    const QByteArray forty = QByteArray(100, '\0') + kMpeg1Header + QByteArray(length - 104, '\0');
    ASSERT_EQ(s.OpenBytes(forty), SoundResultOk);
    EXPECT_EQ(s.FirstFrame(), 100);
    EXPECT_EQ(s.Duration(), 40000);
    EXPECT_EQ(s.SeekTo(50, SeekSeconds), SoundResultInvalidArgument);
    EXPECT_EQ(s.SeekTo(101, SeekPercent), SoundResultInvalidArgument);
    EXPECT_EQ(s.SeekTo(40, SeekSeconds), SoundResultOk);
    EXPECT_EQ(s.SeekTo(20, SeekSeconds), SoundResultOk); // 50 % of the file, not aligned to a frame
    EXPECT_EQ(s.Read(buf, 4, got), SoundResultOk);
    const int32_t middle = Nearest(length / 2.0);
    EXPECT_EQ(s.Position(), Nearest((middle + 4.0) / 417 * 1152 / 44100 * 1000 - 2000));
    EXPECT_EQ(s.SeekTo(0, SeekPercent), SoundResultOk); // back to the first frame
    EXPECT_EQ(s.Read(buf, 4, got), SoundResultOk);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(buf), 4), kMpeg1Header);
    EXPECT_EQ(s.SeekTo(100, SeekPercent), SoundResultOk);
    EXPECT_EQ(s.Read(buf, 4, got), SoundResultEndOfStream);
    EXPECT_EQ(got, 0);
}

TEST(StreamMp3, XingTableOfContents)
{
    QByteArray toc;
    for (int i = 0; i < 100; ++i)
        toc.append(char(i * 2)); // half the file at 100 %
    const QByteArray xing = "Xing" + be32(7) + be32(2000) + be32(500000) + toc;
    const QByteArray bytes = frame(kMpeg1Header, 417, xing, 36) + QByteArray(500000 - 417, '\0');
    StreamMP3 s;
    ASSERT_EQ(s.OpenBytes(bytes), SoundResultOk);
    ASSERT_TRUE(s.HasXing());
    EXPECT_EQ(s.Duration(), Nearest(2000 * 1152 / 44100.0 * 1000));
    EXPECT_EQ(s.SeekTo(50, SeekPercent), SoundResultOk);
    uint8_t buf[4];
    int32_t got = 0;
    // Toc[50] = 100: 100 / 255 of the file.
    const int32_t target = Nearest(100.0 * 500000 / 255);
    EXPECT_EQ(s.Read(buf, 4, got), SoundResultOk);
    const double scaled = double(target + 4) / 500000 * 255;
    const int i = int(scaled / 2) + 1; // first entry above
    const double percent = i + 1 - (i * 2 - scaled) / 2;
    EXPECT_EQ(s.Position(), Nearest(2000 * percent / 100 * 1152 / 44100.0 * 1000));
}

namespace {

struct Decoded
{
    std::vector<int16_t> pcm;
    int rate = 0;
    int channels = 0;
};

Decoded decodeAll(ISoundStream &source)
{
    Decoded d;
    PCMPreparator prep;
    if (!prep.InitConversion(&source, false)) return d;
    d.rate = prep.OutputSamplerate();
    d.channels = prep.OutputChannels();
    EXPECT_EQ(prep.OutputBitsPerSample(), 16);
    std::vector<uint8_t> buf(16384);
    for (int guard = 0; guard < 100000; ++guard) {
        int32_t got = 0;
        prep.GetSamples(buf.data(), int32_t(buf.size()), got);
        const auto *s = reinterpret_cast<const int16_t *>(buf.data());
        d.pcm.insert(d.pcm.end(), s, s + got / 2);
        if (prep.EndOfStream() && got < int32_t(buf.size())) break;
    }
    prep.CloseConverter();
    return d;
}

} // namespace

TEST(Mp3Files, EncodedStreamsParseDecodeAndMeasure)
{
    struct Case
    {
        Mp3Options o;
        const char *name;
    };
    const std::vector<Case> cases = {
        {{44100, 2, false, 128, true}, "44.1 kHz stereo CBR"},
        {{44100, 1, true, 0, true}, "44.1 kHz mono VBR"},
        {{32000, 2, true, 0, true}, "32 kHz stereo VBR"},
        {{22050, 2, false, 64, true}, "22.05 kHz stereo CBR"},
        {{22050, 1, false, 32, false}, "22.05 kHz mono CBR without tag"},
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int inputFrames = c.o.rate * 2; // two seconds
        const std::vector<int16_t> input = tone(c.o.rate, c.o.channels, inputFrames);
        const QString path = dir.filePath(QStringLiteral("song.mp3"));
        ASSERT_TRUE(writeFile(path, encodeMp3(input, c.o)));
        const double frameMs = (c.o.rate >= 32000 ? 1152.0 : 576.0) / c.o.rate * 1000;

        MP3Info info;
        ASSERT_TRUE(info.ReadMP3Info(path));
        EXPECT_EQ(info.FirstFrame(), 0);
        EXPECT_EQ(info.SampleRate(), c.o.rate);
        EXPECT_EQ(info.Channels(), c.o.channels);
        EXPECT_EQ(info.IsVBR(), c.o.vbr);
        if (!c.o.vbr) {
            EXPECT_EQ(info.BitRate(), c.o.kbps * 1000);
        }
        // The frames include the encoder's delay and padding.
        EXPECT_GE(info.Duration(), 2000.0);
        EXPECT_LE(info.Duration(), 2000.0 + 4 * frameMs);

        StreamMP3 source;
        ASSERT_EQ(source.OpenSource(path), SoundResultOk);
        EXPECT_NEAR(source.Duration(), 2000, 5 * frameMs);
        const Decoded d = decodeAll(source);
        ASSERT_EQ(d.rate, c.o.rate);
        ASSERT_EQ(d.channels, c.o.channels);
        const int decodedFrames = int(d.pcm.size()) / d.channels;
        EXPECT_GE(decodedFrames, inputFrames);
        EXPECT_LE(decodedFrames, inputFrames + 5 * int(frameMs * c.o.rate / 1000));
        // The tone is there at its level, not silence or noise (skip the
        // encoder's delay at the start).
        const size_t skip = size_t(c.o.rate / 10);
        const double in = rms(input.data() + skip * c.o.channels, size_t(inputFrames) - 2 * skip, c.o.channels, 0);
        const double out = rms(d.pcm.data() + 2 * skip * c.o.channels, size_t(inputFrames) - 2 * skip, c.o.channels, 0);
        EXPECT_NEAR(out / in, 1.0, 0.1);

        const double probed = ProbeSongLength(path);
        EXPECT_NEAR(probed, 2.0, 0.1);
        EXPECT_NEAR(GetSongLength(path, 0), 2.0, 0.1);
        EXPECT_NEAR(GetSongLength(path, float(probed)), 2.0, 0.1);
    }
}

TEST(SongLength, Mp3RuleWavHeaderAndRefusals)
{
    QTemporaryDir dir;
    // An MP3 whose own structure says 20.7 s (its Xing frame count).
    const QString mp3 = dir.filePath(QStringLiteral("a.mp3"));
    const QByteArray xing = "Xing" + be32(3) + be32(793) + be32(4170);
    ASSERT_TRUE(writeFile(mp3, frame(kMpeg1Header, 417, xing, 36) + frames(kMpeg1Header, 417, 9)));
    const double d = 793 * 1152 / 44100.0;
    // Within 5 s above the known (media) length: the known length; else the MP3's.
    EXPECT_FLOAT_EQ(GetSongLength(mp3, 18.0f), 18.0f);
    EXPECT_FLOAT_EQ(GetSongLength(mp3, 15.0f), float(NearestD(d * 1000) / 1000));
    EXPECT_FLOAT_EQ(GetSongLength(mp3, 21.0f), float(NearestD(d * 1000) / 1000));
    EXPECT_EQ(GetSongLength(dir.filePath(QStringLiteral("none.mp3")), 3.0f), 0.0f);

    // WAV: the known length, else the canonical header.
    const QString wav = dir.filePath(QStringLiteral("b.wav"));
    ASSERT_TRUE(writeFile(wav, wavFile(22050, 2, 16, QByteArray(88200 * 3 + 4410, '\0'))));
    EXPECT_FLOAT_EQ(GetSongLength(wav, 0), 3.05f);
    EXPECT_FLOAT_EQ(GetSongLength(wav, 7.25f), 7.25f);
    // An 18-byte fmt chunk, as the soundtrack writer makes it.
    const QString wav18 = dir.filePath(QStringLiteral("c.TMP"));
    ASSERT_TRUE(
        writeFile(wav18, riff(chunk("fmt ", pcmFormat(22050, 2, 16)) + chunk("data", QByteArray(88200, '\0')))));
    EXPECT_FLOAT_EQ(GetSongLength(wav18, 0), 1.0f);
    // Anything but the canonical layout gives 0.
    const QString odd = dir.filePath(QStringLiteral("d.wav"));
    ASSERT_TRUE(writeFile(odd, riff(chunk("fmt ", pcmFormat(22050, 2, 16).left(16)) + chunk("LIST", "ab") +
                                    chunk("data", QByteArray(88200, '\0')))));
    EXPECT_EQ(GetSongLength(odd, 0), 0.0f);
    EXPECT_EQ(CanonicalWavSeconds(riff(chunk("fmt ", pcmFormat(0, 0, 0).left(16)) + chunk("data", "abcd"))), 0.0);

    // The music list's probe: playable and longer than 0.3 s, else −1.
    EXPECT_NEAR(ProbeSongLength(wav), 3.05, 1e-9);
    const QString shortWav = dir.filePath(QStringLiteral("short.wav"));
    ASSERT_TRUE(writeFile(shortWav, wavFile(22050, 2, 16, QByteArray(88200 / 4, '\0')))); // 0.25 s
    EXPECT_EQ(ProbeSongLength(shortWav), -1);
    const QString empty = dir.filePath(QStringLiteral("empty.wav"));
    ASSERT_TRUE(writeFile(empty, wavFile(22050, 2, 16, QByteArray())));
    EXPECT_EQ(ProbeSongLength(empty), -1);
    const QString garbage = dir.filePath(QStringLiteral("garbage.mp3"));
    QByteArray noise(50000, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + (i >> 3) * 104729) & 0x7F);
    ASSERT_TRUE(writeFile(garbage, noise));
    EXPECT_EQ(ProbeSongLength(garbage), -1);
    EXPECT_EQ(ProbeSongLength(dir.filePath(QStringLiteral("none.wav"))), -1);
}
