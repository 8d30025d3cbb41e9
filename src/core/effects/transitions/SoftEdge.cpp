#include "SoftEdge.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace pvsm {

namespace {

// The strip `index` strips from the origin, as a rectangle of the canvas.
struct Strip
{
    int x, y, w, h;
};

Strip stripAt(StripAxis axis, int stripPx, long long index, int W, int H)
{
    // Far-off strips (a front well outside the picture) stay far off without
    // overflowing int.
    const long long pos = std::clamp(index * stripPx, -(1LL << 30), 1LL << 30);
    if (axis == StripAxis::Columns) return {int(pos), 0, stripPx, H};
    return {0, int(pos), W, stripPx};
}

// NEW over OLD at `alpha`, rounded like the canvas's AlphaBlend, opaque.
inline QRgb blendPixel(QRgb oldPixel, QRgb newPixel, uint32_t alpha)
{
    const uint32_t rest = 255 - alpha;
    uint32_t rb = (newPixel & 0x00FF00FFu) * alpha + (oldPixel & 0x00FF00FFu) * rest + 0x00800080u;
    uint32_t ag = ((newPixel >> 8) & 0x00FF00FFu) * alpha + ((oldPixel >> 8) & 0x00FF00FFu) * rest + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return rb | ag | 0xFF000000u;
}

// The soft edge of a column front, row by row: narrow column strips cost a
// call per row and strip as block operations, here one pass per row.
void columnEdge(TransitionSurfaces &s, int stripPx, int frontIndex, int dir)
{
    QImage &dst = s.DEST.image();
    const QImage &oldImg = s.A.image();
    const QImage &newImg = s.NEW.image();
    const int W = std::min({dst.width(), oldImg.width(), newImg.width()});
    const int H = std::min({dst.height(), oldImg.height(), newImg.height()});
    // Columns [x0, x1) of each strip, clipped, with its alpha (255: NEW).
    struct Span
    {
        int x0, x1;
        uint32_t alpha;
    };
    std::array<Span, 14> spans{};
    size_t count = 0;
    for (int m = 0; m <= 13; ++m) {
        const long long pos = std::clamp(((long long)frontIndex + dir * m) * stripPx, -(1LL << 30), 1LL << 30);
        const int x0 = int(std::max(0LL, pos)), x1 = int(std::min<long long>(W, pos + stripPx));
        if (x1 > x0) spans[count++] = {x0, x1, m <= 1 ? 255u : uint32_t(255 - 20 * (m - 1))};
    }
    if (count == 0) return;
    for (int y = 0; y < H; ++y) {
        auto *d = reinterpret_cast<QRgb *>(dst.scanLine(y));
        const auto *o = reinterpret_cast<const QRgb *>(oldImg.constScanLine(y));
        const auto *n = reinterpret_cast<const QRgb *>(newImg.constScanLine(y));
        for (size_t k = 0; k < count; ++k) {
            const Span &sp = spans[k];
            if (sp.alpha == 255)
                std::memcpy(d + sp.x0, n + sp.x0, size_t(sp.x1 - sp.x0) * sizeof(QRgb));
            else
                for (int x = sp.x0; x < sp.x1; ++x)
                    d[x] = blendPixel(o[x], n[x], sp.alpha);
        }
    }
}

} // namespace

TransitionSurfaces BeginSoftWipe(clsMemDC &dest, const clsMemDC &newPicture)
{
    TransitionSurfaces s{dest, newPicture, {}, {}};
    s.A.CreateMemDC(dest.Width(), dest.Height(), 0);
    BitBlt(s.A, 0, 0, dest.Width(), dest.Height(), dest, 0, 0);
    return s;
}

void CopyStripsFromNew(TransitionSurfaces &s, StripAxis axis, int stripPx, int firstIndex, int lastIndex)
{
    if (stripPx < 1) return;
    const int W = s.W(), H = s.H();
    const long long L = axis == StripAxis::Columns ? W : H;
    const long long from = std::clamp((long long)std::min(firstIndex, lastIndex) * stripPx, 0LL, L);
    const long long to = std::clamp(((long long)std::max(firstIndex, lastIndex) + 1) * stripPx, 0LL, L);
    if (to <= from) return;
    if (axis == StripAxis::Columns)
        BitBlt(s.DEST, int(from), 0, int(to - from), H, s.NEW, int(from), 0);
    else
        BitBlt(s.DEST, 0, int(from), W, int(to - from), s.NEW, 0, int(from));
}

void SoftEdgeStep(TransitionSurfaces &s, StripAxis axis, int stripPx, int frontIndex, int direction)
{
    if (stripPx < 1) return;
    const int W = s.W(), H = s.H();
    const int dir = direction < 0 ? -1 : 1;
    if (axis == StripAxis::Columns) {
        columnEdge(s, stripPx, frontIndex, dir);
        return;
    }
    // The blend is made straight into DEST from A's copy of OLD: the same
    // pixels as blending into B, copying B to DEST and restoring B from A,
    // with a third of the work and no B at all.
    for (int n = 240; n >= 0; n -= 20) {
        const Strip r = stripAt(axis, stripPx, (long long)frontIndex + dir * (n / 20 + 1), W, H);
        if (n == 0) {
            BitBlt(s.DEST, r.x, r.y, r.w, r.h, s.NEW, r.x, r.y); // alpha 255 is NEW itself
            continue;
        }
        BitBlt(s.DEST, r.x, r.y, r.w, r.h, s.A, r.x, r.y);
        AlphaBlend(s.DEST, r.x, r.y, r.w, r.h, s.NEW, r.x, r.y, 255 - n);
    }
    const Strip front = stripAt(axis, stripPx, frontIndex, W, H);
    BitBlt(s.DEST, front.x, front.y, front.w, front.h, s.NEW, front.x, front.y);
}

} // namespace pvsm
