// Soundtrack speed: a 3-minute 44.1 kHz stereo 192 kbit/s MP3 (made here from
// a synthetic signal) is decoded to the soundtrack WAV, joined behind a
// 5-second opening segment, and encoded to MP3 with preset 6. Each step is
// timed next to the ffmpeg command line doing the same work in the same run.
#include "EncoderWAV.h"
#include "BenchSong.h"
#include "LameApi.h"
#include "MultimediaAPI.h"
#include "PCMPreparator.h"
#include "StreamMP3.h"
#include "cLameEncoder.h"
#include "clsWavConcatenate.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

using namespace pvsm;

namespace {

constexpr int kSeconds = 180;
constexpr int kRate = 44100;

bool decodeSong(const QString &mp3, const QString &wav)
{
    StreamMP3 source;
    if (source.OpenSource(mp3) != SoundResultOk) return false;
    PCMPreparator prep;
    if (!prep.InitConversion(&source, false)) return false;
    EncoderWAV enc;
    int32_t chunk = 0;
    if (enc.Init(wav, prep.OutputSamplerate(), prep.OutputChannels(), prep.OutputBitsPerSample(), chunk) != 0)
        return false;
    std::vector<uint8_t> buf(size_t(chunk), 0);
    while (true) {
        int32_t got = 0;
        prep.GetSamples(buf.data(), chunk, got);
        if (got > 0 && enc.Encode(buf.data(), got) != 0) break;
        if (prep.EndOfStream()) break;
    }
    prep.CloseConverter();
    enc.DeInit();
    return true;
}

bool ffmpeg(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            QStringList{QStringLiteral("-y"), QStringLiteral("-loglevel"), QStringLiteral("error")} + args);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

template <typename F> double timed(F &&work, bool &ok)
{
    QElapsedTimer t;
    t.start();
    ok = work();
    return double(t.nsecsElapsed()) / 1e6;
}

void row(const char *step, double ours, double reference, double audioSeconds)
{
    std::printf("| %-36s | %9.0f | %7.0fx | %9.0f | %7.0fx |\n", step, ours, audioSeconds / (ours / 1000), reference,
                reference > 0 ? audioSeconds / (reference / 1000) : 0.0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("song.mp3"));
    std::printf("making a %d s 44.1 kHz stereo 192 kbit/s MP3...\n", kSeconds);
    if (!bench::makeSong(song, kSeconds)) {
        std::fprintf(stderr, "cannot make the song\n");
        return 1;
    }
    const bool haveFfmpeg = !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty();
    const double audio = kSeconds;
    bool ok = true, refOk = true;

    // Step 1: decode to the soundtrack format.
    const QString wav1 = dir.filePath(QStringLiteral("TmpWav1.wav"));
    const double decodeMs = timed([&] { return decodeSong(song, wav1); }, ok);
    const QString refWav = dir.filePath(QStringLiteral("ref.wav"));
    const double refDecodeMs =
        haveFfmpeg ? timed(
                         [&] {
                             return ffmpeg({QStringLiteral("-i"), song, QStringLiteral("-ar"), QStringLiteral("22050"),
                                            QStringLiteral("-ac"), QStringLiteral("2"), QStringLiteral("-c:a"),
                                            QStringLiteral("pcm_s16le"), refWav});
                         },
                         refOk)
                   : 0;

    // Step 2: join behind a 5-second opening segment.
    const QString open = dir.filePath(QStringLiteral("open.wav"));
    {
        QFile f(open);
        f.open(QIODevice::WriteOnly);
        const WaveFormatEx fmt = MakePcmFormat(22050, 2, 16);
        f.write(MakeWavHeader46(fmt, 46 + 88200 * 5));
        f.write(QByteArray(88200 * 5, '\0'));
    }
    const QString joined = dir.filePath(QStringLiteral("TmpWav.wav"));
    const double joinMs = timed(
        [&] {
            clsWavConcatenate join;
            join.SetOutputFormat(MakePcmFormat(22050, 2, 16));
            return join.WaveAdd(open) && join.WaveAdd(wav1) && join.WaveConcatenate(joined, true);
        },
        ok);
    const QString list = dir.filePath(QStringLiteral("list.txt"));
    {
        QFile f(list);
        f.open(QIODevice::WriteOnly);
        f.write(("file '" + open + "'\nfile '" + refWav + "'\n").toUtf8());
    }
    const double refJoinMs =
        haveFfmpeg ? timed(
                         [&] {
                             return ffmpeg({QStringLiteral("-f"), QStringLiteral("concat"), QStringLiteral("-safe"),
                                            QStringLiteral("0"), QStringLiteral("-i"), list, QStringLiteral("-c"),
                                            QStringLiteral("copy"), dir.filePath(QStringLiteral("refjoined.wav"))});
                         },
                         refOk)
                   : 0;

    // Step 3: encode with preset 6 (LAME's standard VBR).
    const QString mp3 = dir.filePath(QStringLiteral("Pvsm_Audio_Part.mp3"));
    const double encodeMs = timed(
        [&] {
            cLameEncoder enc;
            enc.SetWavFile(joined);
            enc.SetMp3File(mp3);
            return enc.Encode();
        },
        ok);
    const double refEncodeMs =
        haveFfmpeg ? timed(
                         [&] {
                             return ffmpeg({QStringLiteral("-i"), joined, QStringLiteral("-c:a"),
                                            QStringLiteral("libmp3lame"), QStringLiteral("-q:a"), QStringLiteral("2"),
                                            dir.filePath(QStringLiteral("ref.mp3"))});
                         },
                         refOk)
                   : 0;

    const double joinedAudio = audio + 5;
    std::printf(
        "\n| step | ours ms | ours × realtime | ffmpeg CLI ms | ffmpeg × realtime |\n|---|---:|---:|---:|---:|\n");
    row("decode MP3 → 22050 Hz 16-bit stereo WAV", decodeMs, refDecodeMs, audio);
    row("join opening + song", joinMs, refJoinMs, joinedAudio);
    row("encode MP3, preset 6 (standard VBR)", encodeMs, refEncodeMs, joinedAudio);
    row("all three", decodeMs + joinMs + encodeMs, refDecodeMs + refJoinMs + refEncodeMs, audio);
    std::printf("\nsizes: soundtrack WAV %lld bytes, MP3 %lld bytes (ffmpeg: %lld)\n", (long long)QFile(joined).size(),
                (long long)QFile(mp3).size(), (long long)QFile(dir.filePath(QStringLiteral("ref.mp3"))).size());
    if (!ok) std::fprintf(stderr, "a step of ours failed\n");
    if (haveFfmpeg && !refOk) std::fprintf(stderr, "a reference step failed\n");
    return ok ? 0 : 1;
}
