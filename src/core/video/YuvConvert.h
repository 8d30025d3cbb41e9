#pragma once

#include <QtGlobal>

#include <cstdint>

namespace pvsm {

// Limited-range (16-235 luma, 16-240 chroma) 4:2:0 planes of a 32-bit picture
// stored as B, G, R, A bytes (QImage's RGB32 and ARGB32 on little-endian
// machines; alpha is ignored), with the BT.709 matrix when `bt709` and BT.601
// otherwise. Each chroma sample is the mean of its 2 × 2 block; an odd last
// column or row is paired with itself. The planes must hold width × height
// and ((width + 1) / 2) × ((height + 1) / 2) samples at the given line sizes.
// About four times faster than the general converter of libswscale for the
// one conversion every coded picture needs.
void ConvertToYuv420(const uchar *bgra, qsizetype strideBytes, int width, int height, bool bt709,
                     uint8_t *const planes[3], const int lineSizes[3]);

} // namespace pvsm
