#include "StreamWAV.h"
#include "AudioFixtures.h"
#include "FileAccess.h"
#include "MultimediaAPI.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pvsm;
using namespace pvsm::test;

TEST(RiffChunks, FoundInsideTheWaveFormOnly)
{
    const QByteArray fmt = chunk("fmt ", pcmFormat(22050, 2, 16).left(16));
    const QByteArray data = chunk("data", QByteArray(8, 'd'));
    struct Case
    {
        const char *name;
        QByteArray bytes;
        int32_t dataOffset; // 0: no data chunk found
        SoundResult open;
    };
    const QByteArray odd = chunk("LIST", QByteArray(3, 'x')); // odd size, padded to even
    const std::vector<Case> cases = {
        {"canonical", riff(fmt + data), 44, SoundResultOk},
        {"odd chunk before fmt", riff(odd + fmt + data), 56, SoundResultOk},
        {"data before fmt", riff(data + fmt), 20, SoundResultOk},
        {"form is not WAVE", riff(fmt + data, "AVI "), 0, SoundResultInvalidSource},
        {"no data chunk", riff(fmt), 0, SoundResultInvalidSource},
        {"no fmt chunk", riff(data), 20, SoundResultInvalidSource},
        {"fmt of 14 bytes", riff(chunk("fmt ", pcmFormat(22050, 2, 16).left(14)) + data), 42, SoundResultInvalidSource},
        {"a non-RIFF chunk first", chunk("JUNK", "ab") + riff(fmt + data), 54, SoundResultOk},
        {"empty file", QByteArray(), 0, SoundResultInvalidSource},
        {"chunk size past the end", riff(chunk("fmt ", pcmFormat(22050, 2, 16).left(16), 0x7FFFFFF0) + data), 0,
         SoundResultInvalidSource},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FileHandle h = FileOpenMemory(c.bytes);
        EXPECT_EQ(FindRiffChunk(h, "data").offset, c.dataOffset);
        StreamWAV wav;
        EXPECT_EQ(wav.OpenBytes(c.bytes), c.open);
    }
}

TEST(RiffChunks, FileLookupAndMissingFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.wav"));
    ASSERT_TRUE(writeFile(path, wavFile(8000, 1, 8, QByteArray(100, '\x80'))));
    const RiffChunk data = FindRiffChunk(path, "data");
    EXPECT_EQ(data.offset, 44);
    EXPECT_EQ(data.size, 100u);
    const RiffChunk fmt = FindRiffChunk(path, "fmt"); // padded with a blank
    EXPECT_EQ(fmt.offset, 20);
    EXPECT_EQ(fmt.size, 16u);
    EXPECT_FALSE(FindRiffChunk(dir.filePath(QStringLiteral("missing.wav")), "data").found());

    StreamWAV wav;
    EXPECT_EQ(wav.OpenSource(dir.filePath(QStringLiteral("missing.wav"))), SoundResultInvalidSource);
    EXPECT_EQ(wav.OpenSource(dir.path()), SoundResultInvalidSource); // a folder
    const QString empty = dir.filePath(QStringLiteral("empty.wav"));
    ASSERT_TRUE(writeFile(empty, QByteArray()));
    EXPECT_EQ(wav.OpenSource(empty), SoundResultInvalidSource);
}

TEST(StreamWav, ReadsToTheDeclaredEndAndNoFurther)
{
    // 16-bit stereo, 1000 frames = 4000 bytes.
    const QByteArray pcm = bytesOf(tone(8000, 2, 1000));
    StreamWAV wav;
    ASSERT_EQ(wav.OpenBytes(wavFile(8000, 2, 16, pcm)), SoundResultOk);
    EXPECT_FALSE(wav.Force16Bit());
    EXPECT_EQ(wav.Duration(), 125); // 4000 / 32000 s
    EXPECT_EQ(wav.WFXPointer().size(), 16);
    EXPECT_EQ(WaveFormatEx::fromBytes(wav.WFXPointer()).nBlockAlign, 4);

    std::vector<uint8_t> buf(4096);
    int32_t got = -7;
    EXPECT_EQ(wav.Read(buf.data(), 3000, got), SoundResultOk);
    EXPECT_EQ(got, 3000);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(buf.data()), got), pcm.left(3000));
    EXPECT_EQ(wav.Position(), 94); // 3000 / 32000 s, rounded
    EXPECT_EQ(wav.Read(buf.data(), 3000, got), SoundResultEndOfStream);
    EXPECT_EQ(got, 1000);
    // Exactly at the end: nothing more, still the end.
    EXPECT_EQ(wav.Read(buf.data(), 10, got), SoundResultEndOfStream);
    EXPECT_EQ(got, 0);

    wav.CloseSource();
    got = 42;
    EXPECT_EQ(wav.Read(buf.data(), 10, got), SoundResultInvalidSource);
    EXPECT_EQ(got, 42);                                    // untouched
    EXPECT_EQ(wav.SeekTo(50, SeekPercent), SoundResultOk); // closed: nothing happens
}

