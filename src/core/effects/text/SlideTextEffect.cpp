#include "TextEffect.h"

#include "Numbers.h"

#include <cstdint>

namespace pvsm {

// The text slides in unscaled from one edge of the surface to its place:
// v4 = 0 from the left, 1 from the top, 2 from the right, 3 from the bottom.
void SlideTextEffect(TextEffectContext &ctx, clsMemDC &surface, const QRectF &layout, const QString &text, double scale,
                     int v4)
{
    TextSprite sprite(ctx, surface, layout, text, scale);
    const int step = sprite.surfaceWidth() < 700 ? 6 : 12;
    const bool vertical = v4 == 1 || v4 == 3;
    // The text starts just outside the surface: all of it, also where it runs
    // over its rectangle.
    const QRect whole = sprite.spriteRect();
    int64_t start = 0, end = 0;
    switch (v4) {
    case 1:
        start = -(int64_t(whole.y()) + whole.height() - sprite.y0());
        end = sprite.y0();
        break;
    case 2:
        start = int64_t(sprite.surfaceWidth()) + sprite.x0() - whole.x();
        end = sprite.x0();
        break;
    case 3:
        start = int64_t(sprite.surfaceHeight()) + sprite.y0() - whole.y();
        end = sprite.y0();
        break;
    default:
        start = -(int64_t(whole.x()) + whole.width() - sprite.x0());
        end = sprite.x0();
        break;
    }
    // A place beyond the starting edge (text laid out off the surface) is
    // still approached from the start rather than skipped.
    const int64_t direction = end < start ? -1 : 1;
    const int64_t distance = (end - start) * direction;
    const int64_t steps = distance / step + 1;
    const int64_t d = IntPart(double(distance) / step / 21) + 1;
    // Only every d-th step is seen, so only those are drawn.
    for (int64_t i = 0; i < steps; i += d) {
        const int pos = int(start + direction * i * step);
        sprite.drawAt(vertical ? QRect(sprite.x0(), pos, sprite.w(), sprite.h())
                               : QRect(pos, sprite.y0(), sprite.w(), sprite.h()));
        sprite.writeFrame();
    }
    sprite.finish();
}

} // namespace pvsm
