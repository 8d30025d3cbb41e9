#include "clsWavConcatenate.h"
#include "FakePrompter.h"
#include "PCMPreparator.h"
#include "Random.h"
#include "SongLength.h"
#include "Soundtrack.h"
#include "StreamMP3.h"
#include "StreamWAV.h"
#include "VideoExport.h"
#include "cLameEncoder.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>

using namespace pvsm;
using pvsm::test::FakePrompter;

namespace {

// A canonical PCM WAV, 22050 Hz 16-bit stereo: `silentSeconds` of silence,
// then a 440 Hz tone until `seconds`.
bool writeToneWav(const QString &path, double seconds, double silentSeconds = 0)
{
    const int rate = 22050;
    const int frames = int(seconds * rate);
    QByteArray data(frames * 4, '\0');
    auto *s = reinterpret_cast<int16_t *>(data.data());
    for (int i = int(silentSeconds * rate); i < frames; ++i)
        s[2 * i] = s[2 * i + 1] = int16_t(8000 * std::sin(2 * M_PI * 440.0 * i / rate));
    const QByteArray h = MakeWavHeader44(MakePcmFormat(rate, 2, 16), 44 + data.size());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(h + data) == h.size() + data.size();
}

QByteArray run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000)) return {};
    return p.readAllStandardOutput();
}

// Mono 22050 Hz samples of the file's first audio stream.
std::vector<int16_t> decodedAudio(const QString &path)
{
    const QByteArray raw = run(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                                                         QStringLiteral("-map"), QStringLiteral("0:a:0"), QStringLiteral("-ac"), QStringLiteral("1"),
                                                         QStringLiteral("-ar"), QStringLiteral("22050"), QStringLiteral("-f"), QStringLiteral("s16le"),
                                                         QStringLiteral("-")});
    std::vector<int16_t> samples(size_t(raw.size() / 2));
    // A file without sound decodes to nothing, and memcpy may not take null.
    if (!samples.empty()) std::memcpy(samples.data(), raw.constData(), samples.size() * 2);
    return samples;
}

// Seconds of silence before the tone, as the program's own decoders see the song.
double decodedLeadSeconds(const QString &path)
{
    std::unique_ptr<ISoundStream> source;
    if (path.endsWith(QLatin1String(".mp3"))) source = std::make_unique<StreamMP3>();
    else source = std::make_unique<StreamWAV>();
    if (source->OpenSource(path) != SoundResultOk) return -1;
    PCMPreparator converter;
    if (!converter.InitConversion(source.get(), true)) return -1;
    const int channels = converter.OutputChannels();
    std::vector<int16_t> buffer(8192);
    int64_t samples = 0;
    while (!converter.EndOfStream()) {
        int32_t got = 0;
        converter.GetSamples(reinterpret_cast<uint8_t *>(buffer.data()), int32_t(buffer.size() * 2), got);
        if (got <= 0) break;
        for (int i = 0; i < got / 2; ++i, ++samples)
            if (std::abs(int(buffer[size_t(i)])) >= 1000) return double(samples / channels) / converter.OutputSamplerate();
    }
    return -1;
}

QByteArray frameAt(const QString &path, double seconds)
{
    return run(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-ss"),
                                         QString::number(seconds, 'f', 3), QStringLiteral("-i"), path,
                                         QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-f"),
                                         QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("rgb24"),
                                         QStringLiteral("-")});
}

} // namespace

TEST(SoundtrackArithmetic, SyncSlideTime)
{
    struct Case
    {
        double music;
        int pictures;
        double slideTime;
        int passes;
        int extra;
        bool syncOn;
    } cases[] = {
        {250, 10, 12.5, 2, 0, true},   // 200 <= 250 <= 300
        {120, 10, 12.0, 1, 0, true},
        {60, 10, 10.0, 1, 0, true},    // shorter than 10 s a picture
        {320, 10, 320.0 / 30, 3, 0, true}, // 300 <= 320 <= 450
        {170, 10, 15.0, 1, 2, true},   // between 150 and 200: 15 s slides and 2 pictures more
        {4000, 10, 0, 1, 0, false},    // beyond 20 passes of 15 s
    };
    for (const Case &c : cases) {
        SlideFit start;
        start.defaultSlideTime = 7;
        const SlideFit fit = SyncSlideTime(c.music, c.pictures, start);
        EXPECT_EQ(fit.syncOn, c.syncOn) << c.music;
        if (!c.syncOn) continue;
        EXPECT_DOUBLE_EQ(fit.defaultSlideTime, c.slideTime) << c.music;
        EXPECT_EQ(fit.SlidePassCount, c.passes) << c.music;
        EXPECT_EQ(fit.ExtraSlideCount, c.extra) << c.music;
    }
}

