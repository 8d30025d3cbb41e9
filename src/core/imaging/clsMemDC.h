// The memory canvas and the pixel operations the renderers build frames with.
//
// A canvas is an opaque 32-bit picture (QImage::Format_RGB32) that transitions,
// text effects, slides and lyrics draw on off screen. The operations below are
// the block copy, halftone stretch, constant-alpha blend, inverted copy and grey
// matrix that every video frame goes through, so they work on raw rows: a block
// copy is one memcpy per row, a blend one integer pass over the rectangle.
//
// Colours: a `colorBgr` is a project colour 0x00BBGGRR; an `argb` is a QRgb
// 0xAARRGGBB (ToArgb in TextPath.h converts).
//
// Pictures: every operation takes QImage in Format_RGB32, Format_ARGB32 or
// Format_ARGB32_Premultiplied (a canvas, the image of a canvas, a text sprite);
// with any other format it draws nothing. Rectangles are in pixels and may lie
// partly or wholly outside either picture: only the part that maps inside both
// is touched, the rest of the destination keeps its pixels. Source and
// destination may be the same picture, overlapping or not. When the destination
// is Format_RGB32, results are opaque whatever the source's alpha.
//
// Threads: a canvas belongs to one thread at a time; the operations keep no
// state, so different canvases may be drawn on different threads.
#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QRgb>
#include <QSize>

#include <cstdint>
#include <span>
#include <vector>

namespace pvsm {

// Largest canvas: 16384 pixels a side and 64 M pixels (256 MiB) in all.
inline constexpr int kMaxCanvasSide = 16384;
inline constexpr int64_t kMaxCanvasPixels = int64_t(64) * 1024 * 1024;

// A colour as a canvas stores it. A value with the top bit set names a system
// colour by index (lower 31 bits; 15 is the button face, the picture boxes'
// default back colour); system colours come from a fixed table of the standard
// light scheme, so exported videos look alike on every machine. Unknown
// indices give black. The result is 0x00BBGGRR.
uint32_t TranslateColor(uint32_t colorBgr);

// `clsMemDC`: an off-screen canvas with a back colour.
// Non-copyable (it owns its pixels); movable. A default or failed canvas is
// empty: Width() and Height() are 0, image() is null and drawing on it or from
// it does nothing.
class clsMemDC
{
public:
    clsMemDC() = default;
    // Same as CreateMemDC(widthPx, heightPx, backColorBgr).
    clsMemDC(int widthPx, int heightPx, uint32_t backColorBgr = 0);
    clsMemDC(const clsMemDC &) = delete;
    clsMemDC &operator=(const clsMemDC &) = delete;
    clsMemDC(clsMemDC &&other) noexcept;
    clsMemDC &operator=(clsMemDC &&other) noexcept;
    ~clsMemDC() = default;

    // (Re)creates the canvas with the given size, fills it with the back
    // colour, which becomes the initial back colour (the one Clear restores).
    // Returns false, leaving the canvas empty, when a size is not positive,
    // exceeds the limits above, or the memory cannot be had.
    bool CreateMemDC(int widthPx, int heightPx, uint32_t backColorBgr);
    // The picture-box form: a width or height of 0 takes the box's
    // (`boxSizePx`) width or height.
    bool CreateMemDC(QSize boxSizePx, int widthPx, int heightPx, uint32_t backColorBgr);
    // Makes the canvas a copy of `other`'s size and pixels with the given back
    // colour. The pixels are shared until either canvas is drawn on, so a
    // scratch copy that is only read, or never used, costs no copying.
    void CopyOf(const clsMemDC &other, uint32_t backColorBgr = 0);
    // Makes the canvas w × h without filling it, for a caller that draws
    // every pixel before it reads or shows any (the pixels are undefined until
    // then); black back colour. False as CreateMemDC.
    bool PrepareToOverwrite(int widthPx, int heightPx);
    // Frees the pixels; the canvas is empty afterwards.
    void Release();

    int Width() const { return m_image.width(); }
    int Height() const { return m_image.height(); }
    QSize size() const { return m_image.size(); }
    bool isNull() const { return m_image.isNull(); }
    QRect rect() const { return m_image.rect(); }

    // The pixels (Format_RGB32), for the operations below and for QPainter.
    // Keep the alpha byte at 0xFF when writing rows directly. Holding a copy of
    // the QImage makes the next write copy the whole canvas first, so renderers
    // should pass the reference along rather than keep copies.
    QImage &image() { return m_image; }
    const QImage &image() const { return m_image; }

