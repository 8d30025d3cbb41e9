#include "ProjectBounds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace pvsm;

TEST(ProjectBounds, ADefaultProjectIsInRange)
{
    ProjectEnvironment env;
    Project p = Project::makeDefault(env);
    p.pictures.push_back(p.newPicture(QStringLiteral("/x/a.jpg"), env));
    const Project before = p;
    EXPECT_TRUE(BoundProjectNumbers(p, env.screenWidth, env.screenHeight).isEmpty());
    EXPECT_EQ(p, before);
}

TEST(ProjectBounds, SecondsAndMillisecondsAreHeldToTheirRanges)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case
    {
        float timeInterval, slideDuration;
        int32_t transitionMs;
        float wantInterval, wantSlide;
        int32_t wantMs;
        int notes;
    };
    const Case cases[] = {
        {10, 0, 1000, 10, 0, 1000, 0},               // every default untouched
        {3600, 3600, 2500, 3600, 3600, 2500, 0},     // the largest values stay
        {3600.5f, 1e30f, 2501, 3600, 3600, 2500, 3}, // just past them
        {nan, -1, 0, 10, 0, 1000, 3},                // nonsense becomes the default
        {inf, nan, -5, 10, 0, 1000, 3},
    };
    for (const Case &c : cases) {
        Project p;
        p.settings.timeInterval = c.timeInterval;
        p.settings.transitionSpeed = c.transitionMs;
        Picture pic;
        pic.slideDuration = c.slideDuration;
        pic.captionBox = pic.headlineBox = {10, 10, 100, 50};
        p.pictures.push_back(pic);
        const QStringList notes = BoundProjectNumbers(p, 1920, 1080);
        EXPECT_EQ(p.settings.timeInterval, c.wantInterval) << c.timeInterval;
        EXPECT_EQ(p.pictures[0].slideDuration, c.wantSlide) << c.slideDuration;
        EXPECT_EQ(p.settings.transitionSpeed, c.wantMs) << c.transitionMs;
        EXPECT_EQ(notes.size(), c.notes) << notes.join(QLatin1Char('|')).toStdString();
    }
}

TEST(ProjectBounds, ChoicesSizesAndBoxes)
{
    Project p;
    p.settings.backgroundDrawScale = 3; // only 2 and 4 are on that list
    p.settings.lyricStyle = -1;
    p.settings.textStyles[0].size = 0;
    p.settings.textStyles[1].borderWidth = 5000;
    p.settings.lyricBox = {-100000, 50, 2000000, 40};
    Picture pic;
    pic.headDynamicStyle = 9;
    pic.headStyle.size = 70000;
    p.pictures.push_back(pic);
    const QStringList notes = BoundProjectNumbers(p, 1000, 500);
    EXPECT_EQ(p.settings.backgroundDrawScale, 2);
    EXPECT_EQ(p.settings.lyricStyle, 1);
    EXPECT_EQ(p.settings.textStyles[0].size, 1);
    EXPECT_EQ(p.settings.textStyles[1].borderWidth, kMaxBorderWidth);
    EXPECT_EQ(p.settings.lyricBox, (TextBox{-4000, 50, 4000, 40}));
    EXPECT_EQ(p.pictures[0].headDynamicStyle, 0);
    EXPECT_EQ(p.pictures[0].headStyle.size, kMaxFontSize);
    EXPECT_TRUE(notes.contains(QStringLiteral("HeadSize(1) 70000 → 1000"))) << notes.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(notes.contains(QStringLiteral("LyricPosX -100000 → -4000")));
}

TEST(ProjectBounds, FrameNumbersOfEveryKindSurvive)
{
    // -1 own PNG, -2 test frame, and frame numbers past 10: ten packages
    // hold more than ten frames between them.
    for (const int32_t num : {-2, -1, 0, 1, 10, 11, 250}) {
        Project p;
        p.settings.pictureFrameNum = num;
        p.pictures.push_back(Picture());
        EXPECT_TRUE(BoundProjectNumbers(p, 1920, 1080).isEmpty()) << num;
        EXPECT_EQ(p.settings.pictureFrameNum, num);
    }
    for (const int32_t num : {-3, -100000, 100000}) {
        Project p;
        p.settings.pictureFrameNum = num;
        BoundProjectNumbers(p, 1920, 1080);
        EXPECT_EQ(p.settings.pictureFrameNum, 0) << num;
    }
}
