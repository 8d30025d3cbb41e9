#include "YuvConvert.h"

#include "clsMemDC.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

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

#if defined(__x86_64__) && defined(__GNUC__)
// The same sums in vector registers, 16 pixels (8 chroma pairs) a step: each
// pixel's B, G, R, A as 16-bit lanes, multiplied and added in pairs
// (pmaddwd) with the weights as they are, so every byte equals the loop's.
// Of two registers of four pixels each (p0 p1 | p2 p3 and p4 p5 | p6 p7):
// (B·wb + G·wg) and (R·wr + A·0) per pixel, then one sum per pixel, in the
// order 0 1 4 5 | 2 3 6 7.
__attribute__((target("avx2"))) inline __m256i weighted(__m256i px16a, __m256i px16b, __m256i w)
{
    return _mm256_hadd_epi32(_mm256_madd_epi16(px16a, w), _mm256_madd_epi16(px16b, w));
}

// Luma of 8 pixels at p, as 8 32-bit values in pixel order.
__attribute__((target("avx2"))) inline __m256i luma8(const uchar *p, __m256i wy)
{
    const __m256i pa = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)));      // p0 p1 | p2 p3
    const __m256i pb = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16))); // p4 p5 | p6 p7
    // hadd leaves pixels 0 1 4 5 | 2 3 6 7: the permute puts them in order.
    const __m256i sum = _mm256_add_epi32(weighted(pa, pb, wy), _mm256_set1_epi32((16 << 14) + kHalf));
    return _mm256_permutevar8x32_epi32(_mm256_srai_epi32(sum, 14), _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7));
}

// Luma of the 16 pixels from x on.
__attribute__((target("avx2"))) inline void storeLuma16(const uchar *row, uint8_t *out, int x, __m256i wy)
{
    const __m256i l0 = luma8(row + 4 * x, wy), l1 = luma8(row + 4 * x + 32, wy);
    // 32 to 16 bits (packs works within lanes: the order is mended after), then to 8.
    const __m256i w16 = _mm256_permute4x64_epi64(_mm256_packs_epi32(l0, l1), 0xD8);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x),
                     _mm_packus_epi16(_mm256_castsi256_si128(w16), _mm256_extracti128_si256(w16, 1)));
}

// 8 chroma samples of the pairs' sums (pairs 0 2 | 1 3 in `a`, 4 6 | 5 7 in `b`).
__attribute__((target("avx2"))) inline __m128i chroma8(__m256i a, __m256i b, __m256i w)
{
    const __m256i s = _mm256_add_epi32(weighted(a, b, w), _mm256_set1_epi32((128 << 14) + kHalf)); // 0 2 4 6 | 1 3 5 7
    const __m256i c = _mm256_permutevar8x32_epi32(_mm256_srai_epi32(s, 14), _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
    const __m128i w16 = _mm_packs_epi32(_mm256_castsi256_si128(c), _mm256_extracti128_si256(c, 1));
    return _mm_packus_epi16(w16, w16);
}

__attribute__((target("avx2"))) inline __m256i weights(int b, int g, int r)
{
    return _mm256_setr_epi16(short(b), short(g), short(r), 0, short(b), short(g), short(r), 0, short(b), short(g),
                             short(r), 0, short(b), short(g), short(r), 0);
}

__attribute__((target("avx2"))) void convertRowPairAvx2(const uchar *r0, const uchar *r1, int width, const Matrix &m,
                                                        uint8_t *y0, uint8_t *y1, uint8_t *u, uint8_t *v,
                                                        bool secondRow)
{
    const __m256i wy = weights(m.yb, m.yg, m.yr), wu = weights(m.ub, m.ug, m.ur), wv = weights(m.vb, m.vg, m.vr);
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        storeLuma16(r0, y0, x, wy);
        if (secondRow) storeLuma16(r1, y1, x, wy);
        // Chroma of 8 pairs: the two rows added, then each pair's two pixels.
        __m256i sums[2];
        for (int h = 0; h < 2; ++h) {
            const uchar *p0 = r0 + 4 * x + 32 * h, *p1 = r1 + 4 * x + 32 * h;
            const __m256i t0 =
                _mm256_add_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p0))),
                                 _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p1))));
            const __m256i t1 =
                _mm256_add_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p0 + 16))),
                                 _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p1 + 16))));
            // t0 holds pixels 0 1 | 2 3: each lane's low half becomes its pair's sum.
            const __m256i q0 = _mm256_add_epi16(t0, _mm256_srli_si256(t0, 8));
            const __m256i q1 = _mm256_add_epi16(t1, _mm256_srli_si256(t1, 8));
            sums[h] = _mm256_unpacklo_epi64(q0, q1); // pairs 0 2 | 1 3 of these 8 pixels
        }
        _mm_storel_epi64(reinterpret_cast<__m128i *>(u + x / 2), chroma8(sums[0], sums[1], wu));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(v + x / 2), chroma8(sums[0], sums[1], wv));
    }
    if (x < width)
        convertRowPair(r0 + 4 * x, r1 + 4 * x, width - x, m, y0 + x, y1 + x, u + x / 2, v + x / 2, secondRow);
}
#endif

} // namespace

void ConvertToYuv420(const uchar *bgra, qsizetype strideBytes, int width, int height, bool bt709,
                     uint8_t *const planes[3], const int lineSizes[3])
{
    const Matrix &m = bt709 ? kBt709 : kBt601;
    auto convert = convertRowPair;
#if defined(__x86_64__) && defined(__GNUC__)
    if (PixelKernelsInUse() != PixelKernels::Portable && __builtin_cpu_supports("avx2")) convert = convertRowPairAvx2;
#endif
    for (int y = 0; y < height; y += 2) {
        const bool second = y + 1 < height;
        const uchar *r0 = bgra + strideBytes * y;
        const uchar *r1 = second ? r0 + strideBytes : r0;
        convert(r0, r1, width, m, planes[0] + qsizetype(lineSizes[0]) * y,
                       planes[0] + qsizetype(lineSizes[0]) * (second ? y + 1 : y),
                       planes[1] + qsizetype(lineSizes[1]) * (y / 2), planes[2] + qsizetype(lineSizes[2]) * (y / 2),
                       second);
    }
}

} // namespace pvsm
