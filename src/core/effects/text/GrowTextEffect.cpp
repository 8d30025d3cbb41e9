#include "TextEffect.h"

namespace pvsm {

// The text grows from a tenth of its size past its full size and settles
// with two damped swings.
void GrowTextEffect(TextEffectContext &ctx, clsMemDC &surface, const QRectF &layout, const QString &text, double scale,
                    int)
{
    TextSprite sprite(ctx, surface, layout, text, scale);
    for (int tenths = 1; tenths <= 12; ++tenths) {
        sprite.drawScaled(tenths / 10.0, tenths / 10.0);
        sprite.writeFrame();
    }
    struct Step
    {
        int hundredths;
        int repeat;
    };
    static constexpr Step kSettle[] = {
        {115, 1}, {110, 1}, {105, 2}, {100, 1}, {95, 2}, {90, 1}, // swinging back below full size
        {95, 2},  {100, 2}, {105, 2},                             // and up once more
    };
    for (const Step &s : kSettle) {
        sprite.drawScaled(s.hundredths / 100.0, s.hundredths / 100.0);
        sprite.writeFrame(s.repeat);
    }
    sprite.finish();
}

} // namespace pvsm
