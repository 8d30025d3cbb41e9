#include "GradientBrush.h"
#include "TextPath.h"
#include "TextTexture.h"
#include "clsMemDC.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QPainter>

#include <gtest/gtest.h>

using namespace pvsm;

namespace {

constexpr QRgb kBack = 0xFF000000;

TextPathStyle plainStyle(int alignment = 0)
{
    TextPathStyle s;
    s.fontName = QStringLiteral("Noto Sans CJK SC");
    s.sizePx = 32;
    s.alignment = alignment;
    s.pattern = kPatternSolid;
    s.startArgb = 0xFFFFFFFF;
    return s;
}

QImage canvas(int w = 400, int h = 240)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(kBack);
    return image;
}

// Bounding box of the pixels that differ from `background`.
QRect inkBox(const QImage &image, QRgb background = kBack)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background) box |= QRect(x, y, 1, 1);
    return box;
}

int countPixels(const QImage &image, const std::function<bool(QRgb)> &pred)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += pred(image.pixel(x, y)) ? 1 : 0;
    return n;
}

QImage drawn(const QString &text, const TextPathStyle &style, const QRectF &layout = QRectF(20, 20, 360, 200))
{
    QImage image = canvas();
    DrawTextPath(image, text, layout, style);
    return image;
}

} // namespace

TEST(TextPath, ToArgbSwapsRedAndBlueAndAddsAlpha)
{
    struct Case
    {
        uint32_t bgr;
        int alpha;
        QRgb argb;
    };
    for (const Case &c : {Case{0x0000FF, 170, 0xAAFF0000}, Case{0xFF0000, 255, 0xFF0000FF},
                          Case{0x123456, 0, 0x00563412}, Case{0xFF123456, 255, 0xFF563412},
                          Case{0x00FF00, 300, 0xFF00FF00}, Case{0x00FF00, -5, 0x0000FF00}})
        EXPECT_EQ(ToArgb(c.bgr, c.alpha), c.argb) << std::hex << c.bgr << " " << std::dec << c.alpha;
}

TEST(TextPath, NineAlignmentsPlaceTheInk)
{
    // Each alignment moves the ink of alignment 0 by the free room of the
    // rectangle: none, half or all of it, across and down.
    const QString text = QStringLiteral("汉字Ab");
    const QRectF layout(20, 20, 360, 200);
    const TextPathStyle style = plainStyle();
    const QRectF box = MeasureText(text, style.fontName, style.sizePx, style.fontStyle);
    ASSERT_GT(box.width(), 50);
    ASSERT_GT(box.height(), 30);
    const QRect base = inkBox(drawn(text, plainStyle(0), layout));
    ASSERT_FALSE(base.isEmpty());
    // Alignment 0 starts at the rectangle's top-left corner.
    EXPECT_GE(base.left(), 20);
    EXPECT_LE(base.left(), 26);
    EXPECT_GE(base.top(), 20);
    EXPECT_LE(base.top(), 20 + int(box.height() / 2));
    for (int alignment = 0; alignment < 9; ++alignment) {
        const QRect ink = inkBox(drawn(text, plainStyle(alignment), layout));
        const double dx = (alignment % 3) * (layout.width() - box.width()) / 2;
        const double dy = (alignment / 3) * (layout.height() - box.height()) / 2;
        EXPECT_NEAR(ink.left(), base.left() + dx, 1.0) << "alignment " << alignment;
        EXPECT_NEAR(ink.right(), base.right() + dx, 1.0) << "alignment " << alignment;
        EXPECT_NEAR(ink.top(), base.top() + dy, 1.0) << "alignment " << alignment;
        EXPECT_NEAR(ink.bottom(), base.bottom() + dy, 1.0) << "alignment " << alignment;
        EXPECT_TRUE(QRect(20, 20, 360, 200).contains(ink)) << "alignment " << alignment;
    }
}

TEST(TextPath, LinesBreakAtLineEndsAndWrapToTheWidth)
{
    const TextPathStyle style = plainStyle(4);
    const QImage crlf = drawn(QStringLiteral("第一行\r\n第二行"), style);
    const QImage lf = drawn(QStringLiteral("第一行\n第二行"), style);
    EXPECT_EQ(crlf, lf);
    const QRectF one = MeasureText(QStringLiteral("第一行"), style.fontName, style.sizePx, 0);
    const QRectF two = MeasureText(QStringLiteral("第一行\n第二行"), style.fontName, style.sizePx, 0);
    EXPECT_DOUBLE_EQ(two.height(), 2 * one.height());
    EXPECT_DOUBLE_EQ(two.width(), one.width());
    const QRect inkTwo = inkBox(lf);
    EXPECT_GT(inkTwo.height(), one.height());

    // A line wider than the rectangle wraps instead of running out of it.
    const QString longLine = QStringLiteral("一二三四五六七八九十一二三四五六七八九十");
    const QRectF narrow(20, 20, 150, 200);
    const QRect wrapped = inkBox(drawn(longLine, plainStyle(0), narrow));
    EXPECT_LE(wrapped.right(), 20 + 150);
    EXPECT_GT(wrapped.height(), 2 * one.height());
}

