#include "Scramble.h"

#include <QFile>
#include <QFileInfo>

#include <array>

namespace pvsm {

uint8_t PackageKeystream::next()
{
    uint32_t x = m_state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    m_state = x;
    return uint8_t(x >> 24); // floor(r * 256) for r = x / 2^32
}

void ScrambleBytes(char *data, qsizetype size, int limit)
{
    PackageKeystream keys;
    const qsizetype n = std::min<qsizetype>(size, limit);
    for (qsizetype i = 0; i < n; ++i) data[i] = char(uint8_t(data[i]) ^ keys.next());
}

void ScrambleHead(QByteArray &bytes)
{
    ScrambleBytes(bytes.data(), bytes.size(), kScrambledHeadBytes);
}

bool ScrambleFile(const QString &path)
{
    QFile file(path);
    // ReadWrite would create a missing file.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) return false;
    QByteArray head = file.read(kScrambledFileBytes);
    if (head.isEmpty()) return file.size() == 0;
    ScrambleBytes(head.data(), head.size(), kScrambledFileBytes);
    return file.seek(0) && file.write(head) == head.size() && file.flush();
}

namespace {

constexpr std::array<uint32_t, 256> makeCrcTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
        table[i] = c;
    }
    return table;
}

constexpr auto kCrcTable = makeCrcTable();

} // namespace

uint32_t Crc32(const void *data, size_t size, uint32_t previous)
{
    const auto *p = static_cast<const uint8_t *>(data);
    uint32_t c = previous ^ 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) c = kCrcTable[(c ^ p[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::optional<QString> FileCrc32(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    uint32_t crc = 0;
    QByteArray piece(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(piece.data(), piece.size());
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        crc = Crc32(piece.constData(), size_t(n), crc);
    }
    return QString::number(crc, 16).toUpper();
}

} // namespace pvsm
