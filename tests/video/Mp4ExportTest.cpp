#include "AviWriter.h"
#include "EndFade.h"
#include "Mp4Mux.h"
#include "clsWavConcatenate.h"
#include "FakePrompter.h"
#include "FileCheck.h"
#include "PCMPreparator.h"
#include "ProjectFile.h"
#include "PropertyBag.h"
#include "Random.h"
#include "SongLength.h"
#include "Soundtrack.h"
#include "VideoExport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

using namespace pvsm;
using pvsm::test::FakePrompter;

namespace {

constexpr int kWavRate = 22050;

// A canonical PCM WAV, 22050 Hz 16-bit stereo, of `seconds`: a tone of
// `toneLevel` throughout (0: silence), and a click of full level 5 ms long
// at `clickAt` seconds (negative: none).
bool writeWav(const QString &path, double seconds, double toneLevel, double clickAt = -1)
{
    const int frames = int(seconds * kWavRate);
    QByteArray data(frames * 4, '\0');
    auto *s = reinterpret_cast<int16_t *>(data.data());
    for (int i = 0; i < frames; ++i)
        s[2 * i] = s[2 * i + 1] = int16_t(toneLevel * 32767 * std::sin(2 * M_PI * 440.0 * i / kWavRate));
    if (clickAt >= 0) {
        const int first = int(std::lround(clickAt * kWavRate));
        for (int i = first; i < first + kWavRate / 200 && i < frames; ++i)
            s[2 * i] = s[2 * i + 1] = ((i - first) / 4) % 2 ? -30000 : 30000;
    }
    const QByteArray h = MakeWavHeader44(MakePcmFormat(kWavRate, 2, 16), 44 + data.size());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    return f.write(h) == h.size() && f.write(data) == data.size();
}

// The first channel of a file's sound as libavcodec decodes it, from the
// time the demuxer gives its first frame (edit lists and priming applied).
struct DecodedSound
{
    int rate = 0;
    double start = 0;
    std::vector<float> samples;
    double seconds() const { return rate ? double(samples.size()) / rate : 0; }
    // Root mean square level of [from, to) seconds of the file's time.
    double rms(double from, double to) const
    {
        const int64_t a = std::max<int64_t>(0, std::llround((from - start) * rate));
        const int64_t b = std::min<int64_t>(int64_t(samples.size()), std::llround((to - start) * rate));
        double sum = 0;
        for (int64_t i = a; i < b; ++i) sum += double(samples[size_t(i)]) * samples[size_t(i)];
        return b > a ? std::sqrt(sum / double(b - a)) : 0;
    }
};

DecodedSound decodeSound(const QString &path)
{
    DecodedSound out;
    AVFormatContext *fmt = nullptr;
    if (avformat_open_input(&fmt, QFile::encodeName(path).constData(), nullptr, nullptr) < 0) return out;
    avformat_find_stream_info(fmt, nullptr);
    const int index = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0) {
        avformat_close_input(&fmt);
        return out;
    }
    AVStream *st = fmt->streams[index];
    const AVCodec *codec = avcodec_find_decoder(st->codecpar->codec_id);
    AVCodecContext *ctx = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(ctx, st->codecpar);
    ctx->pkt_timebase = st->time_base;
    avcodec_open2(ctx, codec, nullptr);
    AVPacket *pkt = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    bool first = true;
    auto take = [&] {
        while (avcodec_receive_frame(ctx, frame) >= 0) {
            if (first) {
                first = false;
                out.rate = frame->sample_rate;
                if (frame->best_effort_timestamp != AV_NOPTS_VALUE)
                    out.start = frame->best_effort_timestamp * av_q2d(st->time_base);
            }
            for (int i = 0; i < frame->nb_samples; ++i) {
                float v = 0;
                switch (frame->format) {
                case AV_SAMPLE_FMT_FLTP:
                case AV_SAMPLE_FMT_FLT: v = reinterpret_cast<const float *>(frame->data[0])[frame->format == AV_SAMPLE_FMT_FLT ? i * frame->ch_layout.nb_channels : i]; break;
                case AV_SAMPLE_FMT_S16P: v = reinterpret_cast<const int16_t *>(frame->data[0])[i] / 32768.0f; break;
                case AV_SAMPLE_FMT_S16: v = reinterpret_cast<const int16_t *>(frame->data[0])[i * frame->ch_layout.nb_channels] / 32768.0f; break;
                default: break;
                }
                out.samples.push_back(v);
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == index && avcodec_send_packet(ctx, pkt) >= 0) take();
        av_packet_unref(pkt);
    }
    avcodec_send_packet(ctx, nullptr);
    take();
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    avformat_close_input(&fmt);
    return out;
}

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The mean grey level of every frame of a video, decoded at 32x24.
std::vector<double> frameLevels(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                                       QStringLiteral("-map"), QStringLiteral("0:v"), QStringLiteral("-s"), QStringLiteral("32x24"),
                                       QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"),
                                       QStringLiteral("gray"), QStringLiteral("-")});
    p.waitForFinished(120000);
    const QByteArray raw = p.readAllStandardOutput();
    std::vector<double> levels;
    for (qsizetype at = 0; at + 32 * 24 <= raw.size(); at += 32 * 24) {
        double sum = 0;
        for (int i = 0; i < 32 * 24; ++i) sum += uchar(raw[at + i]);
        levels.push_back(sum / (32 * 24));
    }
    return levels;
}

