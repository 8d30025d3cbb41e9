#include "SlideTiming.h"

#include <gtest/gtest.h>

using namespace pvsm;

TEST(SlideTiming, TypedTimeIsNormalisedAgainstTheMainWindowsTime)
{
    const std::pair<const char *, const char *> cases[] = {
        // The main window's time stands in for what is no usable time.
        {"", "5"}, {"0", "5"}, {"05", "5"}, {"0.5", "5"}, {".5", "5"}, {"-", "5"}, {"abc", "5"}, {"1.2.3", "5"},
        // A number in thousandths (halves to even), then the 3.5-second floor.
        {"12", "12"}, {"8.5714", "8.571"}, {"8.5715", "8.572"}, {"8.5725", "8.572"}, {"3.5", "3.5"},
        {"2", "3.5"}, {"3.4996", "3.5"}, {"-4", "3.5"},
    };
    for (const auto &[typed, want] : cases)
        EXPECT_EQ(ruleSlideTimeText(QString::fromUtf8(typed), QStringLiteral("5")), QString::fromUtf8(want)) << typed;
    EXPECT_EQ(ruleSlideTimeText(QString(), QStringLiteral("10")), QStringLiteral("10"));
    // Even a main time below the floor is raised when applied.
    EXPECT_EQ(ruleSlideTimeText(QStringLiteral("0"), QStringLiteral("2")), QStringLiteral("3.5"));
}

TEST(SlideTiming, AverageOfASongOverTheSelectedPictures)
{
    struct Case
    {
        float length;
        int pictures;
        const char *time;
        const char *label;
    };
    const Case cases[] = {
        {60, 7, "8.571", "图片 7 张 * 平均时间: 8.571秒 = 歌曲长度: 60秒"},
        {61.5f, 2, "30.75", "图片 2 张 * 平均时间: 30.75秒 = 歌曲长度: 61.5秒"},
        // Shown as computed: the floor applies only when the time is set.
        {10, 7, "1.429", "图片 7 张 * 平均时间: 1.429秒 = 歌曲长度: 10秒"},
        // A stored single-precision length reads as it was stored.
        {183.123f, 1, "183.123", "图片 1 张 * 平均时间: 183.123秒 = 歌曲长度: 183.123秒"},
    };
    for (const Case &c : cases) {
        const auto average = computeAverageTime(c.length, c.pictures);
        ASSERT_TRUE(average) << c.label;
        EXPECT_EQ(average->timeText, QString::fromUtf8(c.time));
        EXPECT_EQ(average->label, QString::fromUtf8(c.label));
    }
    // No picture selected: nothing to divide by.
    EXPECT_FALSE(computeAverageTime(60, 0));
    EXPECT_EQ(averageLabelAtStart(), QStringLiteral("歌曲时间长度：0秒"));
}

TEST(SlideTiming, WorkingCopyChangesTheProjectOnlyWhenSaved)
{
    Project p;
    for (const char *path : {"/x/a.jpg", "/x/b.png", "/y/c d.jpg"}) {
        Picture pic;
        pic.path = QString::fromUtf8(path);
        p.pictures.push_back(pic);
    }
    p.pictures[1].slideDuration = 7.25f;
    const Project before = p;

    SlideTimeWorkingCopy copy(p, QStringLiteral("5"));
    ASSERT_EQ(copy.count(), 3);
    EXPECT_EQ(copy.entry(0), QStringLiteral("a.jpg: 5 秒"));
    EXPECT_EQ(copy.entry(1), QStringLiteral("b.png: 7.25 秒"));
    EXPECT_EQ(copy.timeText(1), QStringLiteral("7.25"));

    EXPECT_EQ(copy.set({0, 2, 9, -1}, QStringLiteral("2")), QStringLiteral("3.5"));
    EXPECT_EQ(copy.entry(0), QStringLiteral("a.jpg: 3.5 秒"));
    EXPECT_EQ(copy.entry(2), QStringLiteral("c d.jpg: 3.5 秒"));
    EXPECT_EQ(copy.set({1}, QString()), QStringLiteral("5")); // the main time, now the picture's own
    EXPECT_EQ(copy.times(), (std::vector<float>{3.5f, 5.0f, 3.5f}));
    EXPECT_TRUE(p == before); // the Sets are the dialog's, until Save

    EXPECT_TRUE(storeSlideTimes(p, copy.times()));
    EXPECT_EQ(p.pictures[0].slideDuration, 3.5f);
    EXPECT_EQ(p.pictures[1].slideDuration, 5.0f);
    EXPECT_EQ(p.pictures[0].path, QStringLiteral("/x/a.jpg"));
    EXPECT_FALSE(storeSlideTimes(p, copy.times()));        // nothing new
    EXPECT_FALSE(storeSlideTimes(p, {4.0f, 4.0f}));       // the list changed meanwhile
    EXPECT_EQ(p.pictures[0].slideDuration, 3.5f);
}
