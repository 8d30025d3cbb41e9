#include "Transition.h"

#include "Numbers.h"

#include <algorithm>

namespace pvsm {

namespace {

// Copies the band [from, from + length) of `src` (columns when `columns`,
// else rows) to [to, to + length) of `dst`.
void copyBand(clsMemDC &dst, int to, const clsMemDC &src, int from, int length, bool columns)
{
    if (length <= 0) return;
    if (columns)
        BitBlt(dst, to, 0, length, dst.Height(), src, from, 0);
    else
        BitBlt(dst, 0, to, dst.Width(), length, src, 0, from);
}

} // namespace

// Two half-way moves in turn. v4 = 0, first half: OLD moves out to the left
// while NEW unrolls from the right edge moving the other way; second half: the
// directions swap, OLD's remaining part runs back right while NEW slides left
// into place. v4 = 2 is the mirror image, 1 and 3 the vertical forms of 0 and 2.
void AlternateTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int v4)
{
    const int W = dest.Width(), H = dest.Height();
    const bool columns = v4 == 0 || v4 == 2;
    const bool mirrored = v4 == 2 || v4 == 3;
    const int L = columns ? W : H;
    const int half = Nearest(L / 2.0);
    // The divisor comes from the width for the vertical forms too.
    const int d = frameDivisor(W / 2.0, ctx.TransitionFrames);

    clsMemDC old;
    old.CopyOf(dest);

    // Every step redraws the whole picture from OLD and NEW, so the steps that
    // are not written are not drawn. Source starts are kept inside the
    // pictures: Nearest(L / 2) can exceed L / 2 by half a pixel.
    const auto firstHalf = [&](int m) {
        const int from = std::max(0, L - 2 * m);
        if (!mirrored) {
            copyBand(dest, 0, old, m, L - m, columns);
            copyBand(dest, L - m, newPicture, from, m, columns);
        } else {
            copyBand(dest, m, old, 0, L - m, columns);
            copyBand(dest, 0, newPicture, L - m - from, m, columns);
        }
    };
    const auto secondHalf = [&](int m) {
        const int b = std::max(0, half - m); // OLD's remaining length
        const int from = std::min(b, L - b);
        if (!mirrored) {
            copyBand(dest, 0, old, from, b, columns);
            copyBand(dest, b, newPicture, 0, L - b, columns);
        } else {
            copyBand(dest, L - b, old, L - b - from, b, columns);
            copyBand(dest, 0, newPicture, b, L - b, columns);
        }
    };
    for (int m = 0; m <= half; m += 2) {
        if (m % d > 1) continue;
        firstHalf(m);
        writeFrame(ctx, dest);
    }
    for (int m = 0; m <= half; m += 2) {
        if (m % d > 1) continue;
        secondHalf(m);
        writeFrame(ctx, dest);
    }
    BitBlt(dest, 0, 0, W, H, newPicture, 0, 0);
}

} // namespace pvsm
