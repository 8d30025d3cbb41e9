#pragma once

// Little-endian fields of RIFF, WAVE and the sound formats' records.

#include <QByteArray>

#include <cstdint>

namespace pvsm {

inline void put16(QByteArray &b, uint16_t v)
{
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}

inline void put32(QByteArray &b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

inline uint16_t le16(const uint8_t *p)
{
    return uint16_t(p[0] | p[1] << 8);
}

inline uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The field at byte `at` of `b`; 0 when it does not lie wholly inside.
inline uint16_t le16(const QByteArray &b, qsizetype at)
{
    if (at < 0 || at + 2 > b.size()) return 0;
    return le16(reinterpret_cast<const uint8_t *>(b.constData() + at));
}

inline uint32_t le32(const QByteArray &b, qsizetype at)
{
    if (at < 0 || at + 4 > b.size()) return 0;
    return le32(reinterpret_cast<const uint8_t *>(b.constData() + at));
}

} // namespace pvsm
