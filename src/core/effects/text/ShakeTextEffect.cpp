#include "TextEffect.h"

namespace pvsm {

// The text stands still, then trembles in width twice (to 1.10 and to 1.05)
// with its top edge fixed.
void ShakeTextEffect(TextEffectContext &ctx, clsMemDC &surface, const QRectF &layout, const QString &text, double scale,
                     int)
{
    TextSprite sprite(ctx, surface, layout, text, scale);
    sprite.drawScaled(1.0, 1.0);
    for (int i = 0; i < 4; ++i)
        sprite.writeFrame(2);
    // Counted in hundredths so that the factor returns to exactly 1.00.
    int widthHundredths = 100;
    for (int i = 1; i <= 30; ++i) {
        widthHundredths += (i <= 10 || (i >= 21 && i <= 25)) ? 1 : -1;
        if (i % 2 == 0) continue;
        sprite.drawScaled(widthHundredths / 100.0, 1.0);
        sprite.writeFrame();
    }
    sprite.finish();
}

} // namespace pvsm
