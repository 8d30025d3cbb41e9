#include "clsMemDC.h"

#include "GradientBrush.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <mutex>
#include <span>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#include <sys/prctl.h>
#endif

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pvsm {

namespace {

// Plain row loops, built for each vector width so that the compiler's
// vector forms are used where the processor has them.
// Versions chosen at load time (IFUNC) run before the thread sanitizer's
// runtime is up, so sanitized builds take the default version.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define PVSM_ROW_LOOP __attribute__((target_clones("arch=x86-64-v4", "avx2", "default"), optimize("O3")))
#else
#define PVSM_ROW_LOOP
#endif


// Pixels of large canvases. Rows of a picture lie a whole page or more
// apart, so a tall narrow copy touches a new 4 KiB page on every row and the
// processor spends its time walking page tables; on 2 MiB pages a whole
// 1920 x 1080 picture takes four. Large canvases therefore get blocks of
// their own, aligned to 2 MiB with their whole 2 MiB stretches marked for
// huge pages (the tail stays on small pages, so no memory is wasted), and a
// couple of freed blocks are kept for the next canvas of the same size.
constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kHugeFrom = size_t(1) << 20; // smaller pictures use the ordinary heap
constexpr size_t kKeptBlocks = 6;    // freed blocks kept: memory the process holds beyond its pictures

struct PixelBlock
{
    void *base = nullptr;
    size_t bytes = 0;
};

struct PixelBlocks
{
    std::mutex mutex;
    std::vector<PixelBlock> kept;
};

PixelBlocks &pixelBlocks()
{
    static PixelBlocks *blocks = new PixelBlocks; // lives to the end: canvases may be freed from static destructors
    return *blocks;
}

void releasePixelBlock(void *info)
{
    auto *block = static_cast<PixelBlock *>(info);
    // The block is kept and the longest kept one goes: canvases of the size
    // in use now come back, those of a size no longer drawn (another output
    // size, a picture's reductions) do not stay in the way.
    PixelBlock dropped;
    {
        PixelBlocks &blocks = pixelBlocks();
        const std::lock_guard<std::mutex> lock(blocks.mutex);
        if (blocks.kept.size() >= kKeptBlocks) {
            dropped = blocks.kept.front();
            blocks.kept.erase(blocks.kept.begin());
        }
        blocks.kept.push_back(*block);
    }
    delete block;
#if defined(__linux__)
    if (dropped.base) munmap(dropped.base, dropped.bytes);
#endif
}

// A picture of w × h in a 32-bit format with undefined pixels.
QImage newCanvasImage(int w, int h, QImage::Format format)
{
    const qsizetype bpl = qsizetype(w) * 4;
    const size_t bytes = size_t(bpl) * size_t(h);
#if defined(__linux__)
    if (w > 0 && h > 0 && bytes >= kHugeFrom) {
        const size_t rounded = (bytes + 4095) & ~size_t(4095);
        PixelBlock block;
        {
            PixelBlocks &blocks = pixelBlocks();
            const std::lock_guard<std::mutex> lock(blocks.mutex);
            for (size_t i = 0; i < blocks.kept.size(); ++i)
                if (blocks.kept[i].bytes == rounded) {
                    block = blocks.kept[i];
                    blocks.kept.erase(blocks.kept.begin() + qsizetype(i));
                    break;
                }
        }
        if (!block.base) {
            void *mapped = mmap(nullptr, rounded + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (mapped != MAP_FAILED) {
                const auto start = reinterpret_cast<uintptr_t>(mapped);
                const uintptr_t aligned = (start + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
                if (aligned > start) munmap(mapped, aligned - start);
                const uintptr_t end = start + rounded + kHugePage;
                if (end > aligned + rounded) munmap(reinterpret_cast<void *>(aligned + rounded), end - (aligned + rounded));
                const size_t huge = rounded & ~(kHugePage - 1);
                if (huge > 0) madvise(reinterpret_cast<void *>(aligned), huge, MADV_HUGEPAGE); // a hint: fine if refused
                block = {reinterpret_cast<void *>(aligned), rounded};
            }
        }
        if (block.base) {
            auto *info = new PixelBlock(block);
            QImage image(static_cast<uchar *>(block.base), w, h, bpl, format, releasePixelBlock, info);
            if (!image.isNull()) return image;
            releasePixelBlock(info);
        }
    }
#endif
    return QImage(w, h, format);
}

// The pixels of `img` for writing. A picture that shares its pixels is given
// its own copy first, in a canvas block (QImage's own copy would come from the
// ordinary heap); when the caller is about to replace all of them
// (`overwritten` covers the picture), a fresh block without the copy.
uchar *writableBits(QImage &img, const QRect &overwritten = QRect())
{
    if (!img.isDetached() && !img.isNull() && img.depth() == 32) {
        QImage own = newCanvasImage(img.width(), img.height(), img.format());
        if (!own.isNull()) {
            if (!overwritten.contains(img.rect())) {
                const qsizetype bytes = qsizetype(img.width()) * 4;
                for (int y = 0; y < img.height(); ++y)
                    std::memcpy(own.scanLine(y), img.constScanLine(y), size_t(bytes));
            }
            img = std::move(own);
        }
    }
    return img.bits();
}

// The standard light scheme's system colours as 0xRRGGBB, by index.
constexpr std::array<uint32_t, 31> kSystemColorsRgb = {
    0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
    0x000000, 0x000000, 0xB4B4B4, 0xF4F7FC, 0xABABAB, 0x3399FF, 0xFFFFFF, 0xF0F0F0,
    0xA0A0A0, 0x6D6D6D, 0x000000, 0x434E54, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
    0xFFFFE1, 0xB5B5B5, 0x0066CC, 0xB9D1EA, 0xD7E4F2, 0x3399FF, 0xF0F0F0,
};

inline uint32_t bgrToRgb(uint32_t c)
{
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

inline QRgb opaquePixel(uint32_t colorBgr)
{
    return 0xFF000000u | bgrToRgb(colorBgr & 0xFFFFFF);
}

bool isCanvasFormat(QImage::Format f)
{
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 || f == QImage::Format_ARGB32_Premultiplied;
}

// A copy of a rectangle between two pictures, clipped to both.
struct Span
{
    int x = 0, y = 0, w = 0, h = 0; // destination
    int sx = 0, sy = 0;             // source
};

// Clips in 64-bit so that extreme coordinates cannot overflow.
bool clipSpan(int x, int y, int w, int h, int sx, int sy, QSize dstSize, QSize srcSize, Span &out)
{
    int64_t X = x, Y = y, W = w, H = h, SX = sx, SY = sy;
    if (W <= 0 || H <= 0) return false;
    const int64_t ox = std::max<int64_t>({0, -X, -SX});
    const int64_t oy = std::max<int64_t>({0, -Y, -SY});
    X += ox, SX += ox, W -= ox;
    Y += oy, SY += oy, H -= oy;
    W = std::min<int64_t>({W, dstSize.width() - X, srcSize.width() - SX});
    H = std::min<int64_t>({H, dstSize.height() - Y, srcSize.height() - SY});
    if (W <= 0 || H <= 0) return false;
    out = {int(X), int(Y), int(W), int(H), int(SX), int(SY)};
    return true;
}

inline QRgb *rowOf(uchar *bits, qsizetype bpl, int y)
{
    return reinterpret_cast<QRgb *>(bits + bpl * y);
}
inline const QRgb *rowOf(const uchar *bits, qsizetype bpl, int y)
{
    return reinterpret_cast<const QRgb *>(bits + bpl * y);
}

bool overlaps(const Span &s)
{
    return s.x < s.sx + s.w && s.sx < s.x + s.w && s.y < s.sy + s.h && s.sy < s.y + s.h;
}

// A private copy of the source rectangle, for in-place operations whose
// source and destination overlap.
QImage copyOfSource(const QImage &src, const Span &s)
{
    return src.copy(s.sx, s.sy, s.w, s.h);
}

// The negative of one pixel in the source's own format.
inline QRgb invertPixel(QRgb p, QImage::Format f)
{
    if (f == QImage::Format_ARGB32_Premultiplied) {
        // Premultiplied channels invert against their alpha, not 255.
        const uint32_t a = p >> 24;
        return (a << 24) | ((a - qRed(p)) << 16) | ((a - qGreen(p)) << 8) | (a - qBlue(p));
    }
    return (p & 0xFF000000u) | (~p & 0x00FFFFFFu);
}

// dst = round((s × a + d × (255 − a)) / 255) for every channel; the vector
// forms compute exactly this, 4 to 16 pixels at a time. With x the sum
// s × a + d × (255 − a) + 128, the scalar form divides as (x + (x >> 8)) >> 8
// and the vector forms as (x × 257) >> 16: the same for every 16-bit x, and
// one multiply in place of two shifts and an add.
inline uint32_t blendPixel(uint32_t sp, uint32_t dp, uint32_t a, uint32_t b)
{
    // Two channels per multiply: each 16-bit lane holds at most 255 × 255.
    uint32_t rb = (sp & 0x00FF00FFu) * a + (dp & 0x00FF00FFu) * b + 0x00800080u;
    uint32_t ag = ((sp >> 8) & 0x00FF00FFu) * a + ((dp >> 8) & 0x00FF00FFu) * b + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return rb | ag;
}

// Rows of blends: d = round((s × a + b × (255 − a)) / 255) per channel, where
// b is the back row (it may be d itself, the blend in place).
using BlendRowFn = void (*)(QRgb *d, const QRgb *b, const QRgb *s, int n, uint32_t a, uint32_t opaqueMask);

void blendRowScalar(QRgb *d, const QRgb *b, const QRgb *s, int n, uint32_t a, uint32_t opaqueMask)
{
    for (int i = 0; i < n; ++i) d[i] = blendPixel(s[i], b[i], a, 255 - a) | opaqueMask;
}

#if defined(__SSE2__)
void blendRowSse2(QRgb *d, const QRgb *b, const QRgb *s, int n, uint32_t a, uint32_t opaqueMask)
{
    const __m128i va = _mm_set1_epi16(short(a));
    const __m128i vb = _mm_set1_epi16(short(255 - a));
    const __m128i half = _mm_set1_epi16(128);
    const __m128i zero = _mm_setzero_si128();
    const __m128i mask = _mm_set1_epi32(int(opaqueMask));
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i vs = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
        const __m128i vd = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + i));
        __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(vs, zero), va),
                                   _mm_mullo_epi16(_mm_unpacklo_epi8(vd, zero), vb));
        __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(vs, zero), va),
                                   _mm_mullo_epi16(_mm_unpackhi_epi8(vd, zero), vb));
        lo = _mm_add_epi16(lo, half);
        hi = _mm_add_epi16(hi, half);
        lo = _mm_mulhi_epu16(lo, _mm_set1_epi16(257));
        hi = _mm_mulhi_epu16(hi, _mm_set1_epi16(257));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(d + i), _mm_or_si128(_mm_packus_epi16(lo, hi), mask));
    }
    blendRowScalar(d + i, b + i, s + i, n - i, a, opaqueMask);
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
// The blend of two unpacked halves with 16-bit weights wa (front) and wb (back).
__attribute__((target("avx2"))) inline __m256i blendHalvesAvx2(__m256i vs, __m256i vd, __m256i va, __m256i vb,
                                                               __m256i va2, __m256i vb2)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i half = _mm256_set1_epi16(128);
    __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(vs, zero), va),
                                  _mm256_mullo_epi16(_mm256_unpacklo_epi8(vd, zero), vb));
    __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(vs, zero), va2),
                                  _mm256_mullo_epi16(_mm256_unpackhi_epi8(vd, zero), vb2));
    lo = _mm256_add_epi16(lo, half);
    hi = _mm256_add_epi16(hi, half);
    lo = _mm256_mulhi_epu16(lo, _mm256_set1_epi16(257));
    hi = _mm256_mulhi_epu16(hi, _mm256_set1_epi16(257));
    // Unpacking works within 128-bit halves and packing undoes it the same way.
    return _mm256_packus_epi16(lo, hi);
}