// The top-level boxes of an MP4, in file order.
QStringList topLevelBoxes(const QString &path)
{
    QFile f(path);
    QStringList boxes;
    if (!f.open(QIODevice::ReadOnly)) return boxes;
    qint64 at = 0;
    while (at + 8 <= f.size()) {
        f.seek(at);
        const QByteArray h = f.read(16);
        quint64 size = (quint64(uchar(h[0])) << 24) | (uchar(h[1]) << 16) | (uchar(h[2]) << 8) | uchar(h[3]);
        boxes << QString::fromLatin1(h.mid(4, 4));
        if (size == 1 && h.size() >= 16) {
            size = 0;
            for (int i = 8; i < 16; ++i) size = (size << 8) | uchar(h[i]);
        }
        if (size < 8) break;
        at += qint64(size);
    }
    return boxes;
}

class Mp4Export : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ws = Workspace(QStringLiteral(PVSM_BIN_DIR), dir.filePath(QStringLiteral("work")));
        ws.prepare();
        env.screenWidth = 640;
        env.screenHeight = 480;
        env.lyricSampleLineHeight = 30;
        project = Project::makeDefault(env);
        project.settings.enableTransition = false;
        project.settings.enableHeadlineEffect = false;
        project.settings.enableSync = false;
        project.settings.timeInterval = 3.5;
        project.settings.fadeOutEnd = false;
        options.videoSize = {160, 120};
        options.editingScreen = {640, 480};
        // A dark picture, then a bright one: the cut between them is plain
        // in the decoded frames.
        const int grey[] = {40, 210};
        for (int i = 0; i < 2; ++i) {
            QImage img(200, 150, QImage::Format_RGB32);
            img.fill(QColor(grey[i], grey[i], grey[i]));
            const QString path = dir.filePath(QStringLiteral("p%1.png").arg(i));
            img.save(path);
            project.pictures.push_back(project.newPicture(path, env));
        }
    }

    void addSong(double seconds, double toneLevel, double clickAt = -1)
    {
        const QString wav = dir.filePath(QStringLiteral("song%1.wav").arg(project.songs.size()));
        ASSERT_TRUE(writeWav(wav, seconds, toneLevel, clickAt));
        project.songs.push_back({wav, GetSongLength(wav, float(ProbeSongLength(wav)))});
    }

    ExportOutcome exportTo(const QString &name)
    {
        RandomSource::global().setFixedSeed(7);
        options.targetPath = dir.filePath(name);
        return ExportAvi(project, ws, options, prompter, control, makeProjectSoundtrackFactory(ws, prompter));
    }

    QStringList tempLeftovers() const
    {
        return QDir(ws.tempDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    // Files an export may have left beside its target: part files included.
    QStringList besideTarget() const
    {
        return QDir(dir.path()).entryList({QStringLiteral("*.mp4"), QStringLiteral("*.avi"), QStringLiteral("*.mkv"),
                                           QStringLiteral(".*.part")},
                                          QDir::Files | QDir::Hidden);
    }

    QTemporaryDir dir;
    Workspace ws;
    ProjectEnvironment env;
    Project project;
    ExportOptions options;
    FakePrompter prompter;
    JobControl control;
};

} // namespace

