#pragma once

#include <QByteArray>

#include <cstdint>

namespace pvsm {

// Most-significant-bit-first reader over its own copy of some bytes. Reading
// past the end yields zero bits.
class Bitstream
{
public:
    Bitstream();

    // Copies lngLen bytes of btData from lngOffset (clipped to what exists);
    // the position goes to the first bit.
    void SetData(const QByteArray &btData, int32_t lngOffset, int32_t lngLen);
    void SkipBits(int32_t lngBits);
    // The next lngBits bits (0..32) as an unsigned number.
    uint32_t ReadBits(int32_t lngBits);

    int32_t Length() const { return int32_t(m_data.size()); }

private:
    QByteArray m_data;
    int32_t m_bytePos = 0;
    int32_t m_bitsLeft = 8;
    uint32_t m_pow2[32];
};

} // namespace pvsm