TEST(SoundtrackArithmetic, LoopToLongerTrack)
{
    // Pictures of 60 s against music of 50 s: one more round of the songs;
    // 57 s is close enough and nothing repeats.
    EXPECT_EQ(SongRepeatRounds(60, 50, {50}), 1);
    EXPECT_EQ(SongRepeatRounds(60, 57, {57}), 0);
    EXPECT_EQ(SongRepeatRounds(100, 20, {12, 8}), 4); // 80 s missing: four rounds of 20 s
    EXPECT_EQ(SongRepeatRounds(100, 30, {20, 10}), 3); // 70 s: the third round is begun
    EXPECT_EQ(SongRepeatRounds(100, 0, {0, 0}), 0);

    // Music longer than the pictures: more passes, then pictures of a last
    // partial pass until the music is covered.
    SlideFit fit;
    FitPicturesToMusic(fit, 60, 150, std::vector<double>(6, 10.0));
    EXPECT_EQ(fit.SlidePassCount, 2);
    EXPECT_EQ(fit.ExtraSlideCount, 3);
}

TEST(SoundtrackArithmetic, OpeningSegmentQueue)
{
    struct Case
    {
        int seconds;
        QStringList copies; // shipped file -> work copy
        QStringList queue;
        int total;
    } cases[] = {
        {12, {"Sec5.wav>open51.wav", "Sec5.wav>open52.wav"}, {"open51.wav", "open52.wav", "sec2.wav"}, 12},
        {9, {"Sec5.wav>open51.wav", "Sec2.wav>opensec2.wav"}, {"open51.wav", "opensec2.wav", "Sec2.wav"}, 9},
        {8, {"Sec5.wav>open51.wav"}, {"open51.wav", "sec1.wav", "sec2.wav"}, 8},
        {3, {"Sec5.wav>open.wav"}, {"open.wav"}, 5},
    };
    const QHash<QString, int> seconds = {{"sec5.wav", 5}, {"sec1.wav", 1}, {"sec2.wav", 2}};
    for (const Case &c : cases) {
        QStringList copies, queue;
        int total = 0;
        for (const OpeningPiece &p : openingSegmentPieces(c.seconds)) {
            if (!p.copyFrom.isEmpty()) copies << p.copyFrom + QStringLiteral(">") + p.queueName;
            queue << p.queueName;
            total += seconds.value((p.copyFrom.isEmpty() ? p.queueName : p.copyFrom).toLower());
        }
        EXPECT_EQ(copies, c.copies) << c.seconds;
        EXPECT_EQ(queue, c.queue) << c.seconds;
        EXPECT_EQ(total, c.total) << c.seconds;
    }
}

