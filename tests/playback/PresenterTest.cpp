#include "AudioOutput.h"
#include "AudioStream.h"
#include "FakePrompter.h"
#include "FixedSeed.h"
#include "FrameFixtures.h"
#include "FrameLoop.h"
#include "Presenter.h"
#include "Random.h"
#include "SongLength.h"
#include "Soundtrack.h"
#include "Workspace.h"
#include "cLameEncoder.h"
#include "clsWavConcatenate.h"

#include <QFile>
#include <QImage>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <mutex>
#include <thread>

using namespace pvsm;

namespace {

constexpr int kWidth = 320, kHeight = 240;

struct Shot
{
    int64_t frame;
    uint64_t hash;
    double time; // the clock when the picture went up
};

// Keeps what the presenter showed, and when; `onFrame` may steer the show
// from the presenter's thread.
class RecordingDisplay : public FrameDisplay
{
public:
    PlaybackClock *clock = nullptr;
    std::function<void(int64_t frame)> onFrame;

    void present(const QImage &frame, int64_t n) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_shots.push_back({n, RecordingFrameSink::hashImage(frame), clock ? clock->now() : 0});
        }
        if (onFrame) onFrame(n);
    }
    void reset()
    {
        std::lock_guard lock(m_mutex);
        m_shots.clear();
        onFrame = nullptr;
    }
    std::vector<Shot> shots() const
    {
        std::lock_guard lock(m_mutex);
        return m_shots;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Shot> m_shots;
};

// A 16-bit stereo WAV of a tone.
void writeTone(const QString &path, double seconds, int rate = 22050)
{
    const int samples = int(seconds * rate);
    QByteArray pcm(samples * 4, '\0');
    auto *out = reinterpret_cast<int16_t *>(pcm.data());
    for (int n = 0; n < samples; ++n) out[2 * n] = out[2 * n + 1] = int16_t(3000 * std::sin(n * 2 * M_PI * 330 / rate));
    QFile wav(path);
    ASSERT_TRUE(wav.open(QIODevice::WriteOnly));
    wav.write(MakeWavHeader44(MakePcmFormat(uint32_t(rate), 2, 16), 44 + pcm.size()));
    wav.write(pcm);
}

bool waitFor(const std::function<bool()> &done, int ms = 60000)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class PresenterTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        env.screenWidth = kWidth;
        env.screenHeight = kHeight;
        env.lyricSampleLineHeight = 20;
        project = Project::makeDefault(env);
        Settings &s = project.settings;
        s.timeInterval = 4;
        s.enableTransition = true;
        s.transitionSpeed = 500;
        s.selectedTransitions.reset();
        s.selectedTransitions[3] = s.selectedTransitions[8] = s.selectedTransitions[17] = true;
        s.enableHeadlineEffect = true;
        s.enableCaption = true;
        for (int i = 0; i < 3; ++i) {
            QImage img(200, 150, QImage::Format_RGB32);
            img.fill(QColor::fromHsv(i * 90 % 360, 200, 220));
            const QString path = dir.filePath(QStringLiteral("p%1.png").arg(i));
            ASSERT_TRUE(img.save(path));
            Picture pic = project.newPicture(path, env);
            pic.caption = QStringLiteral("图%1").arg(i + 1);
            pic.headline = QStringLiteral("标题");
            pic.headDynamicStyle = i * 3 % 9;
            pic.headlineBox = {0, 10, kWidth, 60};
            project.pictures.push_back(pic);
        }
        options.outputSize = options.editingScreen = {kWidth, kHeight};
        options.clock = &clock;
        display.clock = &clock;
    }

    void addSongWithLyrics()
    {
        const QString song = dir.filePath(QStringLiteral("song.wav"));
        writeTone(song, 14);
        project.songs.push_back({song, GetSongLength(song, float(ProbeSongLength(song)))});
        QFile lrc(dir.filePath(QStringLiteral("song.lrc")));
        ASSERT_TRUE(lrc.open(QIODevice::WriteOnly));
        lrc.write("[00:01.00]one\r\n[00:04.50]two\r\n[00:09.00]three\r\n");
        project.lyricFiles << lrc.fileName();
        project.settings.enableLyric = true;
        project.settings.lyricStyle = 2;
    }

    // The export's frame loop into a recording sink, with the export's
    // soundtrack; the slides' first frames in `slideStarts`. Floating
    // pictures play as the automatic motion, which the video takes only when
    // asked for it.
    RecordingTimelineSink exportFrames(std::vector<int64_t> *slideStarts = nullptr)
    {
        test::FixedSeed seed(11);
        if (project.settings.enableFloating) project.settings.autoMotion = true;
        const auto restore = qScopeGuard([&] { project.settings.autoMotion = false; });
        RecordingTimelineSink sink;
        FrameLoopSettings settings;
        settings.videoSize = settings.editingScreen = {kWidth, kHeight};
        settings.TransitionFrames = 15;
        for (int i = 0; i < kTransitionCount; ++i)
            if (project.settings.selectedTransitions[size_t(i)]) settings.SelectedTransitions.push_back(i);
        settings.pictureFrame = options.pictureFrame;
        if (slideStarts) settings.onSlideStart = [slideStarts](int, int64_t frames) { slideStarts->push_back(frames + 1); };
        Workspace ws(QStringLiteral(PVSM_BIN_DIR), dir.path());
        test::FakePrompter prompter;
        ProjectSoundtrack soundtrack(project, ws, dir.filePath(QStringLiteral("job")), prompter, false,
                                     settings.videoSize, settings.editingScreen);
        JobControl control;
        FrameLoop loop(project, settings, sink, project.songs.empty() ? nullptr : &soundtrack, control);
        EXPECT_FALSE(loop.RenderVideo().failed);
        return sink;
    }

    // Plays the show through the presenter to its end.
    void play(Presenter &presenter)
    {
        test::FixedSeed seed(11);
        presenter.start();
        ASSERT_TRUE(waitFor([&] { return !presenter.running(); }));
    }

    QTemporaryDir dir;
    ProjectEnvironment env;
    Project project;
    PresenterOptions options;
    VirtualPlaybackClock clock;
    RecordingDisplay display;
};

} // namespace