__attribute__((target("avx2"))) void blendRowAvx2(QRgb *d, const QRgb *b, const QRgb *s, int n, uint32_t a,
                                                  uint32_t opaqueMask)
{
    const __m256i va = _mm256_set1_epi16(short(a));
    const __m256i vb = _mm256_set1_epi16(short(255 - a));
    const __m256i mask = _mm256_set1_epi32(int(opaqueMask));
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i vs = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(s + i));
        const __m256i vd = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(b + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(d + i),
                            _mm256_or_si256(blendHalvesAvx2(vs, vd, va, vb, va, vb), mask));
    }
    blendRowScalar(d + i, b + i, s + i, n - i, a, opaqueMask);
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
// The first `count` of 16 lanes.
__attribute__((target("avx512f,avx512bw"))) inline __mmask16 headMask(int count)
{
    return count >= 16 ? __mmask16(0xFFFF) : __mmask16((1u << count) - 1);
}

// The blend of two unpacked halves with 16-bit weights wa (front) and wb (back).
__attribute__((target("avx512f,avx512bw"))) inline __m512i blendHalvesAvx512(__m512i vs, __m512i vd, __m512i va,
                                                                             __m512i vb, __m512i va2, __m512i vb2)
{
    const __m512i zero = _mm512_setzero_si512();
    const __m512i half = _mm512_set1_epi16(128);
    __m512i lo = _mm512_add_epi16(_mm512_mullo_epi16(_mm512_unpacklo_epi8(vs, zero), va),
                                  _mm512_mullo_epi16(_mm512_unpacklo_epi8(vd, zero), vb));
    __m512i hi = _mm512_add_epi16(_mm512_mullo_epi16(_mm512_unpackhi_epi8(vs, zero), va2),
                                  _mm512_mullo_epi16(_mm512_unpackhi_epi8(vd, zero), vb2));
    lo = _mm512_mulhi_epu16(_mm512_add_epi16(lo, half), _mm512_set1_epi16(257));
    hi = _mm512_mulhi_epu16(_mm512_add_epi16(hi, half), _mm512_set1_epi16(257));
    return _mm512_packus_epi16(lo, hi);
}

__attribute__((target("avx512f,avx512bw"))) void blendRowAvx512(QRgb *d, const QRgb *b, const QRgb *s, int n,
                                                                uint32_t a, uint32_t opaqueMask)
{
    const __m512i va = _mm512_set1_epi16(short(a));
    const __m512i vb = _mm512_set1_epi16(short(255 - a));
    const __m512i mask = _mm512_set1_epi32(int(opaqueMask));
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m512i p = blendHalvesAvx512(_mm512_loadu_si512(s + i), _mm512_loadu_si512(b + i), va, vb, va, vb);
        _mm512_storeu_si512(d + i, _mm512_or_si512(p, mask));
    }
    blendRowAvx2(d + i, b + i, s + i, n - i, a, opaqueMask);
}
#endif

// The widest vector instructions the pixel loops may use.
bool allowAvx512(PixelKernels k)
{
#if defined(__x86_64__) && defined(__GNUC__)
    return k == PixelKernels::Best && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
#else
    (void)k;
    return false;
#endif
}
bool allowAvx2(PixelKernels k)
{
#if defined(__x86_64__) && defined(__GNUC__)
    return k != PixelKernels::Portable && __builtin_cpu_supports("avx2");
#else
    (void)k;
    return false;
#endif
}

BlendRowFn pickBlendRow(PixelKernels k)
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (allowAvx512(k)) return blendRowAvx512;
    if (allowAvx2(k)) return blendRowAvx2;
#endif
#if defined(__SSE2__)
    if (k != PixelKernels::Portable) return blendRowSse2;
#endif
    return blendRowScalar;
}

BlendRowFn blendRow = pickBlendRow(PixelKernels::Best);

// The same blend with an alpha of its own for every pixel: a soft edge's
// ramp of narrow strips, which a call per strip would spend on tails.
using BlendRowAlphasFn = void (*)(QRgb *d, const QRgb *b, const QRgb *s, const uint8_t *alphas, int n,
                                  uint32_t opaqueMask);

void blendRowAlphasScalar(QRgb *d, const QRgb *b, const QRgb *s, const uint8_t *alphas, int n, uint32_t opaqueMask)
{
    for (int i = 0; i < n; ++i) d[i] = blendPixel(s[i], b[i], alphas[i], 255u - alphas[i]) | opaqueMask;
}

#if defined(__x86_64__) && defined(__GNUC__)
// Eight alphas as the 16-bit weights of the unpacked halves: each pixel's
// alpha in the four channel lanes of its pixel, pixels 0 1 | 4 5 then 2 3 | 6 7.
__attribute__((target("avx2"))) inline void alphaHalvesAvx2(const uint8_t *alphas, __m256i &lo, __m256i &hi)
{
    __m256i a = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(alphas)));
    a = _mm256_or_si256(a, _mm256_slli_epi32(a, 16));
    lo = _mm256_unpacklo_epi32(a, a);
    hi = _mm256_unpackhi_epi32(a, a);
}

__attribute__((target("avx2"))) void blendRowAlphasAvx2(QRgb *d, const QRgb *b, const QRgb *s, const uint8_t *alphas,
                                                        int n, uint32_t opaqueMask)
{
    const __m256i full = _mm256_set1_epi16(255);
    const __m256i mask = _mm256_set1_epi32(int(opaqueMask));
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i alo, ahi;
        alphaHalvesAvx2(alphas + i, alo, ahi);
        const __m256i vs = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(s + i));
        const __m256i vd = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(b + i));
        const __m256i p = blendHalvesAvx2(vs, vd, alo, _mm256_sub_epi16(full, alo), ahi, _mm256_sub_epi16(full, ahi));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(d + i), _mm256_or_si256(p, mask));
    }
    blendRowAlphasScalar(d + i, b + i, s + i, alphas + i, n - i, opaqueMask);
}

__attribute__((target("avx512f,avx512bw"))) void blendRowAlphasAvx512(QRgb *d, const QRgb *b, const QRgb *s,
                                                                      const uint8_t *alphas, int n, uint32_t opaqueMask)
{
    const __m512i full = _mm512_set1_epi16(255);
    const __m512i mask = _mm512_set1_epi32(int(opaqueMask));
    alignas(16) uint8_t last[16] = {}; // the alphas of a short last group
    for (int i = 0; i < n; i += 16) {
        const __mmask16 take = headMask(n - i);
        const uint8_t *from = alphas + i;
        if (n - i < 16) from = static_cast<const uint8_t *>(std::memcpy(last, from, size_t(n - i)));
        __m512i a = _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(from)));
        a = _mm512_or_si512(a, _mm512_slli_epi32(a, 16));
        const __m512i alo = _mm512_unpacklo_epi32(a, a), ahi = _mm512_unpackhi_epi32(a, a);
        const __m512i p = blendHalvesAvx512(_mm512_maskz_loadu_epi32(take, s + i), _mm512_maskz_loadu_epi32(take, b + i),
                                            alo, _mm512_sub_epi16(full, alo), ahi, _mm512_sub_epi16(full, ahi));
        _mm512_mask_storeu_epi32(d + i, take, _mm512_or_si512(p, mask));
    }
}
#endif

BlendRowAlphasFn pickBlendRowAlphas(PixelKernels k)
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (allowAvx512(k)) return blendRowAlphasAvx512;
    if (allowAvx2(k)) return blendRowAlphasAvx2;
#endif
    return blendRowAlphasScalar;
}

BlendRowAlphasFn blendRowAlphas = pickBlendRowAlphas(PixelKernels::Best);

// Rows of a stretched copy. A sample between two pixels a and b at weight w
// (0 … 255, in 256ths towards b) is a + round((b − a) × w / 256) per channel.
// The horizontal pass writes either finished pixels or, for rows that are
// blended again vertically, 16-bit channels in a layout of the kernel's own
// choosing.
inline int lerpChannel(int a, int b, int w)
{
    return a + (((b - a) * w + 128) >> 8);
}

// For each destination position along one axis, the two source positions it
// blends and the weight of the second (0 … 255). Horizontal maps hold
// `padded` entries (the count rounded up to the kernels' group, the last entry
// repeated) so that vector kernels need no tail, and are then put in the
// kernels' own form by their `prepare`.
struct AxisMap
{
    std::vector<int32_t> a, b, w;
    // Vector kernels: for each group, the first of the neighbouring source
    // pixels it reads, with a and b counted from there; −1 where the group's
    // samples lie too far apart and are gathered by a and b themselves.
    std::vector<int32_t> window;
};

struct SampleKernels
{
    // Puts a horizontal map of `padded` entries into the kernels' own form,
    // for rows of `rowLen` pixels.
    void (*prepare)(AxisMap &xs, int padded, int rowLen);
    // out[k] for k < n: finished pixels.
    void (*row8)(QRgb *out, const QRgb *row, const AxisMap &xs, int n, uint32_t opaqueMask);
    // 16-bit channels of the `padded` samples, 4 × padded values.
    void (*row16)(int16_t *out, const QRgb *row, const AxisMap &xs, int padded);
    // d[r][k] for r < rows and k < n: the vertical blends of two row16
    // results at weights w[r]. Rows between the same two source rows (an
    // enlargement) are blended together, reading the two sources once.
    void (*blend16)(QRgb *const *d, const int *w, int rows, const int16_t *top, const int16_t *bottom, int n,
                    uint32_t opaqueMask);
    int group; // samples per vector step: horizontal maps are padded to a multiple of it
};

