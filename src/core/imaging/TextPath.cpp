#include "TextPath.h"

#include "Display.h"
#include "GradientBrush.h"
#include "Numbers.h"
#include "TextTexture.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <list>
#include <optional>

namespace pvsm {

namespace {

constexpr double kMaxSizePx = 4096;
constexpr double kMaxBorderPx = 1024;
constexpr int kMaxSpritePx = 16384;
constexpr int kSpritePngQuality = 80; // Qt's PNG writer: zlib level (100 - quality) × 9 / 91 = 1
// Longer texts are cut: no caption, headline or lyric line comes near this,
// and it bounds the work a malformed project can ask for.
constexpr int kMaxTextChars = 10000;
// Synthetic italic: x moves right by 0.2126 × the height above the baseline
// (the slant of the font engine's oblique), glyph y growing downwards.
const QTransform kSlant(1, 0, -0.2126, 1, 0, 0);

bool validSize(double sizePx)
{
    return std::isfinite(sizePx) && sizePx > 0 && sizePx <= kMaxSizePx;
}

bool finiteRect(const QRectF &r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) && std::isfinite(r.height())
        && std::abs(r.x()) < 1e7 && std::abs(r.y()) < 1e7 && std::abs(r.width()) < 1e7 && std::abs(r.height()) < 1e7;
}

struct FontCache
{
    QMutex mutex;
    QHash<QString, QStringList> families; // by lower-case name
    QHash<QString, bool> hasItalic;       // by family
};

FontCache &fontCache()
{
    static FontCache cache;
    return cache;
}

QString installedSpelling(const QStringList &installed, const QString &name)
{
    for (const QString &family : installed)
        if (family.compare(name, Qt::CaseInsensitive) == 0) return family;
    return {};
}

// The face list a text name is drawn with: the face itself (or its
// replacement) first, then a Chinese-capable face for the characters the
// first one lacks.
QStringList textFamilies(const QString &fontName)
{
    FontCache &cache = fontCache();
    const QString key = fontName.toLower();
    QMutexLocker lock(&cache.mutex);
    const auto it = cache.families.constFind(key);
    if (it != cache.families.constEnd()) return *it;

    const QStringList installed = QFontDatabase::families();
    const QStringList cjk = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    QString primary = installedSpelling(installed, fontName);
    if (primary.isEmpty()) primary = chooseDefaultTextFont(fontName, installed, cjk);
    QString cjkFace;
    for (const QString &face : cjkFallbackFaces()) {
        cjkFace = installedSpelling(cjk, face);
        if (!cjkFace.isEmpty()) break;
    }
    if (cjkFace.isEmpty() && !cjk.isEmpty()) cjkFace = cjk.first();
    QStringList list{primary};
    if (!cjkFace.isEmpty() && cjkFace.compare(primary, Qt::CaseInsensitive) != 0) list << cjkFace;
    cache.families.insert(key, list);
    return list;
}

// Whether `family` has a face of its own for italic text. For families
// without one the font engine slants the glyphs when it paints them, but not
// the outlines it hands out, so the path slants them itself.
bool familyHasItalic(const QString &family)
{
    FontCache &cache = fontCache();
    QMutexLocker lock(&cache.mutex);
    const auto it = cache.hasItalic.constFind(family);
    if (it != cache.hasItalic.constEnd()) return *it;
    bool italic = false;
    for (const QString &styleName : QFontDatabase::styles(family)) italic = italic || QFontDatabase::italic(family, styleName);
    cache.hasItalic.insert(family, italic);
    return italic;
}

// Fonts take whole pixel sizes; a fractional em size is drawn at the nearest
// whole size and scaled by `factor`. Hinting is off so that outlines and
// advances scale exactly.
struct ScaledFont
{
    QFont font;
    double factor = 1.0;
};

ScaledFont makeFont(const QString &fontName, double sizePx, int fontStyle)
{
    ScaledFont sf;
    const int px = std::max(1, int(std::lround(sizePx)));
    sf.factor = sizePx / px;
    sf.font = QFont(textFamilies(fontName));
    sf.font.setPixelSize(px);
    if (fontStyle < 0 || fontStyle > 3) fontStyle = kFontRegular;
    sf.font.setBold(fontStyle & kFontBold);
    sf.font.setItalic(fontStyle & kFontItalic);
    sf.font.setHintingPreference(QFont::PreferNoHinting);
    return sf;
}

// CR LF, LF and CR all end a line.
QString withLineSeparators(const QString &text)
{
    QString t = text.left(kMaxTextChars);
    t.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    t.replace(QLatin1Char('\n'), QChar::LineSeparator);
    t.replace(QLatin1Char('\r'), QChar::LineSeparator);
    return t;
}

// Lines of `text` laid out at the font's whole pixel size; `wrapWidth` <= 0
// breaks at line ends only. Line i's top is at i × lineSpacing.
struct Lines
{
    QTextLayout layout;
    double lineSpacing = 0;
};

void layOut(Lines &lines, const QString &text, const QFont &font, double wrapWidth)
{
    lines.layout.setText(withLineSeparators(text));
    lines.layout.setFont(font);
    QTextOption option;
    option.setUseDesignMetrics(true);
    option.setWrapMode(wrapWidth > 0 ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    lines.layout.setTextOption(option);
    lines.lineSpacing = QFontMetricsF(font).lineSpacing();
    const double width = wrapWidth > 0 ? wrapWidth : 1e6;
    lines.layout.beginLayout();
    for (int n = 0;; ++n) {
        QTextLine line = lines.layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(width);
        line.setPosition(QPointF(0, n * lines.lineSpacing));
    }
    lines.layout.endLayout();
}

// The advance of a line without the blanks at its end (they would push
// centred and right-aligned lines off their place).
double lineAdvance(const QTextLine &line, const QString &text)
{
    int end = line.textStart() + line.textLength();
    while (end > line.textStart() && text.at(end - 1).isSpace()) --end;
    if (end == line.textStart()) return 0;
    return line.cursorToX(end) - line.cursorToX(line.textStart());
}

// The outlines of a text laid out in `layout`, one path per glyph (each
// with the winding rule). Kept apart because the rasteriser fills many small
// paths far faster than one path spanning the whole line.
struct Outline
{
    QVector<QPainterPath> glyphs;
    QRectF bounds;
};

Outline textOutline(const QString &text, const QRectF &layout, int alignment, const ScaledFont &sf)
{
    Lines lines;
    layOut(lines, text, sf.font, layout.width() > 0 ? layout.width() / sf.factor : 0);
    const QString laidText = lines.layout.text();
    if (alignment < 0 || alignment > 8) alignment = 0;
    const int column = alignment % 3, row = alignment / 3;
    const double total = lines.layout.lineCount() * lines.lineSpacing * sf.factor;
    const double top = row == 0 ? layout.top()
        : row == 1              ? layout.top() + (layout.height() - total) / 2
                                : layout.top() + layout.height() - total;
    Outline outline;
    for (int i = 0; i < lines.layout.lineCount(); ++i) {
        const QTextLine line = lines.layout.lineAt(i);
        const double width = lineAdvance(line, laidText) * sf.factor;
        const double left = column == 0 ? layout.left()
            : column == 1               ? layout.left() + (layout.width() - width) / 2
                                        : layout.left() + layout.width() - width;
        const QTransform place(sf.factor, 0, 0, sf.factor, left, top);
        for (const QGlyphRun &run : line.glyphRuns()) {
            const QRawFont raw = run.rawFont();
            const bool slant = sf.font.italic() && !familyHasItalic(raw.familyName());
            const QVector<quint32> glyphs = run.glyphIndexes();
            const QVector<QPointF> positions = run.positions();
            for (qsizetype g = 0; g < glyphs.size() && g < positions.size(); ++g) {
                QPainterPath glyph = raw.pathForGlyph(glyphs[g]);
                if (glyph.isEmpty()) continue;
                if (slant) glyph = kSlant.map(glyph);
                glyph.translate(positions[g]);
                glyph = place.map(glyph);
                glyph.setFillRule(Qt::WindingFill);
                outline.bounds |= glyph.controlPointRect();
                outline.glyphs << glyph;
            }
        }
    }
    return outline;
}

// Rendering a headline's outlines costs tens of milliseconds (the border
// stroke most of all), while lyrics redraw the same line every frame with a
// moving clip. So each drawing is rendered once into a transparent picture
// of its ink, in the target's own pixel grid, and composited from there.
struct RenderKey
{
    QString text;
    QString fontName;
    double sizePx = 0;
    int fontStyle = 0, alignment = 0, pattern = 0;
    double borderWidthPx = 0;
    QRgb startArgb = 0, endArgb = 0, borderArgb = 0;
    double x = 0, y = 0, w = 0, h = 0;
    double textureScaleX = 1, textureScaleY = 1;
    quint64 textureSerial = 0;
    bool smoothing = true;
    bool outline = false;
    QSize targetSize;
    bool operator==(const RenderKey &) const = default;
};

struct RenderedText
{
    QImage ink; // Format_ARGB32_Premultiplied; null when nothing shows
    QPoint origin;
};

constexpr int kRenderCacheEntries = 16;
constexpr qint64 kRenderCacheBytes = qint64(48) * 1024 * 1024;

struct RenderCache
{
    QMutex mutex;
    std::list<std::pair<RenderKey, RenderedText>> entries; // most recent first
    qint64 bytes = 0;
};

RenderCache &renderCache()
{
    static RenderCache cache;
    return cache;
}

std::optional<RenderedText> cachedRender(const RenderKey &key)
{
    RenderCache &cache = renderCache();
    QMutexLocker lock(&cache.mutex);
    for (auto it = cache.entries.begin(); it != cache.entries.end(); ++it)
        if (it->first == key) {
            cache.entries.splice(cache.entries.begin(), cache.entries, it);
            return cache.entries.front().second;
        }
    return std::nullopt;
}

void storeRender(const RenderKey &key, const RenderedText &rendered)
{
    const qint64 size = rendered.ink.sizeInBytes();
    if (size > kRenderCacheBytes) return;
    RenderCache &cache = renderCache();
    QMutexLocker lock(&cache.mutex);
    cache.entries.emplace_front(key, rendered);
    cache.bytes += size;
    while (cache.entries.size() > size_t(kRenderCacheEntries) || cache.bytes > kRenderCacheBytes) {
        cache.bytes -= cache.entries.back().second.ink.sizeInBytes();
        cache.entries.pop_back();
    }
}

// Every pixel the outlines touch, the border included: miter joins reach at
// most the pen width beyond the outline.
QRect inkArea(const Outline &glyphs, const TextPathStyle &style, bool outline)
{
    const double margin = (outline ? style.borderWidthPx : 0) + 2;
    return glyphs.bounds.adjusted(-margin, -margin, margin, margin).toAlignedRect();
}

bool hasOutline(const TextPathStyle &style, const TextPathOptions &options)
{
    return !options.noBorder && style.borderWidthPx >= 1 && style.borderWidthPx <= kMaxBorderPx;
}

RenderedText render(const QString &text, const QRectF &layout, const TextPathStyle &style,
                    const TextPathOptions &options, const QBrush &brush, bool outline, QSize targetSize)
{
    const Outline glyphs =
        textOutline(text, layout, style.alignment, makeFont(style.fontName, style.sizePx, style.fontStyle));
    if (glyphs.glyphs.isEmpty()) return {};
    const QRect area = inkArea(glyphs, style, outline) & QRect(QPoint(0, 0), targetSize);
    if (area.isEmpty()) return {};
    RenderedText rendered;
    rendered.origin = area.topLeft();
    rendered.ink = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
    if (rendered.ink.isNull()) return {};
    rendered.ink.fill(0);
    QPainter painter(&rendered.ink);
    if (!painter.isActive()) return {};
    painter.translate(-area.topLeft());
    painter.setRenderHint(QPainter::Antialiasing, options.smoothing);
    if (brush.style() != Qt::NoBrush)
        for (const QPainterPath &glyph : glyphs.glyphs) painter.fillPath(glyph, brush);
    if (outline) {
        // The border is stroked opaque into a mask, glyph by glyph, and
        // coloured afterwards: where the strokes of neighbouring glyphs
        // overlap, a translucent border colour is laid on once, not twice.
        QImage mask(area.size(), QImage::Format_ARGB32_Premultiplied);
        if (mask.isNull()) return {};
        mask.fill(0);
        QPainter stroker(&mask);
        stroker.translate(-area.topLeft());
        stroker.setRenderHint(QPainter::Antialiasing, options.smoothing);
        QPen pen(Qt::white, style.borderWidthPx);
        pen.setJoinStyle(Qt::MiterJoin);
        for (const QPainterPath &glyph : glyphs.glyphs) stroker.strokePath(glyph, pen);
        stroker.resetTransform();
        stroker.setCompositionMode(QPainter::CompositionMode_SourceIn);
        stroker.fillRect(mask.rect(), QColor::fromRgba(style.borderArgb));
        stroker.end();
        painter.resetTransform();
        painter.drawImage(0, 0, mask);
    }
    painter.end();
    return rendered;
}

void drawText(QImage &target, const QString &text, const QRectF &layout, const TextPathStyle &style,
              const TextPathOptions &options, const QRectF *clip)
{
    if (target.isNull()) return;
    if (options.clear) target.fill(target.format() == QImage::Format_RGB32 ? 0xFF000000u : 0x01000000u);
    if (text.isEmpty() || !validSize(style.sizePx) || !finiteRect(layout)) return;
    if (clip && (!finiteRect(*clip) || clip->isEmpty())) return;

    const QBrush brush =
        TextPatternBrush(style.pattern, layout, style.startArgb, style.endArgb, options.textureScale);
    const bool outline = hasOutline(style, options);
    if (brush.style() == Qt::NoBrush && !outline) return;

    RenderKey key;
    key.text = text.left(kMaxTextChars);
    key.fontName = style.fontName;
    key.sizePx = style.sizePx;
    key.fontStyle = style.fontStyle;
    key.alignment = style.alignment;
    key.pattern = style.pattern;
    key.borderWidthPx = outline ? style.borderWidthPx : 0;
    key.startArgb = style.startArgb;
    key.endArgb = style.endArgb;
    key.borderArgb = outline ? style.borderArgb : 0;
    key.x = layout.x(), key.y = layout.y(), key.w = layout.width(), key.h = layout.height();
    if (style.pattern == kPatternRainbow) {
        key.textureScaleX = options.textureScale.width();
        key.textureScaleY = options.textureScale.height();
        key.textureSerial = rainbowTextureSerial();
    }
    key.smoothing = options.smoothing;
    key.outline = outline;
    key.targetSize = target.size();

    std::optional<RenderedText> rendered = cachedRender(key);
    if (!rendered) {
        rendered = render(text, layout, style, options, brush, outline, target.size());
        storeRender(key, *rendered);
    }
    if (rendered->ink.isNull()) return;
    QPainter painter(&target);
    if (!painter.isActive()) return;
    if (clip) painter.setClipRect(*clip);
    painter.drawImage(rendered->origin, rendered->ink);
}

// Widths of the lines of `text` (no wrapping) and the line spacing, in pixels.
struct Measured
{
    QVector<double> widths;
    double lineSpacing = 0;
};

Measured measureLines(const QString &text, const QString &fontName, double sizePx, int fontStyle)
{
    Measured m;
    if (text.isEmpty() || !validSize(sizePx)) return m;
    const ScaledFont sf = makeFont(fontName, sizePx, fontStyle);
    Lines lines;
    layOut(lines, text, sf.font, 0);
    const QString laidText = lines.layout.text();
    for (int i = 0; i < lines.layout.lineCount(); ++i)
        m.widths << lineAdvance(lines.layout.lineAt(i), laidText) * sf.factor;
    m.lineSpacing = lines.lineSpacing * sf.factor;
    return m;
}

} // namespace

QRgb ToArgb(uint32_t colorBgr, int alpha)
{
    const uint32_t a = uint32_t(std::clamp(alpha, 0, 255));
    const uint32_t r = colorBgr & 0xFF, g = (colorBgr >> 8) & 0xFF, b = (colorBgr >> 16) & 0xFF;
    return (a << 24) | (r << 16) | (g << 8) | b;
}

void DrawTextPath(QImage &target, const QString &text, const QRectF &layout, const TextPathStyle &style,
                  const TextPathOptions &options)
{
    drawText(target, text, layout, style, options, nullptr);
}

void DrawTextPathClipped(QImage &target, const QString &text, const QRectF &layout, const TextPathStyle &style,
                         const QRectF &clip, const TextPathOptions &options)
{
    drawText(target, text, layout, style, options, &clip);
}

QImage RenderTextToImage(const QString &text, const QRectF &layout, const TextPathStyle &style,
                         const TextPathOptions &options)
{
    if (!finiteRect(layout)) return {};
    const int w = Nearest(layout.width()), h = Nearest(layout.height());
    if (w < 1 || h < 1 || w > kMaxSpritePx || h > kMaxSpritePx || int64_t(w) * h > int64_t(64) * 1024 * 1024)
        return {};
    QImage sprite(w, h, QImage::Format_ARGB32_Premultiplied);
    if (sprite.isNull()) return {};
    sprite.fill(0);
    TextPathOptions spriteOptions = options;
    spriteOptions.smoothing = true;
    spriteOptions.clear = false;
    DrawTextPath(sprite, text, QRectF(0, 0, layout.width(), layout.height()), style, spriteOptions);
    return sprite;
}

QRect TextInkRect(const QString &text, const QRectF &layout, const TextPathStyle &style, const TextPathOptions &options)
{
    if (text.isEmpty() || !validSize(style.sizePx) || !finiteRect(layout)) return {};
    const bool outline = hasOutline(style, options);
    if (TextPatternBrush(style.pattern, layout, style.startArgb, style.endArgb, options.textureScale).style() == Qt::NoBrush
        && !outline)
        return {};
    const Outline glyphs =
        textOutline(text, layout, style.alignment, makeFont(style.fontName, style.sizePx, style.fontStyle));
    if (glyphs.glyphs.isEmpty()) return {};
    return inkArea(glyphs, style, outline);
}

QByteArray RenderTextToPng(const QString &text, const QRectF &layout, const TextPathStyle &style,
                           const TextPathOptions &options)
{
    const QImage sprite = RenderTextToImage(text, layout, style, options);
    if (sprite.isNull()) return {};
    QByteArray png;
    QBuffer buffer(&png);
    // The sprite is read back at once: the fastest deflate level will do.
    if (!buffer.open(QIODevice::WriteOnly) || !sprite.save(&buffer, "PNG", kSpritePngQuality)) return {};
    return png;
}

QRectF MeasureText(const QString &text, const QString &fontName, double sizePx, int fontStyle)
{
    const Measured m = measureLines(text, fontName, sizePx, fontStyle);
    if (m.widths.isEmpty()) return {};
    return QRectF(0, 0, *std::max_element(m.widths.cbegin(), m.widths.cend()), m.widths.size() * m.lineSpacing);
}

QVector<int> MeasureLineWidths(const QStringList &lines, const QString &fontName, double sizePx, int fontStyle)
{
    QVector<int> widths;
    widths.reserve(lines.size());
    for (const QString &line : lines) {
        const QRectF box = line.isEmpty() ? QRectF() : MeasureText(line, fontName, sizePx, fontStyle);
        widths << (box.isNull() ? 0 : IntPart(box.width()) + 1);
    }
    return widths;
}

QVector<QSize> MeasureHeadlineBoxes(const QVector<HeadlineToMeasure> &headlines, const QString &fontName,
                                    int targetScreenWidthPx)
{
    static const QString kSample = QStringLiteral("A幻灯j");
    QVector<QSize> boxes;
    boxes.reserve(headlines.size());
    for (const HeadlineToMeasure &h : headlines) {
        const QRectF box = MeasureText(h.text, fontName, h.sizePx, h.fontStyle);
        const int width = Nearest(box.width());
        double height = box.height();
        if (width > 0.9 * targetScreenWidthPx) height = MeasureText(kSample, fontName, h.sizePx, h.fontStyle).height();
        const int heightPx = Nearest(height);
        boxes << QSize(std::max(width, heightPx), heightPx);
    }
    return boxes;
}

QStringList ListInstalledFonts()
{
    return QFontDatabase::families();
}

QString ResolveTextFontFamily(const QString &fontName)
{
    return textFamilies(fontName).value(0);
}

void forgetResolvedFonts()
{
    FontCache &cache = fontCache();
    QMutexLocker lock(&cache.mutex);
    cache.families.clear();
    cache.hasItalic.clear();
    lock.unlock();
    RenderCache &renders = renderCache();
    QMutexLocker rendersLock(&renders.mutex);
    renders.entries.clear();
    renders.bytes = 0;
}

} // namespace pvsm
