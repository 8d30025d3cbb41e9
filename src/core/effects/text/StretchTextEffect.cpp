#include "TextEffect.h"

#include "Numbers.h"

#include <algorithm>

namespace pvsm {

// A flat, doubly wide text narrows to its width while it grows in height,
// then sways left and right while it reaches its full height.
void StretchTextEffect(TextEffectContext &ctx, clsMemDC &surface, const QRectF &layout, const QString &text,
                       double scale, int)
{
    TextSprite sprite(ctx, surface, layout, text, scale);
    const double x0 = sprite.x0(), y0 = sprite.y0(), w = sprite.w(), h = sprite.h();
    auto top = [&](double sy) { return Nearest((1 - sy) * h / 2 + y0); };

    // Factors are counted in whole units (tenths, hundredths, fortieths) so
    // that the steps land on the exact values rather than drifting.
    int heightHundredths = 15;
    for (int n = 20, step = 1; n >= 10; --n, ++step) {
        if (step % 2 == 1) heightHundredths += 5;
        const double sx = n / 10.0, sy = heightHundredths / 100.0;
        sprite.drawAt(QRect(Nearest(x0 - 0.1 * w), top(sy), Nearest(w * sx), Nearest(h * sy)));
        sprite.writeFrame();
    }

    int offsetFortieths = -4; // -0.1 of the width
    for (int step = 1; step <= 14; ++step) {
        offsetFortieths += (step >= 8 && step <= 12) ? -1 : 1;
        heightHundredths = std::min(100, heightHundredths + 4);
        if (step == 1 || step == 6 || step == 10 || step == 14) continue;
        const double sy = heightHundredths / 100.0;
        sprite.drawAt(QRect(Nearest(w * offsetFortieths / 40.0 + x0), top(sy), int(w), Nearest(h * sy)));
        sprite.writeFrame();
    }
    sprite.finish();
}

} // namespace pvsm
