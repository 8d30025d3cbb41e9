#include "CliRun.h"
#include "FixedSeed.h"
#include "FrameLoop.h"
#include "Motion.h"
#include "ProjectFile.h"
#include "ProjectKeys.h"
#include "Random.h"
#include "Transition.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace pvsm;
using pvsm::test::FixedSeed;

namespace {

constexpr int kGrey = 90;

// A grey picture with soft round marks (Gaussian, sigma 3 px) at `marks`
// (picture pixels), whose centres can be found to a fraction of a pixel in
// any frame that shows them.
QImage markedPicture(QSize size, const std::vector<QPointF> &marks)
{
    QImage img(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            double v = kGrey;
            for (const QPointF &m : marks) {
                const double dx = x + 0.5 - m.x(), dy = y + 0.5 - m.y();
                v += 160 * std::exp(-(dx * dx + dy * dy) / (2 * 3.0 * 3.0));
            }
            const int g = std::min(255, int(std::lround(v)));
            img.setPixel(x, y, qRgb(g, g, g));
        }
    return img;
}

struct Found
{
    QPointF centre;
    double mass = 0;
};

// The centre of what rises above the grey within `radius` of `near`.
Found findMark(const QImage &frame, QPointF near, int radius = 14)
{
    Found f;
    double sx = 0, sy = 0;
    for (int y = int(near.y()) - radius; y <= int(near.y()) + radius; ++y)
        for (int x = int(near.x()) - radius; x <= int(near.x()) + radius; ++x) {
            if (x < 0 || y < 0 || x >= frame.width() || y >= frame.height()) continue;
            const double w = std::max(0, qGreen(frame.pixel(x, y)) - kGrey);
            sx += w * (x + 0.5);
            sy += w * (y + 0.5);
            f.mass += w;
        }
    if (f.mass > 0) f.centre = QPointF(sx / f.mass, sy / f.mass);
    return f;
}

// Where a point of the picture (fractions) lands on the output when `rect` is on screen.
QPointF onOutput(QPointF fraction, const QRectF &rect, QSize out)
{
    return {(fraction.x() - rect.x()) / rect.width() * out.width(), (fraction.y() - rect.y()) / rect.height() * out.height()};
}

class MotionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        env.screenWidth = 320;
        env.screenHeight = 180;
        env.lyricSampleLineHeight = 20;
        project = Project::makeDefault(env);
        project.settings.timeInterval = 5;
        project.settings.enableTransition = false;
        project.settings.enableCaption = false;
        settings.videoSize = out;
        settings.editingScreen = out;
    }

    void addPicture(const QImage &img, const PictureMotion &motion = {})
    {
        const QString path = dir.filePath(QStringLiteral("p%1.png").arg(project.pictures.size()));
        ASSERT_TRUE(img.save(path));
        Picture p = project.newPicture(path, env);
        p.headline.clear();
        p.motion = motion;
        project.pictures.push_back(p);
    }

    // The frames of the show, one picture per frame.
    std::vector<QImage> frames()
    {
        RecordingTimelineSink sink(true);
        JobControl control;
        FrameLoop loop(project, settings, sink, nullptr, control);
        loop.RenderVideo();
        std::vector<QImage> all;
        for (size_t c = 0; c < sink.calls().size(); ++c)
            for (int n = 0; n < sink.calls()[c].count; ++n) all.push_back(sink.pictures()[c]);
        return all;
    }

    const QSize out{320, 180};
    QTemporaryDir dir;
    ProjectEnvironment env;
    Project project;
    FrameLoopSettings settings;
};

PictureMotion motion(QRectF start, QRectF end, int curve)
{
    PictureMotion m;
    m.on = true;
    m.start = start;
    m.end = end;
    m.curve = curve;
    return m;
}

} // namespace

