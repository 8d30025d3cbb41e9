#include "EffectPreview.h"

#include "FrameSink.h"
#include "Transition.h"

#include <QColor>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>

using namespace pvsm;

namespace {

// What the view was given, and when.
struct RecordingDisplay final : FrameDisplay
{
    explicit RecordingDisplay(PlaybackClock &c) : clock(c) {}
    void present(const QImage &frame, int64_t frameNumber) override
    {
        times.push_back(clock.now());
        numbers.push_back(frameNumber);
        hashes.push_back(RecordingFrameSink::hashImage(frame));
        last = frame.copy();
        if (onPresent) onPresent();
    }
    PlaybackClock &clock;
    std::vector<double> times;
    std::vector<int64_t> numbers;
    std::vector<uint64_t> hashes;
    QImage last;
    std::function<void()> onPresent;
};

class EffectPreviewRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ProjectEnvironment env;
        project = Project::makeDefault(env);
        const QColor colours[] = {QColor(200, 30, 30), QColor(30, 60, 220)};
        for (int i = 0; i < 2; ++i) {
            QImage image(320, 180, QImage::Format_RGB32);
            image.fill(colours[i]);
            const QString path = dir.filePath(QStringLiteral("p%1.png").arg(i));
            ASSERT_TRUE(image.save(path));
            project.pictures.push_back(project.newPicture(path, env));
        }
        project.settings.transitionSpeed = 2500;
    }

    EffectPreviewRequest request(PreviewKind kind, int effect) const
    {
        EffectPreviewRequest r;
        r.kind = kind;
        r.effect = effect;
        r.project = project;
        r.current = 0;
        r.second = 1;
        r.viewSize = QSize(192, 108);
        return r;
    }

    QTemporaryDir dir;
    Project project;
};

} // namespace

TEST(EffectPreviewPacing, TransitionDurationsFollowTheSpeedWithTheirExceptions)
{
    struct Case
    {
        int id, speedMs;
        double seconds;
    };
    const Case cases[] = {{0, 2500, 2.5}, {15, 1000, 1.0}, {8, 2500, 2.5}, {19, 2500, 3.0},
                          {20, 2500, 3.0}, {21, 2500, 2.7}, {21, 1000, 1.2}, {13, 0, 0.001}};
    for (const Case &c : cases)
        EXPECT_DOUBLE_EQ(transitionPreviewSeconds(c.id, c.speedMs), c.seconds) << c.id << " at " << c.speedMs;
    EXPECT_EQ(previewTransitionFrames(2.5), 150);
    EXPECT_EQ(previewTransitionFrames(0.001), 1);
}

TEST(EffectPreviewPacing, SpinScatterPacesItsPhasesAgainstFourTenthsOfTheSpeed)
{
    const std::vector<int> counts = {1, 1, 1, 12, 1, 1};
    const std::vector<PacingPhase> phases = transitionPacing(8, 2000, counts);
    const std::vector<PacingPhase> expected = {{3, 0.8}, {1, 0.4}, {-1, 0.8}};
    ASSERT_EQ(phases.size(), expected.size());
    for (size_t i = 0; i < phases.size(); ++i) {
        EXPECT_EQ(phases[i].calls, expected[i].calls);
        EXPECT_DOUBLE_EQ(phases[i].seconds, expected[i].seconds);
    }
    // Any other transition is one phase over its whole duration.
    EXPECT_EQ(transitionPacing(5, 2000, counts), (std::vector<PacingPhase>{{-1, 2.0}}));
}

TEST(EffectPreviewPacing, HeadlineRenderTimeIsTakenOffUpToTheCap)
{
    struct Case
    {
        int value;
        double render, allowance, total; // total: the planned phases together
    };
    const Case cases[] = {
        {0, 0.0, 0.0, 0.9},      {0, 0.3, 0.3, 0.6},   {0, 1.0, 0.0, 0.9},  // fade, cap 900
        {1, 0.8, 0.8, 0.0},      {1, 0.81, 0.0, 0.8},                        // left to right
        {2, 0.85, 0.85, 0.05},   {2, 0.86, 0.0, 0.9},                        // slide in, cap 850
        {3, 0.2, 0.2, 0.7},                                                  // 300 still + 600 - 200
        {4, 0.5, 0.0, 0.5 + 14 * 0.5 / 11}, {4, 0.1, 0.1, 0.4 + 14 * 0.5 / 11}, // stretch, cap 400
        {7, 0.1, 0.1, 0.3 + 0.25 + 0.35},                                    // hop
        {8, 0.9, 0.9, 0.035},    {8, 0.0, 0.0, 0.92},                        // gather: main never below 0
    };
    for (const Case &c : cases) {
        EXPECT_DOUBLE_EQ(renderAllowance(c.value, c.render), c.allowance) << c.value << " " << c.render;
        const std::vector<PacingPhase> phases = headlinePacing(c.value, c.render);
        const double total = std::accumulate(phases.begin(), phases.end(), 0.0,
                                             [](double s, const PacingPhase &p) { return s + p.seconds; });
        EXPECT_NEAR(total, c.total, 1e-9) << c.value << " " << c.render;
    }
    EXPECT_TRUE(headlinePacing(9, 0).empty());
}

