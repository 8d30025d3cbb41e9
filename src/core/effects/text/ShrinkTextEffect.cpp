#include "TextEffect.h"

namespace pvsm {

// The text shrinks from three times its size below its full size and settles
// with damped swings: 12 + 6 + 6 + 4 frames and the final one.
void ShrinkTextEffect(TextEffectContext &ctx, clsMemDC &surface, const QRectF &layout, const QString &text,
                      double scale, int)
{
    TextSprite sprite(ctx, surface, layout, text, scale);
    for (int tenths = 30; tenths >= 8; tenths -= 2) {
        sprite.drawScaled(tenths / 10.0, tenths / 10.0);
        sprite.writeFrame();
    }
    struct Step
    {
        int hundredths;
        int repeat;
    };
    static constexpr Step kSettle[] = {
        {90, 1},  {100, 2}, {110, 1}, {120, 2}, // back up past full size
        {110, 2}, {100, 2}, {90, 2},            // down below it
        {95, 2},  {105, 2},                     // a last small swing
    };
    for (const Step &s : kSettle) {
        sprite.drawScaled(s.hundredths / 100.0, s.hundredths / 100.0);
        sprite.writeFrame(s.repeat);
    }
    sprite.finish();
}

} // namespace pvsm