TEST_F(Mp4Export, TheFileHasTheAgreedStreamsAndItsIndexInFront)
{
    addSong(5, 0.3);
    const ExportOutcome o = exportTo(QStringLiteral("show.MP4"));
    ASSERT_TRUE(o.completed) << prompter.informed.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(o.target, dir.filePath(QStringLiteral("show.MP4")));
    const QString info = run(QStringLiteral("ffprobe"),
                             {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                              QStringLiteral("stream=codec_name,profile,pix_fmt,sample_rate,channels,nb_frames:format=format_name"),
                              QStringLiteral("-of"), QStringLiteral("default=nw=1"), o.target});
    for (const char *want : {"codec_name=h264", "profile=High", "pix_fmt=yuv420p", "codec_name=aac", "profile=LC",
                             "sample_rate=48000", "channels=2", "format_name=mov,mp4"})
        EXPECT_TRUE(info.contains(QLatin1String(want))) << want << "\n" << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("nb_frames=%1").arg(o.frames))) << info.toStdString();
    const QStringList boxes = topLevelBoxes(o.target);
    ASSERT_TRUE(boxes.contains(QStringLiteral("moov")) && boxes.contains(QStringLiteral("mdat"))) << boxes.join(' ').toStdString();
    EXPECT_LT(boxes.indexOf(QStringLiteral("moov")), boxes.indexOf(QStringLiteral("mdat"))) << boxes.join(' ').toStdString();
    EXPECT_TRUE(tempLeftovers().isEmpty()) << tempLeftovers().join(' ').toStdString();
    EXPECT_EQ(besideTarget(), QStringList{QStringLiteral("show.MP4")});

    // Without music the MP4 holds the picture alone, and a name without a
    // suffix takes the kind chosen in the dialog.
    project.songs.clear();
    options.container = VideoContainer::Mp4;
    const ExportOutcome silent = exportTo(QStringLiteral("silent"));
    ASSERT_TRUE(silent.completed) << prompter.informed.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(silent.target, dir.filePath(QStringLiteral("silent.mp4")));
    const QString silentInfo = run(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"),
                                                               QStringLiteral("-show_entries"), QStringLiteral("stream=codec_name"),
                                                               QStringLiteral("-of"), QStringLiteral("default=nw=1"), silent.target});
    EXPECT_EQ(silentInfo.trimmed(), QStringLiteral("codec_name=h264"));
}