TEST(EffectPreviewPacing, ScheduleSpreadsWritesByTheFramesTheyStandFor)
{
    const std::vector<int> counts = {1, 2, 1, 1, 1, 1};
    // Two writes (three frames) in 0.3 s, a held phase whose writes are
    // missing past the end of the list, the rest in 1 s.
    const std::vector<PacingPhase> phases = {{2, 0.3}, {-1, 1.0}, {3, 0.5}};
    const PacedSchedule s = scheduleCalls(counts, phases);
    const std::vector<double> expected = {0.0, 0.1, 0.3, 0.55, 0.8, 1.05};
    ASSERT_EQ(s.starts.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(s.starts[i], expected[i], 1e-12) << i;
    EXPECT_DOUBLE_EQ(s.end, 1.8);
    // Writes beyond the phases wait for the end.
    const PacedSchedule over = scheduleCalls(counts, std::vector<PacingPhase>{{2, 0.3}});
    EXPECT_DOUBLE_EQ(over.starts.back(), 0.3);
    EXPECT_DOUBLE_EQ(over.end, 0.3);
}

TEST(EffectPreviewPacing, VariantCountersRunThroughTheirRanges)
{
    VariantCounters c;
    std::vector<int> four, two, three;
    for (int run = 0; run < 6; ++run) {
        c.normalise();
        four.push_back(c.fourWay());
        two.push_back(c.twoWay());
        three.push_back(c.threeWay());
        c.advance();
    }
    EXPECT_EQ(four, (std::vector<int>{0, 1, 2, 3, 0, 1}));
    EXPECT_EQ(two, (std::vector<int>{0, 1, 0, 1, 0, 1}));
    EXPECT_EQ(three, (std::vector<int>{0, 1, 2, 0, 1, 2}));
}

TEST_F(EffectPreviewRun, EveryTransitionLastsItsPreviewDuration)
{
    for (int id = 0; id < int(transitionCatalogue().size()); ++id) {
        VirtualPlaybackClock clock;
        RecordingDisplay display(clock);
        const EffectPreviewResult r = RunEffectPreview(request(PreviewKind::Transition, id), clock, display);
        ASSERT_TRUE(r.ran) << id;
        EXPECT_NEAR(r.end - r.firstFrame, transitionPreviewSeconds(id, 2500), 1e-9) << id;
        // The still first, then every write at its time, never past the end.
        ASSERT_EQ(display.times.size(), size_t(r.writes) + 1) << id;
        EXPECT_GE(r.writes, 4) << id; // the checker lines write one per pixel of a 5-pixel half cell here
        EXPECT_TRUE(std::is_sorted(display.times.begin(), display.times.end())) << id;
        EXPECT_LT(display.times.back(), r.end) << id;
        // The last picture is the new one (blue), the first the old one (red).
        const QRgb first = display.last.pixel(display.last.width() / 2, display.last.height() / 2);
        EXPECT_GT(qBlue(first), 150) << id;
        EXPECT_LT(qRed(first), 100) << id;
    }
}

TEST_F(EffectPreviewRun, SpinScatterHoldsForAFifthOfTheSpeed)
{
    VirtualPlaybackClock clock;
    RecordingDisplay display(clock);
    const EffectPreviewResult r = RunEffectPreview(request(PreviewKind::Transition, 8), clock, display);
    ASSERT_TRUE(r.ran);
    // The write after the hold comes 0.4 + 0.2 of the speed after the first.
    const auto hold = std::adjacent_find(display.numbers.begin() + 1, display.numbers.end(),
                                         [](int64_t a, int64_t b) { return b - a > 1; });
    ASSERT_NE(hold, display.numbers.end());
    const size_t after = size_t(hold - display.numbers.begin()) + 1;
    EXPECT_NEAR(display.times[after] - r.firstFrame, 1.5, 1e-9);
    EXPECT_NEAR(display.times[after - 1] - r.firstFrame, 1.0, 1e-9);
}

TEST_F(EffectPreviewRun, HeadlineEffectsLastTheirTableDurationFromTheClick)
{
    for (int value = 0; value <= 8; ++value) {
        for (const double render : {0.0, 0.3, 1.0}) {
            VirtualPlaybackClock clock;
            clock.set(10.0);
            RecordingDisplay display(clock);
            EffectPreviewRequest req = request(PreviewKind::Headline, value);
            req.started = 10.0 - render; // the click came `render` seconds before the first frame
            const EffectPreviewResult r = RunEffectPreview(req, clock, display);
            ASSERT_TRUE(r.ran) << value;
            EXPECT_NEAR(r.renderSeconds, render, 1e-9);
            const std::vector<PacingPhase> phases = headlinePacing(value, render);
            const double planned = std::accumulate(phases.begin(), phases.end(), 0.0,
                                                   [](double s, const PacingPhase &p) { return s + p.seconds; });
            EXPECT_NEAR(r.end - r.firstFrame, planned, 1e-9) << value << " " << render;
            EXPECT_GT(r.writes, 8) << value;
        }
    }
    // The fade's 900 ms count from the click while rendering stays under the cap.
    VirtualPlaybackClock clock;
    clock.set(0.3);
    RecordingDisplay display(clock);
    EffectPreviewRequest req = request(PreviewKind::Headline, 0);
    req.started = 0;
    EXPECT_NEAR(RunEffectPreview(req, clock, display).end, 0.9, 1e-9);
}

TEST_F(EffectPreviewRun, SlideInShowsItsFourVariants)
{
    project.pictures[0].headline = QStringLiteral("标题");
    std::set<uint64_t> seconds;
    for (int v4 = 0; v4 < 4; ++v4) {
        VirtualPlaybackClock clock;
        RecordingDisplay display(clock);
        EffectPreviewRequest req = request(PreviewKind::Headline, 2);
        req.v4 = v4;
        ASSERT_TRUE(RunEffectPreview(req, clock, display).ran);
        ASSERT_GT(display.hashes.size(), 3u);
        seconds.insert(display.hashes[2]); // the sprite on its way in
    }
    EXPECT_EQ(seconds.size(), 4u);
}

TEST_F(EffectPreviewRun, LyricHighlightRunsOneBoxWidthPerSecondPerLine)
{
    for (const int style : {2, 3}) {
        VirtualPlaybackClock clock;
        RecordingDisplay display(clock);
        project.settings.lyricStyle = style;
        EffectPreviewRequest req = request(PreviewKind::Lyric, 0);
        req.viewSize = QSize(640, 360);
        const EffectPreviewResult r = RunEffectPreview(req, clock, display);
        ASSERT_TRUE(r.ran) << style;
        EXPECT_NEAR(r.end - r.firstFrame, style == 2 ? 1.0 : 2.0, 1e-9);
        // About kPreviewFps pictures per line, the uncovered part growing.
        EXPECT_GE(r.writes, (style == 2 ? 1 : 2) * 50) << style;
        EXPECT_NE(display.hashes[1], display.hashes.back());
    }
    for (const int still : {0, 1}) {
        VirtualPlaybackClock clock;
        RecordingDisplay display(clock);
        project.settings.lyricStyle = still;
        EXPECT_FALSE(RunEffectPreview(request(PreviewKind::Lyric, 0), clock, display).ran);
        EXPECT_TRUE(display.times.empty());
    }
}

TEST_F(EffectPreviewRun, NeedsItsPicturesAndStopsWhenAsked)
{
    VirtualPlaybackClock clock;
    RecordingDisplay display(clock);
    project.pictures.pop_back();
    EXPECT_FALSE(RunEffectPreview(request(PreviewKind::Transition, 0), clock, display).ran);
    EXPECT_TRUE(RunEffectPreview(request(PreviewKind::Headline, 0), clock, display).ran);
    project.pictures.clear();
    EXPECT_FALSE(RunEffectPreview(request(PreviewKind::Headline, 0), clock, display).ran);

    SetUp();
    std::atomic<bool> stop{false};
    RecordingDisplay stopping(clock);
    stopping.onPresent = [&] {
        if (stopping.times.size() == 5) stop = true;
    };
    const double t0 = clock.now();
    const EffectPreviewResult r = RunEffectPreview(request(PreviewKind::Transition, 15), clock, stopping, &stop);
    EXPECT_EQ(stopping.times.size(), 5u);
    EXPECT_LT(r.end - t0, 1.0);
}