    // Translates and stores the colour (see TranslateColor) and fills the whole
    // canvas with it.
    void setBackColor(uint32_t colorBgr);
    uint32_t BackColor() const { return m_backColor; }
    // Back to the initial back colour, filling the canvas.
    void Clear();

private:
    QImage m_image;
    uint32_t m_initialBackColor = 0;
    uint32_t m_backColor = 0;
};

// Asks the C library to keep freed picture-sized blocks for reuse instead of
// handing them back to the system at once: otherwise every canvas a
// transition or a slide makes arrives as fresh pages that the kernel must
// fault in and zero (about 1 ms for one 1280 × 720 canvas, as much as a
// dozen transition frames). Peak memory is unchanged; memory freed after the
// peak stays with the process. On Linux it also turns transparent huge
// pages off for the process. Programs call it once at start-up.
void ReuseCanvasMemory();
// Gives the heap's free pages back to the system (malloc_trim): for the rare
// big block, such as a whole photo decoded for one slide, that the setting
// above would otherwise keep in each thread's arena. Thread-safe; costs a walk
// of the heap, so call it only after freeing something large.
void ReturnFreedHeapMemory();

// The vector instructions the pixel loops use. Every choice draws exactly the
// same pixels; Best (the default) takes the widest the processor has. For
// tests that compare them: not safe while anything draws on another thread.
enum class PixelKernels { Best, Avx2, Portable };
void UsePixelKernels(PixelKernels kernels);
// The last choice made (Best until one is); for pixel loops of other libraries.
PixelKernels PixelKernelsInUse();

// Raster operations of the block copy.
enum class RasterOp {
    SrcCopy,    // the source as it is
    NotSrcCopy, // the source's colours inverted (the negative)
};

// Filtering of the stretched copy.
enum class StretchMode {
    Halftone,    // smooth: bilinear from the picture halved until it is at most √2 larger
    ColorOnColor // nearest pixel, no filtering
};

// Block copy of the w × h rectangle at (sx, sy) of `src` to (x, y) of `dst`.
void BitBlt(QImage &dst, int x, int y, int w, int h, const QImage &src, int sx, int sy,
            RasterOp op = RasterOp::SrcCopy);

// Asks the processor to fetch `bytes` from `start` into its caches: for
// loops over short rows far apart, whose next rows it does not guess.
inline void FetchAhead(const void *start, qsizetype bytes)
{
    const char *p = static_cast<const char *>(start);
    for (qsizetype off = 0; off < bytes + 63; off += 64) __builtin_prefetch(p + off);
}

// Copies each of `rects` from `src` to the same place in `dst` (clipped to
// both): what BitBlt of every rectangle does, for the many small pieces of a
// region, checking the pictures once rather than for every piece.
void CopyRects(QImage &dst, std::span<const QRect> rects, const QImage &src);

// Stretched copy of the source rectangle (sx, sy, sw, sh) onto the destination
// rectangle (x, y, w, h). A negative width or height takes the rectangle from
// the other side: the destination columns [x + w, x) for w < 0; when the signs
// of w and sw (h and sh) differ the picture is mirrored left-right (upside
// down). Equal sizes copy exactly (mirrored if asked) without filtering.
void StretchBlt(QImage &dst, int x, int y, int w, int h, const QImage &src, int sx, int sy, int sw, int sh,
                StretchMode mode = StretchMode::Halftone);

// A picture made ready for many shrunken copies of it: the picture and its
// successive halves (each pixel the mean of 2 × 2), made once, so that a copy
// shrunk to a tenth reads about as many pixels as it writes instead of all of
// them. The pyramid keeps the picture as it was when made (implicit sharing:
// later drawing on the picture does not reach it).
class PicturePyramid
{
public:
    PicturePyramid() = default;
    // With `halveRows` false only the columns are halved, for copies that are
    // narrowed but keep their height. Empty for a null or non-canvas picture.
    explicit PicturePyramid(const QImage &picture, bool halveRows = true);
    const std::vector<QImage> &levels() const { return m_levels; }
    bool halvesRows() const { return m_halveRows; }

private:
    std::vector<QImage> m_levels;
    bool m_halveRows = true;
};

// Bilinear samples of `src` (32-bit, premultiplied where it has alpha) into
// the pixels of `area` in `dst` (32-bit): pixel (X, Y) gets the sample at
// (ax × X + bx, ay × Y + by) in `src`'s pixels, whose centres lie at whole
// numbers, in 256ths of a pixel, held at the edges. The samples' alpha is
// written as it comes, into an RGB32 `dst` too: the caller blends what is not
// opaque. The stretched copy's vector kernels.
void SampleBilinear(QImage &dst, const QRect &area, const QImage &src, double ax, double bx, double ay, double by);

// The halftone stretched copy from a pyramid: the same rectangles and
// clipping as StretchBlt from its picture, sampled from the level nearest the
// destination's size. Only the destination pixels inside `clip` change (all
// of them when `clip` is empty).
void StretchBlt(QImage &dst, int x, int y, int w, int h, const PicturePyramid &src, int sx, int sy, int sw, int sh,
                const QRect &clip = QRect());

// `picture` resampled to `size` for a picture shown at rest (a slide's still
// picture, a background, a thumbnail, a package's re-encoded picture). Along
// an axis that shrinks, each pixel is the mean of the source area it covers,
// the pixels cut by its edges counted by the part inside (an area filter);
// along one that grows, linear between the two nearest pixels. The halftone
// StretchBlt softens a shrink that is a little more than a power of two
// (it samples the halved picture with two taps at about 1:1, which blends
// neighbours); this one keeps the detail a plain shrink shows, at a few times
// its cost, so the transitions, whose pictures move, keep StretchBlt. Same
// format as `picture`; ARGB32 is averaged premultiplied. Null for a null or
// non-canvas picture, an empty size or one past the canvas limits.
QImage AreaScaled(const QImage &picture, QSize size);

// Constant-alpha blend of the w × h rectangle at (sx, sy) of `src` over
// (x, y) of `dst`: every channel becomes (src × alpha + dst × (255 − alpha)) /
// 255 rounded to nearest; alpha is clamped to 0 … 255. Alpha 0 leaves the
// destination as it was, 255 copies the source. The source's own alpha
// channel is blended like a colour channel, not used as coverage.
void AlphaBlend(QImage &dst, int x, int y, int w, int h, const QImage &src, int sx, int sy, int alpha);

// Fills the rectangle with an opaque colour 0x00BBGGRR.
void FillRect(QImage &dst, int x, int y, int w, int h, uint32_t colorBgr);

// `FillGradient`: fills the whole picture with a two-colour linear gradient of
// `mode` 0 … 3 over its full rectangle (see GradientBrush.h); colours are ARGB
// and drawn over the existing pixels. Another mode fills nothing.
void FillGradient(QImage &dst, int mode, QRgb startArgb, QRgb endArgb);

// Draws a picture with alpha (a text sprite, a frame overlay) over `dst`, the
// `source` rectangle of `image` (its whole rectangle when empty) smoothly
// scaled into `target`. For many draws in one step open one QPainter on
// dst instead.
void DrawImage(QImage &dst, const QRectF &target, const QImage &image, const QRectF &source = QRectF());

// `back` with `front` blended over it at constant `alpha`, written to `dst`
// (all three the same size; `dst` may be `back`): the same pixels as copying
// `back` into `dst` and then AlphaBlend of `front`, in one pass.
void BlendPictures(QImage &dst, const QImage &back, const QImage &front, int alpha);

// `front` blended at constant `alpha` over a plain colour 0x00BBGGRR, written
// to `dst` (the same size as `front`; it may be `front`): the same pixels as
// BlendPictures over a picture filled with that colour, reading one picture.
void BlendOverColour(QImage &dst, const QImage &front, uint32_t colourBgr, int alpha);

// One row of `n` pixels of that blend: d = (front × alpha + back × (255 −
// alpha)) / 255 rounded, ORed with `opaqueMask` (0xFF000000 for an RGB32
// destination). For renderers that blend many short spans of each row, where
// a call of AlphaBlend per span would walk the picture once per span. `d`
// may be `back`; alpha must be 0 … 255.
void BlendRow(QRgb *d, const QRgb *back, const QRgb *front, int n, int alpha, uint32_t opaqueMask);
// The same with an alpha of its own for each pixel (alphas[0 … n − 1]).
void BlendRow(QRgb *d, const QRgb *back, const QRgb *front, const uint8_t *alphas, int n, uint32_t opaqueMask);

// `DrawBitmapGrey` between canvases: copies the (0, 0, w, h) rectangle of
// `src` to (0, 0) of `dst` through the grey colour matrix: red, green and blue
// each become 0.35 × (R + G + B) of the source pixel, the fraction dropped, at
// most 255 (a brightened grey). `dst` may be `src` (in place). The picture
// form of the same name (PictureDraw.h) draws arbitrary pictures; this one is
// the per-frame path of the negative transition.
void DrawBitmapGrey(clsMemDC &dst, const clsMemDC &src, int w, int h);

// The same operations on canvases.
inline void BitBlt(clsMemDC &dst, int x, int y, int w, int h, const clsMemDC &src, int sx, int sy,
                   RasterOp op = RasterOp::SrcCopy)
{
    BitBlt(dst.image(), x, y, w, h, src.image(), sx, sy, op);
}
inline void StretchBlt(clsMemDC &dst, int x, int y, int w, int h, const clsMemDC &src, int sx, int sy, int sw,
                       int sh, StretchMode mode = StretchMode::Halftone)
{
    StretchBlt(dst.image(), x, y, w, h, src.image(), sx, sy, sw, sh, mode);
}
inline void StretchBlt(clsMemDC &dst, int x, int y, int w, int h, const PicturePyramid &src, int sx, int sy, int sw,
                       int sh, const QRect &clip = QRect())
{
    StretchBlt(dst.image(), x, y, w, h, src, sx, sy, sw, sh, clip);
}
inline void AlphaBlend(clsMemDC &dst, int x, int y, int w, int h, const clsMemDC &src, int sx, int sy, int alpha)
{
    AlphaBlend(dst.image(), x, y, w, h, src.image(), sx, sy, alpha);
}
inline void FillRect(clsMemDC &dst, int x, int y, int w, int h, uint32_t colorBgr)
{
    FillRect(dst.image(), x, y, w, h, colorBgr);
}
inline void FillGradient(clsMemDC &dst, int mode, QRgb startArgb, QRgb endArgb)
{
    FillGradient(dst.image(), mode, startArgb, endArgb);
}

} // namespace pvsm