inline QRgb lerpPixel(QRgb a, QRgb b, int w)
{
    if (w == 0) return a;
    return QRgb(lerpChannel(int(a >> 24), int(b >> 24), w)) << 24
           | QRgb(lerpChannel(int(a >> 16 & 0xFF), int(b >> 16 & 0xFF), w)) << 16
           | QRgb(lerpChannel(int(a >> 8 & 0xFF), int(b >> 8 & 0xFF), w)) << 8
           | QRgb(lerpChannel(int(a & 0xFF), int(b & 0xFF), w));
}

void prepareScalar(AxisMap &, int, int) {}

void row8Scalar(QRgb *out, const QRgb *row, const AxisMap &xs, int n, uint32_t opaqueMask)
{
    for (int k = 0; k < n; ++k) out[k] = lerpPixel(row[xs.a[size_t(k)]], row[xs.b[size_t(k)]], xs.w[size_t(k)]) | opaqueMask;
}

// Pixel after pixel, channels in the order B, G, R, A.
void row16Scalar(int16_t *out, const QRgb *row, const AxisMap &xs, int padded)
{
    for (int k = 0; k < padded; ++k) {
        const QRgb p = lerpPixel(row[xs.a[size_t(k)]], row[xs.b[size_t(k)]], xs.w[size_t(k)]);
        for (int c = 0; c < 4; ++c) out[4 * k + c] = int16_t(p >> (8 * c) & 0xFF);
    }
}

void blend16Scalar(QRgb *const *d, const int *w, int rows, const int16_t *top, const int16_t *bottom, int n,
                   uint32_t opaqueMask)
{
    for (int r = 0; r < rows; ++r)
        for (int k = 0; k < n; ++k) {
            QRgb p = 0;
            for (int c = 0; c < 4; ++c) p |= QRgb(lerpChannel(top[4 * k + c], bottom[4 * k + c], w[r])) << (8 * c);
            d[r][k] = p | opaqueMask;
        }
}

#if defined(__x86_64__) && defined(__GNUC__)
// The vector kernels' form of a horizontal map, for groups of `group` samples
// read from a window of 2 × group neighbouring pixels. Positions only step
// forward or back, so a group mostly falls within such a window, and two
// loads and a permute are much cheaper than a gather. Near the end of the row
// the window is moved back to end with it. Weights become w × 128 in both
// 16-bit halves: mulhrs then gives round(d × w / 256) in every channel lane.
void prepareWindows(AxisMap &xs, int padded, int rowLen, int group)
{
    const int span = 2 * group;
    xs.window.assign(size_t(padded / group), -1);
    for (int g = 0; g < padded / group; ++g) {
        int32_t *a = xs.a.data() + g * group, *b = xs.b.data() + g * group;
        const int lowest = std::min(a[0], a[group - 1]);
        const int first = std::max(0, std::min(lowest, rowLen - span)), last = std::max(b[0], b[group - 1]);
        if (last - first < span && rowLen >= span) {
            xs.window[size_t(g)] = first;
            for (int k = 0; k < group; ++k) a[k] -= first, b[k] -= first;
        }
    }
    for (int32_t &w : xs.w) w = (w << 7) * 0x10001;
}

void prepareAvx2(AxisMap &xs, int padded, int rowLen)
{
    prepareWindows(xs, padded, rowLen, 8);
}

void prepareAvx512(AxisMap &xs, int padded, int rowLen)
{
    prepareWindows(xs, padded, rowLen, 16);
}

// The samples of the group at k as 16-bit channels: pixels 0 1 | 4 5 in `lo`,
// 2 3 | 6 7 in `hi` (the order unpacking leaves and packing undoes).
__attribute__((target("avx2"))) inline void lerpGroupAvx2(const QRgb *row, const AxisMap &xs, int k, __m256i &lo,
                                                          __m256i &hi)
{
    const __m256i ia = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(xs.a.data() + k));
    const __m256i ib = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(xs.b.data() + k));
    const int first = xs.window[size_t(k / 8)];
    __m256i pa, pb;
    if (first >= 0) {
        const __m256i seven = _mm256_set1_epi32(7);
        const __m256i t0 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(row + first));
        const __m256i t1 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(row + first + 8));
        pa = _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(t0, ia), _mm256_permutevar8x32_epi32(t1, ia),
                                _mm256_cmpgt_epi32(ia, seven));
        pb = _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(t0, ib), _mm256_permutevar8x32_epi32(t1, ib),
                                _mm256_cmpgt_epi32(ib, seven));
    } else {
        const int *base = reinterpret_cast<const int *>(row);
        pa = _mm256_i32gather_epi32(base, ia, 4);
        pb = _mm256_i32gather_epi32(base, ib, 4);
    }
    const __m256i vw = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(xs.w.data() + k));
    const __m256i wlo = _mm256_unpacklo_epi32(vw, vw), whi = _mm256_unpackhi_epi32(vw, vw);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i alo = _mm256_unpacklo_epi8(pa, zero), ahi = _mm256_unpackhi_epi8(pa, zero);
    const __m256i blo = _mm256_unpacklo_epi8(pb, zero), bhi = _mm256_unpackhi_epi8(pb, zero);
    lo = _mm256_add_epi16(alo, _mm256_mulhrs_epi16(_mm256_sub_epi16(blo, alo), wlo));
    hi = _mm256_add_epi16(ahi, _mm256_mulhrs_epi16(_mm256_sub_epi16(bhi, ahi), whi));
}

__attribute__((target("avx2"))) inline void storeTailAvx2(QRgb *out, __m256i p, int count)
{
    alignas(32) QRgb last[8];
    _mm256_store_si256(reinterpret_cast<__m256i *>(last), p);
    std::memcpy(out, last, size_t(count) * sizeof(QRgb));
}

__attribute__((target("avx2"))) void row8Avx2(QRgb *out, const QRgb *row, const AxisMap &xs, int n,
                                              uint32_t opaqueMask)
{
    const __m256i mask = _mm256_set1_epi32(int(opaqueMask));
    for (int k = 0; k < n; k += 8) {
        __m256i lo, hi;
        lerpGroupAvx2(row, xs, k, lo, hi);
        const __m256i p = _mm256_or_si256(_mm256_packus_epi16(lo, hi), mask);
        if (k + 8 <= n)
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + k), p);
        else
            storeTailAvx2(out + k, p, n - k);
    }
}

__attribute__((target("avx2"))) void row16Avx2(int16_t *out, const QRgb *row, const AxisMap &xs, int padded)
{
    for (int k = 0; k < padded; k += 8) {
        __m256i lo, hi;
        lerpGroupAvx2(row, xs, k, lo, hi);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + 4 * k), lo);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + 4 * k + 16), hi);
    }
}

__attribute__((target("avx2"))) void blend16Avx2(QRgb *const *d, const int *w, int rows, const int16_t *top,
                                                 const int16_t *bottom, int n, uint32_t opaqueMask)
{
    const __m256i mask = _mm256_set1_epi32(int(opaqueMask));
    for (int k = 0; k < n; k += 8) {
        const __m256i tlo = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(top + 4 * k));
        const __m256i thi = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(top + 4 * k + 16));
        const __m256i dlo = _mm256_sub_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(bottom + 4 * k)), tlo);
        const __m256i dhi =
            _mm256_sub_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(bottom + 4 * k + 16)), thi);
        for (int r = 0; r < rows; ++r) {
            const __m256i vw = _mm256_set1_epi16(short(w[r] << 7));
            const __m256i lo = _mm256_add_epi16(tlo, _mm256_mulhrs_epi16(dlo, vw));
            const __m256i hi = _mm256_add_epi16(thi, _mm256_mulhrs_epi16(dhi, vw));
            const __m256i p = _mm256_or_si256(_mm256_packus_epi16(lo, hi), mask);
            if (k + 8 <= n)
                _mm256_storeu_si256(reinterpret_cast<__m256i *>(d[r] + k), p);
            else
                storeTailAvx2(d[r] + k, p, n - k);
        }
    }
}

// The same in 512-bit registers, 16 samples a group.
__attribute__((target("avx512f,avx512bw"))) inline void lerpGroupAvx512(const QRgb *row, const AxisMap &xs, int k,
                                                                        __m512i &lo, __m512i &hi)
{
    const __m512i ia = _mm512_loadu_si512(xs.a.data() + k), ib = _mm512_loadu_si512(xs.b.data() + k);
    const int first = xs.window[size_t(k / 16)];
    __m512i pa, pb;
    if (first >= 0) {
        const __m512i t0 = _mm512_loadu_si512(row + first), t1 = _mm512_loadu_si512(row + first + 16);
        pa = _mm512_permutex2var_epi32(t0, ia, t1);
        pb = _mm512_permutex2var_epi32(t0, ib, t1);
    } else {
        pa = _mm512_i32gather_epi32(ia, row, 4);
        pb = _mm512_i32gather_epi32(ib, row, 4);
    }
    const __m512i vw = _mm512_loadu_si512(xs.w.data() + k);
    const __m512i wlo = _mm512_unpacklo_epi32(vw, vw), whi = _mm512_unpackhi_epi32(vw, vw);
    const __m512i zero = _mm512_setzero_si512();
    const __m512i alo = _mm512_unpacklo_epi8(pa, zero), ahi = _mm512_unpackhi_epi8(pa, zero);
    const __m512i blo = _mm512_unpacklo_epi8(pb, zero), bhi = _mm512_unpackhi_epi8(pb, zero);
    lo = _mm512_add_epi16(alo, _mm512_mulhrs_epi16(_mm512_sub_epi16(blo, alo), wlo));
    hi = _mm512_add_epi16(ahi, _mm512_mulhrs_epi16(_mm512_sub_epi16(bhi, ahi), whi));
}

__attribute__((target("avx512f,avx512bw"))) void row8Avx512(QRgb *out, const QRgb *row, const AxisMap &xs, int n,
                                                            uint32_t opaqueMask)
{
    const __m512i mask = _mm512_set1_epi32(int(opaqueMask));
    for (int k = 0; k < n; k += 16) {
        __m512i lo, hi;
        lerpGroupAvx512(row, xs, k, lo, hi);
        _mm512_mask_storeu_epi32(out + k, headMask(n - k), _mm512_or_si512(_mm512_packus_epi16(lo, hi), mask));
    }
}

__attribute__((target("avx512f,avx512bw"))) void row16Avx512(int16_t *out, const QRgb *row, const AxisMap &xs,
                                                             int padded)
{
    for (int k = 0; k < padded; k += 16) {
        __m512i lo, hi;
        lerpGroupAvx512(row, xs, k, lo, hi);
        _mm512_storeu_si512(out + 4 * k, lo);
        _mm512_storeu_si512(out + 4 * k + 32, hi);
    }
}

