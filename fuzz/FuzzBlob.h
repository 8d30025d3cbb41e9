#pragma once

// Fuzzed bytes rarely carry a valid bag checksum; targets fix it up so that
// the parser's structural checks are reached.

#include "PropertyBag.h"
#include "Scramble.h"

#include <QByteArray>

inline QByteArray withBagChecksum(QByteArray blob)
{
    if (blob.size() < pvsm::kBagHeaderSize) return blob;
    const uint32_t c = pvsm::Crc32(blob.constData() + pvsm::kBagHeaderSize, size_t(blob.size() - pvsm::kBagHeaderSize));
    for (int i = 0; i < 4; ++i) blob[12 + i] = char((c >> (8 * i)) & 0xFF);
    return blob;
}