// A click in the music at the moment the second picture comes: after the
// encoders' delays and the MP4's priming are allowed for, the click sounds
// with that frame in both kinds of file.
TEST_F(Mp4Export, AClickAtASlideChangeSoundsWithThatFrame)
{
    // Where the cut falls in the video, from the frame loop itself.
    RecordingTimelineSink dry(true);
    FrameLoopSettings fs;
    fs.videoSize = options.videoSize;
    fs.editingScreen = options.editingScreen;
    const FrameLoopResult layout = FrameLoop(project, fs, dry, nullptr, control).RenderVideo();
    int64_t cut = -1; // 0-based position of the first bright frame
    for (size_t i = 0; i < dry.calls().size() && cut < 0; ++i)
        if (qGray(dry.pictures()[i].pixel(80, 60)) > 150) cut = dry.calls()[i].firstFrame - 1;
    ASSERT_GT(cut, 30);
    const double cutSeconds = double(cut) / 30.0;
    // The music starts with the frame at position musicStartFrame.
    addSong(6, 0, cutSeconds - double(layout.musicStartFrame) / 30.0);

    for (const char *suffix : {"mp4", "avi"}) {
        SCOPED_TRACE(suffix);
        const ExportOutcome o = exportTo(QStringLiteral("click.%1").arg(QLatin1String(suffix)));
        ASSERT_TRUE(o.completed) << prompter.informed.join(QLatin1Char('|')).toStdString();
        const std::vector<double> levels = frameLevels(o.target);
        ASSERT_GT(levels.size(), size_t(cut));
        int64_t seen = -1;
        for (size_t i = 0; i < levels.size() && seen < 0; ++i)
            if (levels[i] > 150) seen = int64_t(i);
        EXPECT_EQ(seen, cut);
        const DecodedSound sound = decodeSound(o.target);
        ASSERT_GT(sound.rate, 0);
        size_t onset = 0;
        while (onset < sound.samples.size() && std::abs(sound.samples[onset]) < 0.3f) ++onset;
        ASSERT_LT(onset, sound.samples.size());
        const double clickSeconds = sound.start + double(onset) / sound.rate;
        EXPECT_NEAR(clickSeconds, cutSeconds, 0.020) << "start " << sound.start;
    }
}

TEST_F(Mp4Export, CutMusicFadesOutAndThePictureGoesToBlack)
{
    addSong(20, 0.5); // far longer than the 7 s of pictures
    struct Case
    {
        const char *suffix;
        bool fade;
    } cases[] = {{"mp4", true}, {"mp4", false}, {"avi", true}};
    for (const Case &c : cases) {
        const bool fade = c.fade;
        SCOPED_TRACE(QStringLiteral("%1 %2").arg(QLatin1String(c.suffix)).arg(fade).toStdString());
        project.settings.fadeOutEnd = fade;
        const ExportOutcome o = exportTo(QStringLiteral("fade%1.%2").arg(int(fade)).arg(QLatin1String(c.suffix)));
        ASSERT_TRUE(o.completed) << prompter.informed.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(tempLeftovers().isEmpty()) << tempLeftovers().join(' ').toStdString();
        const double end = o.frames / 30.0;
        const DecodedSound sound = decodeSound(o.target);
        // The music is cut with the picture (the MP3 to within its last,
        // padded frame).
        if (QLatin1String(c.suffix) == QLatin1String("mp4") || fade) {
            EXPECT_NEAR(sound.start + sound.seconds(), end, QLatin1String(c.suffix) == QLatin1String("mp4") ? 0.05 : 0.1);
        }
        const double full = sound.rms(end - 5, end - 4);
        ASSERT_GT(full, 0.3);
        if (fade) {
            // An even ramp over the last 3 s: the level of a half second
            // is the root mean square of the gains in it, 0.92 from 3 s
            // before the end, 0.5 around 1.5 s, 0.1 in the last half second.
            EXPECT_NEAR(sound.rms(end - 3.0, end - 2.5) / full, 0.92, 0.03);
            EXPECT_NEAR(sound.rms(end - 1.75, end - 1.25) / full, 0.5, 0.03);
            EXPECT_LT(sound.rms(end - 0.5, end) / full, 0.12);
            EXPECT_NEAR(sound.rms(end - 3.6, end - 3.1) / full, 1.0, 0.03);
        } else {
            EXPECT_NEAR(sound.rms(end - 0.5, end) / full, 1.0, 0.03);
        }
        const std::vector<double> levels = frameLevels(o.target);
        ASSERT_EQ(int64_t(levels.size()), o.frames);
        const double held = levels[levels.size() - 31]; // the bright slide before the last second
        ASSERT_GT(held, 150);
        if (fade) {
            EXPECT_LT(levels.back(), 20);
            EXPECT_NEAR(levels[levels.size() - 16], held / 2, 20);
        } else {
            EXPECT_NEAR(levels.back(), held, 3);
        }
    }
}