namespace {

// Notes messages shown from any thread but the test's own: the user may only
// be spoken to from the thread that runs the export.
class ThreadCheckingPrompter : public FakePrompter
{
public:
    void inform(const QString &text, PromptIcon icon) override
    {
        if (std::this_thread::get_id() != owner) ++foreignCalls;
        FakePrompter::inform(text, icon);
    }
    std::thread::id owner = std::this_thread::get_id();
    int foreignCalls = 0;
};

class SoundtrackExport : public ::testing::Test
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
        project.settings.enableSync = true;
        project.settings.lyricStyle = 0;
        project.settings.lyricBox = {0, 330, 640, 120};
        options.videoSize = {160, 120};
        options.editingScreen = {640, 480};
        for (int i = 0; i < 2; ++i) {
            QImage img(200, 150, QImage::Format_RGB32);
            img.fill(QColor::fromHsv(i * 120, 200, 120));
            const QString path = dir.filePath(QStringLiteral("p%1.png").arg(i));
            img.save(path);
            project.pictures.push_back(project.newPicture(path, env));
        }
    }

    // A song of `seconds` (WAV or MP3) with its lyric file.
    void addSong(const QString &suffix, double seconds)
    {
        const QString wav = dir.filePath(QStringLiteral("song.wav"));
        ASSERT_TRUE(writeToneWav(wav, seconds));
        QString path = wav;
        if (suffix == QLatin1String("mp3")) {
            path = dir.filePath(QStringLiteral("song.mp3"));
            cLameEncoder enc;
            ASSERT_TRUE(enc.SetWavFile(wav));
            enc.SetMp3File(path);
            ASSERT_TRUE(enc.Encode());
        }
        project.songs.push_back({path, GetSongLength(path, float(ProbeSongLength(path)))});
        const QString lrc = dir.filePath(QStringLiteral("song.lrc"));
        QFile f(lrc);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("[ti:测试]\r\n[00:01.00]你好世界\r\n[00:20.00]第二行\r\n").toUtf8());
        f.close();
        project.lyricFiles << lrc;
    }

    // Whatever an export left in Temp/: files or job folders.
    QStringList tempLeftovers() const
    {
        return QDir(ws.tempDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    // The music failed with `message` and nobody agreed to go on without it.
    void expectMusicMissing(const ExportOutcome &o, const QString &message) const
    {
        EXPECT_FALSE(o.completed);
        EXPECT_EQ(o.status, kExportMusicMissing);
        EXPECT_EQ(prompter.informed, QStringList{message});
        EXPECT_EQ(prompter.asked, QStringList{soundtrackText::goOnWithoutMusic()});
        EXPECT_FALSE(QFile::exists(o.target));
        EXPECT_TRUE(tempLeftovers().isEmpty()) << tempLeftovers().join(QLatin1Char(' ')).toStdString();
    }

    // A video the user agreed to make without its music, saying so.
    void expectVideoWithoutMusic(const ExportOutcome &o) const
    {
        ASSERT_TRUE(o.completed);
        EXPECT_TRUE(o.withoutMusic);
        EXPECT_EQ(o.songs, 0);
        EXPECT_TRUE(o.finishReport.contains(QStringLiteral("音乐数量： 0\r\n")));
        EXPECT_TRUE(decodedAudio(o.target).empty());
        EXPECT_TRUE(tempLeftovers().isEmpty()) << tempLeftovers().join(QLatin1Char(' ')).toStdString();
    }

    ExportOutcome exportTo(const QString &name)
    {
        RandomSource::global().setFixedSeed(7);
        options.targetPath = dir.filePath(name);
        return ExportAvi(project, ws, options, prompter, control, makeProjectSoundtrackFactory(ws, prompter));
    }

    QTemporaryDir dir;
    Workspace ws;
    ProjectEnvironment env;
    Project project;
    ExportOptions options;
    ThreadCheckingPrompter prompter;
    JobControl control;
};

} // namespace

