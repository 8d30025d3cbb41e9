#include "Transition.h"

#include <algorithm>

namespace pvsm {

// Blinds: every b-th column (v2 = 1) or row (v2 = 0) of NEW, one offset more
// at each step, until all b offsets are in.
void BlindsTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int v2)
{
    const int W = dest.Width(), H = dest.Height();
    const bool columns = v2 == 1;
    const int b = W > 960 ? (columns ? 32 : 24) : (columns ? 16 : 12);
    const int repeat = 1 + (ctx.TransitionFrames > 45 ? 1 : 0) + (W <= 960 ? 1 : 0);
    QImage &d = dest.image();
    const QImage &s = newPicture.image();
    const int w = std::min(W, s.width()), h = std::min(H, s.height());
    for (int k = 0; k < b; ++k) {
        if (columns) {
            for (int y = 0; y < h; ++y) {
                auto *dl = reinterpret_cast<QRgb *>(d.scanLine(y));
                const auto *sl = reinterpret_cast<const QRgb *>(s.constScanLine(y));
                for (int x = k; x < w; x += b)
                    dl[x] = sl[x];
            }
        } else {
            for (int y = k; y < h; y += b)
                BitBlt(d, 0, y, W, 1, s, 0, y);
        }
        writeFrame(ctx, dest, repeat);
    }
}

} // namespace pvsm