// A cancel while the MP4 is written, or while an AVI's cut music is faded
// and encoded again, leaves no file and no work file.
TEST_F(Mp4Export, CancelWhileTheEndIsMadeLeavesNothing)
{
    addSong(20, 0.5);
    project.settings.fadeOutEnd = true;
    struct Case
    {
        const char *name;
        const char *step;
    } cases[] = {{"cancel.mp4", "步骤5/5：合并视频和音频"}, {"cancel.avi", "步骤3/5：编码音频"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<bool> cancel{false};
        bool seen = false;
        bool rendered = false;
        control.cancel = &cancel;
        control.progress = [&](int, const QString &caption) {
            if (caption == QStringLiteral("步骤4/5：编码视频")) rendered = true;
            // For the AVI, the encoding after the render.
            if (caption == QString::fromUtf8(c.step) && rendered) seen = cancel = true;
        };
        const ExportOutcome o = exportTo(QString::fromLatin1(c.name));
        EXPECT_TRUE(seen);
        EXPECT_FALSE(o.completed);
        EXPECT_EQ(o.status, kExportCancelled);
        EXPECT_TRUE(besideTarget().isEmpty()) << besideTarget().join(' ').toStdString();
        EXPECT_TRUE(tempLeftovers().isEmpty()) << tempLeftovers().join(' ').toStdString();
    }
    control = {};
}

// The light of the last second's frames, counted from the end.
// Every audio packet of a file: its time and bytes.
QByteArray audioPackets(const QString &path)
{
    QByteArray all;
    AVFormatContext *fmt = nullptr;
    if (avformat_open_input(&fmt, QFile::encodeName(path).constData(), nullptr, nullptr) < 0) return all;
    if (avformat_find_stream_info(fmt, nullptr) >= 0) {
        AVPacket *p = av_packet_alloc();
        while (av_read_frame(fmt, p) >= 0) {
            if (fmt->streams[p->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
                all += QByteArray::number(qlonglong(p->pts)) + ':';
                all += QByteArray(reinterpret_cast<const char *>(p->data), p->size);
            }
            av_packet_unref(p);
        }
        av_packet_free(&p);
    }
    avformat_close_input(&fmt);
    return all;
}

// The sound coded while the frames render, on the length the frame loop
// vouches for, is the sound coded after them; a word that proves wrong
// (a video shorter than vouched for) has the sound coded again.
TEST(Mp4SoundCoder, TheSoundCodedDuringTheRenderIsTheSoundCodedAfterIt)
{
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("song.wav"));
    ASSERT_TRUE(writeWav(wav, 20, 0.5, 9.0));
    const QString video = dir.filePath(QStringLiteral("v.avi"));
    {
        AviWriter writer;
        QString error;
        ASSERT_TRUE(writer.open(video, {64, 64}, VideoEncodeOptions{}, &error)) << error.toStdString();
        QImage frame(64, 64, QImage::Format_RGB32);
        frame.fill(Qt::gray);
        ASSERT_TRUE(writer.WriteFrame(frame, 30));
        ASSERT_TRUE(writer.close());
    }
    struct Case
    {
        bool fade;
        double musicStart; // seconds of the video; the WAV's lead is 1 s
        double least;      // the word given while rendering (0: none)
        double end;
        int passes;
    };
    const Case cases[] = {
        {true, 3.0, 11.0, 12.0, 1},  // silence in front, the word true, the fade's start inside the word
        {false, 0.5, 12.0, 12.0, 1}, // the WAV's start skipped, the exact end vouched for
        {true, 1.0, 0.0, 12.0, 1},   // no word: all coded at the end
        {true, 1.0, 19.0, 12.0, 2},  // the word proves wrong: coded again
        {false, 1.0, 30.0, 12.0, 2},
    };
    JobControl control;
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.fade << ' ' << c.musicStart << ' ' << c.least);
        const Mp4Sound sound{wav, 1.0, c.musicStart, c.fade};
        auto muxWith = [&](Mp4SoundCoder &coder, const QString &name) {
            const QString out = dir.filePath(name);
            const MuxOutcome mux = MuxMp4(video, &coder, c.end, out, control);
            EXPECT_TRUE(mux.ok) << mux.error.toStdString();
            return audioPackets(out);
        };
        Mp4SoundCoder after(sound, dir.filePath(QStringLiteral("after.packets")));
        const QByteArray expected = muxWith(after, QStringLiteral("after.mp4"));
        ASSERT_GT(expected.size(), 100000);
        EXPECT_EQ(after.passes(), 1);

        Mp4SoundCoder during(sound, dir.filePath(QStringLiteral("during.packets")));
        during.start();
        if (c.least > 0) {
            during.allowUntil(c.least);
            // The thread is given time to code all it may before the end is told.
            const double reach = std::min(c.least, 20.0 - 1.0 + c.musicStart) - (c.fade ? 3.5 : 0.5);
            for (int i = 0; i < 500 && during.codedSeconds() < reach; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            EXPECT_GE(during.codedSeconds(), reach);
        }
        EXPECT_EQ(muxWith(during, QStringLiteral("during.mp4")), expected);
        EXPECT_EQ(during.passes(), c.passes);
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("during.packets"))));
}