__attribute__((target("avx512f,avx512bw"))) void blend16Avx512(QRgb *const *d, const int *w, int rows,
                                                               const int16_t *top, const int16_t *bottom, int n,
                                                               uint32_t opaqueMask)
{
    const __m512i mask = _mm512_set1_epi32(int(opaqueMask));
    const int whole = n / 16 * 16;
    for (int k = 0; k < n; k += 16) {
        const __m512i tlo = _mm512_loadu_si512(top + 4 * k), thi = _mm512_loadu_si512(top + 4 * k + 32);
        const __m512i dlo = _mm512_sub_epi16(_mm512_loadu_si512(bottom + 4 * k), tlo);
        const __m512i dhi = _mm512_sub_epi16(_mm512_loadu_si512(bottom + 4 * k + 32), thi);
        for (int r = 0; r < rows; ++r) {
            const __m512i vw = _mm512_set1_epi16(short(w[r] << 7));
            const __m512i lo = _mm512_add_epi16(tlo, _mm512_mulhrs_epi16(dlo, vw));
            const __m512i hi = _mm512_add_epi16(thi, _mm512_mulhrs_epi16(dhi, vw));
            const __m512i p = _mm512_or_si512(_mm512_packus_epi16(lo, hi), mask);
            if (k < whole)
                _mm512_storeu_si512(d[r] + k, p);
            else
                _mm512_mask_storeu_epi32(d[r] + k, headMask(n - k), p);
        }
    }
}
#endif

SampleKernels pickSampleKernels(PixelKernels k)
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (allowAvx512(k)) return {prepareAvx512, row8Avx512, row16Avx512, blend16Avx512, 16};
    if (allowAvx2(k)) return {prepareAvx2, row8Avx2, row16Avx2, blend16Avx2, 8};
#endif
    return {prepareScalar, row8Scalar, row16Scalar, blend16Scalar, 8};
}

SampleKernels sampleKernels = pickSampleKernels(PixelKernels::Best);

// Grey of 0.35 × (R + G + B) with the fraction dropped, capped at 255:
// (sum × 22939) >> 16 equals floor(sum × 7 / 20) for every sum up to 765.
inline uint32_t greyOf(QRgb p)
{
    return std::min<uint32_t>(255, ((p >> 16 & 0xFF) + (p >> 8 & 0xFF) + (p & 0xFF)) * 22939 >> 16);
}

PVSM_ROW_LOOP void greyRow(QRgb *d, const QRgb *s, int n, uint32_t opaqueMask)
{
    for (int i = 0; i < n; ++i) {
        const uint32_t g = greyOf(s[i]);
        d[i] = (s[i] & 0xFF000000u) | opaqueMask | g << 16 | g << 8 | g;
    }
}

PVSM_ROW_LOOP void fillRow(QRgb *d, int n, QRgb pixel)
{
    for (int i = 0; i < n; ++i) d[i] = pixel;
}

// d[i] = s[-i] | mask: a row copied right to left (`s` points at its last pixel).
PVSM_ROW_LOOP void reverseRow(QRgb *d, const QRgb *s, int n, uint32_t mask)
{
    for (int i = 0; i < n; ++i) d[i] = s[-i] | mask;
}

PVSM_ROW_LOOP void invertRow(QRgb *d, const QRgb *s, int n, uint32_t mask)
{
    for (int i = 0; i < n; ++i) d[i] = (s[i] ^ 0x00FFFFFFu) | mask;
}

PVSM_ROW_LOOP void opaqueRow(QRgb *d, const QRgb *s, int n, uint32_t mask)
{
    for (int i = 0; i < n; ++i) d[i] = s[i] | mask;
}

// Source and destination rectangles of a stretched copy after clipping the
// source to its picture, in destination pixels.
struct StretchPlan
{
    int sl = 0, st = 0, sw = 0, sh = 0; // source, positive
    int dl = 0, dt = 0, dw = 0, dh = 0; // destination, positive
    bool flipX = false, flipY = false;
};

bool planStretch(int x, int y, int w, int h, int sx, int sy, int sw, int sh, QSize srcSize, StretchPlan &p)
{
    if (w == 0 || h == 0 || sw == 0 || sh == 0) return false;
    int64_t dl = w < 0 ? int64_t(x) + w : x, dt = h < 0 ? int64_t(y) + h : y;
    int64_t dw = std::abs(int64_t(w)), dh = std::abs(int64_t(h));
    int64_t sl = sw < 0 ? int64_t(sx) + sw : sx, st = sh < 0 ? int64_t(sy) + sh : sy;
    int64_t sW = std::abs(int64_t(sw)), sH = std::abs(int64_t(sh));
    p.flipX = (w < 0) != (sw < 0);
    p.flipY = (h < 0) != (sh < 0);
    // Clip the source to its picture and shrink the destination in proportion.
    const int64_t cl = std::max<int64_t>(sl, 0), cr = std::min<int64_t>(sl + sW, srcSize.width());
    const int64_t ct = std::max<int64_t>(st, 0), cb = std::min<int64_t>(st + sH, srcSize.height());
    if (cr <= cl || cb <= ct) return false;
    const double kx = double(dw) / double(sW), ky = double(dh) / double(sH);
    const double a0 = p.flipX ? double(sl + sW - cr) : double(cl - sl);
    const double a1 = p.flipX ? double(sl + sW - cl) : double(cr - sl);
    const double b0 = p.flipY ? double(st + sH - cb) : double(ct - st);
    const double b1 = p.flipY ? double(st + sH - ct) : double(cb - st);
    const int64_t ndl = dl + std::llround(a0 * kx), ndr = dl + std::llround(a1 * kx);
    const int64_t ndt = dt + std::llround(b0 * ky), ndb = dt + std::llround(b1 * ky);
    if (ndr <= ndl || ndb <= ndt) return false;
    // Keeps the destination edges and sizes within int.
    if (std::max({std::abs(ndl), std::abs(ndr), std::abs(ndt), std::abs(ndb)}) > INT32_MAX / 2) return false;
    p.sl = int(cl), p.st = int(ct), p.sw = int(cr - cl), p.sh = int(cb - ct);
    p.dl = int(ndl), p.dt = int(ndt), p.dw = int(ndr - ndl), p.dh = int(ndb - ndt);
    return true;
}

// Equal sizes: a pixel-exact copy, mirrored where asked.
void mirrorCopy(QImage &dst, const QImage &srcIn, const StretchPlan &p, const QRect &clip = QRect())
{
    // Columns and rows of the destination that receive a pixel.
    const QRect area = clip.isEmpty() ? dst.rect() : clip.intersected(dst.rect());
    const int x0 = std::max(p.dl, area.left()), x1 = std::min(p.dl + p.dw, area.right() + 1);
    const int y0 = std::max(p.dt, area.top()), y1 = std::min(p.dt + p.dh, area.bottom() + 1);
    if (x1 <= x0 || y1 <= y0) return;
    uchar *dbits = writableBits(dst, QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1)));
    QImage privateSource;
    const QImage *src = &srcIn;
    if (dbits == srcIn.constBits()) {
        privateSource = srcIn.copy();
        src = &privateSource;
    }
    const uchar *sbits = src->constBits();
    const qsizetype dbpl = dst.bytesPerLine(), sbpl = src->bytesPerLine();
    // An RGB32 source is opaque already: its rows are copied as they are.
    const uint32_t opaque =
        dst.format() == QImage::Format_RGB32 && src->format() != QImage::Format_RGB32 ? 0xFF000000u : 0;
    for (int y = y0; y < y1; ++y) {
        const int sy = p.flipY ? p.st + (p.dt + p.dh - 1 - y) : p.st + (y - p.dt);
        const QRgb *s = rowOf(sbits, sbpl, sy);
        QRgb *d = rowOf(dbits, dbpl, y);
        if (p.flipX) {
            reverseRow(d + x0, s + p.sl + (p.dl + p.dw - 1 - x0), x1 - x0, opaque);
        } else {
            const QRgb *from = s + p.sl + (x0 - p.dl);
            if (!opaque) std::memcpy(d + x0, from, size_t(x1 - x0) * 4);
            else
                opaqueRow(d + x0, from, x1 - x0, opaque);
        }
    }
}

} // namespace

void ReuseCanvasMemory()
{
#if defined(__GLIBC__)
    // Blocks up to 64 MB (a 4096 × 4096 canvas) come from the heap, and up
    // to 512 MB of free heap top stays mapped.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
    // Each thread that decodes or composes a picture would otherwise keep
    // what it freed in a heap of its own (a moving show's export: 60 MB more
    // at its peak); pictures are few and large, so two heaps do not wait on
    // each other.
    mallopt(M_ARENA_MAX, 2);
#endif
#if defined(__linux__)
    // Small pages only. The encoder asks for huge pages for its frames, and
    // a huge page is zeroed whole at its first touch. Where the system runs
    // in a virtual machine that backs memory only once it is touched (WSL,
    // many cloud machines), that first touch costs four to five times more
    // per byte than with small pages: a 1080p MP4 export spent 2.8 s of its
    // 14 s in the kernel, 0.8 s without. Pictures are read in rows, so the
    // larger page saves the processor little (2 % more user time without).
    (void)prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
#endif
}

void ReturnFreedHeapMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

uint32_t TranslateColor(uint32_t colorBgr)
{
    if (colorBgr & 0x80000000u) {
        const uint32_t index = colorBgr & 0x7FFFFFFFu;
        if (index >= kSystemColorsRgb.size()) return 0;
        return bgrToRgb(kSystemColorsRgb[index]);
    }
    return colorBgr & 0x00FFFFFFu;
}

clsMemDC::clsMemDC(int widthPx, int heightPx, uint32_t backColorBgr)
{
    CreateMemDC(widthPx, heightPx, backColorBgr);
}

clsMemDC::clsMemDC(clsMemDC &&other) noexcept
    : m_image(std::move(other.m_image)), m_initialBackColor(other.m_initialBackColor), m_backColor(other.m_backColor)
{
    other.m_image = QImage();
}

clsMemDC &clsMemDC::operator=(clsMemDC &&other) noexcept
{
    if (this != &other) {
        m_image = std::move(other.m_image);
        other.m_image = QImage();
        m_initialBackColor = other.m_initialBackColor;
        m_backColor = other.m_backColor;
    }
    return *this;
}

bool clsMemDC::CreateMemDC(int widthPx, int heightPx, uint32_t backColorBgr)
{
    m_image = QImage();
    if (widthPx <= 0 || heightPx <= 0 || widthPx > kMaxCanvasSide || heightPx > kMaxCanvasSide
        || int64_t(widthPx) * heightPx > kMaxCanvasPixels)
        return false;
    QImage image = newCanvasImage(widthPx, heightPx, QImage::Format_RGB32);
    if (image.isNull()) return false;
    m_image = std::move(image);
    m_initialBackColor = TranslateColor(backColorBgr);
    setBackColor(backColorBgr);
    return true;
}

bool clsMemDC::CreateMemDC(QSize boxSizePx, int widthPx, int heightPx, uint32_t backColorBgr)
{
    return CreateMemDC(widthPx == 0 ? boxSizePx.width() : widthPx, heightPx == 0 ? boxSizePx.height() : heightPx,
                       backColorBgr);
}

