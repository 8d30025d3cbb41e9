// Text drawn as outlined, filled paths: captions, headlines, titles, lyrics.
//
// Text is turned into glyph outlines, laid out in a rectangle by one of nine
// alignments, filled by the style's pattern and outlined with its border.
// Sizes are em sizes in pixels (fractions allowed), independent of any screen
// resolution. Lines are separated by CR LF or LF (a lone CR counts too); a
// line wider than the rectangle wraps at a word boundary, or anywhere when a
// word (a run of Chinese characters) is too long. Text that does not fit the
// rectangle's height is not cut off: it runs over the top and bottom edges as
// the vertical alignment places it.
//
// Fonts: a face that is not installed is replaced by a face that can show
// Chinese (Noto Sans CJK SC where installed), and Chinese characters in a face
// without them are drawn from that face too, so text never shows as boxes.
//
// Threads: any thread may call these functions; calls from different threads
// are safe when they draw on different pictures.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QRgb>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

namespace pvsm {

// `ToArgb`: the ARGB value of a project colour 0x00BBGGRR with `alpha`
// (0 transparent … 255 opaque; clamped). ToArgb(0x0000FF, 170) == 0xAAFF0000.
QRgb ToArgb(uint32_t colorBgr, int alpha);

// Font styles.
enum FontStyle { kFontRegular = 0, kFontBold = 1, kFontItalic = 2, kFontBoldItalic = 3 };

// Fill patterns (see TextPatternBrush in GradientBrush.h for the geometry).
enum TextPattern {
    kPatternSolid = 0,    // start colour
    kPatternRainbow = 2,  // the rainbow texture
    kPatternGradient = 4, // 4, 6, 8, 10: gradient modes 0 … 3 over the rectangle
    kPatternMirrored = 12 // 12, 14, 16, 18: the same modes, start–end–start
};

// One text style as the renderers hold it: the project's text style with its
// colours already converted to ARGB and its sizes already scaled to the output.
struct TextPathStyle
{
    QString fontName;
    double sizePx = 12;       // em size in pixels; sizes outside (0, 4096] draw and measure nothing
    int fontStyle = kFontRegular; // 0 … 3; other values are taken as regular
    int alignment = 0;        // 0 … 8: column = value mod 3 (left, centre, right),
                              // row = value div 3 (top, middle, bottom); others as 0
    int pattern = kPatternSolid; // 0, 2, 4 … 18 even; anything else fills nothing
    double borderWidthPx = 0; // outline pen width; below 1 (or above 1024) no outline
    QRgb startArgb = 0xFF000000;
    QRgb endArgb = 0xFF000000;
    QRgb borderArgb = 0xAA000000;
};

// How one call draws.
struct TextPathOptions
{
    bool noBorder = false; // leave the outline out even when the style has one
    bool smoothing = true; // anti-aliased edges
    bool clear = false;    // first clear the whole picture to black at alpha 1 (0x01000000)
    // Scale of the rainbow texture (pattern 2); see rainbowTextureScale().
    QSizeF textureScale{1.0, 1.0};
};

// `DrawTextPath`: draws `text` laid out in `layout` (pixels of `target`) onto
// `target` (any QImage a QPainter can open: a canvas's image, a sprite):
// clear (when asked), fill the glyph outlines with the pattern brush (winding
// rule), then stroke them with the border pen (border colour, width in pixels).
// The rainbow texture is anchored at the picture's origin. An empty text, a
// null picture or an invalid size draws nothing.
void DrawTextPath(QImage &target, const QString &text, const QRectF &layout, const TextPathStyle &style,
                  const TextPathOptions &options = {});

// `DrawTextPathClipped`: the same, but only the pixels inside `clip` (pixels
// of `target`) are drawn (the clearing, when asked, still covers the whole
// picture). Lyrics colour a line progressively with it.
void DrawTextPathClipped(QImage &target, const QString &text, const QRectF &layout, const TextPathStyle &style,
                         const QRectF &clip, const TextPathOptions &options = {});

// The text sprite of the animated effects: the text drawn into a fresh,
// transparent Format_ARGB32_Premultiplied picture of the layout rectangle's
// size (each side rounded to the nearest pixel) with the rectangle moved to
// (0, 0), smoothing on, no clearing (the options' `smoothing` and `clear` are
// ignored). Null when a side is below 1 pixel or larger than 16384.
QImage RenderTextToImage(const QString &text, const QRectF &layout, const TextPathStyle &style,
                         const TextPathOptions &options = {});

// The pixels of the picture's grid that DrawTextPath would touch for this
// text, border included, wherever they fall (also beyond the layout
// rectangle, where wrapped or tall text runs over it). Empty when nothing
// would be drawn.
QRect TextInkRect(const QString &text, const QRectF &layout, const TextPathStyle &style,
                  const TextPathOptions &options = {});

// `RenderTextToPng`: RenderTextToImage encoded as PNG (straight alpha, as
// PNG stores it). Empty when there is no picture.
QByteArray RenderTextToPng(const QString &text, const QRectF &layout, const TextPathStyle &style,
                           const TextPathOptions &options = {});

// `MeasureText`: the box of the text with no layout limit: (0, 0, width of
// the widest line, number of lines × line spacing), in pixels. Empty text or an
// invalid size gives an empty rectangle.
QRectF MeasureText(const QString &text, const QString &fontName, double sizePx, int fontStyle);

// `MeasureLineWidths`: for every line its measured width as Int(width) + 1,
// or 0 for an empty line.
QVector<int> MeasureLineWidths(const QStringList &lines, const QString &fontName, double sizePx, int fontStyle);

// One picture's headline for MeasureHeadlineBoxes.
struct HeadlineToMeasure
{
    QString text;
    double sizePx = 64; // `HeadSize`
    int fontStyle = kFontBold; // `HeadStyle`
};

// `MeasureHeadlineBoxes`: the headline box size (`HeadPosW`, `HeadPosH`) of
// every headline given, in the headline text style's font: width =
// Nearest(measured width); height = Nearest(measured height), measured on
// the sample "A幻灯j" instead when the width exceeds 0.9 × the target screen
// width; finally the width is raised to the height when smaller. The editor
// leaves the selected picture out of the list it passes.
QVector<QSize> MeasureHeadlineBoxes(const QVector<HeadlineToMeasure> &headlines, const QString &fontName,
                                    int targetScreenWidthPx);

// `ListInstalledFonts`: the installed font family names, in the font
// database's order.
QStringList ListInstalledFonts();

// The family the text functions draw `fontName` with: the installed family of
// that name (matched regardless of case), else the preferred Chinese-capable
// face. Cached; call forgetResolvedFonts() after installing fonts at run time.
QString ResolveTextFontFamily(const QString &fontName);
void forgetResolvedFonts();

} // namespace pvsm