TEST(TextPath, PatternBrushesRunStartEndStart)
{
    // Colours of each gradient pattern at points of a 200 × 100 box:
    // 's' start, 'e' end.
    const QRgb start = 0xFFFF0000, end = 0xFF0000FF;
    struct Probe
    {
        QPoint at;
        char colour;
    };
    struct Case
    {
        int pattern;
        std::vector<Probe> probes;
    };
    const Case cases[] = {
        {4, {{{0, 50}, 's'}, {{199, 50}, 'e'}}},
        {6, {{{100, 0}, 's'}, {{100, 99}, 'e'}}},
        {8, {{{0, 0}, 's'}, {{199, 99}, 'e'}}},
        {10, {{{199, 0}, 's'}, {{0, 99}, 'e'}}},
        {12, {{{0, 50}, 's'}, {{100, 50}, 'e'}, {{199, 50}, 's'}}},
        {14, {{{100, 0}, 's'}, {{100, 50}, 'e'}, {{100, 99}, 's'}}},
        {16, {{{0, 0}, 's'}, {{100, 50}, 'e'}, {{199, 99}, 's'}}},
    };
    for (const Case &c : cases) {
        QImage image = canvas(200, 100);
        QPainter p(&image);
        p.fillRect(image.rect(), TextPatternBrush(c.pattern, QRectF(0, 0, 200, 100), start, end));
        p.end();
        for (const Probe &probe : c.probes) {
            const QRgb got = image.pixel(probe.at);
            const int want = probe.colour == 's' ? qRed(got) : qBlue(got);
            EXPECT_GE(want, 240) << "pattern " << c.pattern << " at " << probe.at.x() << "," << probe.at.y();
        }
    }
    for (int pattern : {-2, 1, 3, 5, 11, 17, 19, 20, 22})
        EXPECT_EQ(TextPatternBrush(pattern, QRectF(0, 0, 200, 100), start, end).style(), Qt::NoBrush) << pattern;
}

TEST(TextPath, MirroredGradientColoursTheText)
{
    // Pattern 12 on a 200-pixel box: the ink is red at both ends, blue in the middle.
    TextPathStyle style = plainStyle(4);
    style.fontName = QStringLiteral("DejaVu Sans");
    style.sizePx = 40;
    style.pattern = 12;
    style.startArgb = 0xFFFF0000;
    style.endArgb = 0xFF0000FF;
    QImage image = canvas(200, 60);
    DrawTextPath(image, QStringLiteral("█████████"), QRectF(0, 0, 200, 60), style);
    const QRect ink = inkBox(image);
    ASSERT_GT(ink.width(), 150);
    const int y = ink.center().y();
    EXPECT_GT(qRed(image.pixel(ink.left() + 2, y)), 200);
    EXPECT_GT(qRed(image.pixel(ink.right() - 2, y)), 200);
    EXPECT_GT(qBlue(image.pixel(100, y)), 240);
    EXPECT_LT(qRed(image.pixel(100, y)), 15);
}

TEST(TextPath, OddPatternsFillNothing)
{
    TextPathStyle style = plainStyle(4);
    style.sizePx = 64; // strokes wide enough to show fill inside the outline
    style.startArgb = 0xFFFF0000;
    style.borderArgb = 0xFF00FF00;
    style.borderWidthPx = 2;
    // Pattern 1 with a border: the outline alone, no fill colour anywhere.
    style.pattern = 1;
    const QImage outlineOnly = drawn(QStringLiteral("图片幻灯"), style);
    style.pattern = 0;
    const QImage filled = drawn(QStringLiteral("图片幻灯"), style);
    auto reddish = [](QRgb p) { return qRed(p) > 100 && qGreen(p) < 50; };
    EXPECT_EQ(countPixels(outlineOnly, reddish), 0);
    EXPECT_GT(countPixels(outlineOnly, [](QRgb p) { return qGreen(p) > 100; }), 200);
    EXPECT_GT(countPixels(filled, reddish), 200);

    // Without a border, odd and out-of-range patterns draw nothing at all.
    style.borderWidthPx = 0;
    for (int pattern : {1, 3, 5, 13, 17, 19, 20, -2}) {
        style.pattern = pattern;
        EXPECT_TRUE(inkBox(drawn(QStringLiteral("图片幻灯"), style)).isEmpty()) << pattern;
    }
    // The no-border flag drops the outline too.
    style.pattern = 1;
    style.borderWidthPx = 2;
    QImage image = canvas();
    TextPathOptions options;
    options.noBorder = true;
    DrawTextPath(image, QStringLiteral("图片幻灯"), QRectF(20, 20, 360, 200), style, options);
    EXPECT_TRUE(inkBox(image).isEmpty());
}