// Two marks of a moving picture follow their intended paths within a quarter
// of a pixel in every frame, and the first and last frames of the slide show
// exactly the start and end rectangles (two marks fix place and scale).
TEST_F(MotionTest, MarkedPointsFollowTheirPathWithinAQuarterPixel)
{
    const QSize pic(480, 270);
    const std::vector<QPointF> marks = {{150.3, 100.7}, {330.6, 170.2}};
    for (int curve : {0, 1}) {
        SCOPED_TRACE(curve);
        project.pictures.clear();
        const PictureMotion m = motion({0, 0, 1, 1}, {0.2, 0.25, 0.55, 0.55}, curve);
        addPicture(markedPicture(pic, marks), m);
        const std::vector<QImage> all = frames();
        // Frame 1 is black; the one slide is 1 + 15 + 14 + 120 frames and the closing one.
        ASSERT_EQ(all.size(), 152u);
        const int64_t span = 151;
        double worst = 0;
        for (int64_t f = 0; f < span; ++f) {
            const QRectF rect = MotionRectAt(m, MotionProgress(f, span));
            for (const QPointF &mark : marks) {
                const QPointF want = onOutput({mark.x() / pic.width(), mark.y() / pic.height()}, rect, out);
                const Found got = findMark(all[size_t(f + 1)], want);
                ASSERT_GT(got.mass, 0);
                worst = std::max({worst, std::abs(got.centre.x() - want.x()), std::abs(got.centre.y() - want.y())});
            }
        }
        EXPECT_LT(worst, 0.25);
        // The slide's first and last frames are the two rectangles.
        EXPECT_EQ(MotionRectAt(m, MotionProgress(0, span)), m.start);
        const QRectF last = MotionRectAt(m, MotionProgress(span - 1, span));
        EXPECT_NEAR(last.x(), m.end.x(), 1e-9);
        EXPECT_NEAR(last.width(), m.end.width(), 1e-9);
        // Every frame differs from the one before: nothing is held still.
        for (int64_t f = 1; f < span; ++f) EXPECT_NE(all[size_t(f)], all[size_t(f + 1)]) << f;
    }
}

// Across a cross-fade both pictures keep moving on their paths: the outgoing
// one through the end of the fade, the incoming one from its first frame.
TEST_F(MotionTest, PicturesKeepMovingThroughTheTransition)
{
    project.settings.enableTransition = true;
    settings.SelectedTransitions = {15}; // cross-fade: 26 frames here
    FixedSeed seed(3);
    const QSize pic(480, 270);
    const QPointF markA(216.4, 120.2), markB(350.8, 150.5); // both stay well inside the frame
    const PictureMotion ma = motion({0, 0, 1, 1}, {0.3, 0.1, 0.6, 0.6}, 0);
    const PictureMotion mb = motion({0.1, 0.1, 0.8, 0.8}, {0, 0, 1, 1}, 1);
    addPicture(markedPicture(pic, {markA}), ma);
    addPicture(markedPicture(pic, {markB}), mb);
    const std::vector<QImage> all = frames();
    // Slide A: fade in 26, 30, hold 94, fade out 26; slide B: fade 26, 30, 94, the closing frame.
    const int64_t spanA = 176, spanB = 151;
    const int64_t startA = 1, startB = 1 + 150;
    ASSERT_EQ(int64_t(all.size()), 1 + 150 + 151);
    auto check = [&](const PictureMotion &m, QPointF mark, int64_t start, int64_t span, int64_t from, int64_t to) {
        double worst = 0;
        int measured = 0;
        for (int64_t f = from; f < to; ++f) {
            const QPointF want = onOutput({mark.x() / pic.width(), mark.y() / pic.height()},
                                          MotionRectAt(m, MotionProgress(f - start, span)), out);
            const Found got = findMark(all[size_t(f)], want);
            if (got.mass < 0.3 * 160 * 2 * M_PI * 9) continue; // mostly faded: too faint to place
            worst = std::max({worst, std::abs(got.centre.x() - want.x()), std::abs(got.centre.y() - want.y())});
            ++measured;
        }
        EXPECT_LT(worst, 0.25);
        return measured;
    };
    // A from its hold into the fade that takes it away, B from the fade that brings it in.
    EXPECT_GT(check(ma, markA, startA, spanA, startA + 56, startA + spanA), 100);
    EXPECT_GT(check(mb, markB, startB, spanB, startB, startB + 40), 20);
}

