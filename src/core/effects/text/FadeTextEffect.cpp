#include "TextEffect.h"

namespace pvsm {

// The finished text fades in over the slide in 12 steps.
void FadeTextEffect(TextEffectContext &ctx, clsMemDC &surface, const QRectF &layout, const QString &text, double scale, int)
{
    const int W = surface.Width(), H = surface.Height();
    clsMemDC textCanvas, backup, work;
    textCanvas.CopyOf(surface);
    backup.CopyOf(surface);
    work.CopyOf(surface);
    const TextPathStyle style = scaledStyle(ctx.style, scale);
    DrawTextPath(textCanvas.image(), text, layout, style);
    const QRect r = textEffectArea(text, layout, style);
    // Every second value of 5, 15, 25, ... 245.
    for (int alpha = 15; alpha <= 235; alpha += 20) {
        AlphaBlend(work, r.x(), r.y(), r.width(), r.height(), textCanvas, r.x(), r.y(), alpha);
        BitBlt(surface, r.x(), r.y(), r.width(), r.height(), work, r.x(), r.y());
        BitBlt(work, r.x(), r.y(), r.width(), r.height(), backup, r.x(), r.y());
        ctx.sink.WriteFrame(surface.image(), 1);
    }
    BitBlt(surface, 0, 0, W, H, textCanvas, 0, 0);
}

} // namespace pvsm
