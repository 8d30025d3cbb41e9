#include "FixedSeed.h"
#include "FrameLoop.h"
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