// A project without motion keys reads as still pictures and exports as
// before: each hold is one picture written for all its frames, the still slide.
TEST_F(MotionTest, OldProjectsReadAsStillAndHoldTheirSlides)
{
    addPicture(markedPicture({160, 90}, {{50, 40}}));
    addPicture(markedPicture({160, 90}, {{90, 30}}));
    PropertyBag bag;
    Project written = project;
    WriteProjectBag(written, bag, BagMode::Full, {});
    for (const auto &e : bag.entries()) EXPECT_FALSE(e.key.contains(QLatin1String("Motion"))) << e.key.toStdString();
    Project read = Project::makeDefault(env);
    ReadProjectBag(read, bag, BagMode::Full, env);
    ASSERT_EQ(read.pictures.size(), 2u);
    EXPECT_FALSE(read.settings.autoMotion);
    for (const Picture &p : read.pictures) EXPECT_FALSE(p.motion.on);

    RecordingTimelineSink sink;
    JobControl control;
    FrameLoop loop(read, settings, sink, nullptr, control);
    loop.RenderVideo();
    std::vector<int> counts;
    for (const auto &c : sink.calls()) counts.push_back(c.count);
    EXPECT_EQ(counts, (std::vector<int>{1, 1, 15, 14, 120, 1, 15, 14, 120, 1}));
    EXPECT_EQ(sink.calls()[4].hash, RecordingFrameSink::hashImage(loop.ComposeSlide(1)));
    EXPECT_EQ(sink.calls()[8].hash, RecordingFrameSink::hashImage(loop.ComposeSlide(2)));
}

// With the automatic motion every slide moves, each towards another point
// than the slide before it; the first frame shows the picture where its
// draw mode puts it at rest.
TEST_F(MotionTest, AutomaticMotionZoomsEverySlideTowardsChangingPoints)
{
    const QRectF rest = OutputOnPicture(RestPlacement({400, 300}, 3, {320, 180}), {320, 180});
    EXPECT_NEAR(rest.height(), 1.0, 1e-12); // 4:3 fitted into 16:9: full height, wider than the picture
    EXPECT_NEAR(rest.width(), 320.0 / 240.0, 1e-12);
    EXPECT_NEAR(rest.x(), -(320.0 / 240.0 - 1) / 2, 1e-12);
    QRectF before;
    for (int64_t n = 1; n <= 9; ++n) {
        const PictureMotion m = AutomaticMotion(n, rest);
        EXPECT_EQ(m, AutomaticMotion(n, rest));
        EXPECT_EQ(m.start, rest);
        EXPECT_NEAR(m.start.width() / m.end.width(), kAutoMotionZoom, 1e-12);
        EXPECT_NEAR(m.start.height() / m.end.height(), kAutoMotionZoom, 1e-12);
        EXPECT_TRUE(m.start.contains(m.end));
        EXPECT_NE(m.end, before) << n;
        before = m.end;
    }

    project.settings.autoMotion = true;
    addPicture(markedPicture({400, 225}, {{200, 112}}));
    addPicture(markedPicture({400, 225}, {{100, 60}}));
    const std::vector<QImage> all = frames();
    ASSERT_EQ(all.size(), 302u);
    for (size_t f = 2; f < all.size() - 1; ++f) EXPECT_NE(all[f - 1], all[f]) << f;
}

// The motion keys survive a save and an open, read as off when absent or
// malformed, and are set and cleared through the key editor the CLI uses.
TEST_F(MotionTest, MotionKeysRoundTripAndAreSetLikeAnyOtherKey)
{
    addPicture(markedPicture({160, 90}, {}), motion({0.1, 0.2, 0.5, 0.5}, {-0.05, 0, 1.2, 1.2}, 1));
    addPicture(markedPicture({160, 90}, {}));
    project.settings.autoMotion = true;
    PropertyBag bag;
    Project written = project;
    WriteProjectBag(written, bag, BagMode::Full, {});
    EXPECT_EQ(bag.getString(key::item(key::ImgMotion, 1)), QStringLiteral("0.1,0.2,0.5,0.5;-0.05,0,1.2,1.2;1"));
    Project read = Project::makeDefault(env);
    ReadProjectBag(read, bag, BagMode::Full, env);
    EXPECT_TRUE(read.settings.autoMotion);
    EXPECT_EQ(read.pictures[0].motion, project.pictures[0].motion);
    EXPECT_FALSE(read.pictures[1].motion.on);

    for (const char *bad : {"", "1,2,3;0,0,1,1;0", "0,0,1,1;0,0,1,1;2", "0,0,0,1;0,0,1,1;0", "0,0,1,1;nan,0,1,1;0",
                            "0,0,1,1;0,0,1,1"}) {
        bag.putStr(key::item(key::ImgMotion, 1), QString::fromLatin1(bad));
        ReadProjectBag(read, bag, BagMode::Full, env);
        EXPECT_FALSE(read.pictures[0].motion.on) << bad;
    }

    QString error;
    ASSERT_TRUE(setProjectKey(project, QStringLiteral("ImgMotion(2)"), QStringLiteral("0,0,1,1;0.25,0.25,0.5,0.5;0"),
                              env, {}, &error))
        << error.toStdString();
    EXPECT_EQ(project.pictures[1].motion, motion({0, 0, 1, 1}, {0.25, 0.25, 0.5, 0.5}, 0));
    EXPECT_FALSE(setProjectKey(project, QStringLiteral("ImgMotion(2)"), QStringLiteral("0,0,1"), env, {}, &error));
    EXPECT_TRUE(project.pictures[1].motion.on);
    ASSERT_TRUE(setProjectKey(project, QStringLiteral("ImgMotion(2)"), QString(), env, {}, &error));
    EXPECT_FALSE(project.pictures[1].motion.on);
    ASSERT_TRUE(setProjectKey(project, QStringLiteral("AutoMotion"), QStringLiteral("false"), env, {}, &error));
    EXPECT_FALSE(project.settings.autoMotion);
    EXPECT_FALSE(setProjectKey(project, QStringLiteral("ImgMotion(3)"), QStringLiteral("0,0,1,1;0,0,1,1;0"), env, {}, &error));
}