TEST_F(PresenterTest, ShowsTheExportedFramesAtTheirTimes)
{
    struct Case
    {
        const char *name;
        std::function<void(PresenterTest &)> setUp;
    };
    const std::vector<Case> cases = {
        {"titles, transitions, headlines, captions, a picture frame, floating pictures",
         [](PresenterTest &t) {
             t.options.pictureFrame = test::bandFramePng({kWidth, kHeight}, 12, qRgb(200, 40, 40));
             Settings &s = t.project.settings;
             s.enableFloating = true;
             s.enableOpening = s.enableEnding = true;
             s.titleText[0] = QStringLiteral("开场");
             s.titleText[1] = QStringLiteral("谢谢\r\n再见");
             s.titleStyle = 1;
             s.openingDurationTime = 3;
             s.endingDurationTime = 3;
         }},
        {"music with sync and a moving lyric",
         [](PresenterTest &t) {
             t.addSongWithLyrics();
             t.project.settings.enableSync = true;
         }},
        {"music without sync: slides aligned to the song's end",
         [](PresenterTest &t) {
             t.addSongWithLyrics();
             t.project.settings.enableSync = false;
             t.project.pictures[0].slideDuration = 5.2f;
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.setUp(*this);
        const RecordingTimelineSink exported = exportFrames();
        ASSERT_GT(exported.calls().size(), 10u);
        if (project.settings.enableFloating) {
            // Floating pictures move on every frame of their slides: many
            // more pictures than the still show's held ones.
            project.settings.enableFloating = false;
            const size_t still = exportFrames().calls().size();
            project.settings.enableFloating = true;
            EXPECT_GT(exported.calls().size(), still + 100);
        }

        Presenter presenter(project, options, display);
        play(presenter);
        EXPECT_TRUE(presenter.finished());
        const std::vector<Shot> shots = display.shots();
        ASSERT_EQ(shots.size(), exported.calls().size());
        for (size_t i = 0; i < shots.size(); ++i) {
            SCOPED_TRACE(i);
            const auto &call = exported.calls()[i];
            EXPECT_EQ(shots[i].frame, call.firstFrame);
            EXPECT_EQ(shots[i].hash, call.hash);
            EXPECT_NEAR(shots[i].time, (call.firstFrame - 1) / 30.0, 1e-9);
        }
        const PacingStats st = presenter.stats();
        EXPECT_EQ(st.dropped, 0);
        EXPECT_EQ(st.late, 0);
        EXPECT_EQ(st.presented, int64_t(shots.size()));
        display.reset();
        clock.set(0);
    }
}

TEST_F(PresenterTest, LatePicturesAreDroppedAndTheShowKeepsItsTimes)
{
    const RecordingTimelineSink exported = exportFrames();
    // The display stalls for 0.4 s on frame 40 (a transition's picture, each
    // standing one frame): the pictures due meanwhile are never shown.
    display.onFrame = [this](int64_t n) {
        if (n == 40) clock.advance(0.4);
    };
    Presenter presenter(project, options, display);
    play(presenter);
    const std::vector<Shot> shots = display.shots();
    const PacingStats st = presenter.stats();
    EXPECT_GE(st.dropped, 10);
    EXPECT_EQ(st.presented + st.late + st.dropped, int64_t(exported.calls().size()));
    ASSERT_FALSE(shots.empty());
    // Every picture shown stands at a time inside its own run of frames, so
    // after the stall the show is back on its times: no drift.
    std::map<int64_t, int> countOf;
    for (const auto &c : exported.calls()) countOf[c.firstFrame] = c.count;
    for (const Shot &s : shots) {
        EXPECT_GE(s.time, (s.frame - 1) / 30.0 - 1e-9);
        EXPECT_LT(s.time, (s.frame - 1 + countOf[s.frame]) / 30.0);
    }
    bool sawAfterStall = false;
    for (const Shot &s : shots)
        if (s.frame > 40 && s.frame < 40 + 12) sawAfterStall = true;
    EXPECT_FALSE(sawAfterStall);
    EXPECT_EQ(shots.back().frame, exported.calls().back().firstFrame);
}

TEST_F(PresenterTest, PauseHoldsThePictureAndTheClock)
{
    std::atomic<bool> pausedOnce{false};
    Presenter *p = nullptr;
    display.onFrame = [&](int64_t n) {
        if (n >= 50 && !pausedOnce.exchange(true)) p->setPaused(true);
    };
    Presenter presenter(project, options, display);
    p = &presenter;
    presenter.start();
    ASSERT_TRUE(waitFor([&] { return pausedOnce.load(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const size_t shown = display.shots().size();
    const double at = clock.now();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_TRUE(presenter.running());
    EXPECT_TRUE(presenter.paused());
    EXPECT_EQ(display.shots().size(), shown);
    EXPECT_EQ(clock.now(), at);
    presenter.setPaused(false);
    ASSERT_TRUE(waitFor([&] { return !presenter.running(); }));
    EXPECT_TRUE(presenter.finished());
    EXPECT_GT(display.shots().size(), shown);
}

TEST_F(PresenterTest, NextAndPreviousSlideGoToTheSlidesStartWithTheExportsPictures)
{
    std::vector<int64_t> starts;
    const RecordingTimelineSink exported = exportFrames(&starts);
    ASSERT_EQ(starts.size(), 3u);
    std::map<int64_t, uint64_t> hashAt;
    for (const auto &c : exported.calls()) hashAt[c.firstFrame] = c.hash;

    struct Case
    {
        const char *name;
        bool forward;
        int64_t at;      // the frame the control is used on
        int64_t landsOn; // the first frame shown after it
    };
    const std::vector<Case> cases = {
        {"next from the middle of slide 1", true, starts[0] + 20, starts[1]},
        {"previous from slide 3 back to slide 2", false, starts[2] + 5, starts[1]},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        display.reset();
        clock.set(0);
        Presenter *p = nullptr;
        std::atomic<bool> used{false};
        display.onFrame = [&](int64_t n) {
            if (n >= c.at && !used.exchange(true)) c.forward ? p->nextSlide() : p->previousSlide();
        };
        Presenter presenter(project, options, display);
        p = &presenter;
        play(presenter);
        const std::vector<Shot> shots = display.shots();
        size_t i = 0;
        while (i < shots.size() && shots[i].frame < c.at) ++i;
        ASSERT_LT(i + 1, shots.size());
        EXPECT_EQ(shots[i + 1].frame, c.landsOn);
        EXPECT_NEAR(shots[i + 1].time, (c.landsOn - 1) / 30.0, 1e-9);
        // From there on the show is the export's, picture for picture.
        for (size_t j = i + 1; j < shots.size(); ++j) {
            ASSERT_TRUE(hashAt.count(shots[j].frame)) << shots[j].frame;
            EXPECT_EQ(shots[j].hash, hashAt[shots[j].frame]) << shots[j].frame;
        }
        EXPECT_EQ(shots.back().frame, exported.calls().back().firstFrame);
        EXPECT_GT(presenter.stats().skipped, 0);
    }
}

TEST_F(PresenterTest, WithoutAnAudioDeviceOrMutedTheShowRunsSilentlyOnTheSystemClock)
{
    for (const bool mutedShow : {false, true}) {
        SCOPED_TRACE(mutedShow ? "muted show" : "no device");
        if (!mutedShow && AudioClock::deviceAvailable()) continue; // this machine has a device
        SetUp();
        addSongWithLyrics();
        project.settings.muteSound = mutedShow;
        options.clock = nullptr;
        display.clock = nullptr;
        testing::internal::CaptureStderr();
        Presenter presenter(project, options, display);
        presenter.start();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        presenter.start(); // a second start says nothing more
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        const double position = presenter.position();
        const bool audio = presenter.audioAvailable();
        const bool muted = presenter.muted();
        presenter.stop();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(audio);
        EXPECT_EQ(muted, mutedShow);
        EXPECT_NEAR(position, 0.4, 0.15);
        EXPECT_FALSE(display.shots().empty());
        // One line, however often the show is started.
        EXPECT_NE(err.find("系统时钟"), std::string::npos) << err;
        size_t lines = 0;
        for (size_t at = err.find("pvsm:"); at != std::string::npos; at = err.find("pvsm:", at + 1)) ++lines;
        EXPECT_EQ(lines, 1u) << err;
        display.reset();
    }
}

TEST(MusicStream, KeepsEachSongToItsTimeAfterTheLead)
{
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("a.wav"));
    writeTone(song, 1.2);
    MusicStream stream(8000);
    // A lead of 0.5 s, the song held to 1 s, a missing song of 0.5 s.
    stream.setPlaylist(0.5, {{song, 1.0}, {dir.filePath(QStringLiteral("gone.wav")), 0.5}});
    EXPECT_EQ(stream.trackStarts(), (std::vector<double>{0.5, 1.5}));
    std::vector<int16_t> pcm(2 * 8000 * 3);
    ASSERT_EQ(stream.read(reinterpret_cast<char *>(pcm.data()), int64_t(pcm.size()) * 2), int64_t(pcm.size()) * 2);
    auto loud = [&](double from, double to) {
        int peak = 0;
        for (int64_t f = int64_t(from * 8000); f < int64_t(to * 8000); ++f) peak = std::max(peak, std::abs(int(pcm[size_t(2 * f)])));
        return peak;
    };
    EXPECT_EQ(loud(0, 0.5), 0);
    EXPECT_GT(loud(0.51, 1.49), 2000);
    EXPECT_EQ(loud(1.5, 3), 0); // cut at its time; the missing song is silence
    EXPECT_DOUBLE_EQ(stream.position(), 3.0);

    // A seek lands in the song at its time.
    stream.seek(1.25);
    std::vector<int16_t> part(2 * 800);
    stream.read(reinterpret_cast<char *>(part.data()), int64_t(part.size()) * 2);
    int peak = 0;
    for (int16_t v : part) peak = std::max(peak, std::abs(int(v)));
    EXPECT_GT(peak, 2000);
    EXPECT_NEAR(stream.position(), 1.35, 1e-9);
}

TEST_F(PresenterTest, TheShowStartsWhenItsFirstSlideIsReady)
{
    const RecordingTimelineSink exported = exportFrames();
    // The first photo takes 0.5 s to come (as a big photo's decoding does):
    // its transition still plays whole, from its own time on.
    display.onFrame = [this](int64_t n) {
        if (n == 1) clock.advance(0.5);
    };
    Presenter presenter(project, options, display);
    play(presenter);
    const PacingStats st = presenter.stats();
    EXPECT_EQ(st.dropped, 0);
    EXPECT_EQ(st.late, 0);
    EXPECT_EQ(display.shots().size(), exported.calls().size());
}

TEST_F(PresenterTest, WithAnAudioDeviceTheShowFollowsTheMusic)
{
    if (!AudioClock::deviceAvailable()) GTEST_SKIP() << "no audio output device";
    addSongWithLyrics();
    options.clock = nullptr;
    display.clock = nullptr;
    Presenter presenter(project, options, display);
    presenter.start();
    ASSERT_TRUE(waitFor([&] { return presenter.audioAvailable(); }, 5000));
    ASSERT_TRUE(waitFor([&] { return presenter.position() > 0.3; }, 5000));
    const auto t0 = std::chrono::steady_clock::now();
    const double p0 = presenter.position();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double ran = presenter.position() - p0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_NEAR(ran, wall, 0.1);

    presenter.setPaused(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const double held = presenter.position();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_NEAR(presenter.position(), held, 1e-6);
    presenter.setPaused(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_GT(presenter.position(), held + 0.15);

    // The next slide moves the music with the show.
    const int slide = presenter.currentSlide();
    presenter.nextSlide();
    ASSERT_TRUE(waitFor([&] { return presenter.currentSlide() == slide + 1; }, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(presenter.audioAvailable());
    EXPECT_GT(presenter.position(), 4.0); // slides last at least 10 s with this music; the skip jumped past it
    presenter.stop();
    EXPECT_FALSE(presenter.running());
}

TEST(MusicStream, ASeekGivesTheSoundOfItsTimeInWavAndMp3)
{
    QTemporaryDir dir;
    // A rising tone: every moment of it sounds different.
    const int rate = 22050;
    const QString wav = dir.filePath(QStringLiteral("chirp.wav"));
    {
        const int samples = 8 * rate;
        QByteArray pcm(samples * 4, '\0');
        auto *out = reinterpret_cast<int16_t *>(pcm.data());
        double phase = 0;
        for (int n = 0; n < samples; ++n) {
            phase += 2 * M_PI * (200.0 + 100.0 * n / rate) / rate;
            out[2 * n] = out[2 * n + 1] = int16_t(8000 * std::sin(phase));
        }
        QFile f(wav);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(MakeWavHeader44(MakePcmFormat(rate, 2, 16), 44 + pcm.size()));
        f.write(pcm);
    }
    const QString mp3 = dir.filePath(QStringLiteral("chirp.mp3"));
    cLameEncoder encoder;
    ASSERT_TRUE(encoder.SetWavFile(wav));
    encoder.SetMp3File(mp3);
    ASSERT_TRUE(encoder.Encode());

    for (const QString &song : {wav, mp3}) {
        SCOPED_TRACE(song.toStdString());
        const double at = 3.4; // whole seconds and a part, into the song after a lead
        auto readAt = [&](MusicStream &stream, int64_t frames) {
            std::vector<int16_t> pcm(size_t(frames) * 2);
            stream.read(reinterpret_cast<char *>(pcm.data()), frames * 4);
            return pcm;
        };
        MusicStream straight(rate);
        straight.setPlaylist(0.2, {{song, 7.5}});
        readAt(straight, std::llround((at + 0.2) * rate));
        const std::vector<int16_t> expected = readAt(straight, 2205);
        MusicStream sought(rate);
        sought.setPlaylist(0.2, {{song, 7.5}});
        readAt(sought, 1000);
        sought.seek(at + 0.2);
        const std::vector<int16_t> got = readAt(sought, 2205);
        int peak = 0, worst = 0;
        for (size_t i = 0; i < got.size(); ++i) {
            peak = std::max(peak, std::abs(int(expected[i])));
            worst = std::max(worst, std::abs(int(got[i]) - int(expected[i])));
        }
        EXPECT_GT(peak, 4000);
        EXPECT_LE(worst, 2) << "the sound after the seek is not the sound of its time";
    }
}

TEST_F(PresenterTest, NextSongGoesToTheFirstSlideOfTheNextSong)
{
    // Two songs of 7 s, slides of 4 s that the song boundary realigns.
    for (int i = 0; i < 2; ++i) {
        const QString song = dir.filePath(QStringLiteral("s%1.wav").arg(i));
        writeTone(song, 7);
        project.songs.push_back({song, GetSongLength(song, float(ProbeSongLength(song)))});
    }
    project.settings.enableSync = false;
    std::vector<int64_t> starts;
    const RecordingTimelineSink exported = exportFrames(&starts);
    int64_t target = 0;
    for (int64_t s : starts)
        if ((s - 1) / 30.0 >= 7.0 - 1 / 60.0) {
            target = s;
            break;
        }
    ASSERT_GT(target, 0);

    Presenter *p = nullptr;
    std::atomic<bool> used{false};
    display.onFrame = [&](int64_t n) {
        if (n >= 20 && !used.exchange(true)) p->nextSong();
    };
    Presenter presenter(project, options, display);
    p = &presenter;
    play(presenter);
    const std::vector<Shot> shots = display.shots();
    size_t i = 0;
    while (i < shots.size() && shots[i].frame < 20) ++i;
    ASSERT_LT(i + 1, shots.size());
    EXPECT_EQ(shots[i + 1].frame, target);
    EXPECT_NEAR(shots[i + 1].time, (target - 1) / 30.0, 1e-9);
}
