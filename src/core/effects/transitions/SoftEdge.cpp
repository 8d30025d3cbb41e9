#include "SoftEdge.h"

#include <algorithm>
#include <cstring>
#include <vector>

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

// The soft edge of a column front, row by row: its strips are a few pixels
// wide, so each row's front strip and 13 strips ahead are blended in one run
// with an alpha per pixel (255 at the front strip and the next: NEW).
void columnEdge(TransitionSurfaces &s, int stripPx, int frontIndex, int dir)
{
    QImage &dst = s.DEST.image();
    const QImage &oldImg = s.A.image();
    const QImage &newImg = s.NEW.image();
    const int W = std::min({dst.width(), oldImg.width(), newImg.width()});
    const int H = std::min({dst.height(), oldImg.height(), newImg.height()});
    // The 14 strips are side by side: one run of columns [x0, x1).
    const long long nearPos = (long long)frontIndex * stripPx;
    const long long farPos = ((long long)frontIndex + dir * 13) * stripPx;
    const int x0 = int(std::clamp(std::min(nearPos, farPos), 0LL, (long long)W));
    const int x1 = int(std::clamp(std::max(nearPos, farPos) + stripPx, 0LL, (long long)W));
    if (x1 <= x0) return;
    std::vector<uint8_t> alphas(size_t(x1 - x0));
    for (int x = x0; x < x1; ++x) {
        const long long m = (dir > 0 ? x - nearPos : nearPos + stripPx - 1 - x) / stripPx; // strips ahead
        alphas[size_t(x - x0)] = uint8_t(m <= 1 ? 255 : 255 - 20 * (m - 1));
    }
    // Rows lie far apart and each is a short run: fetch them ahead, or every
    // row waits on memory three times.
    constexpr int kAhead = 8;
    const qsizetype runBytes = qsizetype(x1 - x0) * 4;
    for (int y = 0; y < H; ++y) {
        if (y + kAhead < H)
            for (const QImage *img : {&oldImg, &newImg, static_cast<const QImage *>(&dst)})
                FetchAhead(img->constScanLine(y + kAhead) + qsizetype(x0) * 4, runBytes);
        auto *d = reinterpret_cast<QRgb *>(dst.scanLine(y)) + x0;
        const auto *o = reinterpret_cast<const QRgb *>(oldImg.constScanLine(y)) + x0;
        const auto *n = reinterpret_cast<const QRgb *>(newImg.constScanLine(y)) + x0;
        BlendRow(d, o, n, alphas.data(), x1 - x0, 0xFF000000u);
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
    // with a third of the work and no B at all; and row by row in one pass
    // rather than a copy of OLD then a blend over it.
    QImage &dst = s.DEST.image();
    const QImage &oldImg = s.A.image();
    const QImage &newImg = s.NEW.image();
    const int width = std::min({dst.width(), oldImg.width(), newImg.width()});
    const int height = std::min({dst.height(), oldImg.height(), newImg.height()});
    for (int n = 240; n >= 0; n -= 20) {
        const Strip r = stripAt(axis, stripPx, (long long)frontIndex + dir * (n / 20 + 1), W, H);
        const int y0 = std::max(0, r.y), y1 = std::min(height, r.y + r.h);
        for (int y = y0; y < y1; ++y) {
            auto *d = reinterpret_cast<QRgb *>(dst.scanLine(y));
            const auto *nw = reinterpret_cast<const QRgb *>(newImg.constScanLine(y));
            if (n == 0) // alpha 255 is NEW itself
                std::memcpy(d, nw, size_t(width) * sizeof(QRgb));
            else
                BlendRow(d, reinterpret_cast<const QRgb *>(oldImg.constScanLine(y)), nw, width, 255 - n, 0xFF000000u);
        }
    }
    const Strip front = stripAt(axis, stripPx, frontIndex, W, H);
    BitBlt(s.DEST, front.x, front.y, front.w, front.h, s.NEW, front.x, front.y);
}

} // namespace pvsm
