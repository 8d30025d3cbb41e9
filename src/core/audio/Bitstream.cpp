#include "Bitstream.h"

namespace pvsm {

Bitstream::Bitstream()
{
    for (int i = 0; i < 31; ++i)
        m_pow2[i] = uint32_t(1) << i;
    m_pow2[31] = 0x80000000u;
}

void Bitstream::SetData(const QByteArray &btData, int32_t lngOffset, int32_t lngLen)
{
    if (lngOffset < 0) lngOffset = 0;
    if (lngLen < 0) lngLen = 0;
    m_data = btData.mid(lngOffset, lngLen);
    m_bytePos = 0;
    m_bitsLeft = 8;
}

void Bitstream::SkipBits(int32_t lngBits)
{
    if (lngBits <= 0) return;
    const int64_t bit = int64_t(m_bytePos) * 8 + (8 - m_bitsLeft) + lngBits;
    const int64_t limit = int64_t(m_data.size()) * 8;
    const int64_t clipped = bit > limit ? limit : bit;
    m_bytePos = int32_t(clipped / 8);
    m_bitsLeft = 8 - int32_t(clipped % 8);
}

uint32_t Bitstream::ReadBits(int32_t lngBits)
{
    if (lngBits > 32) lngBits = 32;
    uint32_t value = 0;
    for (int32_t i = 0; i < lngBits; ++i) {
        uint32_t bit = 0;
        if (m_bytePos < m_data.size()) {
            bit = (uint8_t(m_data[m_bytePos]) & m_pow2[m_bitsLeft - 1]) ? 1 : 0;
            if (--m_bitsLeft == 0) {
                m_bitsLeft = 8;
                ++m_bytePos;
            }
        }
        value = (value << 1) | bit;
    }
    return value;
}

} // namespace pvsm