TEST(StreamWav, DataChunkClaimingMoreThanTheFileHolds)
{
    const QByteArray pcm(400, '\x11');
    const QByteArray bytes = riff(chunk("fmt ", pcmFormat(8000, 1, 16).left(16)) + chunk("data", pcm, 100000));
    StreamWAV wav;
    ASSERT_EQ(wav.OpenBytes(bytes), SoundResultOk);
    EXPECT_EQ(wav.DataSize(), 100000u);
    std::vector<uint8_t> buf(1000);
    int32_t got = 0;
    // The short read shows only in the count; the declared end is far away.
    EXPECT_EQ(wav.Read(buf.data(), 1000, got), SoundResultOk);
    EXPECT_EQ(got, 400);
    EXPECT_EQ(wav.Read(buf.data(), 1000, got), SoundResultOk);
    EXPECT_EQ(got, 0);
}

TEST(StreamWav, SeeksByPercentAndSeconds)
{
    // 16-bit stereo at 8000 Hz, 2.5 s: 80000 data bytes; an odd-sized chunk
    // before the data so that the data starts at an odd-looking offset.
    const QByteArray pcm = bytesOf(tone(8000, 2, 20000));
    const QByteArray bytes =
        riff(chunk("fmt ", pcmFormat(8000, 2, 16).left(16)) + chunk("note", "abc") + chunk("data", pcm));
    StreamWAV wav;
    ASSERT_EQ(wav.OpenBytes(bytes), SoundResultOk);
    const int32_t start = wav.DataStart();
    EXPECT_EQ(wav.Duration(), 2500);
    std::vector<uint8_t> buf(8);
    int32_t got = 0;

    auto positionAfter = [&](int32_t value, int32_t mode, SoundResult expected) {
        EXPECT_EQ(wav.SeekTo(value, mode), expected) << value << " mode " << mode;
        wav.Read(buf.data(), 4, got);
        return QByteArray(reinterpret_cast<const char *>(buf.data()), 4);
    };
    // 33 % of 80000 = 26400, a multiple of 4.
    EXPECT_EQ(positionAfter(33, SeekPercent, SoundResultOk), pcm.mid(26400, 4));
    // 7 % of 80000 = 5600; 1 % = 800.
    EXPECT_EQ(positionAfter(7, SeekPercent, SoundResultOk), pcm.mid(5600, 4));
    EXPECT_EQ(positionAfter(2, SeekSeconds, SoundResultOk), pcm.mid(64000, 4)); // 2 ≤ 2.5 s
    EXPECT_EQ(positionAfter(0, SeekPercent, SoundResultOk), pcm.mid(0, 4));
    // Refused targets leave the position where it was (4 bytes in).
    EXPECT_EQ(positionAfter(101, SeekPercent, SoundResultInvalidArgument), pcm.mid(4, 4));
    EXPECT_EQ(positionAfter(3, SeekSeconds, SoundResultInvalidArgument), pcm.mid(8, 4));
    EXPECT_EQ(positionAfter(-1, SeekPercent, SoundResultInvalidArgument), pcm.mid(12, 4));
    // Any other mode returns to the start.
    EXPECT_EQ(positionAfter(50, 7, SoundResultOk), pcm.mid(0, 4));
    EXPECT_GT(start, 44);

    // A whole-second duration is itself a valid target; alignment to blocks.
    const QByteArray twoSeconds = bytesOf(tone(8000, 2, 16000));
    ASSERT_EQ(wav.OpenBytes(wavFile(8000, 2, 16, twoSeconds)), SoundResultOk);
    EXPECT_EQ(wav.SeekTo(2, SeekSeconds), SoundResultOk);
    EXPECT_EQ(wav.Read(buf.data(), 4, got), SoundResultEndOfStream);
    EXPECT_EQ(got, 0);
    // 50 % of 80002 bytes is 40001; the seek lands on the 4-byte frame below.
    ASSERT_EQ(wav.OpenBytes(wavFile(8000, 2, 16, QByteArray(80002, '\x01'))), SoundResultOk);
    EXPECT_EQ(wav.SeekTo(50, SeekPercent), SoundResultOk);
    EXPECT_EQ(wav.Position(), 1250); // 40000 / 32000 s
}

TEST(FileAccess, MemoryFilesAndTheTwoGigabyteLimit)
{
    FileHandle h = FileOpenMemory("abcdef");
    char buf[8] = {};
    EXPECT_EQ(FileRead(h, buf, 4), 4);
    EXPECT_EQ(FilePosition(h), 4);
    EXPECT_EQ(FileRead(h, buf, 4), 2);
    EXPECT_TRUE(FileAtEnd(h));
    EXPECT_EQ(FileSeek(h, -1, FileBegin), -1);
    EXPECT_EQ(FilePosition(h), 6);
    EXPECT_EQ(FileWrite(h, "x", 1), -1); // memory files are read-only
    FileClose(h);
    EXPECT_EQ(FileRead(h, buf, 4), 0);
    EXPECT_TRUE(h.Path.isEmpty());

    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.wav"));
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(kMaxAudioFileBytes + 1)); // sparse: no disk space used
    }
    EXPECT_FALSE(FileOpen(big, FileMode::Read).isOpen());
    const QString near = dir.filePath(QStringLiteral("near.bin"));
    FileHandle w = FileOpen(near, FileMode::Write);
    ASSERT_TRUE(w.isOpen());
    EXPECT_EQ(FileSeek(w, int32_t(kMaxAudioFileBytes - 2), FileBegin), int32_t(kMaxAudioFileBytes - 2));
    EXPECT_EQ(FileWrite(w, "abcd", 4), -1); // would pass the limit: nothing written
    EXPECT_EQ(FileWrite(w, "ab", 2), 2);
    EXPECT_EQ(FileLength(w), int32_t(kMaxAudioFileBytes));
}
