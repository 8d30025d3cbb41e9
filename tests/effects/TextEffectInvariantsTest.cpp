// What every text effect promises, checked for each effect.
#include "EffectFixtures.h"
#include "TextEffect.h"

#include <gtest/gtest.h>

using namespace pvsm;
using namespace pvsm::test;

namespace {

TextPathStyle effectStyle()
{
    TextPathStyle s;
    s.fontName = QStringLiteral("Noto Sans CJK SC");
    s.sizePx = 40;
    s.fontStyle = kFontBold;
    s.alignment = 4;
    s.pattern = 6;
    s.borderWidthPx = 2;
    s.startArgb = 0xFFFF0000;
    s.endArgb = 0xFFFFFF00;
    s.borderArgb = 0xAA010101;
    return s;
}

struct EffectRun
{
    std::vector<RecordingFrameSink::Call> calls;
    int64_t frames = 0;
    QImage final;
};

EffectRun runEffect(int value, QSize size, const QRectF &rect, const QString &text, int v4 = 0, uint32_t seed = 5)
{
    FixedSeed fixed(seed);
    clsMemDC surface = patternCanvas(size, false);
    RecordingFrameSink sink;
    TextEffectContext ctx{sink, effectStyle()};
    RunTextEffect(ctx, value, surface, rect, text, 1.0, v4);
    return {sink.calls(), sink.framesWritten(), surface.image().copy()};
}

// The slide with the finished text, as every effect must leave it.
QImage finishedText(QSize size, const QRectF &rect, const QString &text)
{
    clsMemDC surface = patternCanvas(size, false);
    DrawTextPath(surface.image(), text, rect, effectStyle());
    return surface.image().copy();
}

} // namespace

TEST(TextEffects, EveryEffectLeavesTheFinishedTextAndWritesFrames)
{
    const QSize size(640, 360);
    const QRectF rect(100, 120, 440, 100);
    const QString text = QStringLiteral("图片幻灯 Show");
    const QImage expected = finishedText(size, rect, text);
    ASSERT_EQ(textEffectCatalogue().size(), 9u);
    for (const TextEffectEntry &e : textEffectCatalogue()) {
        for (int v = 0; v < (e.takesVariant ? 4 : 1); ++v) {
            const EffectRun r = runEffect(e.value, size, rect, text, v);
            EXPECT_GT(r.frames, 0) << e.renderer;
            EXPECT_TRUE(r.final == expected) << e.renderer << " variant " << v;
        }
    }
}

TEST(TextEffects, OddPlacesAndEmptyTextsDoNotBreakAnything)
{
    struct Case { QSize size; QRectF rect; QString text; };
    const Case cases[] = {
        {{8, 6}, {1, 1, 5, 3}, QStringLiteral("字")},
        {{320, 200}, {-50, -20, 200, 60}, QStringLiteral("out of the picture")},
        {{320, 200}, {250, 180, 300, 90}, QStringLiteral("右下角")},
        {{320, 200}, {10, 10, 0, 0}, QStringLiteral("empty box")},
        {{320, 200}, {10, 10, 200, 50}, QString()},
    };
    for (const Case &c : cases)
        for (const TextEffectEntry &e : textEffectCatalogue()) {
            const EffectRun r = runEffect(e.value, c.size, c.rect, c.text);
            EXPECT_GT(r.frames, 0) << e.renderer; // an empty text writes its frames all the same
        }
}

TEST(TextEffects, FadeWrites12FramesAndWipeEvery11thColumn)
{
    EXPECT_EQ(runEffect(0, {640, 360}, {100, 120, 440, 100}, QStringLiteral("淡入")).frames, 12);
    // 420 wide: columns x0, x0 + 2 ... x0 + 420 (211 of them), a frame on every 11th.
    EXPECT_EQ(runEffect(1, {640, 360}, {100, 120, 420, 100}, QStringLiteral("从左到右")).frames, 20);
}

TEST(TextEffects, ValuesOutsideTheListDrawNothing)
{
    const EffectRun r = runEffect(9, {100, 80}, {10, 10, 80, 40}, QStringLiteral("x"));
    EXPECT_EQ(r.frames, 0);
    EXPECT_TRUE(r.final == patternCanvas({100, 80}, false).image());
}
