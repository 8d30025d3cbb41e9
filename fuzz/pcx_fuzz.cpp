// PCX files from untrusted sources: the decoder must refuse or decode without
// reading past the data, and a decoded picture has the header's size.
#include "FuzzSeedExport.h"
#include "LoadTgaPcx.h"

#include <QImage>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

constexpr int64_t kFuzzMaxPixels = 1 << 20; // fast runs; the full cap is unit-tested

QByteArray pcx(int bits, int planes, int encoding, int w, int h, int bytesPerLine, const QByteArray &data)
{
    QByteArray b(128, '\0');
    b[0] = char(10);
    b[1] = char(5);
    b[2] = char(encoding);
    b[3] = char(bits);
    b[8] = char((w - 1) & 0xFF);
    b[9] = char(((w - 1) >> 8) & 0xFF);
    b[10] = char((h - 1) & 0xFF);
    b[11] = char(((h - 1) >> 8) & 0xFF);
    for (int i = 0; i < 48; ++i) b[16 + i] = char(i * 5);
    b[65] = char(planes);
    b[66] = char(bytesPerLine & 0xFF);
    b[67] = char((bytesPerLine >> 8) & 0xFF);
    return b + data;
}

} // namespace

extern "C" std::vector<QByteArray> pvsmFuzzSeeds()
{
    QByteArray palette(1, char(12));
    for (int i = 0; i < 768; ++i) palette.append(char(i / 3));
    const QByteArray rle8("\xC4\x07\x01\x02\x03\x04\xC8\x09\x05\x06\x07\x08", 12);
    QByteArray raw24;
    for (int i = 0; i < 4 * 3 * 4; ++i) raw24.append(char(i * 11));
    return {
        pcx(8, 1, 1, 4, 4, 4, rle8 + palette),
        pcx(8, 1, 1, 4, 4, 4, rle8),
        pcx(8, 3, 0, 4, 4, 4, raw24),
        pcx(8, 3, 1, 4, 4, 4, QByteArray("\xCC\x10\xCC\x20\xCC\x30\xCC\x40", 8)),
        pcx(4, 1, 1, 8, 4, 4, QByteArray("\xC8\x12\xC8\x34", 4)),
        pcx(1, 1, 1, 16, 4, 2, QByteArray("\xC8\xAA", 2)),
        pcx(1, 4, 1, 16, 4, 2, QByteArray("\xE0\x55", 2)),
    };
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QImage image = pvsm::DecodePcx(bytes, kFuzzMaxPixels);
    if (!image.isNull()) {
        auto s16 = [&](int at) { return int(int16_t(uint8_t(bytes[at]) | (uint8_t(bytes[at + 1]) << 8))); };
        if (image.width() != s16(8) - s16(4) + 1 || image.height() != s16(10) - s16(6) + 1) std::abort();
        uint32_t sum = 0;
        for (int y = 0; y < image.height(); ++y) sum += reinterpret_cast<const uint32_t *>(image.constScanLine(y))[image.width() - 1];
        (void)sum;
    }
    if (size > 1) pvsm::DecodePcxRle(bytes.mid(1), data[0] * 4);
    return 0;
}
