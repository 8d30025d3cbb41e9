#include "NumberRules.h"

#include <gtest/gtest.h>

using namespace pvsm;

TEST(NumberRules, TimeBox)
{
    const std::pair<const char *, const char *> cases[] = {
        {"2", "3.5"}, {"abc", "10"}, {"", "10"}, {"3.5", "3.5"}, {"12", "12"},
        {"5.12345", "5.123"}, {"5.1235", "5.124"}, {"5.1225", "5.122"}, // thousandths, halves to even
        {"-4", "3.5"}, {" 7 ", "7"},
    };
    for (const auto &[in, want] : cases)
        EXPECT_EQ(ruleTimeIntervalText(QString::fromUtf8(in)), QString::fromUtf8(want)) << in;
    EXPECT_FLOAT_EQ(timeIntervalFromText(QStringLiteral("2")), 3.5f);
    // A stored time shows as typed, not as the digits of its double.
    EXPECT_EQ(numberText(timeIntervalFromText(QStringLiteral("4.3"))), QStringLiteral("4.3"));
    EXPECT_EQ(numberText(61.2f), QStringLiteral("61.2"));
}

TEST(NumberRules, TransitionSpeedBox)
{
    struct Case { const char *in; const char *text; int ms; };
    const Case cases[] = {
        {"0.5", "1", 1000}, {"3", "2.5", 2500}, {"1.75", "1.75", 1750}, {"x", "1", 1000},
        {"", "1", 1000}, {"2.0004", "2", 2000}, {"1.0005", "1", 1000}, {"1.0015", "1.002", 1002},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ruleTransitionSpeedText(QString::fromUtf8(c.in)), QString::fromUtf8(c.text)) << c.in;
        EXPECT_EQ(transitionSpeedMsFromText(QString::fromUtf8(c.in)), c.ms) << c.in;
    }
    EXPECT_EQ(transitionSpeedText(1750), QStringLiteral("1.75"));
}

TEST(NumberRules, TitleDurationBox)
{
    EXPECT_EQ(ruleTitleDurationText(QString()), QStringLiteral("8"));
    EXPECT_EQ(ruleTitleDurationText(QStringLiteral("zz")), QStringLiteral("8"));
    EXPECT_EQ(ruleTitleDurationText(QStringLiteral("2")), QStringLiteral("2"));
    EXPECT_EQ(ruleTitleDurationText(QStringLiteral("12.34567")), QStringLiteral("12.346"));
}

TEST(NumberRules, SlideshowName)
{
    for (const char *bad : {"a/b", "a\\b", "what?", "say \"hi\"", "c:", "a*b", "<x", "x>"})
        EXPECT_EQ(ruleSlideshowName(QString::fromUtf8(bad)), QStringLiteral("未命名图片幻灯")) << bad;
    EXPECT_EQ(ruleSlideshowName(QStringLiteral("我的图片幻灯")), QStringLiteral("我的图片幻灯"));
    EXPECT_EQ(ruleSlideshowName(QStringLiteral("Trip 2026.1")), QStringLiteral("Trip 2026.1"));
}

TEST(NumberRules, TimeBoxKeystrokes)
{
    EXPECT_TRUE(isTimeBoxKeystroke(QLatin1Char('7')));
    EXPECT_TRUE(isTimeBoxKeystroke(QLatin1Char('.')));
    EXPECT_FALSE(isTimeBoxKeystroke(QLatin1Char('-')));
    EXPECT_FALSE(isTimeBoxKeystroke(QLatin1Char('e')));
}
