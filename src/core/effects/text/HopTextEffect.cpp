#include "TextEffect.h"

#include "Numbers.h"

namespace pvsm {

// The text hops twice while it swells (a low hop, then a high one), rests,
// then hops twice more while it shrinks back (high, then low).
void HopTextEffect(TextEffectContext &ctx, clsMemDC &surface, const QRectF &layout, const QString &text, double scale,
                   int)
{
    TextSprite sprite(ctx, surface, layout, text, scale);
    const double x0 = sprite.x0(), y0 = sprite.y0(), w = sprite.w(), h = sprite.h();
    // Height above the place in units of h / q, over the 12 steps of a phase.
    static constexpr int kHop[12] = {1, 2, 3, 2, 1, 0, 1, 2, 3, 2, 1, 0};
    auto draw = [&](int scaleHundredths, int k, int q) {
        const double s = scaleHundredths / 100.0;
        sprite.drawAt(
            QRect(Nearest(x0 - (s - 1) * w / 2), Nearest(y0 - kHop[k] * h / q), Nearest(w * s), Nearest(h * s)));
        sprite.writeFrame();
    };
    for (int k = 0; k < 12; ++k)
        draw(102 + 2 * k, k, k < 6 ? 6 : 3);
    for (int i = 0; i < 5; ++i)
        sprite.writeFrame(2);
    for (int k = 0; k < 12; ++k)
        draw(122 - 2 * k, k, k < 6 ? 3 : 6);
    sprite.finish();
}

} // namespace pvsm
