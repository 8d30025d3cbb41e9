// The show at 25, 30 and 60 frames a second: every part lasts as many
// seconds as at 30.
#include "FixedSeed.h"
#include "FrameLoop.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

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

// Consecutive writes of the same picture as one run: where it starts and how
// long it stays, in seconds.
struct PictureRun
{
    uint64_t hash;
    double start, seconds;
};
std::vector<PictureRun> runsOf(const RecordingTimelineSink &sink, int fps)
{
    std::vector<PictureRun> runs;
    for (const auto &c : sink.calls()) {
        const double start = double(c.firstFrame - 1) / fps;
        if (!runs.empty() && runs.back().hash == c.hash && std::abs(runs.back().start + runs.back().seconds - start) < 1e-9)
            runs.back().seconds += double(c.count) / fps;
        else
            runs.push_back({c.hash, start, double(c.count) / fps});
    }
    return runs;
}

class FpsTest : public ::testing::Test
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
            img.fill(QColor::fromHsv(i * 50 % 360, 200, 220));
            const QString path = dir.filePath(QStringLiteral("p%1.png").arg(i));
            img.save(path);
            project.pictures.push_back(project.newPicture(path, env));
        }
    }

    FrameLoopResult render(RecordingTimelineSink &sink, int fps, Soundtrack *soundtrack = nullptr)
    {
        FixedSeed seed(7);
        settings.fps = fps;
        JobControl control;
        FrameLoop loop(project, settings, sink, soundtrack, control);
        return loop.RenderVideo();
    }

    // Renders at 30 and at `fps` and checks that every picture of the show
    // starts at the same second and the show ends at the same second, within
    // the rounding to whole frames of both rates. At 25 a picture shown for
    // less than a 25th of a second may be left out; at 60 none is.
    void expectSameSeconds(int fps)
    {
        SCOPED_TRACE(testing::Message() << fps << " frames a second");
        RecordingTimelineSink at30, atFps;
        const FrameLoopResult r30 = render(at30, 30);
        const FrameLoopResult r = render(atFps, fps);
        const double tolerance = 1.0 / 30 + 1.0 / fps + 1e-9;
        EXPECT_NEAR(double(r.frames) / fps, double(r30.frames) / 30, tolerance);
        const std::vector<PictureRun> a = runsOf(at30, 30), b = runsOf(atFps, fps);
        ASSERT_GE(a.size(), 3u);
        size_t i = 0;
        uint64_t last = 0;
        for (const PictureRun &run : b) {
            while (i < a.size() && a[i].hash != run.hash) {
                // Left out, or joined to the run before it when the picture
                // between them was left out.
                EXPECT_TRUE(fps < 30 && (a[i].seconds < 1.0 / fps + 1e-9 || a[i].hash == last))
                    << "a picture of " << a[i].seconds << " s at " << a[i].start << " s is missing";
                ++i;
            }
            last = run.hash;
            ASSERT_LT(i, a.size()) << "a picture at " << run.start << " s that 30 frames a second do not show";
            EXPECT_NEAR(run.start, a[i].start, tolerance) << "picture " << i;
            ++i;
        }
        if (fps > 30) {
            EXPECT_EQ(b.size(), a.size());
        }
    }

    QTemporaryDir dir;
    ProjectEnvironment env;
    Project project;
    FrameLoopSettings settings;
};

} // namespace

