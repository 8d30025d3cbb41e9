#include "TextStyleRules.h"

#include <gtest/gtest.h>

using namespace pvsm;

TEST(TextStyleRules, SizeListsRunInStepsOfEightToTheKindsLimit)
{
    for (int kind = 1; kind <= 5; ++kind) {
        const QVector<int32_t> sizes = styleSizeList(kind);
        const int32_t last = kind == kStyleTitles ? 200 : 112;
        ASSERT_EQ(sizes.size(), (last - 16) / 8 + 1) << kind;
        for (int i = 0; i < sizes.size(); ++i) EXPECT_EQ(sizes[i], 16 + 8 * i) << kind;
    }
    struct Case
    {
        int kind;
        int32_t size;
        int index;
    } cases[] = {
        {1, 16, 0}, {1, 56, 5}, {1, 112, 12}, {1, 120, -1}, {4, 120, 13}, {4, 200, 23}, {4, 208, -1},
        {3, 20, -1}, // between two entries: nothing is selected
        {2, 8, -1},  {5, 0, -1},
    };
    for (const Case &c : cases) EXPECT_EQ(styleSizeIndex(c.kind, c.size), c.index) << c.kind << " " << c.size;
}

TEST(TextStyleRules, HeadlinePatternListHasNoRainbowAndItsIndicesShift)
{
    ASSERT_EQ(stylePatternItems(kStyleCaption).size(), 10);
    EXPECT_EQ(stylePatternItems(kStyleCaption)[1], QStringLiteral("彩虹颜色"));
    const QStringList headline = stylePatternItems(kStyleHeadline);
    ASSERT_EQ(headline.size(), 9);
    EXPECT_FALSE(headline.contains(QStringLiteral("彩虹颜色")));
    EXPECT_EQ(headline[2], QStringLiteral("上下渐变"));
    EXPECT_EQ(headline[5], QStringLiteral("左中右渐变"));
    EXPECT_EQ(stylePatternItems(kStyleLyricHighlight), stylePatternItems(kStyleCaption));

    struct Case
    {
        int kind;
        int32_t stored;
        int index;
    } cases[] = {
        {1, 0, 0},  {1, 2, 1},  {1, 6, 3},  {1, 18, 9}, {1, 7, 3}, {1, 20, -1}, {1, -2, -1},
        {2, 0, 0},  {2, 2, 0}, // a stored rainbow shows as the fixed colour
        {2, 4, 1},  {2, 6, 2},  {2, 18, 8}, {2, 20, -1},
        {5, 2, 1},  {4, 12, 6},
    };
    for (const Case &c : cases) EXPECT_EQ(stylePatternIndex(c.kind, c.stored), c.index) << c.kind << " " << c.stored;

    EXPECT_EQ(stylePatternValue(kStyleHeadline, 5), 12);
    EXPECT_EQ(stylePatternValue(kStyleHeadline, 0), 0);
    EXPECT_EQ(stylePatternValue(kStyleCaption, 5), 10);
    // Every entry of every kind's list comes back to itself; the headline never stores the rainbow.
    for (int kind = 1; kind <= 5; ++kind) {
        for (int i = 0; i < stylePatternItems(kind).size(); ++i) {
            const int32_t value = stylePatternValue(kind, i);
            EXPECT_EQ(stylePatternIndex(kind, value), i) << kind << " " << i;
            if (kind == kStyleHeadline) {
                EXPECT_NE(value, 2);
            }
        }
    }
}

TEST(TextStyleRules, AlignmentOnlyForTheCaptionAndTheHighlightOnlyChangesItsFill)
{
    StyleDialogControls all;
    StyleDialogControls noAlign = all;
    noAlign.align = false;
    StyleDialogControls highlight;
    highlight.fontName = highlight.size = highlight.align = highlight.borderWidth = highlight.fontStyle =
        highlight.borderColor = false;
    const StyleDialogControls expected[] = {all, noAlign, noAlign, noAlign, highlight};
    for (int kind = 1; kind <= 5; ++kind) EXPECT_EQ(styleDialogControls(kind), expected[kind - 1]) << kind;
}