void clsMemDC::CopyOf(const clsMemDC &other, uint32_t backColorBgr)
{
    m_image = other.m_image;
    m_initialBackColor = m_backColor = TranslateColor(backColorBgr);
}

bool clsMemDC::PrepareToOverwrite(int widthPx, int heightPx)
{
    m_initialBackColor = m_backColor = 0;
    // Pixels of its own and of the right size are kept; shared ones would be
    // copied on the first write, so a fresh block replaces them.
    if (m_image.size() == QSize(widthPx, heightPx) && m_image.format() == QImage::Format_RGB32 && m_image.isDetached())
        return true;
    m_image = QImage();
    if (widthPx <= 0 || heightPx <= 0 || widthPx > kMaxCanvasSide || heightPx > kMaxCanvasSide
        || int64_t(widthPx) * heightPx > kMaxCanvasPixels)
        return false;
    m_image = newCanvasImage(widthPx, heightPx, QImage::Format_RGB32);
    return !m_image.isNull();
}

void clsMemDC::Release()
{
    m_image = QImage();
}

void clsMemDC::setBackColor(uint32_t colorBgr)
{
    m_backColor = TranslateColor(colorBgr);
    if (!m_image.isNull()) m_image.fill(opaquePixel(m_backColor));
}

void clsMemDC::Clear()
{
    setBackColor(m_initialBackColor);
}

void BitBlt(QImage &dst, int x, int y, int w, int h, const QImage &src, int sx, int sy, RasterOp op)
{
    if (!isCanvasFormat(dst.format()) || !isCanvasFormat(src.format())) return;
    Span s;
    if (!clipSpan(x, y, w, h, sx, sy, dst.size(), src.size(), s)) return;
    // First: this may part dst from src. Shared pixels that are all replaced
    // are not copied.
    uchar *dbits = writableBits(dst, QRect(s.x, s.y, s.w, s.h));
    const uchar *sbits = src.constBits();
    qsizetype sbpl = src.bytesPerLine();
    const qsizetype dbpl = dst.bytesPerLine();
    const bool same = dbits == sbits;
    const uint32_t opaque = dst.format() == QImage::Format_RGB32 && src.format() != QImage::Format_RGB32 ? 0xFF000000u : 0;

    if (op == RasterOp::SrcCopy && !opaque) {
        const size_t bytes = size_t(s.w) * 4;
        if (same && s.y > s.sy) {
            for (int r = s.h - 1; r >= 0; --r)
                std::memmove(rowOf(dbits, dbpl, s.y + r) + s.x, rowOf(sbits, sbpl, s.sy + r) + s.sx, bytes);
        } else if (same) {
            for (int r = 0; r < s.h; ++r)
                std::memmove(rowOf(dbits, dbpl, s.y + r) + s.x, rowOf(sbits, sbpl, s.sy + r) + s.sx, bytes);
        } else if (bytes < 4096) {
            // Short rows far apart: fetch the source rows ahead, which the
            // processor does not guess for a tall narrow block.
            constexpr int kAhead = 8;
            for (int r = 0; r < s.h; ++r) {
                if (r + kAhead < s.h) FetchAhead(rowOf(sbits, sbpl, s.sy + r + kAhead) + s.sx, qsizetype(bytes));
                std::memcpy(rowOf(dbits, dbpl, s.y + r) + s.x, rowOf(sbits, sbpl, s.sy + r) + s.sx, bytes);
            }
        } else {
            for (int r = 0; r < s.h; ++r)
                std::memcpy(rowOf(dbits, dbpl, s.y + r) + s.x, rowOf(sbits, sbpl, s.sy + r) + s.sx, bytes);
        }
        return;
    }

    QImage privateSource;
    if (same && overlaps(s)) {
        privateSource = copyOfSource(src, s);
        sbits = privateSource.constBits();
        sbpl = privateSource.bytesPerLine();
        s.sx = s.sy = 0;
    }
    const QImage::Format sf = src.format();
    for (int r = 0; r < s.h; ++r) {
        const QRgb *sp = rowOf(sbits, sbpl, s.sy + r) + s.sx;
        QRgb *dp = rowOf(dbits, dbpl, s.y + r) + s.x;
        if (op == RasterOp::NotSrcCopy) {
            if (sf == QImage::Format_ARGB32_Premultiplied)
                for (int i = 0; i < s.w; ++i) dp[i] = invertPixel(sp[i], sf) | opaque;
            else
                invertRow(dp, sp, s.w, opaque);
        } else {
            opaqueRow(dp, sp, s.w, opaque);
        }
    }
}

void CopyRects(QImage &dst, std::span<const QRect> rects, const QImage &src)
{
    if (rects.empty() || !isCanvasFormat(dst.format()) || !isCanvasFormat(src.format())) return;
    if (dst.format() != src.format() || dst.constBits() == src.constBits()) {
        // Opaque fix-ups and copies within one picture: the general path.
        for (const QRect &r : rects) BitBlt(dst, r.x(), r.y(), r.width(), r.height(), src, r.x(), r.y());
        return;
    }
    const QRect area = dst.rect() & src.rect();
    uchar *dbits = writableBits(dst);
    const uchar *sbits = src.constBits();
    const qsizetype dbpl = dst.bytesPerLine(), sbpl = src.bytesPerLine();
    for (const QRect &piece : rects) {
        const QRect r = piece & area;
        if (r.isEmpty()) continue;
        const size_t bytes = size_t(r.width()) * 4;
        for (int y = r.top(); y <= r.bottom(); ++y)
            std::memcpy(rowOf(dbits, dbpl, y) + r.x(), rowOf(sbits, sbpl, y) + r.x(), bytes);
    }
}

namespace {

// Means of pixel pairs, rounded up: (a + b + 1) / 2 per channel.
inline uint32_t meanUp(uint32_t a, uint32_t b)
{
    return (a | b) - (((a ^ b) >> 1) & 0x7F7F7F7Fu);
}
// Means rounded down: (a + b) / 2 per channel.
inline uint32_t meanDown(uint32_t a, uint32_t b)
{
    return (a & b) + (((a ^ b) >> 1) & 0x7F7F7F7Fu);
}

// One output row of a halving: out[i] is the mean of columns 2i and 2i + 1
// (x0 + 2i clamped to `last`) of rows a and b, the two row means rounded up
// and their mean rounded down, so the rounding does not drift either way
// over many levels. With `byX` false the columns are kept.
using HalveRowFn = void (*)(QRgb *out, const QRgb *a, const QRgb *b, int x0, int last, int w, bool byX);

void halveRowScalar(QRgb *out, const QRgb *a, const QRgb *b, int x0, int last, int w, bool byX)
{
    for (int i = 0; i < w; ++i) {
        const int c0 = x0 + (byX ? 2 * i : i), c1 = byX ? std::min(c0 + 1, last) : c0;
        out[i] = meanDown(meanUp(a[c0], a[c1]), meanUp(b[c0], b[c1]));
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) inline __m256i meanDownAvx2(__m256i x, __m256i y)
{
    // avg rounds up; complementing both sides turns it into rounding down.
    const __m256i ones = _mm256_set1_epi32(-1);
    return _mm256_xor_si256(_mm256_avg_epu8(_mm256_xor_si256(x, ones), _mm256_xor_si256(y, ones)), ones);
}

// Means of the pixel pairs of 16 pixels, rounded up, in the order 0 1 4 5 | 2 3 6 7.
__attribute__((target("avx2"))) inline __m256i pairMeansAvx2(__m256i v0, __m256i v1)
{
    const __m256 f0 = _mm256_castsi256_ps(v0), f1 = _mm256_castsi256_ps(v1);
    const __m256i even = _mm256_castps_si256(_mm256_shuffle_ps(f0, f1, 0x88));
    const __m256i odd = _mm256_castps_si256(_mm256_shuffle_ps(f0, f1, 0xDD));
    return _mm256_avg_epu8(even, odd);
}

__attribute__((target("avx2"))) void halveRowAvx2(QRgb *out, const QRgb *a, const QRgb *b, int x0, int last, int w,
                                                  bool byX)
{
    int i = 0;
    if (byX) {
        // Sixteen source pixels give eight; the last pair may need clamping.
        for (; i + 8 <= w && x0 + 2 * i + 16 <= last + 1; i += 8) {
            const QRgb *pa = a + x0 + 2 * i, *pb = b + x0 + 2 * i;
            const __m256i a0 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(pa));
            const __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(pa + 8));
            const __m256i b0 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(pb));
            const __m256i b1 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(pb + 8));
            const __m256i m = meanDownAvx2(pairMeansAvx2(a0, a1), pairMeansAvx2(b0, b1));
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + i), _mm256_permute4x64_epi64(m, 0xD8));
        }
    } else {
        for (; i + 8 <= w; i += 8) {
            const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(a + x0 + i));
            const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(b + x0 + i));
            // meanUp(x, x) is x: only the rows are averaged.
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + i), meanDownAvx2(va, vb));
        }
    }
    halveRowScalar(out + i, a, b, x0 + (byX ? 2 * i : i), last, w - i, byX);
}
#endif

HalveRowFn pickHalveRow(PixelKernels k)
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (allowAvx2(k)) return halveRowAvx2;
#endif
    return halveRowScalar;
}

HalveRowFn halveRow = pickHalveRow(PixelKernels::Best);

// One reduction of a rectangle of `src`: each pixel the mean of 2 × 1, 1 × 2
// or 2 × 2 pixels (`byX`, `byY`); an odd last column or row is averaged with
// itself.
QImage halve(const QImage &src, const QRect &r, bool byX, bool byY)
{
    const int w = byX ? (r.width() + 1) / 2 : r.width(), h = byY ? (r.height() + 1) / 2 : r.height();
    QImage out = newCanvasImage(w, h, src.format());
    if (out.isNull()) return out;
    const int lastY = r.bottom();
    for (int j = 0; j < h; ++j) {
        const int y0 = r.y() + (byY ? 2 * j : j), y1 = byY ? std::min(y0 + 1, lastY) : y0;
        halveRow(reinterpret_cast<QRgb *>(out.scanLine(j)), reinterpret_cast<const QRgb *>(src.constScanLine(y0)),
                 reinterpret_cast<const QRgb *>(src.constScanLine(y1)), r.x(), r.right(), w, byX);
    }
    return out;
}

// A picture the stretched copy samples: pixel i of `image` covers the
// source columns [originX + i × scaleX, originX + (i + 1) × scaleX), rows likewise.
struct SampledLevel
{
    const QImage *image = nullptr;
    double originX = 0, originY = 0;
    double scaleX = 1, scaleY = 1;
};

