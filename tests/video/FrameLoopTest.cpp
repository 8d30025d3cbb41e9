#include "EndFade.h"
#include "FixedSeed.h"
#include "FrameFixtures.h"
#include "FrameLoop.h"
#include "LyricOverlay.h"
#include "Motion.h"
#include "Random.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>

using namespace pvsm;
using pvsm::test::FixedSeed;

namespace {


class FakeSoundtrack : public Soundtrack
{
public:
    SoundtrackState state;
    bool assemble(SoundtrackState &s, double &, const JobControl &) override
    {
        s = state;
        return true;
    }
};

// A song that has a lyric line from the music's start on, a new one every
// `lineFrames` frames, each drawn as a marker square whose colour names the
// line, so that a recorded picture tells which lyric it carries.
class LyricSoundtrack : public FakeSoundtrack
{
public:
    static constexpr int kLineFrames = 75;

    // One song of 14 seconds in a soundtrack of 17, its lyric drawn.
    LyricSoundtrack()
    {
        state.SongCount = 1;
        state.SongDurations = {14};
        state.SoundtrackLength = 17;
        state.lyricsOn = true;
    }

    // The line of frame f, -1 before the music.
    static int lineOf(int64_t f, int64_t musicStart) { return f <= musicStart ? -1 : int((f - musicStart - 1) / kLineFrames); }
    static QRgb marker(int line) { return qRgb((10 + 20 * line) % 256, 255, 7); }
    static int markerLine(const QImage &picture)
    {
        const QRgb p = picture.pixel(2, 2);
        if (qGreen(p) != 255 || qBlue(p) != 7) return -1;
        return (qRed(p) - 10) / 20;
    }

    LyricShot lyricShot(int64_t f, int64_t musicStart) override
    {
        EXPECT_GT(f, lastAsked) << "frames are asked in order";
        lastAsked = f;
        const int line = lineOf(f, musicStart);
        if (line < 0) return {};
        return {LyricText{QString::number(line), QRectF(0, 0, 8, 8), 4, false, {}}};
    }
    void drawLyric(QImage &frame, const LyricShot &shot) override
    {
        ASSERT_EQ(shot.size(), 1u);
        const int line = shot[0].text.toInt();
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) frame.setPixel(x, y, marker(line));
    }
    int64_t lastAsked = 0;
};

class FrameLoopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        env.screenWidth = 320;
        env.screenHeight = 240;
        env.lyricSampleLineHeight = 20;
        project = Project::makeDefault(env);
        project.settings.timeInterval = 5;
        project.settings.enableTransition = false;
        settings.videoSize = {320, 240};
        settings.editingScreen = {320, 240};
        settings.TransitionFrames = 30;
    }

    void addPictures(int n)
    {
        for (int i = 0; i < n; ++i) {
            QImage img(160, 120, QImage::Format_RGB32);
            img.fill(QColor::fromHsv(i * 60 % 360, 200, 220));
            const QString path = dir.filePath(QStringLiteral("p%1.png").arg(i));
            img.save(path);
            project.pictures.push_back(project.newPicture(path, env));
        }
    }

    FrameLoopResult render(RecordingTimelineSink &sink, Soundtrack *soundtrack = nullptr, const std::atomic<bool> *cancel = nullptr)
    {
        JobControl control;
        control.cancel = cancel;
        FrameLoop loop(project, settings, sink, soundtrack, control);
        return loop.RenderVideo();
    }

    QTemporaryDir dir;
    ProjectEnvironment env;
    Project project;
    FrameLoopSettings settings;
};

} // namespace