TEST(EndFade, TheLastSecondDarkensEvenlyAndHeldPicturesStayOneWrite)
{
    EXPECT_DOUBLE_EQ(EndFadeSink::lightAt(0, 30), 0.0);
    EXPECT_DOUBLE_EQ(EndFadeSink::lightAt(15, 30), 0.5);
    EXPECT_DOUBLE_EQ(EndFadeSink::lightAt(30, 30), 1.0);
    RecordingTimelineSink inner(true);
    EndFadeSink fade(inner, 30);
    QImage white(8, 8, QImage::Format_RGB32);
    white.fill(Qt::white);
    ASSERT_TRUE(fade.WriteFrame(white, 1000));
    fade.setFrameCounter(1010); // ten more frames of the same picture
    EXPECT_EQ(fade.FrameCounter(), 1010);
    ASSERT_TRUE(fade.finish());
    EXPECT_EQ(inner.FrameCounter(), 1010);
    // The held picture before the fade goes on as it came (the repeat after
    // it as a second write), then the last 30 frames one by one.
    ASSERT_EQ(inner.calls().size(), 32u);
    EXPECT_EQ(inner.calls()[0].count + inner.calls()[1].count, 980);
    EXPECT_EQ(qGray(inner.pictures()[1].pixel(0, 0)), 255);
    EXPECT_NEAR(qGray(inner.pictures()[16].pixel(0, 0)), 127, 3); // 15 frames from the end
    EXPECT_EQ(qGray(inner.pictures().back().pixel(0, 0)), 0);
}