// Caption and headline stay where they are placed while the picture moves
// under them, also while the headline's effect runs: every frame is the
// moving picture itself outside their boxes, and the texts show in them.
TEST_F(MotionTest, TextsStayInTheirBoxesOverTheMovingPicture)
{
    FixedSeed seed(5);
    project.settings.enableCaption = true;
    project.settings.enableHeadlineEffect = true;
    const PictureMotion m = motion({0, 0, 1, 1}, {0.3, 0.3, 0.6, 0.6}, 1);
    addPicture(markedPicture({480, 270}, {{300, 180}}), m);
    Picture &p = project.pictures[0];
    p.caption = QStringLiteral("说明文字");
    p.captionBox = {20, 130, 200, 40};
    p.headline = QStringLiteral("标题");
    p.headlineBox = {20, 10, 200, 60};
    p.headDynamicStyle = 0;
    // Sizes that fit the boxes of this small output.
    project.settings.textStyles[0].size = 20;
    p.headStyle.size = 28;
    const std::vector<QImage> all = frames();
    const int64_t span = int64_t(all.size()) - 1;
    ASSERT_GT(span, 150); // the effect's frames come on top of the slide's 150

    JobControl control;
    RecordingTimelineSink unused;
    const FrameLoop loop(project, settings, unused, nullptr, control);
    const QRect boxes[2] = {loop.captionRect(1).toAlignedRect().adjusted(-8, -8, 8, 8),
                            loop.headlineRect(1).toAlignedRect().adjusted(-8, -8, 8, 8)};
    QImage background(out, QImage::Format_RGB32);
    background.fill(Qt::black);
    const auto slide = MovingSlide::prepare(p.path, m, background);
    ASSERT_TRUE(slide);
    QImage bare;
    int outside = 0, textFrames = 0;
    for (int64_t f = 0; f < span; ++f) {
        slide->drawFrame(bare, MotionProgress(f, span), false);
        const QImage &got = all[size_t(f + 1)];
        bool textShown = false;
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x) {
                const bool inBox = boxes[0].contains(x, y) || boxes[1].contains(x, y);
                const bool same = got.pixel(x, y) == bare.pixel(x, y);
                if (!inBox && !same) ++outside;
                if (boxes[1].contains(x, y) && !same) textShown = true;
            }
        if (textShown) ++textFrames;
    }
    EXPECT_EQ(outside, 0);
    // The headline shows from some frame of its effect on, to the slide's end.
    EXPECT_GT(textFrames, 120);
    slide->drawFrame(bare, 1.0, false);
    EXPECT_NE(all.back().copy(boxes[0]), bare.copy(boxes[0])) << "the caption is drawn";
    EXPECT_NE(all.back().copy(boxes[1]), bare.copy(boxes[1])) << "the headline is drawn";
}