TEST_F(FrameLoopTest, ThreeHeldPicturesWithoutTransitionsMake452Frames)
{
    addPictures(3);
    RecordingTimelineSink sink;
    const FrameLoopResult r = render(sink);
    EXPECT_EQ(r.frames, 452);
    EXPECT_EQ(sink.FrameCounter(), 452);
    ASSERT_FALSE(sink.calls().empty());
    // Frame 1 is black; each slide is 1 + 15 + 14 + 120 frames.
    QImage black(320, 240, QImage::Format_RGB32);
    black.fill(Qt::black);
    EXPECT_EQ(sink.calls()[0].hash, RecordingFrameSink::hashImage(black));
    std::vector<int> counts;
    for (const auto &c : sink.calls()) counts.push_back(c.count);
    const std::vector<int> expected = {1, 1, 15, 14, 120, 1, 15, 14, 120, 1, 15, 14, 120, 1};
    EXPECT_EQ(counts, expected);
}

TEST_F(FrameLoopTest, OpeningTitleLastsItsDuration)
{
    addPictures(2);
    project.settings.enableOpening = true;
    project.settings.titleText[0] = QStringLiteral("开场");
    project.settings.titleStyle = 0;
    project.settings.openingDurationTime = 8;
    RecordingTimelineSink sink;
    const FrameLoopResult r = render(sink);
    ASSERT_GE(sink.calls().size(), 2u);
    EXPECT_EQ(sink.calls()[0].count, 30);
    EXPECT_EQ(sink.calls()[1].count, 210);
    EXPECT_NE(sink.calls()[0].hash, sink.calls()[1].hash); // the text appears after the bare second
    EXPECT_EQ(r.musicStartFrame, 240);
}

TEST_F(FrameLoopTest, TitleEffectsWriteTheirFramesWithinTheDuration)
{
    addPictures(2);
    project.settings.enableEnding = true;
    project.settings.titleText[1] = QStringLiteral("谢谢\r\n再见");
    project.settings.titleStyle = 1;
    project.settings.endingDurationTime = 4;
    RecordingTimelineSink sink;
    const FrameLoopResult r = render(sink);
    // Two faded lines of 12 frames each inside 4 seconds after the slides.
    const int64_t slidesEnd = 1 + 2 * 150 + 1;
    EXPECT_EQ(r.frames, slidesEnd + 120);
}

TEST(OutputScales, ScaleRule)
{
    const OutputScales near = outputScales({1824, 1134}, {1920, 1080}); // 0.95, 1.05
    EXPECT_EQ(near.x, 1.0);
    EXPECT_EQ(near.y, 1.0);
    EXPECT_EQ(near.font, 1.0);
    const OutputScales wide = outputScales({2400, 1080}, {1920, 1080}); // 1.25, 1.0
    EXPECT_DOUBLE_EQ(wide.x, 1.25);
    EXPECT_DOUBLE_EQ(wide.y, 1.0);
    EXPECT_DOUBLE_EQ(wide.font, 1.0);
}

TEST_F(FrameLoopTest, EverySelectedTransitionIsUsedBeforeOneRepeats)
{
    addPictures(4);
    project.settings.enableTransition = true;
    settings.SelectedTransitions = {0, 15}; // random lines: 32 or 30 frames here; cross-fade: 26
    FixedSeed seed(11);
    RecordingTimelineSink sink;
    render(sink);
    // The transition of each slide is what lies between the slide before it
    // (or the black first frame) and the slide's own 1 + 15 frames.
    std::vector<int64_t> transitionFrames;
    int64_t run = 0;
    const auto &calls = sink.calls();
    for (size_t c = 1; c < calls.size(); ++c) {
        if (c + 1 < calls.size() && calls[c].count == 1 && calls[c + 1].count == 15) {
            transitionFrames.push_back(run);
            run = 0;
            ++c;
            continue;
        }
        if (calls[c].count == 14) { // end of a slide's fixed part: what follows is its hold
            c += 1;
            run = 0;
            continue;
        }
        run += calls[c].count;
    }
    ASSERT_EQ(transitionFrames.size(), 4u);
    auto isFade = [](int64_t f) { return f == 26; };
    EXPECT_NE(isFade(transitionFrames[0]), isFade(transitionFrames[1]));
    EXPECT_NE(isFade(transitionFrames[2]), isFade(transitionFrames[3]));
}