TEST_F(Mp4Export, RefusedOutputsLeaveNothingAndTheOldFileWhole)
{
    addSong(5, 0.3);
    // An old file at the target stays as it was whenever the export refuses.
    auto oldFile = [&](const QString &name) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
        return dir.filePath(name);
    };
    auto stillOld = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) && f.readAll() == "old";
    };
    prompter.answers = {Answer::Yes, Answer::Yes, Answer::Yes, Answer::Yes};
    struct Case
    {
        const char *name;
        QSize size;
        QString message;
    } cases[] = {
        {"show.mkv", {160, 120}, exportText::unknownSuffix(QStringLiteral("show.mkv"))},
        {"show.v2", {160, 120}, exportText::unknownSuffix(QStringLiteral("show.v2"))},
        {"odd.mp4", {161, 121}, exportText::oddFrameSize({161, 121})},
        {"odd.avi", {162, 121}, exportText::oddFrameSize({162, 121})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        prompter.informed.clear();
        const QString path = oldFile(QString::fromLatin1(c.name));
        options.videoSize = c.size;
        const ExportOutcome o = exportTo(QString::fromLatin1(c.name));
        EXPECT_FALSE(o.completed);
        EXPECT_EQ(prompter.informed, QStringList{c.message});
        EXPECT_TRUE(stillOld(path));
        QFile::remove(path);
        EXPECT_TRUE(besideTarget().isEmpty()) << besideTarget().join(' ').toStdString();
        EXPECT_TRUE(tempLeftovers().isEmpty());
    }
    options.videoSize = {160, 120};

    // A full disk: stopped with the disk-full message, the old file kept.
    {
        prompter.informed.clear();
        const QString path = oldFile(QStringLiteral("full.mp4"));
        options.freeSpace = [](const QString &) -> qint64 { return 17 * 1048576 + 20000; };
        const ExportOutcome o = exportTo(QStringLiteral("full.mp4"));
        options.freeSpace = {};
        EXPECT_FALSE(o.completed);
        EXPECT_TRUE(o.diskFull);
        ASSERT_EQ(prompter.informed.size(), 1);
        EXPECT_TRUE(prompter.informed[0].contains(QStringLiteral("磁盘空间不足"))) << prompter.informed[0].toStdString();
        EXPECT_TRUE(stillOld(path));
        QFile::remove(path);
        EXPECT_TRUE(besideTarget().isEmpty()) << besideTarget().join(' ').toStdString();
        EXPECT_TRUE(tempLeftovers().isEmpty());
    }

    // A folder that takes no file: read-only for this user, or, for a user
    // who may write anywhere, the kernel's own (no file can be made there).
    QString locked = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(locked));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (::access(QFile::encodeName(locked).constData(), W_OK) == 0) locked = QStringLiteral("/sys");
    prompter.informed.clear();
    const QStringList before = QDir(locked).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    options.targetPath = QDir(locked).filePath(QStringLiteral("show.mp4"));
    const ExportOutcome o = ExportAvi(project, ws, options, prompter, control, makeProjectSoundtrackFactory(ws, prompter));
    QFile::setPermissions(dir.filePath(QStringLiteral("locked")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(o.completed);
    EXPECT_EQ(prompter.informed, QStringList{cannotWriteText(QStringLiteral("show.mp4"), FileProblem::ReadOnlyFolder)});
    EXPECT_EQ(QDir(locked).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    EXPECT_TRUE(tempLeftovers().isEmpty());
}

// The fade is on for a new project and kept by its file; a file written
// before the key existed exports as it always did. The video kind chosen last
// travels with the settings (Pvsm.ini) as with the project.
TEST(ProjectKeys, FadeOutEndAndVideoFormatSurviveTheirFiles)
{
    ProjectEnvironment env;
    env.screenWidth = 640;
    env.screenHeight = 480;
    Project fresh = Project::makeDefault(env);
    EXPECT_TRUE(fresh.settings.fadeOutEnd);
    EXPECT_EQ(fresh.settings.videoFormat, 0);
    fresh.pictures.push_back(fresh.newPicture(QStringLiteral("/nowhere/a.png"), env));
    fresh.pictures.push_back(fresh.newPicture(QStringLiteral("/nowhere/b.png"), env));
    fresh.settings.videoFormat = 1;
    struct Case
    {
        bool fade;
        bool dropKey; // a file from before the key
        BagMode mode;
        bool fadeRead;
    } cases[] = {{true, false, BagMode::Full, true},
                 {false, false, BagMode::Full, false},
                 {true, true, BagMode::Full, false},
                 {false, false, BagMode::SettingsOnly, true}}; // Pvsm.ini leaves the new project's fade
    for (const Case &c : cases) {
        SCOPED_TRACE(int(&c - cases));
        Project p = fresh;
        p.settings.fadeOutEnd = c.fade;
        PropertyBag bag;
        WriteProjectBag(p, bag, c.mode, {});
        if (c.dropKey) bag.remove(QStringLiteral("FadeOutEnd"));
        Project read = Project::makeDefault(env);
        ReadProjectBag(read, bag, c.mode, env, {});
        EXPECT_EQ(read.settings.fadeOutEnd, c.fadeRead);
        EXPECT_EQ(read.settings.videoFormat, 1);
    }
}
