#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace pvsm {

// The keystream that hides the head of every packed resource and of the
// shipped player program. Builder and player must produce the same bytes on
// every machine and library version, so it is our own generator (a 32-bit
// xorshift from a fixed seed, docs/formats.md), never a library distribution
// and never the process-wide random source.
class PackageKeystream
{
public:
    static constexpr uint32_t kSeed = 0x5056534Du; // "PVSM"
    PackageKeystream() = default;
    uint8_t next();

private:
    uint32_t m_state = kSeed;
};

inline constexpr int kScrambledHeadBytes = 256;  // of every resource
inline constexpr int kScrambledFileBytes = 5000; // of the shipped player program

// XORs the first min(`limit`, size) bytes with the keystream from its start;
// applying it twice gives the bytes back.
void ScrambleBytes(char *data, qsizetype size, int limit);
void ScrambleHead(QByteArray &bytes);
// In place on the first 5000 bytes of a file. False when it cannot be read or written.
bool ScrambleFile(const QString &path);

// CRC-32 of IEEE 802.3 (reflected 0xEDB88320, initial value and final
// complement 0xFFFFFFFF). Feed pieces by passing the previous result.
uint32_t Crc32(const void *data, size_t size, uint32_t previous = 0);
// The whole file's CRC-32 as upper-case hexadecimal without leading zeros;
// nullopt when it cannot be read.
std::optional<QString> FileCrc32(const QString &path);

} // namespace pvsm
