// TGA files from untrusted sources: the decoder must refuse or decode without
// reading past the data, and a decoded picture has the header's size.
#include "FuzzSeedExport.h"
#include "LoadTgaPcx.h"

#include <QImage>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Fuzzed headers claim pictures up to 32767 x 32767; a smaller cap keeps each
// run fast (the full cap is covered by the unit tests).
constexpr int64_t kFuzzMaxPixels = 1 << 20;

void put16(QByteArray &b, int v)
{
    b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}

QByteArray tga(int type, int depth, int mapBits, int descriptor, int w, int h, const QByteArray &data, int mapLength = 0)
{
    QByteArray b;
    b.append(char(3)).append(char(mapLength ? 1 : 0)).append(char(type));
    put16(b, 0);
    put16(b, mapLength);
    b.append(char(mapBits));
    put16(b, 0);
    put16(b, 0);
    put16(b, w);
    put16(b, h);
    b.append(char(depth)).append(char(descriptor));
    b.append("ID!");
    for (int i = 0; i < mapLength * mapBits / 8; ++i) b.append(char(i * 7));
    return b + data;
}

} // namespace

extern "C" std::vector<QByteArray> pvsmFuzzSeeds()
{
    QByteArray raw24, raw8, raw16, raw32;
    for (int i = 0; i < 16 * 3; ++i) raw24.append(char(i * 5));
    for (int i = 0; i < 16; ++i) raw8.append(char(i % 4));
    for (int i = 0; i < 16 * 2; ++i) raw16.append(char(i * 9));
    for (int i = 0; i < 16 * 4; ++i) raw32.append(char(i * 3));
    const QByteArray rle24("\x83\x10\x20\x30\x02\x01\x02\x03\x04\x05\x06\x07\x08\x09\x88\xFF\x00\xFF", 18);
    const QByteArray rle8("\x85\x01\x03\x00\x01\x02\x03\x85\x02", 9);
    return {
        tga(2, 24, 0, 0x00, 4, 4, raw24),  tga(2, 24, 0, 0x20, 4, 4, raw24),     tga(10, 24, 0, 0x10, 4, 4, rle24),
        tga(1, 8, 24, 0x00, 4, 4, raw8, 4), tga(9, 8, 16, 0x20, 4, 4, rle8, 4), tga(3, 8, 0, 0x00, 4, 4, raw8),
        tga(2, 16, 0, 0x00, 4, 4, raw16),  tga(2, 32, 0, 0x28, 4, 4, raw32),     tga(1, 8, 32, 0x00, 4, 4, raw8, 4),
    };
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QImage image = pvsm::DecodeTga(bytes, kFuzzMaxPixels);
    if (!image.isNull()) {
        const int w = int16_t(uint8_t(bytes[12]) | (uint8_t(bytes[13]) << 8));
        const int h = int16_t(uint8_t(bytes[14]) | (uint8_t(bytes[15]) << 8));
        if (image.width() != w || image.height() != h) std::abort();
        // Touch every pixel so a short buffer would show.
        uint32_t sum = 0;
        for (int y = 0; y < image.height(); ++y) sum += reinterpret_cast<const uint32_t *>(image.constScanLine(y))[image.width() - 1];
        (void)sum;
    }
    if (size > 2) {
        const int bpp = 1 + data[0] % 4;
        pvsm::DecodeTgaRle(bytes.mid(2), bpp, 1 + data[1] % 16, 1 + data[1] / 16);
    }
    return 0;
}
