#include "Transition.h"

#include "Numbers.h"

#include <QRect>
#include <QRegion>

#include <algorithm>
#include <array>
#include <cmath>

namespace pvsm {

namespace {

struct Point
{
    int x = 0, y = 0;
};

// Homes in quarters of the picture: the 12 outer tiles counter-clockwise from
// the top-right corner, then the 4 inner ones.
// clang-format off
constexpr std::array<Point, 16> kHomeQuarters = {{
    {3, 0}, {2, 0}, {1, 0}, {0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 3},
    {2, 3}, {3, 3}, {3, 2}, {3, 1}, {2, 1}, {1, 1}, {1, 2}, {2, 2},
}};
// clang-format on

} // namespace

// The old picture breaks into a 4 × 4 grid whose tiles shrink into a ring about
// the centre over NEW, hold, then spin outward (v2 = 1 the other way round),
// growing as they fly off the picture.
void SpinScatterTransition(TransitionContext &ctx, clsMemDC &dest, const clsMemDC &newPicture, int v2)
{
    TransitionSurfaces s = BeginTransition(dest, newPicture); // B keeps OLD: the tiles' source
    const int W = s.W(), H = s.H();
    const int tw = Nearest(W / 4.0), th = Nearest(H / 4.0);
    const bool slow = ctx.TransitionFrames > 45;

    std::array<Point, 16> home{}, target{};
    const double r1 = std::sqrt((tw / 2.0) * (tw / 2.0) + (th / 2.0) * (th / 2.0));
    const double r2 = std::sqrt((tw / 4.0) * (tw / 4.0) + (th / 4.0) * (th / 4.0));
    for (size_t i = 0; i < 16; ++i) {
        home[i] = {Nearest(kHomeQuarters[i].x * W / 4.0), Nearest(kHomeQuarters[i].y * H / 4.0)};
        const bool outer = i < 12;
        const double r = outer ? r1 : r2;
        const double alpha = outer ? 2.355 + 0.525 * double(i) : 2.355 + 1.575 * double(i - 12);
        target[i] = {Nearest(std::sin(alpha) * r + W / 2.0), Nearest(std::cos(alpha) * r + H / 2.0)};
    }

    // The tiles of one step all have one size, between 1/4 and 3/4 of a tile,
    // shrunk smoothly from the halves of OLD, which are made once.
    const PicturePyramid tiles(s.B.image());
    auto drawTile = [&](size_t i, Point at, int w, int h) {
        StretchBlt(s.A, at.x, at.y, w, h, tiles, home[i].x, home[i].y, tw, th);
    };

    // Every step draws A afresh as NEW with the tiles on it, so only the
    // written steps are drawn, and between them only what the tiles covered
    // before and do not cover now goes back to NEW.
    BitBlt(s.A, 0, 0, W, H, s.NEW, 0, 0);
    QRegion covered;
    auto drawTiles = [&](const std::array<Point, 16> &at, int w, int h) {
        std::array<QRect, 16> rects;
        for (size_t i = 0; i < 16; ++i) rects[i] = QRect(at[i].x, at[i].y, w, h);
        uncoverBackground(s.A, s.NEW, covered, rects);
        if (w > 0 && h > 0)
            for (size_t i = 0; i < 16; ++i) drawTile(i, at[i], w, h);
        writeFrame(ctx, s.A);
    };

    // Phase 1: the tiles move from home to their ring point, shrinking from
    // 39/80 to 1/4 of their size.
    std::array<Point, 16> at{};
    for (int l = 1; l <= 20; ++l) {
        if (!slow && l % 2 != 0) continue;
        for (size_t i = 0; i < 16; ++i)
            at[i] = {Nearest(home[i].x + (target[i].x - home[i].x) * l / 20.0),
                     Nearest(home[i].y + (target[i].y - home[i].y) * l / 20.0)};
        drawTiles(at, Nearest((40 - l) / 80.0 * tw), Nearest((40 - l) / 80.0 * th));
    }
    BitBlt(s.DEST, 0, 0, W, H, s.A, 0, 0);
    writeFrame(ctx, s.DEST, slow ? 12 : 6);

    // Phase 2: the angle runs over 2.355 … 14.42 in steps of 0.1 (121 steps);
    // the ring turns with it while the tiles fly out by up to the picture's
    // width and grow from 1/4 to 3/4 of their size.
    constexpr double kFirst = 2.355, kLast = 14.42, kStep = 0.1, kSpan = 120.65;
    const int steps = int(std::floor((kLast - kFirst) / kStep + 1e-9)) + 1;
    for (int c = 1; c <= steps; ++c) {
        if (slow ? c % 2 != 0 : c % 3 != 0) continue;
        const double angle = v2 == 1 ? kLast - (c - 1) * kStep : kFirst + (c - 1) * kStep;
        const double t = c / kSpan;
        const int distance = Nearest(t * W);
        for (size_t i = 0; i < 16; ++i) {
            const double direction = double(i) / 12.0 * 6.28 + angle;
            at[i] = {target[i].x + Nearest(std::cos(direction) * distance),
                     target[i].y + Nearest(std::sin(direction) * distance)};
        }
        drawTiles(at, Nearest((t * 2 + 1) * tw / 4.0), Nearest((t * 2 + 1) * th / 4.0));
    }
    BitBlt(s.DEST, 0, 0, W, H, s.NEW, 0, 0);
    EndTransition(s);
}

} // namespace pvsm
