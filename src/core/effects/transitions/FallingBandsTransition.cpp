#include "Transition.h"

#include "Numbers.h"

#include <algorithm>
#include <vector>

namespace pvsm {

// OLD comes loose from the bottom up in horizontal bands, each of which
// drops away faster and faster and uncovers NEW.
void FallingBandsTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int)
{
    TransitionSurfaces s = BeginTransition(dest, newPicture);
    const int W = s.W(), H = s.H();
    const int SY = std::max(1, ctx.TransitionStepY);
    const int band = 6 * SY;
    const int bands = H / band;
    // B keeps OLD throughout; A is where the frames are built.
    const clsMemDC &old = s.B;

    std::vector<int> offset(size_t(bands) + 1, 1);
    std::vector<double> speed(size_t(bands) + 1, 0.0);
    const auto top = [&](int i) { return H - i * band; };

    // Small heights give a divisor of 0, which would write nothing at all;
    // 1 writes every step instead.
    const int m = std::max(1, Nearest(1.5 * H / (ctx.TransitionFrames + 15)));
    const int end = Nearest(1.5 * H);
    for (int t = 0; t <= end; t += 2 * SY) {
        const int falling = std::min(t / band, bands);
        for (int i = 1; i <= falling; ++i) {
            speed[size_t(i)] += 0.8;
            offset[size_t(i)] = Nearest(offset[size_t(i)] + speed[size_t(i)]);
        }
        // A is rebuilt from scratch every step, so only written steps need
        // drawing; the bands' speeds above still advance every step.
        if (t % m > 2 * SY - 1) continue;
        const int cut = std::max(0, H - t);
        BitBlt(s.A, 0, 0, W, cut, old, 0, 0);
        BitBlt(s.A, 0, cut, W, H - cut, s.NEW, 0, cut);
        for (int i = 1; i <= falling; ++i)
            BitBlt(s.A, 0, top(i) + offset[size_t(i)], W, band, old, 0, top(i));
        writeFrame(ctx, s.A);
    }
    // Nothing looks at DEST while the bands fall, so it is set once, to NEW:
    // the last bands may still be on their way down at the last step.
    BitBlt(s.DEST, 0, 0, W, H, s.NEW, 0, 0);
    EndTransition(s);
}

} // namespace pvsm