TEST(TextPath, ChineseIsInkedFromAChineseFace)
{
    // Tofu boxes would make every character look alike.
    for (const QString &font : {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("No Such Font 123"),
                                QStringLiteral("DejaVu Sans")}) {
        TextPathStyle style = plainStyle(4);
        style.fontName = font;
        style.sizePx = 48;
        const QImage a = drawn(QStringLiteral("你"), style);
        const QImage b = drawn(QStringLiteral("好"), style);
        const QImage c = drawn(QStringLiteral("灯"), style);
        EXPECT_GT(countPixels(a, [](QRgb p) { return p != kBack; }), 100) << qPrintable(font);
        EXPECT_NE(a, b) << qPrintable(font);
        EXPECT_NE(b, c) << qPrintable(font);
    }
    const QStringList cjk = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    EXPECT_TRUE(cjk.contains(ResolveTextFontFamily(QStringLiteral("No Such Font 123"))));
    EXPECT_EQ(ResolveTextFontFamily(QStringLiteral("dejavu sans")), QStringLiteral("DejaVu Sans"));
    EXPECT_TRUE(ListInstalledFonts().contains(QStringLiteral("DejaVu Sans")));
}

TEST(TextPath, BoldThickensAndItalicSlants)
{
    // The Chinese face has neither a bold nor an italic face of its own.
    auto ink = [](int fontStyle) {
        TextPathStyle style = plainStyle(0);
        style.sizePx = 64;
        style.fontStyle = fontStyle;
        return drawn(QStringLiteral("工工"), style);
    };
    auto lit = [](QRgb p) { return qRed(p) > 128; };
    const QImage regular = ink(kFontRegular), bold = ink(kFontBold), italic = ink(kFontItalic);
    EXPECT_GT(countPixels(bold, lit), countPixels(regular, lit) * 11 / 10);
    // The top bar of the last character moves right by about 0.2 × its height.
    const QRect r = inkBox(regular), i = inkBox(italic);
    EXPECT_GT(i.right(), r.right() + 5);
    EXPECT_NEAR(i.bottom(), r.bottom(), 1);
    EXPECT_GT(inkBox(ink(kFontBoldItalic)).right(), i.right());
}

TEST(TextPath, ClipAndClearLimitTheDrawing)
{
    TextPathStyle style = plainStyle(4);
    QImage image = canvas();
    image.fill(0xFF304050);
    TextPathOptions clear;
    clear.clear = true;
    DrawTextPathClipped(image, QStringLiteral("歌词歌词歌词"), QRectF(0, 0, 400, 240), style, QRectF(0, 0, 200, 240), clear);
    const QRect ink = inkBox(image);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_LT(ink.right(), 200);
    EXPECT_EQ(image.pixel(399, 0), kBack); // cleared everywhere, drawn only inside the clip

    QImage sprite(10, 10, QImage::Format_ARGB32_Premultiplied);
    sprite.fill(0xFFFFFFFF);
    DrawTextPath(sprite, QString(), QRectF(0, 0, 10, 10), style, clear);
    EXPECT_EQ(sprite.pixel(5, 5), 0x01000000u);
}

TEST(TextPath, SpritesAreTransparentPicturesOfTheBox)
{
    TextPathStyle style = plainStyle(4);
    style.pattern = 6;
    style.startArgb = 0xFFFFFF00;
    style.endArgb = 0xFFFF0000;
    style.borderWidthPx = 2;
    style.borderArgb = ToArgb(0x010101, 170);
    const QRectF layout(333.4, 50.2, 240.6, 80.4);
    const QImage sprite = RenderTextToImage(QStringLiteral("标题 Title"), layout, style);
    ASSERT_EQ(sprite.size(), QSize(241, 80));
    EXPECT_EQ(qAlpha(sprite.pixel(0, 0)), 0);
    EXPECT_GT(countPixels(sprite, [](QRgb p) { return qAlpha(p) == 255; }), 200);

    const QByteArray png = RenderTextToPng(QStringLiteral("标题 Title"), layout, style);
    QImage decoded;
    ASSERT_TRUE(decoded.loadFromData(png, "PNG"));
    EXPECT_EQ(decoded.size(), sprite.size());
    EXPECT_EQ(decoded.convertToFormat(QImage::Format_ARGB32_Premultiplied), sprite);

    EXPECT_TRUE(RenderTextToImage(QStringLiteral("x"), QRectF(0, 0, 0.4, 20), style).isNull());
    EXPECT_TRUE(RenderTextToImage(QStringLiteral("x"), QRectF(0, 0, 1e9, 20), style).isNull());
    EXPECT_TRUE(RenderTextToPng(QStringLiteral("x"), QRectF(0, 0, 20, -5), style).isEmpty());
}