TEST(RateSink, EachFrameShowsTheStepOnScreenAtItsStart)
{
    const std::vector<int> counts = {1, 15, 1, 1, 1, 2, 14, 3, 1, 1, 7};
    const int total = 47;
    for (const int fps : {25, 30, 60}) {
        SCOPED_TRACE(fps);
        RecordingFrameSink out;
        RateSink steps(out, fps);
        std::vector<QImage> pictures;
        for (size_t k = 0; k < counts.size(); ++k) {
            QImage p(4, 4, QImage::Format_RGB32);
            p.fill(qRgb(int(k) * 20, 0, 0));
            pictures.push_back(p);
            steps.WriteFrame(p, counts[k]);
        }
        EXPECT_EQ(steps.framesWritten(), total);
        // Frame j lies at j / fps seconds: it shows the step whose
        // thirtieths [from, to) hold that time.
        std::vector<uint64_t> expected;
        for (int j = 0; j * 30 < total * fps; ++j) {
            int from = 0;
            for (size_t k = 0; k < counts.size(); ++k) {
                if (j * 30 >= from * fps && j * 30 < (from + counts[k]) * fps) {
                    expected.push_back(RecordingFrameSink::hashImage(pictures[k]));
                    break;
                }
                from += counts[k];
            }
        }
        std::vector<uint64_t> shown;
        for (const auto &c : out.calls())
            for (int n = 0; n < c.count; ++n) shown.push_back(c.hash);
        EXPECT_EQ(shown, expected);
        EXPECT_EQ(out.framesWritten(), RateSink::outputFrames(total, fps));
        if (fps == 30) {
            // Nothing changes at 30: the same writes with the same counts.
            ASSERT_EQ(out.calls().size(), counts.size());
            for (size_t k = 0; k < counts.size(); ++k) EXPECT_EQ(out.calls()[k].count, counts[k]);
        }
    }
}

TEST_F(FpsTest, HeldSlidesLastTheirSeconds)
{
    addPictures(3);
    project.pictures[1].slideDuration = 7.3f;
    for (const int fps : {25, 60}) expectSameSeconds(fps);
    // Five seconds a slide, a thirtieth of black before and after.
    RecordingTimelineSink sink;
    EXPECT_EQ(render(sink, 60).frames, 2 + 300 + 438 + 300 + 2);
}

TEST_F(FpsTest, TransitionsLastTheirSeconds)
{
    addPictures(24);
    project.settings.enableTransition = true;
    project.settings.transitionSpeed = 1500;
    settings.TransitionFrames = 45;
    for (int id = 0; id < 23; ++id) settings.SelectedTransitions.push_back(id);
    for (const int fps : {25, 60}) expectSameSeconds(fps);
}

TEST_F(FpsTest, HeadlineEffectsLastTheirSeconds)
{
    addPictures(9);
    project.settings.enableHeadlineEffect = true;
    for (int i = 0; i < 9; ++i) {
        Picture &p = project.pictures[size_t(i)];
        p.headline = QStringLiteral("标题%1").arg(i);
        p.headDynamicStyle = i;
        p.headlineBox = {20, 20, 280, 60};
    }
    for (const int fps : {25, 60}) expectSameSeconds(fps);
}

TEST_F(FpsTest, TitlesLastTheirSeconds)
{
    addPictures(2);
    Settings &s = project.settings;
    s.enableOpening = s.enableEnding = true;
    s.titleText = {QStringLiteral("开场\r\n第二行"), QStringLiteral("谢谢\r\n再见")};
    s.openingDurationTime = 8;
    s.endingDurationTime = 4;
    for (const int style : {0, 1, 2}) {
        SCOPED_TRACE(style);
        s.titleStyle = style;
        for (const int fps : {25, 60}) expectSameSeconds(fps);
        // The music starts when the opening ends, 8 s in, whatever the rate;
        // the bare title picture stands for its first second.
        for (const int fps : {25, 30, 60}) {
            RecordingTimelineSink sink;
            const FrameLoopResult r = render(sink, fps);
            EXPECT_EQ(r.musicStartFrame, 8 * fps) << fps;
            EXPECT_EQ(sink.calls()[0].count, fps) << fps;
        }
    }
}

TEST_F(FpsTest, SongBoundariesAlignSlidesAtTheirSeconds)
{
    addPictures(3);
    project.songs = {{QStringLiteral("/m/a.mp3"), 5.3f}, {QStringLiteral("/m/b.mp3"), 100}};
    FakeSoundtrack sound;
    sound.state.SongCount = 2;
    sound.state.SoundtrackLength = 105.3;
    sound.state.SongDurations = {5.3, 100};
    for (const int fps : {25, 30, 60}) {
        SCOPED_TRACE(fps);
        RecordingTimelineSink sink;
        const FrameLoopResult r = render(sink, fps, &sound);
        // The second slide starts exactly when the first song ends, 5.3 s
        // after the music started.
        const std::vector<PictureRun> runs = runsOf(sink, fps);
        ASSERT_GE(runs.size(), 3u);
        EXPECT_NEAR(runs[2].start - double(r.musicStartFrame) / fps, 5.3, 0.5 / fps + 1e-9);
    }
}