// The command line sets the motion keys like any other key and refuses a
// motion it cannot read.
TEST(MotionCli, ProjectSetTakesTheMotionKeys)
{
    QTemporaryDir dir;
    QStringList make = {QStringLiteral("project"), QStringLiteral("new"), dir.filePath(QStringLiteral("p.aps"))};
    for (const char *name : {"a.png", "b.png"}) {
        QImage img(64, 36, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        ASSERT_TRUE(img.save(dir.filePath(QString::fromLatin1(name))));
        make << QStringLiteral("--picture") << dir.filePath(QString::fromLatin1(name));
    }
    const QString file = dir.filePath(QStringLiteral("p.aps"));
    ASSERT_EQ(test::cli(make).exitCode, 0);
    const test::CliRun set = test::cli({QStringLiteral("project"), QStringLiteral("set"), file,
                                        QStringLiteral("ImgMotion(2)=0,0,1,1;0.1,0.1,0.8,0.8;1"),
                                        QStringLiteral("AutoMotion=true")});
    ASSERT_EQ(set.exitCode, 0) << set.err.toStdString();
    const test::CliRun shown = test::cli({QStringLiteral("project"), QStringLiteral("show"), file});
    EXPECT_TRUE(shown.out.contains(QStringLiteral("ImgMotion(2): Str 0,0,1,1;0.1,0.1,0.8,0.8;1\n"))) << shown.out.toStdString();
    EXPECT_TRUE(shown.out.contains(QStringLiteral("AutoMotion: Bool true\n")));
    EXPECT_FALSE(shown.out.contains(QStringLiteral("ImgMotion(1)")));
    EXPECT_EQ(test::cli({QStringLiteral("project"), QStringLiteral("set"), file, QStringLiteral("ImgMotion(1)=0,0,1,1")}).exitCode, 1);
}

namespace {

// A picture with detail everywhere, moved right by `shift` pixels, so a
// transition that moves pixels differs from one that blends them.
QImage texture(QSize size, int shift, int seed)
{
    QImage img(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const int u = x - shift;
            img.setPixel(x, y, qRgb((u * 7 + y * 3 + seed * 50) & 255, (u * u + y * 11 + seed) & 255, (y * y + u * 5) & 255));
        }
    return img;
}

} // namespace

// Every transition between moving pictures gives, as its frame f, what it
// draws as frame f between the two pictures of frame f: the transitions
// that only blend by one run from black to white, the others run per frame.
TEST(MotionTransitions, EachFrameIsTheTransitionOfThatFramesPictures)
{
    const QSize size(80, 48);
    const uint32_t seed = 1234;
    for (int id = 0; id < kTransitionCount; ++id) {
        for (int v2 : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "transition " << id << " v2 " << v2);
            const int v4 = 3 - v2;
            auto run = [&](FrameSink &sink, clsMemDC &from, const clsMemDC &to) {
                TransitionContext c{sink, 10, 2, 2};
                RunTransition(c, id, from, to, v2, v4);
            };
            clsMemDC from(size.width(), size.height()), to(size.width(), size.height());
            auto prepare = [&](int64_t f) {
                from.image() = texture(size, int(f), 1);
                to.image() = texture(size, -int(f), 2);
            };
            RecordingFrameSink got(true);
            RenderTransitionOverMotion(got, seed, from, to, prepare, run);

            // Frame f drawn from scratch between the pictures of frame f.
            for (size_t f = 0; f < got.calls().size(); ++f) {
                RandomSource &g = RandomSource::global();
                const RandomSource saved = g;
                g.setFixedSeed(seed);
                g.reseedFromClock();
                clsMemDC a(size.width(), size.height()), b(size.width(), size.height());
                a.image() = texture(size, int(f), 1);
                b.image() = texture(size, -int(f), 2);
                RecordingFrameSink all(true);
                run(all, a, b);
                g = saved;
                QImage want;
                size_t seen = 0;
                for (size_t c = 0; c < all.calls().size() && want.isNull(); ++c) {
                    if (f < seen + size_t(all.calls()[c].count)) want = all.kept()[c];
                    seen += size_t(all.calls()[c].count);
                }
                ASSERT_FALSE(want.isNull()) << "frame " << f << " is one the transition draws";
                const QImage &have = got.kept()[f];
                int worst = 0;
                for (int y = 0; y < size.height(); ++y)
                    for (int x = 0; x < size.width(); ++x) {
                        const QRgb p = have.pixel(x, y), q = want.pixel(x, y);
                        worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                          std::abs(qBlue(p) - qBlue(q))});
                    }
                ASSERT_LE(worst, 3) << "frame " << f;
            }
            EXPECT_GT(got.calls().size(), 2u);
        }
    }
}