TEST(TextPath, RainbowTextureIsReplaceableAndScaled)
{
    QImage green(8, 8, QImage::Format_RGB32);
    green.fill(0xFF00FF00);
    setRainbowTexture(green);
    TextPathStyle style = plainStyle(4);
    style.pattern = kPatternRainbow;
    const QImage image = drawn(QStringLiteral("彩虹"), style);
    EXPECT_GT(countPixels(image, [](QRgb p) { return p == 0xFF00FF00; }), 100);
    EXPECT_EQ(countPixels(image, [](QRgb p) { return p != kBack && qGreen(p) == 0; }), 0);
    setRainbowTexture(QImage());
    const QImage texture = rainbowTexture();
    EXPECT_EQ(texture.size(), QSize(256, 64));
    EXPECT_GT(qRed(texture.pixel(0, 0)), 200);   // red on the left
    EXPECT_GT(qBlue(texture.pixel(255, 0)), 200); // violet on the right
    EXPECT_FALSE(setRainbowTextureBytes(QByteArray("not a picture")));

    struct Case
    {
        int cw, ch, tw, th;
        QSizeF scale;
    };
    for (const Case &c : {Case{1280, 720, 1920, 1080, {1280.0 / 1920, 720.0 / 1080}}, Case{1920, 1080, 1920, 1080, {1, 1}},
                          Case{1920, 1200, 1920, 1080, {1, 1}}, Case{640, 480, 0, 0, {1, 1}}})
        EXPECT_EQ(rainbowTextureScale(c.cw, c.ch, c.tw, c.th), c.scale) << c.cw << "x" << c.ch;
}

TEST(TextPath, MeasuresLinesAndHeadlineBoxes)
{
    const QString font = QStringLiteral("Noto Sans CJK SC");
    const QRectF a = MeasureText(QStringLiteral("幻灯"), font, 40, 0);
    const QRectF b = MeasureText(QStringLiteral("幻灯幻灯"), font, 40, 0);
    EXPECT_NEAR(b.width(), 2 * a.width(), 0.5);
    EXPECT_NEAR(a.width(), 80, 1); // Chinese characters are one em wide
    EXPECT_TRUE(MeasureText(QString(), font, 40, 0).isNull());
    EXPECT_TRUE(MeasureText(QStringLiteral("x"), font, 0, 0).isNull());

    const QVector<int> widths = MeasureLineWidths({QStringLiteral("幻灯"), QString(), QStringLiteral("幻灯幻灯")}, font, 40, 0);
    EXPECT_EQ(widths, (QVector<int>{int(a.width()) + 1, 0, int(b.width()) + 1}));

    const QRectF sample = MeasureText(QStringLiteral("A幻灯j"), font, 40, 1);
    const QRectF twoLines = MeasureText(QStringLiteral("幻灯\n幻灯"), font, 40, 1);
    const QVector<QSize> boxes = MeasureHeadlineBoxes(
        {{QStringLiteral("幻灯幻灯"), 40, 1}, {QStringLiteral("幻灯\n幻灯"), 40, 1}, {QStringLiteral("i"), 40, 1}}, font, 50);
    ASSERT_EQ(boxes.size(), 3);
    // Wider than 0.9 × the screen: the height is one sample line's.
    EXPECT_EQ(boxes[0].height(), qRound(sample.height()));
    EXPECT_EQ(boxes[1].height(), qRound(sample.height()));
    EXPECT_NE(qRound(twoLines.height()), qRound(sample.height()));
    // Narrow text: its own height, and the width raised to it.
    EXPECT_EQ(boxes[2].width(), boxes[2].height());
    const QVector<QSize> wide = MeasureHeadlineBoxes({{QStringLiteral("幻灯\n幻灯"), 40, 1}}, font, 1920);
    EXPECT_EQ(wide[0].height(), qRound(twoLines.height()));
}