AxisMap mapAxis(int first, int count, int dStart, int dLen, int sStart, int sLen, bool flip, double origin,
                double scale, int levelLen, bool nearest)
{
    AxisMap m;
    m.a.resize(size_t(count));
    m.b.resize(size_t(count));
    m.w.resize(size_t(count));
    // The level positions the source rectangle touches; samples stay inside.
    const int lo = std::clamp(int(std::floor((sStart - origin) / scale)), 0, levelLen - 1);
    const int hi = std::clamp(int(std::ceil((sStart + sLen - origin) / scale)) - 1, lo, levelLen - 1);
    if (dLen == sLen && scale == 1 && origin == 0 && !flip) {
        // Not stretched along this axis: position for position.
        for (int k = 0; k < count; ++k) {
            m.a[size_t(k)] = m.b[size_t(k)] = std::clamp(sStart + first + k - dStart, lo, hi);
            m.w[size_t(k)] = 0;
        }
        return m;
    }
    for (int k = 0; k < count; ++k) {
        double t = (first + k - dStart + 0.5) / dLen;
        if (flip) t = 1.0 - t;
        const double u = (sStart + t * sLen - origin) / scale;
        int i;
        int weight = 0;
        if (nearest) {
            i = std::clamp(int(std::floor(u)), lo, hi);
        } else {
            const double v = u - 0.5;
            i = int(std::floor(v));
            if (i < lo) {
                i = lo;
            } else if (i >= hi) {
                i = hi;
            } else {
                weight = std::min(255, int((v - i) * 256.0));
            }
        }
        m.a[size_t(k)] = i;
        m.b[size_t(k)] = weight ? i + 1 : i;
        m.w[size_t(k)] = weight;
    }
    return m;
}

// Halvings of an axis that bring a shrink to at most √2: sampling a picture
// reduced that far with two taps leaves no source pixel unread.
int halvingsFor(int sourceLen, int destLen)
{
    int k = 0;
    while (k < 30 && double(sourceLen) / double(1 << k) > 1.4142 * destLen) ++k;
    return k;
}

// Writes the samples of `img` at the positions of `xs` (columns x0 …) and
// `ys` (rows y0 …) into the destination rows: a horizontal pass of each
// source row needed (kept while consecutive rows share it), then a vertical
// blend, rows between the same two source rows in one call.
void sampleRows(uchar *dbits, qsizetype dbpl, int x0, int y0, const QImage &img, AxisMap &xs, const AxisMap &ys,
                uint32_t opaque)
{
    const int n = int(xs.a.size());
    if (n == 0 || ys.a.empty()) return;
    // The source columns a row reads, for fetching rows ahead: a tall narrow
    // copy (a turning panel) otherwise waits on memory for every row.
    const int spanFirst = std::min(xs.a.front(), xs.a[size_t(n - 1)]);
    const int spanLast = std::max(xs.b.front(), xs.b[size_t(n - 1)]);
    const qsizetype spanBytes = qsizetype(spanLast - spanFirst + 1) * 4;

    const int padded = (n + sampleKernels.group - 1) / sampleKernels.group * sampleKernels.group;
    for (std::vector<int32_t> *v : {&xs.a, &xs.b, &xs.w}) v->resize(size_t(padded), v->back());
    sampleKernels.prepare(xs, padded, img.width());

    thread_local std::vector<int16_t> buffer[2];
    int held[2] = {-1, -1};
    const auto rowAt = [&](int row, int keep) -> const int16_t * {
        for (int s = 0; s < 2; ++s)
            if (held[s] == row) return buffer[s].data();
        const int s = held[0] == keep ? 1 : 0;
        buffer[s].resize(size_t(padded) * 4);
        sampleKernels.row16(buffer[s].data(), reinterpret_cast<const QRgb *>(img.constScanLine(row)), xs, padded);
        held[s] = row;
        return buffer[s].data();
    };

    const uchar *sbits = img.constBits();
    const qsizetype sbpl = img.bytesPerLine();
    constexpr size_t kAhead = 8;
    int fetched = -1; // enlarged rows share source rows: each is fetched once
    // Long rows are read in order, which the processor fetches ahead itself.
    const bool shortRows = spanBytes < 4096;
    const auto fetchAhead = [&](size_t k) {
        if (shortRows && k + kAhead < ys.a.size() && ys.b[k + kAhead] != fetched) {
            fetched = ys.b[k + kAhead];
            FetchAhead(rowOf(sbits, sbpl, fetched) + spanFirst, spanBytes);
        }
    };
    constexpr int kMaxRun = 64;
    QRgb *runRows[kMaxRun];
    int runWeights[kMaxRun];
    for (size_t k = 0; k < ys.a.size();) {
        fetchAhead(k);
        if (ys.w[k] == 0) {
            sampleKernels.row8(rowOf(dbits, dbpl, y0 + int(k)) + x0, rowOf(sbits, sbpl, ys.a[k]), xs, n, opaque);
            ++k;
            continue;
        }
        const int a = ys.a[k], b = ys.b[k];
        int run = 0;
        do {
            fetchAhead(k);
            runRows[run] = rowOf(dbits, dbpl, y0 + int(k)) + x0;
            runWeights[run] = ys.w[k];
            ++run, ++k;
        } while (k < ys.a.size() && run < kMaxRun && ys.a[k] == a && ys.b[k] == b && ys.w[k] != 0);
        const int16_t *top = rowAt(a, b);
        const int16_t *bottom = rowAt(b, a);
        sampleKernels.blend16(runRows, runWeights, run, top, bottom, n, opaque);
    }
}

// Positions u = scale × (first + k) + offset for k < count, in a picture
// axis of `len` pixels whose centres lie at whole numbers: the two pixels
// around each and the weight of the second in 256ths; held at the edges.
AxisMap mapLinear(int first, int count, double scale, double offset, int len)
{
    AxisMap m;
    m.a.resize(size_t(count));
    m.b.resize(size_t(count));
    m.w.resize(size_t(count));
    for (int k = 0; k < count; ++k) {
        const double u = scale * (first + k) + offset;
        int i = int(std::floor(u));
        int weight = std::clamp(int(std::lround((u - i) * 256.0)), 0, 256);
        if (weight == 256) ++i, weight = 0;
        if (i < 0) i = 0, weight = 0;
        if (i >= len - 1) i = len - 1, weight = 0;
        m.a[size_t(k)] = i;
        m.b[size_t(k)] = weight ? i + 1 : i;
        m.w[size_t(k)] = weight;
    }
    return m;
}

void stretchSampled(QImage &dst, const StretchPlan &p, std::span<const QImage> levels, bool levelsHalveRows,
                    StretchMode mode, const QRect &clip)
{
    const QRect area = clip.isEmpty() ? dst.rect() : clip.intersected(dst.rect());
    const int x0 = std::max(p.dl, area.left()), x1 = std::min<int64_t>(int64_t(p.dl) + p.dw, area.right() + 1);
    const int y0 = std::max(p.dt, area.top()), y1 = std::min<int64_t>(int64_t(p.dt) + p.dh, area.bottom() + 1);
    if (x1 <= x0 || y1 <= y0) return;
    const bool nearest = mode == StretchMode::ColorOnColor;

    SampledLevel level;
    level.image = &levels.front();
    QImage reduced; // a further reduction of the source rectangle, when needed
    if (!nearest) {
        int kx = halvingsFor(p.sw, p.dw), ky = halvingsFor(p.sh, p.dh);
        const int k = std::min({kx, levelsHalveRows ? ky : kx, int(levels.size()) - 1});
        level.image = &levels[size_t(k)];
        level.scaleX = double(1 << k);
        kx -= k;
        if (levelsHalveRows) {
            level.scaleY = double(1 << k);
            ky -= k;
        }
        while (kx > 0 || ky > 0) {
            const QImage &from = *level.image;
            const int lx0 = std::clamp(int(std::floor((p.sl - level.originX) / level.scaleX)), 0, from.width() - 1);
            const int lx1 = std::clamp(int(std::ceil((p.sl + p.sw - level.originX) / level.scaleX)), lx0 + 1, from.width());
            const int ly0 = std::clamp(int(std::floor((p.st - level.originY) / level.scaleY)), 0, from.height() - 1);
            const int ly1 = std::clamp(int(std::ceil((p.st + p.sh - level.originY) / level.scaleY)), ly0 + 1, from.height());
            QImage next = halve(from, QRect(lx0, ly0, lx1 - lx0, ly1 - ly0), kx > 0, ky > 0);
            if (next.isNull()) break; // no memory for the reduction: sample what there is
            level.originX += lx0 * level.scaleX;
            level.originY += ly0 * level.scaleY;
            if (kx > 0) level.scaleX *= 2, --kx;
            if (ky > 0) level.scaleY *= 2, --ky;
            reduced = std::move(next);
            level.image = &reduced;
        }
    }
    // First: a destination sharing its pixels with the source is parted from
    // it here (without copying them when they are all replaced).
    uchar *dbits = writableBits(dst, QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1)));
    QImage privateSource;
    if (level.image->constBits() == dbits) {
        // In place: read from a copy of the rows and columns sampled.
        privateSource = level.image->copy();
        level.image = &privateSource;
    }
    const QImage &img = *level.image;
    const int n = x1 - x0;
    AxisMap xs = mapAxis(x0, n, p.dl, p.dw, p.sl, p.sw, p.flipX, level.originX, level.scaleX, img.width(), nearest);
    const AxisMap ys = mapAxis(y0, y1 - y0, p.dt, p.dh, p.st, p.sh, p.flipY, level.originY, level.scaleY, img.height(),
                               nearest);
    sampleRows(dbits, dst.bytesPerLine(), x0, y0, img, xs, ys, dst.format() == QImage::Format_RGB32 ? 0xFF000000u : 0);
}

bool stretchPlanned(QImage &dst, int x, int y, int w, int h, const QImage &src, int sx, int sy, int sw, int sh,
                    StretchPlan &p, const QRect &clip = QRect())
{
    if (!isCanvasFormat(dst.format()) || !isCanvasFormat(src.format())) return false;
    if (!planStretch(x, y, w, h, sx, sy, sw, sh, src.size(), p)) return false;
    if (p.dw == p.sw && p.dh == p.sh) {
        mirrorCopy(dst, src, p, clip);
        return false;
    }
    return !(p.dl >= dst.width() || p.dt >= dst.height() || p.dl + p.dw <= 0 || p.dt + p.dh <= 0);
}

// The resampling of a picture at rest (AreaScaled). Weights are integers in
// 2^14ths that sum to 2^14 for every output pixel; the vertical pass keeps
// channels as 8.7 fixed point in 16 bits and the horizontal pass sums pairs of
// taps, so every kernel form adds the same exact integers and rounds once at
// the end: the forms give identical pixels by construction.
constexpr int kAreaWeightBits = 14;
constexpr int32_t kAreaWeightOne = 1 << kAreaWeightBits;
constexpr int kAreaMidBits = 7; // fraction bits of the vertical pass's channels