TEST_F(SoundtrackExport, MusicAndLyricsReachTheVideo)
{
    struct Case
    {
        const char *suffix;
        int openingSeconds; // 0: no opening title
        int64_t musicStartFrame;
    } cases[] = {{"wav", 0, 1}, {"mp3", 6, 180}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.suffix);
        project.songs.clear();
        project.lyricFiles.clear();
        addSong(QString::fromLatin1(c.suffix), 25);
        project.settings.enableOpening = c.openingSeconds > 0;
        project.settings.titleText[0] = QStringLiteral("开场");
        project.settings.titleStyle = 0; // a still title: the opening lasts exactly its time
        project.settings.openingDurationTime = float(c.openingSeconds);
        project.settings.enableLyric = true;

        // The MP3 is encoded on a thread of its own while the video renders;
        // the progress display still hears only from the export's thread.
        const std::thread::id exportThread = std::this_thread::get_id();
        int foreignReports = 0;
        control.progress = [&](int, const QString &) {
            if (std::this_thread::get_id() != exportThread) ++foreignReports;
        };
        const ExportOutcome withLyrics = exportTo(QStringLiteral("lyrics-%1.avi").arg(QString::fromLatin1(c.suffix)));
        control.progress = {};
        ASSERT_TRUE(withLyrics.completed) << prompter.informed.join(QStringLiteral(" | ")).toStdString();
        EXPECT_TRUE(prompter.informed.isEmpty());
        EXPECT_EQ(foreignReports, 0);
        EXPECT_GT(withLyrics.steps.renderMs, 0);
        EXPECT_GT(withLyrics.steps.muxMs, 0);

        // 2 pictures for 25 s of music: 12.5 s each, so picture and sound end together.
        const std::vector<int16_t> audio = decodedAudio(withLyrics.target);
        ASSERT_FALSE(audio.empty());
        const double videoSeconds = withLyrics.frames / 30.0;
        EXPECT_NEAR(audio.size() / 22050.0, videoSeconds, 1.0);
        EXPECT_NEAR(videoSeconds, c.openingSeconds + 25.0, 1.0);
        // An MP3 song begins with its encoder's delay as the program decodes
        // it; that silence belongs to the song.
        auto firstSound = [](const std::vector<int16_t> &samples) {
            size_t first = 0;
            while (first < samples.size() && std::abs(int(samples[first])) < 1000) ++first;
            return first / 22050.0;
        };
        const double songLead = decodedLeadSeconds(project.songs[0].path);
        EXPECT_NEAR(firstSound(audio), c.musicStartFrame / 30.0 + songLead, 1.0 / 30.0);

        // Nothing of the soundtrack's work stays behind.
        EXPECT_TRUE(tempLeftovers().isEmpty()) << tempLeftovers().join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(withLyrics.songs, 1);
        EXPECT_FALSE(withLyrics.withoutMusic);

        // The same moment without lyrics differs only by the lyric line.
        project.settings.enableLyric = false;
        const ExportOutcome plain = exportTo(QStringLiteral("plain-%1.avi").arg(QString::fromLatin1(c.suffix)));
        ASSERT_TRUE(plain.completed);
        const double during = c.musicStartFrame / 30.0 + 5.0;
        const QByteArray a = frameAt(withLyrics.target, during);
        const QByteArray b = frameAt(plain.target, during);
        ASSERT_EQ(a.size(), 160 * 120 * 3);
        ASSERT_EQ(b.size(), a.size());
        int differing = 0;
        for (int i = 0; i < a.size(); ++i)
            if (std::abs(int(uchar(a[i])) - int(uchar(b[i]))) > 24) ++differing;
        EXPECT_GT(differing, 100);
        // Before the first line is due nothing is drawn.
        const QByteArray early = frameAt(withLyrics.target, c.musicStartFrame / 30.0 + 0.5);
        const QByteArray earlyPlain = frameAt(plain.target, c.musicStartFrame / 30.0 + 0.5);
        ASSERT_EQ(early.size(), earlyPlain.size());
        int earlyDiffering = 0;
        for (int i = 0; i < early.size(); ++i)
            if (std::abs(int(uchar(early[i])) - int(uchar(earlyPlain[i]))) > 24) ++earlyDiffering;
        EXPECT_LT(earlyDiffering, 20);
    }
}

TEST_F(SoundtrackExport, MusicThatCannotBeDecodedIsNeverASilentSuccess)
{
    // Songs that made it into a project but give no sound now.
    const QByteArray tone5s(22050 * 4 * 5, '\x10');
    struct Case
    {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"no-channels.wav", MakeWavHeader44(MakePcmFormat(22050, 0, 16), 44 + tone5s.size()) + tone5s},
        {"no-rate.wav", MakeWavHeader44(MakePcmFormat(0, 2, 16), 44 + tone5s.size()) + tone5s},
        {"noise.wma", QByteArray(40000, '\x5a')},
        {"all-ff.mp3", QByteArray(40000, '\xff')},
        {"text.wav", QByteArray("not a wave file at all")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString song = dir.filePath(QString::fromLatin1(c.name));
        QFile f(song);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.bytes);
        f.close();
        project.songs = {{song, 5}};
        prompter.informed.clear();
        prompter.asked.clear();
        // Nobody agrees to a video without its music: the export fails.
        prompter.answers = {Answer::No};
        expectMusicMissing(exportTo(QStringLiteral("refused.avi")), soundtrackText::unsupportedFile(song));
    }

    // With the user's yes the video goes out, and says it has no music.
    prompter.answers = {Answer::Yes};
    expectVideoWithoutMusic(exportTo(QStringLiteral("agreed.avi")));
}

