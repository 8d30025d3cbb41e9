#include "TextEffect.h"

#include "Numbers.h"

#include <QPainter>

namespace pvsm {

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

TextSprite::TextSprite(TextEffectContext &ctx, clsMemDC &surface, const QRectF &layout, const QString &text, double scale)
    : m_ctx(ctx)
    , m_surface(surface)
    , m_rect(pixelRect(layout))
    , m_layout(layout)
    , m_text(text)
    , m_style(scaledStyle(ctx.style, scale))
{
    m_background.CreateMemDC(surface.Width(), surface.Height(), 0);
    BitBlt(m_background, 0, 0, surface.Width(), surface.Height(), surface, 0, 0);
    m_sprite = RenderTextToImage(text, layout, m_style);
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
    DrawImage(m_surface.image(), QRectF(target), m_sprite);
    m_dirty = target;
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