TEST(TextStyleRules, ColoursAreStoredRedInTheLowByte)
{
    EXPECT_EQ(colorFromBgr(0x0000FF), QColor(Qt::red));
    EXPECT_EQ(colorFromBgr(0xFF0000), QColor(Qt::blue));
    EXPECT_EQ(bgrFromColor(QColor(Qt::red)), 0x0000FF);
    EXPECT_EQ(bgrFromColor(QColor(0x12, 0x34, 0x56)), 0x563412);
    EXPECT_EQ(bgrFromColor(QColor::fromHsv(0, 255, 255)), 0x0000FF); // any colour spec
    EXPECT_EQ(bgrFromColor(colorFromBgr(0x00C08040)), 0x00C08040);
}

namespace {

Settings numberedStyles()
{
    Settings s;
    s.lyricDynamicFontPattern = 14;
    s.lyricDynamicFontStartColor = 0x0000FF;
    s.lyricDynamicFontEndColor = 0x00FF00;
    for (int i = 0; i < kTextStyleCount; ++i) {
        TextStyle &t = s.textStyles[size_t(i)];
        t.fontName = QStringLiteral("Font%1").arg(i + 1);
        t.size = 24 + 8 * i;
        t.pattern = 4 * i;
        t.startColor = 0x10 + i;
    }
    return s;
}

} // namespace

TEST(TextStyleRules, EachKindLoadsAndStoresItsOwnValues)
{
    const Settings start = numberedStyles();
    const TextStyle chosen{QStringLiteral("Chosen"), 40, 3, 8, 4, 3, 0x0000FF, 0x00FF00, 0xFF0000};

    for (int kind = 1; kind <= 4; ++kind) {
        EXPECT_EQ(loadStyleDialogValues(start, kind), start.textStyles[size_t(kind - 1)]) << kind;
        Settings s = start;
        Picture picture;
        const Picture untouched = picture;
        storeStyleDialogValues(s, &picture, kind, chosen);
        Settings expected = start;
        expected.textStyles[size_t(kind - 1)] = chosen;
        EXPECT_EQ(s, expected) << kind;
        if (kind == kStyleHeadline) {
            // All but the font name and the alignment reach the picture's headline.
            EXPECT_EQ(picture.headStyle, (HeadlineStyle{40, 8, 4, 3, 0x0000FF, 0x00FF00, 0xFF0000}));
            Picture rest = picture;
            rest.headStyle = untouched.headStyle;
            EXPECT_EQ(rest, untouched);
        } else {
            EXPECT_EQ(picture, untouched) << kind;
        }
    }

    // The pattern loads as the value of the entry it selects; a pattern outside the list is kept.
    struct Load
    {
        int kind;
        int32_t stored, loaded;
    } loads[] = {{2, 2, 0}, {2, 6, 6}, {1, 2, 2}, {1, 7, 6}, {3, 40, 40}, {5, 2, 2}};
    for (const Load &l : loads) {
        Settings withPattern = start;
        withPattern.textStyles[size_t(std::min(l.kind, 4) - 1)].pattern = l.stored;
        withPattern.lyricDynamicFontPattern = l.stored;
        EXPECT_EQ(loadStyleDialogValues(withPattern, l.kind).pattern, l.loaded) << l.kind << " " << l.stored;
    }

    // Without a selected picture the headline changes only style 2.
    Settings s = start;
    storeStyleDialogValues(s, nullptr, kStyleHeadline, chosen);
    EXPECT_EQ(s.textStyles[1], chosen);

    // The highlight shows the lyric style with its own fill, and stores only that fill.
    const TextStyle shown = loadStyleDialogValues(start, kStyleLyricHighlight);
    TextStyle lyric = start.textStyles[2];
    lyric.pattern = 14;
    lyric.startColor = 0x0000FF;
    lyric.endColor = 0x00FF00;
    EXPECT_EQ(shown, lyric);
    s = start;
    Picture picture;
    storeStyleDialogValues(s, &picture, kStyleLyricHighlight, chosen);
    Settings expected = start;
    expected.lyricDynamicFontPattern = 8;
    expected.lyricDynamicFontStartColor = 0x0000FF;
    expected.lyricDynamicFontEndColor = 0x00FF00;
    EXPECT_EQ(s, expected);
    EXPECT_EQ(picture, Picture());
}
