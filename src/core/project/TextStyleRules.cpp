#include "TextStyleRules.h"

#include <algorithm>
#include <iterator>

namespace pvsm {

namespace {

constexpr int32_t kSmallestSize = 16;
constexpr int32_t kSizeStep = 8;

// Stored pattern = entry index x 2 in the full list.
const char *const kPatterns[] = {"固定颜色", "彩虹颜色", "左右渐变", "上下渐变", "左上右下渐变",
                                 "右上左下渐变", "左中右渐变", "上中下渐变", "左上中右下渐变", "右上中左下渐变"};
constexpr int kPatternCount = int(std::size(kPatterns));
constexpr int32_t kRainbow = 2;

bool withoutRainbow(int kind) { return kind == kStyleHeadline; }

QStringList fromUtf8(std::initializer_list<const char *> texts)
{
    QStringList list;
    for (const char *t : texts) list << QString::fromUtf8(t);
    return list;
}

template <typename S>
auto &styleOfKind(S &settings, int kind)
{
    return settings.textStyles[size_t(std::clamp(kind, 1, kTextStyleCount) - 1)];
}

} // namespace

QColor colorFromBgr(int32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

int32_t bgrFromColor(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return rgb.red() | (rgb.green() << 8) | (rgb.blue() << 16);
}

QVector<int32_t> styleSizeList(int kind)
{
    const int32_t largest = kind == kStyleTitles ? 200 : 112;
    QVector<int32_t> sizes;
    for (int32_t s = kSmallestSize; s <= largest; s += kSizeStep) sizes << s;
    return sizes;
}

int styleSizeIndex(int kind, int32_t size) { return int(styleSizeList(kind).indexOf(size)); }

QStringList stylePatternItems(int kind)
{
    QStringList items;
    for (int i = 0; i < kPatternCount; ++i)
        if (!(withoutRainbow(kind) && i * 2 == kRainbow)) items << QString::fromUtf8(kPatterns[i]);
    return items;
}

int stylePatternIndex(int kind, int32_t pattern)
{
    int index = pattern / 2;
    if (pattern < 0 || index >= kPatternCount) return -1;
    if (withoutRainbow(kind) && index > 0) --index;
    return index;
}

int32_t stylePatternValue(int kind, int index)
{
    if (index <= 0) return 0;
    return index * 2 + (withoutRainbow(kind) ? 2 : 0);
}

QStringList styleAlignItems()
{
    return fromUtf8({"左上", "中上", "右上", "左中", "正中", "右中", "左下", "中下", "右下"});
}

QStringList styleFontStyleItems() { return fromUtf8({"正常", "粗体", "斜体", "粗斜体"}); }

StyleDialogControls styleDialogControls(int kind)
{
    StyleDialogControls c;
    c.align = kind == kStyleCaption;
    if (kind == kStyleLyricHighlight) c.fontName = c.size = c.borderWidth = c.fontStyle = c.borderColor = false;
    return c;
}

TextStyle loadStyleDialogValues(const Settings &settings, int kind)
{
    TextStyle values = styleOfKind(settings, kind == kStyleLyricHighlight ? int(kStyleLyrics) : kind);
    if (kind == kStyleLyricHighlight) {
        values.pattern = settings.lyricDynamicFontPattern;
        values.startColor = settings.lyricDynamicFontStartColor;
        values.endColor = settings.lyricDynamicFontEndColor;
    }
    // Selecting the pattern's entry sets the value the entry stands for: a
    // headline's stored rainbow becomes the fixed colour.
    if (const int entry = stylePatternIndex(kind, values.pattern); entry >= 0)
        values.pattern = stylePatternValue(kind, entry);
    return values;
}

void storeStyleDialogValues(Settings &settings, Picture *current, int kind, const TextStyle &values)
{
    if (kind == kStyleLyricHighlight) {
        settings.lyricDynamicFontPattern = values.pattern;
        settings.lyricDynamicFontStartColor = values.startColor;
        settings.lyricDynamicFontEndColor = values.endColor;
        return;
    }
    styleOfKind(settings, kind) = values;
    if (kind == kStyleHeadline && current) current->headStyle = headlineStyleOf(values);
}

} // namespace pvsm