// The taps along one axis: for output i, source positions first[i] + t for
// t < taps with weights[i × taps + t] (zero where output i needs fewer).
struct AreaAxis
{
    int taps = 0;
    std::vector<int32_t> first;
    std::vector<int32_t> weights;
};

// Along a shrinking axis output i covers the source [i × s / d, (i + 1) × s / d):
// in units of 1 / d, [i × s, (i + 1) × s), and source pixel j [j × d, (j + 1) × d).
// Weights are the rounded running sums of the overlaps, so they add up to one
// exactly. Along a growing axis: linear between the two nearest pixels, the
// ends held. An axis of equal lengths maps pixel to pixel.
AreaAxis areaAxis(int sLen, int dLen, int tapMultiple)
{
    AreaAxis ax;
    std::vector<std::vector<std::pair<int32_t, int32_t>>> taps(static_cast<size_t>(dLen));
    const int64_t s = sLen, d = dLen;
    for (int64_t i = 0; i < d; ++i) {
        auto &list = taps[size_t(i)];
        if (sLen == dLen) {
            list.push_back({int32_t(i), kAreaWeightOne});
        } else if (sLen > dLen) {
            const int64_t lo = i * s, hi = (i + 1) * s;
            int64_t covered = 0, given = 0;
            for (int64_t j = lo / d; j * d < hi; ++j) {
                covered += std::min(hi, (j + 1) * d) - std::max(lo, j * d);
                const int64_t upTo = (covered * kAreaWeightOne + s / 2) / s;
                if (upTo > given) list.push_back({int32_t(j), int32_t(upTo - given)});
                given = upTo;
            }
        } else {
            // Centre of output i in source pixels, less a half: ((2i + 1) s − d) / 2d.
            const int64_t num = (2 * i + 1) * s - d, den = 2 * d;
            const int64_t j = num < 0 ? -1 : num / den;
            const int64_t w = num < 0 ? 0 : ((num % den) * kAreaWeightOne + d) / den;
            if (j < 0 || j >= s - 1 || w == 0) {
                list.push_back({int32_t(std::clamp<int64_t>(j, 0, s - 1)), kAreaWeightOne});
            } else if (w == kAreaWeightOne) {
                list.push_back({int32_t(j + 1), kAreaWeightOne});
            } else {
                list.push_back({int32_t(j), int32_t(kAreaWeightOne - w)});
                list.push_back({int32_t(j + 1), int32_t(w)});
            }
        }
    }
    for (const auto &list : taps) ax.taps = std::max(ax.taps, int(list.size()));
    ax.taps = (ax.taps + tapMultiple - 1) / tapMultiple * tapMultiple;
    ax.first.resize(size_t(dLen));
    ax.weights.assign(size_t(dLen) * size_t(ax.taps), 0);
    for (size_t i = 0; i < taps.size(); ++i) {
        ax.first[i] = taps[i].front().first;
        for (const auto &[j, w] : taps[i]) ax.weights[i * size_t(ax.taps) + size_t(j - ax.first[i])] = w;
    }
    return ax;
}

// The vertical pass: mid[k] for k < n, the bytes of `taps` rows (an even
// count, a zero weight pairing an odd last row) weighted and summed, in 8.7
// fixed point.
using AreaColumnFn = void (*)(int16_t *mid, const uint8_t *const *rows, const int32_t *weights, int taps, int n);

constexpr int kAreaColumnShift = kAreaWeightBits - kAreaMidBits;

// The same from byte `from` on, for the vector forms' tails.
void areaColumnFrom(int16_t *mid, const uint8_t *const *rows, const int32_t *weights, int taps, int from, int n)
{
    for (int k = from; k < n; ++k) {
        int32_t sum = 1 << (kAreaColumnShift - 1);
        for (int t = 0; t < taps; ++t) sum += weights[t] * rows[t][k];
        mid[k] = int16_t(sum >> kAreaColumnShift);
    }
}

void areaColumnScalar(int16_t *mid, const uint8_t *const *rows, const int32_t *weights, int taps, int n)
{
    areaColumnFrom(mid, rows, weights, taps, 0, n);
}

#if defined(__x86_64__) && defined(__GNUC__)
// Sixteen bytes of two rows interleaved (a0 b0 a1 b1 …) and widened, so that
// madd with the pair of weights gives a0 × w0 + b0 × w1 exactly.
__attribute__((target("avx2"))) void areaColumnAvx2(int16_t *mid, const uint8_t *const *rows, const int32_t *weights,
                                                    int taps, int n)
{
    const __m256i round = _mm256_set1_epi32(1 << (kAreaColumnShift - 1));
    int k = 0;
    for (; k + 16 <= n; k += 16) {
        __m256i lo = round, hi = round;
        for (int t = 0; t < taps; t += 2) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(rows[t] + k));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(rows[t + 1] + k));
            const __m256i w = _mm256_set1_epi32(weights[t] | weights[t + 1] << 16);
            lo = _mm256_add_epi32(lo, _mm256_madd_epi16(_mm256_cvtepu8_epi16(_mm_unpacklo_epi8(a, b)), w));
            hi = _mm256_add_epi32(hi, _mm256_madd_epi16(_mm256_cvtepu8_epi16(_mm_unpackhi_epi8(a, b)), w));
        }
        lo = _mm256_srai_epi32(lo, kAreaColumnShift);
        hi = _mm256_srai_epi32(hi, kAreaColumnShift);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(mid + k), _mm256_permute4x64_epi64(_mm256_packs_epi32(lo, hi), 0xD8));
    }
    areaColumnFrom(mid, rows, weights, taps, k, n);
}
#endif

// The horizontal pass: out[x] for x < n from a row of 8.7 channels (B, G, R, A
// per pixel), with taps in pairs.
using AreaRowFn = void (*)(QRgb *out, const int16_t *mid, const AreaAxis &xs, int n, uint32_t opaqueMask);

constexpr int kAreaRoundBits = kAreaWeightBits + kAreaMidBits;

inline uint32_t areaChannel(int32_t sum)
{
    return uint32_t(std::min((sum + (1 << (kAreaRoundBits - 1))) >> kAreaRoundBits, 255));
}

void areaRowScalar(QRgb *out, const int16_t *mid, const AreaAxis &xs, int n, uint32_t opaqueMask)
{
    const int T = xs.taps;
    for (int x = 0; x < n; ++x) {
        const int16_t *p = mid + size_t(xs.first[size_t(x)]) * 4;
        const int32_t *w = xs.weights.data() + size_t(x) * size_t(T);
        int32_t sum[4] = {0, 0, 0, 0};
        for (int t = 0; t < T; ++t)
            for (int c = 0; c < 4; ++c) sum[c] += w[t] * p[4 * t + c];
        out[x] = (areaChannel(sum[0]) | areaChannel(sum[1]) << 8 | areaChannel(sum[2]) << 16
                  | areaChannel(sum[3]) << 24) | opaqueMask;
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
// Two outputs at a time, one per 128-bit lane: a load of two neighbouring
// pixels is shuffled to channel pairs (B0 B1 G0 G1 R0 R1 A0 A1) and multiplied
// by the pair of weights with madd, which adds the two products exactly.
__attribute__((target("avx2"))) void areaRowAvx2(QRgb *out, const int16_t *mid, const AreaAxis &xs, int n,
                                                 uint32_t opaqueMask)
{
    const int T = xs.taps; // even
    const __m256i pairs = _mm256_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15, 0, 1, 8, 9, 2, 3,
                                           10, 11, 4, 5, 12, 13, 6, 7, 14, 15);
    const __m256i round = _mm256_set1_epi32(1 << (kAreaRoundBits - 1));
    int x = 0;
    for (; x + 2 <= n; x += 2) {
        const int16_t *p0 = mid + size_t(xs.first[size_t(x)]) * 4, *p1 = mid + size_t(xs.first[size_t(x) + 1]) * 4;
        const int32_t *w0 = xs.weights.data() + size_t(x) * size_t(T), *w1 = w0 + T;
        __m256i sum = _mm256_setzero_si256();
        for (int t = 0; t < T; t += 2) {
            const __m256i px = _mm256_setr_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p0 + 4 * t)),
                                                 _mm_loadu_si128(reinterpret_cast<const __m128i *>(p1 + 4 * t)));
            const __m256i wv = _mm256_setr_m128i(_mm_set1_epi32(w0[t] | w0[t + 1] << 16),
                                                 _mm_set1_epi32(w1[t] | w1[t + 1] << 16));
            sum = _mm256_add_epi32(sum, _mm256_madd_epi16(_mm256_shuffle_epi8(px, pairs), wv));
        }
        __m256i v = _mm256_srai_epi32(_mm256_add_epi32(sum, round), kAreaRoundBits);
        v = _mm256_packus_epi32(v, v);
        v = _mm256_packus_epi16(v, v);
        out[x] = uint32_t(_mm256_extract_epi32(v, 0)) | opaqueMask;
        out[x + 1] = uint32_t(_mm256_extract_epi32(v, 4)) | opaqueMask;
    }
    if (x < n) {
        // The last odd output, through the portable loop on a one-pixel map.
        AreaAxis last;
        last.taps = T;
        last.first.assign(1, xs.first[size_t(x)]);
        last.weights.assign(xs.weights.begin() + qsizetype(x) * T, xs.weights.begin() + qsizetype(x + 1) * T);
        areaRowScalar(out + x, mid, last, 1, opaqueMask);
    }
}
#endif

struct AreaKernels
{
    AreaColumnFn column;
    AreaRowFn row;
};

AreaKernels pickAreaKernels(PixelKernels k)
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (allowAvx2(k)) return {areaColumnAvx2, areaRowAvx2};
#endif
    return {areaColumnScalar, areaRowScalar};
}

AreaKernels areaKernels = pickAreaKernels(PixelKernels::Best);

// `src` (a canvas format, premultiplied where it has alpha) resampled to w × h.
QImage areaResample(const QImage &src, int w, int h)
{
    QImage out = newCanvasImage(w, h, src.format());
    if (out.isNull()) return out;
    const int sw = src.width(), sh = src.height();
    const AreaAxis xs = areaAxis(sw, w, 2), ys = areaAxis(sh, h, 2);
    const int values = sw * 4;
    // Room past the row for the zero-weight taps that pad the last outputs.
    std::vector<int16_t> mid(size_t(values) + size_t(xs.taps) * 4 + 8, 0);
    std::vector<const uint8_t *> rows(size_t(ys.taps));
    const uint32_t opaque = src.format() == QImage::Format_RGB32 ? 0xFF000000u : 0;
    for (int y = 0; y < h; ++y) {
        for (int t = 0; t < ys.taps; ++t) rows[size_t(t)] = src.constScanLine(std::min(ys.first[size_t(y)] + t, sh - 1));
        areaKernels.column(mid.data(), rows.data(), ys.weights.data() + size_t(y) * size_t(ys.taps), ys.taps, values);
        areaKernels.row(reinterpret_cast<QRgb *>(out.scanLine(y)), mid.data(), xs, w, opaque);
    }
    return out;
}

} // namespace

