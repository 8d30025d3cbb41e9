#include "TextEffect.h"

namespace pvsm {

// The finished text is uncovered from left to right, two columns at a time.
void WipeTextEffect(TextEffectContext &ctx, clsMemDC &surface, const QRectF &layout, const QString &text, double scale, int)
{
    const int W = surface.Width(), H = surface.Height();
    clsMemDC textCanvas;
    textCanvas.CopyOf(surface);
    const TextPathStyle style = scaledStyle(ctx.style, scale);
    DrawTextPath(textCanvas.image(), text, layout, style);
    const QRect r = textEffectArea(text, layout, style);
    const int d = r.width() / 2 / 21 + 1;
    int column = 0;
    for (int x = r.x(); x <= r.x() + r.width(); x += 2, ++column) {
        BitBlt(surface, x, r.y(), 2, r.height(), textCanvas, x, r.y());
        if (column % d == 0) ctx.sink.WriteFrame(surface.image(), 1);
    }
    BitBlt(surface, 0, 0, W, H, textCanvas, 0, 0);
}

} // namespace pvsm