TEST_F(FrameLoopTest, SongBoundariesAlignSlides)
{
    addPictures(3);
    project.songs = {{QStringLiteral("/m/a.mp3"), 5.3f}, {QStringLiteral("/m/b.mp3"), 100}};
    FakeSoundtrack sound;
    sound.state.SongCount = 2;
    sound.state.SoundtrackLength = 105.3;
    // The first slide ends at 5.0 s of music, 0.3 s before the first song ends:
    // the next slide starts at the boundary, 9 frames later.
    sound.state.SongDurations = {5.3, 100};
    RecordingTimelineSink early;
    render(early, &sound);
    ASSERT_GE(early.calls().size(), 6u);
    EXPECT_EQ(early.calls()[5].firstFrame, 152 + 9);

    // Ending 0.3 s after the boundary shortens the next slide by 0.3 s (9 frames).
    sound.state.SongDurations = {4.7, 100};
    RecordingTimelineSink late;
    render(late, &sound);
    ASSERT_GE(late.calls().size(), 9u);
    EXPECT_EQ(late.calls()[5].firstFrame, 152);
    EXPECT_EQ(late.calls()[8].count, 120 - 9);
}

TEST_F(FrameLoopTest, HeadlinesRunTheirEffectAndUnknownEffectsDrawNothing)
{
    addPictures(2);
    project.pictures[0].headline = QStringLiteral("标题");
    project.pictures[0].headDynamicStyle = 0; // fade: 12 frames
    project.pictures[1].headline = QStringLiteral("无效");
    project.pictures[1].headDynamicStyle = 9;
    RecordingTimelineSink sink;
    const FrameLoopResult r = render(sink);
    // Slide 1 holds 12 effect frames inside its 5 seconds; slide 2 none.
    EXPECT_EQ(r.frames, 302);
    std::vector<int> counts;
    for (const auto &c : sink.calls()) counts.push_back(c.count);
    EXPECT_EQ(counts[4], 1);   // first fade frame after 1 + 15
    EXPECT_EQ(counts[15], 14); // after the 12 fade frames
}

TEST_F(FrameLoopTest, ComposingAheadGivesTheSameFrames)
{
    addPictures(5);
    project.settings.enableTransition = true;
    settings.SelectedTransitions = {15};
    project.pictures[2].caption = QStringLiteral("字幕");
    RecordingTimelineSink a, b;
    {
        FixedSeed seed(3);
        render(a);
    }
    {
        FixedSeed seed(3);
        render(b);
    }
    ASSERT_EQ(a.calls().size(), b.calls().size());
    for (size_t i = 0; i < a.calls().size(); ++i) EXPECT_EQ(a.calls()[i].hash, b.calls()[i].hash) << i;
}

TEST_F(FrameLoopTest, CancelStopsTheLoop)
{
    addPictures(50);
    std::atomic<bool> cancel{true};
    RecordingTimelineSink sink;
    const FrameLoopResult r = render(sink, nullptr, &cancel);
    EXPECT_TRUE(r.cancelled);
    EXPECT_LT(r.frames, 200);
}

