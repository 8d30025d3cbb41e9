#include "YuvConvert.h"

#include <algorithm>
#include <cmath>

namespace pvsm {

namespace {

// Weights × 2^14; the chroma weights take the sum of four pixels, so they
// carry the division by 4.
struct Matrix
{
    int yr, yg, yb, ur, ug, ub, vr, vg, vb;
};

Matrix matrixFor(double kr, double kb)
{
    const double kg = 1.0 - kr - kb, one = 16384.0;
    const double cb = 224.0 / 255.0 / (2.0 * (1.0 - kb)), cr = 224.0 / 255.0 / (2.0 * (1.0 - kr));
    const auto q = [](double v) { return int(std::lround(v)); };
    return {q(219.0 / 255.0 * kr * one), q(219.0 / 255.0 * kg * one), q(219.0 / 255.0 * kb * one),
            q(-cb * kr * one / 4),       q(-cb * kg * one / 4),       q(cb * (1.0 - kb) * one / 4),
            q(cr * (1.0 - kr) * one / 4), q(-cr * kg * one / 4),      q(-cr * kb * one / 4)};
}

const Matrix kBt709 = matrixFor(0.2126, 0.0722);
const Matrix kBt601 = matrixFor(0.299, 0.114);

constexpr int kHalf = 1 << 13;

// Two picture rows to their luma rows and one chroma row. Written as plain
// loops over bytes so that the compiler vectorises them, once for each
// vector width (integer arithmetic: every version gives the same bytes).
// Versions chosen at load time (IFUNC) run before the thread sanitizer's
// runtime is up, so sanitized builds take the default version.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"), optimize("O3")))
#endif
void convertRowPair(const uchar *r0, const uchar *r1, int width, const Matrix &m, uint8_t *y0, uint8_t *y1,
                    uint8_t *u, uint8_t *v, bool secondRow)
{
    for (int x = 0; x < width; ++x)
        y0[x] = uint8_t((m.yr * r0[4 * x + 2] + m.yg * r0[4 * x + 1] + m.yb * r0[4 * x] + (16 << 14) + kHalf) >> 14);
    if (secondRow)
        for (int x = 0; x < width; ++x)
            y1[x] = uint8_t((m.yr * r1[4 * x + 2] + m.yg * r1[4 * x + 1] + m.yb * r1[4 * x] + (16 << 14) + kHalf) >> 14);
    const int pairs = width / 2;
    for (int x = 0; x < pairs; ++x) {
        const int b = r0[8 * x] + r0[8 * x + 4] + r1[8 * x] + r1[8 * x + 4];
        const int g = r0[8 * x + 1] + r0[8 * x + 5] + r1[8 * x + 1] + r1[8 * x + 5];
        const int r = r0[8 * x + 2] + r0[8 * x + 6] + r1[8 * x + 2] + r1[8 * x + 6];
        u[x] = uint8_t((m.ur * r + m.ug * g + m.ub * b + (128 << 14) + kHalf) >> 14);
        v[x] = uint8_t((m.vr * r + m.vg * g + m.vb * b + (128 << 14) + kHalf) >> 14);
    }
    if (width % 2) {
        const int x = width - 1;
        const int b = 2 * (r0[4 * x] + r1[4 * x]), g = 2 * (r0[4 * x + 1] + r1[4 * x + 1]),
                  r = 2 * (r0[4 * x + 2] + r1[4 * x + 2]);
        u[pairs] = uint8_t((m.ur * r + m.ug * g + m.ub * b + (128 << 14) + kHalf) >> 14);
        v[pairs] = uint8_t((m.vr * r + m.vg * g + m.vb * b + (128 << 14) + kHalf) >> 14);
    }
}

} // namespace

void ConvertToYuv420(const uchar *bgra, qsizetype strideBytes, int width, int height, bool bt709,
                     uint8_t *const planes[3], const int lineSizes[3])
{
    const Matrix &m = bt709 ? kBt709 : kBt601;
    for (int y = 0; y < height; y += 2) {
        const bool second = y + 1 < height;
        const uchar *r0 = bgra + strideBytes * y;
        const uchar *r1 = second ? r0 + strideBytes : r0;
        convertRowPair(r0, r1, width, m, planes[0] + qsizetype(lineSizes[0]) * y,
                       planes[0] + qsizetype(lineSizes[0]) * (second ? y + 1 : y),
                       planes[1] + qsizetype(lineSizes[1]) * (y / 2), planes[2] + qsizetype(lineSizes[2]) * (y / 2),
                       second);
    }
}

} // namespace pvsm