namespace {
PixelKernels kernelsInUse = PixelKernels::Best;
}

PixelKernels PixelKernelsInUse()
{
    return kernelsInUse;
}

void UsePixelKernels(PixelKernels kernels)
{
    kernelsInUse = kernels;
    blendRow = pickBlendRow(kernels);
    blendRowAlphas = pickBlendRowAlphas(kernels);
    sampleKernels = pickSampleKernels(kernels);
    halveRow = pickHalveRow(kernels);
    areaKernels = pickAreaKernels(kernels);
}

void SampleBilinear(QImage &dst, const QRect &area, const QImage &src, double ax, double bx, double ay, double by)
{
    const QRect r = area.intersected(dst.rect());
    if (r.isEmpty() || src.isNull() || src.depth() != 32 || dst.depth() != 32) return;
    AxisMap xs = mapLinear(r.left(), r.width(), ax, bx, src.width());
    const AxisMap ys = mapLinear(r.top(), r.height(), ay, by, src.height());
    sampleRows(dst.bits(), dst.bytesPerLine(), r.left(), r.top(), src, xs, ys, 0);
}

void StretchBlt(QImage &dst, int x, int y, int w, int h, const QImage &src, int sx, int sy, int sw, int sh,
                StretchMode mode)
{
    StretchPlan p;
    if (!stretchPlanned(dst, x, y, w, h, src, sx, sy, sw, sh, p)) return;
    stretchSampled(dst, p, std::span<const QImage>(&src, 1), true, mode, QRect());
}

PicturePyramid::PicturePyramid(const QImage &picture, bool halveRows) : m_halveRows(halveRows)
{
    if (picture.isNull() || !isCanvasFormat(picture.format())) return;
    m_levels.push_back(picture);
    while (m_levels.back().width() > 1 || (halveRows && m_levels.back().height() > 1)) {
        const QImage &last = m_levels.back();
        QImage next = halve(last, last.rect(), last.width() > 1, halveRows && last.height() > 1);
        if (next.isNull()) break;
        m_levels.push_back(std::move(next));
    }
}

void StretchBlt(QImage &dst, int x, int y, int w, int h, const PicturePyramid &src, int sx, int sy, int sw, int sh,
                const QRect &clip)
{
    if (src.levels().empty()) return;
    StretchPlan p;
    if (!stretchPlanned(dst, x, y, w, h, src.levels().front(), sx, sy, sw, sh, p, clip)) return;
    stretchSampled(dst, p, src.levels(), src.halvesRows(), StretchMode::Halftone, clip);
}

QImage AreaScaled(const QImage &picture, QSize size)
{
    if (picture.isNull() || !isCanvasFormat(picture.format()) || size.isEmpty()) return {};
    if (size.width() > kMaxCanvasSide || size.height() > kMaxCanvasSide
        || int64_t(size.width()) * size.height() > kMaxCanvasPixels)
        return {};
    if (size == picture.size()) return picture;
    // Means of straight colours would bleed the colour of transparent pixels
    // into their neighbours.
    if (picture.format() == QImage::Format_ARGB32) {
        QImage scaled = areaResample(picture.convertToFormat(QImage::Format_ARGB32_Premultiplied), size.width(),
                                     size.height());
        return scaled.isNull() ? scaled : scaled.convertToFormat(QImage::Format_ARGB32);
    }
    return areaResample(picture, size.width(), size.height());
}

void AlphaBlend(QImage &dst, int x, int y, int w, int h, const QImage &src, int sx, int sy, int alpha)
{
    if (!isCanvasFormat(dst.format()) || !isCanvasFormat(src.format())) return;
    alpha = std::clamp(alpha, 0, 255);
    if (alpha == 0) return;
    Span s;
    if (!clipSpan(x, y, w, h, sx, sy, dst.size(), src.size(), s)) return;
    uchar *dbits = writableBits(dst);
    const uchar *sbits = src.constBits();
    qsizetype sbpl = src.bytesPerLine();
    const qsizetype dbpl = dst.bytesPerLine();
    QImage privateSource;
    if (dbits == sbits && overlaps(s)) {
        privateSource = copyOfSource(src, s);
        sbits = privateSource.constBits();
        sbpl = privateSource.bytesPerLine();
        s.sx = s.sy = 0;
    }
    const uint32_t opaque = dst.format() == QImage::Format_RGB32 ? 0xFF000000u : 0;
    for (int r = 0; r < s.h; ++r) {
        QRgb *d = rowOf(dbits, dbpl, s.y + r) + s.x;
        blendRow(d, d, rowOf(sbits, sbpl, s.sy + r) + s.sx, s.w, uint32_t(alpha), opaque);
    }
}

void BlendOverColour(QImage &dst, const QImage &front, uint32_t colourBgr, int alpha)
{
    if (dst.size() != front.size() || !isCanvasFormat(dst.format()) || !isCanvasFormat(front.format())) return;
    alpha = std::clamp(alpha, 0, 255);
    const uint32_t opaque = dst.format() == QImage::Format_RGB32 ? 0xFF000000u : 0;
    // One row of the colour serves as the back of every row.
    const std::vector<QRgb> back(size_t(dst.width()), opaquePixel(colourBgr));
    // A destination sharing its pixels with `front` takes fresh ones: every
    // pixel is written. The same picture is blended in place, row by row.
    uchar *dbits = writableBits(dst, dst.rect());
    const uchar *fbits = front.constBits();
    for (int y = 0; y < dst.height(); ++y)
        blendRow(rowOf(dbits, dst.bytesPerLine(), y), back.data(), rowOf(fbits, front.bytesPerLine(), y), dst.width(),
                 uint32_t(alpha), opaque);
}

void BlendRow(QRgb *d, const QRgb *back, const QRgb *front, int n, int alpha, uint32_t opaqueMask)
{
    if (n > 0) blendRow(d, back, front, n, uint32_t(std::clamp(alpha, 0, 255)), opaqueMask);
}

void BlendRow(QRgb *d, const QRgb *back, const QRgb *front, const uint8_t *alphas, int n, uint32_t opaqueMask)
{
    if (n > 0) blendRowAlphas(d, back, front, alphas, n, opaqueMask);
}

void BlendPictures(QImage &dst, const QImage &back, const QImage &front, int alpha)
{
    if (dst.size() != back.size() || dst.size() != front.size() || !isCanvasFormat(dst.format())
        || !isCanvasFormat(back.format()) || !isCanvasFormat(front.format()) || writableBits(dst) == front.constBits()) {
        BitBlt(dst, 0, 0, dst.width(), dst.height(), back, 0, 0);
        AlphaBlend(dst, 0, 0, dst.width(), dst.height(), front, 0, 0, alpha);
        return;
    }
    alpha = std::clamp(alpha, 0, 255);
    const uint32_t opaque = dst.format() == QImage::Format_RGB32 ? 0xFF000000u : 0;
    uchar *dbits = writableBits(dst);
    const int width = dst.width();
    const qsizetype bytes = qsizetype(width) * 4;
    // One pass: each pixel of the result is written once from the two pictures.
    for (int y = 0; y < dst.height(); ++y) {
        QRgb *d = rowOf(dbits, dst.bytesPerLine(), y);
        const QRgb *b = rowOf(back.constBits(), back.bytesPerLine(), y);
        if (alpha > 0) {
            blendRow(d, b, rowOf(front.constBits(), front.bytesPerLine(), y), dst.width(), uint32_t(alpha), opaque);
        } else if (d != b) {
            std::memcpy(d, b, size_t(bytes));
            if (opaque && back.format() != QImage::Format_RGB32)
                for (int x = 0; x < width; ++x) d[x] |= opaque;
        }
    }
}

void DrawBitmapGrey(clsMemDC &dstCanvas, const clsMemDC &srcCanvas, int w, int h)
{
    QImage &dst = dstCanvas.image();
    const QImage &src = srcCanvas.image();
    if (!isCanvasFormat(dst.format()) || !isCanvasFormat(src.format())) return;
    Span s;
    if (!clipSpan(0, 0, w, h, 0, 0, dst.size(), src.size(), s)) return;
    uchar *dbits = writableBits(dst);
    const uchar *sbits = src.constBits(); // the same rows when in place: each pixel is read before it is written
    const qsizetype dbpl = dst.bytesPerLine(), sbpl = src.bytesPerLine();
    const bool premultiplied = src.format() == QImage::Format_ARGB32_Premultiplied;
    const uint32_t opaque = dst.format() == QImage::Format_RGB32 ? 0xFF000000u : 0;
    for (int r = 0; r < s.h; ++r) {
        const QRgb *sp = rowOf(sbits, sbpl, r);
        QRgb *dp = rowOf(dbits, dbpl, r);
        if (!premultiplied) {
            greyRow(dp, sp, s.w, opaque);
            continue;
        }
        // A premultiplied channel cannot exceed its alpha.
        for (int i = 0; i < s.w; ++i) {
            const QRgb p = sp[i];
            const uint32_t g = std::min<uint32_t>(greyOf(p), uint32_t(qAlpha(p)));
            dp[i] = (p & 0xFF000000u) | opaque | (g << 16) | (g << 8) | g;
        }
    }
}

void FillRect(QImage &dst, int x, int y, int w, int h, uint32_t colorBgr)
{
    if (!isCanvasFormat(dst.format())) return;
    Span s;
    if (!clipSpan(x, y, w, h, x, y, dst.size(), dst.size(), s)) return;
    const QRgb pixel = opaquePixel(colorBgr);
    uchar *bits = writableBits(dst);
    const qsizetype bpl = dst.bytesPerLine();
    for (int r = 0; r < s.h; ++r) {
        QRgb *d = rowOf(bits, bpl, s.y + r) + s.x;
        fillRow(d, s.w, pixel);
    }
}

void FillGradient(QImage &dst, int mode, QRgb startArgb, QRgb endArgb)
{
    if (dst.isNull() || mode < 0 || mode > 3) return;
    if (startArgb == endArgb && qAlpha(startArgb) == 255) {
        dst.fill(startArgb);
        return;
    }
    const QBrush brush = LinearGradientBrush(QRectF(dst.rect()), startArgb, endArgb, mode);
    if (brush.style() == Qt::NoBrush) return;
    QPainter painter(&dst);
    if (!painter.isActive()) return;
    painter.fillRect(dst.rect(), brush);
}

void DrawImage(QImage &dst, const QRectF &target, const QImage &image, const QRectF &source)
{
    if (dst.isNull() || image.isNull() || !target.isValid()) return;
    const QImage privateCopy = dst.constBits() == image.constBits() ? image.copy() : QImage();
    QPainter painter(&dst);
    if (!painter.isActive()) return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, privateCopy.isNull() ? image : privateCopy, source.isEmpty() ? QRectF(image.rect()) : source);
}

} // namespace pvsm