TEST(LyricOverlaySink, CutsAWriteWhereTheLyricChangesAndPassesTheRestOn)
{
    // Lines change at frames 10, 30, 31 and 60 (none before frame 10).
    class Changes : public Soundtrack
    {
    public:
        bool assemble(SoundtrackState &, double &, const JobControl &) override { return true; }
        LyricShot lyricShot(int64_t f, int64_t) override
        {
            const int line = f < 10 ? -1 : f < 30 ? 0 : f < 31 ? 1 : f < 60 ? 2 : 3;
            if (line < 0) return {};
            return {LyricText{QString::number(line), QRectF(0, 0, 4, 4), 4, false, {}}};
        }
        void drawLyric(QImage &frame, const LyricShot &shot) override
        {
            frame.setPixel(0, 0, qRgb(shot[0].text.toInt() * 50, 200, 0));
        }
    } song;
    QImage picture(16, 16, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    RecordingTimelineSink inner(true);
    LyricOverlaySink sink(inner, song);

    // Before the music starts (the opening) the frames pass unchanged.
    EXPECT_TRUE(sink.WriteFrame(picture, 5));
    sink.startMusic(0);
    sink.setFrameCounter(0); // never moves back
    EXPECT_TRUE(sink.WriteFrame(picture, 95));
    EXPECT_EQ(sink.FrameCounter(), 100);

    struct Run
    {
        int64_t first;
        int count;
        int line; // -1: no lyric
    };
    const std::vector<Run> expected = {{1, 5, -1}, {6, 4, -1}, {10, 20, 0}, {30, 1, 1}, {31, 29, 2}, {60, 41, 3}};
    ASSERT_EQ(inner.calls().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(inner.calls()[i].firstFrame, expected[i].first);
        EXPECT_EQ(inner.calls()[i].count, expected[i].count);
        const QRgb corner = inner.pictures()[i].pixel(0, 0);
        if (expected[i].line < 0) EXPECT_EQ(inner.calls()[i].hash, RecordingFrameSink::hashImage(picture));
        else EXPECT_EQ(corner, qRgb(expected[i].line * 50, 200, 0));
        EXPECT_EQ(inner.pictures()[i].pixel(5, 5), qRgb(0, 0, 255)); // the picture itself is left alone
    }
    // The caller's picture is never drawn on.
    EXPECT_EQ(picture.pixel(0, 0), qRgb(0, 0, 255));

    // A sink that stopped takes nothing more.
    sink.cancel();
    EXPECT_FALSE(sink.WriteFrame(picture, 10));
    EXPECT_EQ(sink.FrameCounter(), 100);
}

TEST_F(FrameLoopTest, EveryFrameWhileTheSongPlaysCarriesItsLyric)
{
    // Transitions, headline effects, short holds, and titles at both ends,
    // with a song that runs on into the ending title.
    addPictures(3);
    project.settings.enableTransition = true;
    settings.SelectedTransitions = {15, 1};
    project.settings.timeInterval = 4;
    project.settings.enableSync = false;
    for (Picture &pic : project.pictures) {
        pic.headline = QStringLiteral("标题");
        pic.headDynamicStyle = 5;
    }
    project.settings.enableOpening = project.settings.enableEnding = true;
    project.settings.titleText = {QStringLiteral("开场"), QStringLiteral("谢谢\r\n再见")};
    project.settings.titleStyle = 1;
    project.settings.openingDurationTime = project.settings.endingDurationTime = 3;
    project.songs = {{QStringLiteral("/m/a.mp3"), 14}};

    for (int style : {0, 2}) {
        SCOPED_TRACE(style);
        project.settings.lyricStyle = style;
        LyricSoundtrack song;
        song.state.ExtraSlideCount = 1;
        RecordingTimelineSink sink(true);
        FrameLoopResult r;
        {
            FixedSeed seed(5);
            r = render(sink, &song);
        }
        ASSERT_EQ(r.musicStartFrame, 90);
        ASSERT_GT(r.frames, 90 + 14 * 30);

        int single = 0;
        for (size_t i = 0; i < sink.calls().size(); ++i) {
            const auto &c = sink.calls()[i];
            SCOPED_TRACE(c.firstFrame);
            const int line = LyricSoundtrack::lineOf(c.firstFrame, r.musicStartFrame);
            // No picture stands for frames of two lines, and each shows its own.
            EXPECT_EQ(LyricSoundtrack::lineOf(c.firstFrame + c.count - 1, r.musicStartFrame), line);
            EXPECT_EQ(LyricSoundtrack::markerLine(sink.pictures()[i]), line);
            if (line >= 0 && c.count == 1) ++single;
        }
        // Transition and effect steps were among them.
        EXPECT_GT(single, 100);

        // Holds stay repeats: beyond the song's lines, a lyric adds no
        // pictures to what the same show writes without one.
        song.state.lyricsOn = false;
        song.lastAsked = 0;
        RecordingTimelineSink plain;
        {
            FixedSeed seed(5);
            render(plain, &song);
        }
        const int64_t lineChanges = (r.frames - r.musicStartFrame) / LyricSoundtrack::kLineFrames;
        EXPECT_LE(int64_t(sink.calls().size()), int64_t(plain.calls().size()) + lineChanges);
    }
}


// The frame lies over every frame written (titles, transitions, held slides
// and headline effects alike), stretched to the video, and the lyric over it.
TEST_F(FrameLoopTest, ThePictureFrameIsOnEveryFrameUnderTheLyric)
{
    addPictures(2);
    project.settings.enableTransition = true;
    project.settings.timeInterval = 4;
    project.settings.enableSync = false;
    settings.SelectedTransitions = {15};
    for (Picture &pic : project.pictures) {
        pic.headline = QStringLiteral("标题");
        pic.headDynamicStyle = 5;
    }
    project.settings.enableOpening = true;
    project.settings.titleText[0] = QStringLiteral("开场");
    project.settings.openingDurationTime = 3;
    project.songs = {{QStringLiteral("/m/a.mp3"), 14}};
    const QRgb magenta = qRgb(255, 0, 255);
    settings.pictureFrame = test::bandFramePng({40, 30}, 4, magenta); // 4 of 40: 32 of 320 pixels
    LyricSoundtrack song;
    RecordingTimelineSink sink(true);
    render(sink, &song);
    ASSERT_GT(sink.pictures().size(), 20u);
    int withLyric = 0;
    for (size_t k = 0; k < sink.pictures().size(); ++k) {
        const QImage &picture = sink.pictures()[k];
        SCOPED_TRACE(k);
        // Inside the band, away from the lyric marker in the corner.
        EXPECT_EQ(picture.pixel(16, 200), magenta);
        EXPECT_EQ(picture.pixel(300, 16), magenta);
        // The middle of the picture is the slide's, not the frame's.
        EXPECT_NE(picture.pixel(160, 120), magenta);
        if (LyricSoundtrack::markerLine(picture) >= 0) ++withLyric;
    }
    // The lyric marker (inside the band) is drawn over the frame.
    EXPECT_GT(withLyric, 3);
}

TEST_F(FrameLoopTest, WithoutAFrameOrWithBrokenBytesNothingIsLaidOver)
{
    addPictures(1);
    for (const QByteArray &bytes : {QByteArray(), QByteArray("not a picture")}) {
        settings.pictureFrame = bytes;
        RecordingTimelineSink sink(true);
        render(sink);
        JobControl control;
        RecordingTimelineSink unused;
        const FrameLoop loop(project, settings, unused, nullptr, control);
        EXPECT_FALSE(loop.hasPictureFrame());
        ASSERT_GE(sink.pictures().size(), 5u);
        EXPECT_EQ(sink.pictures()[4], loop.ComposeSlide(1));
    }
}

namespace {

// Passes everything on but the frame loop's word on the video's length, so
// that the fade behind it waits for the end as it would without that word.
class DeafSink final : public OverlayTimelineSink
{
public:
    using OverlayTimelineSink::OverlayTimelineSink;
    bool WriteFrame(const QImage &frame, int count) override { return m_inner.WriteFrame(frame, count); }
    void expectAtLeast(int64_t) override {}
    void expectEnd(int64_t) override {}
};

std::vector<uint64_t> everyFrame(const RecordingTimelineSink &sink)
{
    std::vector<uint64_t> all;
    for (const auto &c : sink.calls()) all.insert(all.end(), size_t(c.count), c.hash);
    return all;
}

} // namespace

// The frame loop says ahead how long the video will be, so the end fade hands
// on a moving show's frames at once instead of holding its last second. The
// frames must be those of the fade that waits for the end, whatever ends the
// show: the last slide, music that stops a repeated pass (lyrics or not),
// song boundaries, an ending title, and every frame rate.
TEST_F(FrameLoopTest, TheEndFadeNeedNotWaitForTheEndToFadeIt)
{
    addPictures(4);
    project.settings.enableTransition = true;
    settings.SelectedTransitions = {15, 1, 6};
    project.settings.timeInterval = 4;
    project.settings.enableSync = false;
    project.settings.enableCaption = false;
    struct Case
    {
        const char *name;
        bool motion;
        int fps;
        int songs; // 0: none; 1: two songs, boundaries inside slides; 2: a song with lyrics; both end in the 2nd pass
        bool ending;
        // Whether the fade can be told before the last second's frames: not
        // when the music, having ended, cuts the last slide short, which the
        // loop finds only at its hold.
        bool toldAhead;
    } cases[] = {
        {"moving, last slide", true, 30, 0, false, true},
        {"moving, 60 fps, song boundaries", true, 60, 1, false, true},
        {"moving, ending title", true, 25, 1, true, true},
        {"moving, lyrics end the show", true, 30, 2, false, false},
        {"still, song boundaries", false, 30, 1, false, true},
        {"still, 25 fps, music ends a pass", false, 25, 2, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        project.settings.autoMotion = c.motion;
        project.settings.enableEnding = c.ending;
        project.settings.titleText[1] = QStringLiteral("再见");
        project.settings.endingDurationTime = 4;
        settings.fps = c.fps;
        std::unique_ptr<FakeSoundtrack> sound;
        if (c.songs == 1) {
            project.songs = {{QStringLiteral("/m/a.mp3"), 5.3f}, {QStringLiteral("/m/b.mp3"), 9.9f}};
            sound = std::make_unique<FakeSoundtrack>();
            sound->state.SongCount = 2;
            sound->state.SongDurations = {5.3, 9.9};
            sound->state.SlidePassCount = 2;
            sound->state.SoundtrackLength = 25.2;
        } else if (c.songs == 2) {
            project.songs = {{QStringLiteral("/m/a.mp3"), 14}};
            sound = std::make_unique<LyricSoundtrack>();
            sound->state.SlidePassCount = 2;
            sound->state.SoundtrackLength = 24.5;
        } else {
            project.songs.clear();
        }
        RecordingTimelineSink told, waited;
        EndFadeSink toldFade(told, c.fps);
        EndFadeSink waitedFade(waited, c.fps);
        DeafSink deaf(waitedFade);
        auto run = [&](TimelineSink &sink, EndFadeSink &fade) {
            FixedSeed seed(5);
            if (auto *lyric = dynamic_cast<LyricSoundtrack *>(sound.get())) lyric->lastAsked = 0;
            JobControl control;
            FrameLoop loop(project, settings, sink, sound.get(), control);
            const FrameLoopResult r = loop.RenderVideo();
            EXPECT_TRUE(fade.finish());
            return r.frames;
        };
        const int64_t frames = run(toldFade, toldFade);
        ASSERT_EQ(run(deaf, waitedFade), frames);
        ASSERT_GT(frames, 3 * c.fps);
        const auto a = everyFrame(told), b = everyFrame(waited);
        ASSERT_EQ(a.size(), size_t(frames));
        ASSERT_EQ(b.size(), size_t(frames));
        for (size_t f = 0; f < a.size(); ++f) ASSERT_EQ(a[f], b[f]) << "frame " << f << " of " << frames;
        // Told ahead, the fade held back no more than a picture or two (the
        // transitions' and moving slides' frames are each a picture of their
        // own); deaf, it held a second of them.
        if (c.toldAhead) {
            EXPECT_LE(toldFade.peakHeldPictures(), 2u);
        }
        if (c.motion) {
            EXPECT_GE(waitedFade.peakHeldPictures(), size_t(c.fps) / 2);
        }
    }
}