TEST_F(SoundtrackExport, FailedEncodingIsAFailureUnlessTheUserAgrees)
{
    addSong(QStringLiteral("wav"), 25);
    // Decoding is under way when its step is first reported; a folder where
    // the MP3 should go then keeps the background encoder from writing it, as
    // a full disk would.
    control.progress = [&](int, const QString &caption) {
        if (caption != QStringLiteral("步骤1/5：解码音频")) return;
        const QStringList jobs = QDir(ws.tempDir()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        ASSERT_EQ(jobs.size(), 1);
        QDir(ws.tempDir() + jobs[0]).mkdir(QString::fromLatin1(soundtrackFiles::kAudioPart));
    };
    prompter.answers = {Answer::No};
    expectMusicMissing(exportTo(QStringLiteral("refused.avi")), soundtrackText::encodeFailed());
    EXPECT_EQ(prompter.foreignCalls, 0);

    prompter.answers = {Answer::Yes};
    prompter.informed.clear();
    prompter.asked.clear();
    const ExportOutcome agreed = exportTo(QStringLiteral("unencoded.avi"));
    expectVideoWithoutMusic(agreed);
    EXPECT_EQ(prompter.informed, QStringList{soundtrackText::encodeFailed()});
    // The show keeps the layout the music gave it: 12.5 s per picture.
    EXPECT_NEAR(agreed.frames / 30.0, 25.0, 1.0);
}

TEST_F(SoundtrackExport, CancelInAnyStepLeavesNothing)
{
    addSong(QStringLiteral("wav"), 12);
    project.settings.enableOpening = true;
    project.settings.titleText[0] = QStringLiteral("开场");
    project.settings.openingDurationTime = 6;
    // The second and third fall while the MP3 is still being encoded beside
    // the render: the encoder is stopped and its files go too.
    const QString steps[] = {QStringLiteral("步骤1/5：解码音频"), QStringLiteral("步骤2/5：合并音频"),
                             QStringLiteral("正在初始化编码器，较慢请等待..."), QStringLiteral("步骤4/5：编码视频"),
                             QStringLiteral("步骤5/5：合并视频和音频")};
    for (const QString &step : steps) {
        SCOPED_TRACE(step.toStdString());
        std::atomic<bool> cancel{false};
        bool seen = false;
        control.cancel = &cancel;
        control.progress = [&](int, const QString &caption) {
            if (caption == step) seen = cancel = true;
        };
        const ExportOutcome o = exportTo(QStringLiteral("cancelled.avi"));
        EXPECT_TRUE(seen);
        EXPECT_FALSE(o.completed);
        EXPECT_EQ(o.status, kExportCancelled);
        EXPECT_FALSE(QFile::exists(o.target));
        EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden).isEmpty());
        EXPECT_TRUE(tempLeftovers().isEmpty()) << tempLeftovers().join(QLatin1Char(' ')).toStdString();
    }
}

TEST_F(SoundtrackExport, ALyricFileCutAtItsLineLimitIsReported)
{
    addSong(QStringLiteral("wav"), 4);
    QByteArray many;
    for (int i = 0; i < kMaxLyricLines + 30; ++i) many += "[00:01.00]x\r\n";
    QFile f(project.lyricFiles[0]);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(many);
    f.close();
    project.settings.enableLyric = true;
    const ExportOutcome outcome = exportTo(QStringLiteral("cut.avi"));
    ASSERT_TRUE(outcome.completed);
    // Once, though the song's lines are drawn on many frames.
    EXPECT_EQ(prompter.informed,
              QStringList{QStringLiteral("歌词文件 '%1' 的时间标签太多：只使用前 10000 行，其余 30 行被忽略").arg(project.lyricFiles[0])});
}

// With music the work files come first: the decoded song and the joined WAV
// are set aside from the free space, and the video part (which the joined
// file needs as much room again for, on the same disk) gets half the rest.
TEST_F(SoundtrackExport, AVideoWithMusicStopsAtTheFreeSpaceItMeasured)
{
    addSong(QStringLiteral("wav"), 25); // 2.2 MB decoded
    project.settings.enableSync = false;
    project.settings.timeInterval = 100000; // beyond what a project file may hold
    // 30 MiB free: about 13 MB for the export, 4.4 MB of it for the music.
    options.freeSpace = [](const QString &) { return qint64(30) * 1048576; };
    project.settings.enableLyric = false; // one long hold, not a lyric line every tenth of a second
    const ExportOutcome o = exportTo(QStringLiteral("full.avi"));
    EXPECT_FALSE(o.completed);
    EXPECT_TRUE(o.diskFull);
    EXPECT_EQ(prompter.informed, QStringList{exportText::diskFull(ws.tempDir())});
    EXPECT_FALSE(QFile::exists(o.target));
    EXPECT_TRUE(tempLeftovers().isEmpty()) << tempLeftovers().join(QLatin1Char(' ')).toStdString();

    // The same room is plenty for the show the music lays out.
    project.settings.enableSync = true;
    prompter.informed.clear();
    const ExportOutcome fits = exportTo(QStringLiteral("fits.avi"));
    ASSERT_TRUE(fits.completed) << prompter.informed.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(fits.songs, 1);
    EXPECT_NEAR(decodedAudio(fits.target).size() / 22050.0, 25.0, 1.0);
}
