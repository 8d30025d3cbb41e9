#include "TextEffect.h"

#include "Numbers.h"

#include <QPainter>

namespace pvsm {

namespace {
// As for any one picture of the text renderer: 256 MB of sprite at most.
constexpr int64_t kMaxSpritePixels = int64_t(64) * 1024 * 1024;
} // namespace

TextPathStyle scaledStyle(const TextPathStyle &style, double scale)
{
    TextPathStyle s = style;
    s.sizePx = style.sizePx * scale;
    s.borderWidthPx = style.borderWidthPx * scale;
    return s;
}

QRect pixelRect(const QRectF &layout)
{
    return {Nearest(layout.x()), Nearest(layout.y()), Nearest(layout.width()), Nearest(layout.height())};
}

QRect textEffectArea(const QString &text, const QRectF &layout, const TextPathStyle &style)
{
    return pixelRect(layout) | TextInkRect(text, layout, style);
}

TextSprite::TextSprite(TextEffectContext &ctx, clsMemDC &surface, const QRectF &layout, const QString &text, double scale)
    : m_ctx(ctx)
    , m_surface(surface)
    , m_rect(pixelRect(layout))
    , m_spriteRect(m_rect)
    , m_layout(layout)
    , m_text(text)
    , m_style(scaledStyle(ctx.style, scale))
{
    m_background.CreateMemDC(surface.Width(), surface.Height(), 0);
    BitBlt(m_background, 0, 0, surface.Width(), surface.Height(), surface, 0, 0);
    if (m_rect.width() < 1 || m_rect.height() < 1) return;
    // The sprite takes in the text also where it runs over the layout
    // rectangle, so that every step shows the glyphs of the finished text.
    // Ink farther than a surface's size off the surface can never be seen
    // and is left out.
    const QRect surfaceRect = surface.rect();
    const QRect reach = surfaceRect.adjusted(-surfaceRect.width(), -surfaceRect.height(), surfaceRect.width(),
                                             surfaceRect.height());
    m_spriteRect = m_rect | (textEffectArea(text, layout, m_style) & reach);
    if (m_spriteRect.width() > kMaxCanvasSide || m_spriteRect.height() > kMaxCanvasSide
        || int64_t(m_spriteRect.width()) * m_spriteRect.height() > kMaxSpritePixels)
        return;
    m_sprite = QImage(m_spriteRect.size(), QImage::Format_ARGB32_Premultiplied);
    if (m_sprite.isNull()) return;
    m_sprite.fill(0);
    // Moved by whole pixels only, so the glyphs fall on the pixel grid exactly
    // as they do when the finished text is drawn on the surface.
    DrawTextPath(m_sprite, text, layout.translated(-m_spriteRect.topLeft()), m_style);
}

QRectF TextSprite::spriteTarget(const QRect &target) const
{
    const double fx = double(target.width()) / m_rect.width(), fy = double(target.height()) / m_rect.height();
    return {target.x() + (m_spriteRect.x() - m_rect.x()) * fx, target.y() + (m_spriteRect.y() - m_rect.y()) * fy,
            m_spriteRect.width() * fx, m_spriteRect.height() * fy};
}

void TextSprite::restore()
{
    const QRect r = m_dirty.intersected(m_surface.rect());
    if (!r.isEmpty()) BitBlt(m_surface, r.x(), r.y(), r.width(), r.height(), m_background, r.x(), r.y());
    m_dirty = QRect();
}

void TextSprite::drawPiece(const QRect &target, const QRect &source)
{
    if (m_sprite.isNull() || target.isEmpty()) return;
    DrawImage(m_surface.image(), QRectF(target), m_sprite, QRectF(source));
    m_dirty = m_dirty.united(target);
}

void TextSprite::drawPieces(std::span<const SpritePiece> pieces)
{
    if (m_sprite.isNull() || pieces.empty()) return;
    QPainter painter(&m_surface.image());
    if (!painter.isActive()) return;
    const QRect spriteRect = m_sprite.rect();
    QRect drawn;
    for (const SpritePiece &piece : pieces) {
        const QRect source = piece.source.intersected(spriteRect);
        if (source.isEmpty()) continue;
        const QPoint target = piece.target + (source.topLeft() - piece.source.topLeft());
        // Whole-pixel target of the source's size: the painter blends rows
        // without scaling or filtering.
        painter.drawImage(target, m_sprite, source);
        drawn |= QRect(target, source.size());
    }
    m_dirty |= drawn;
}

void TextSprite::drawAt(const QRect &target)
{
    restore();
    if (m_sprite.isNull() || target.isEmpty()) return;
    const QRectF placed = spriteTarget(target);
    DrawImage(m_surface.image(), placed, m_sprite);
    m_dirty = placed.toAlignedRect();
}

void TextSprite::drawScaled(double sx, double sy)
{
    drawAt(QRect(Nearest(m_rect.x() - (sx - 1) * m_rect.width() / 2), Nearest(m_rect.y() - (sy - 1) * m_rect.height() / 2),
                 Nearest(m_rect.width() * sx), Nearest(m_rect.height() * sy)));
}

void TextSprite::finish()
{
    DrawTextPath(m_background.image(), m_text, m_layout, m_style);
    BitBlt(m_surface, 0, 0, m_surface.Width(), m_surface.Height(), m_background, 0, 0);
    m_dirty = QRect();
    writeFrame();
}

namespace {

constexpr TextEffectEntry kCatalogue[] = {
    {0, "FadeTextEffect", false, FadeTextEffect},
    {1, "WipeTextEffect", false, WipeTextEffect},
    {2, "SlideTextEffect", true, SlideTextEffect},
    {3, "ShakeTextEffect", false, ShakeTextEffect},
    {4, "StretchTextEffect", false, StretchTextEffect},
    {5, "GrowTextEffect", false, GrowTextEffect},
    {6, "ShrinkTextEffect", false, ShrinkTextEffect},
    {7, "HopTextEffect", false, HopTextEffect},
    {8, "GatherTextEffect", false, GatherTextEffect},
};

} // namespace

std::span<const TextEffectEntry> textEffectCatalogue()
{
    return kCatalogue;
}

void RunTextEffect(TextEffectContext &ctx, int value, clsMemDC &surface, const QRectF &layout, const QString &text,
                   double scale, int v4)
{
    if (value < 0 || value >= int(std::size(kCatalogue)) || surface.isNull()) return;
    kCatalogue[value].render(ctx, surface, layout, text, scale, kCatalogue[value].takesVariant ? v4 : 0);
}

} // namespace pvsm
