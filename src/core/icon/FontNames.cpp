#include "FontNames.h"

#include "FileBytes.h"

#include <QFile>

namespace pvsm {

namespace {

constexpr quint32 tag(char a, char b, char c, char d)
{
    return quint32(uchar(a)) << 24 | quint32(uchar(b)) << 16 | quint32(uchar(c)) << 8 | quint32(uchar(d));
}
constexpr quint32 kTrueType = 0x00010000, kOpenTypeCff = tag('O', 'T', 'T', 'O'), kAppleTrue = tag('t', 'r', 'u', 'e'),
                  kCollection = tag('t', 't', 'c', 'f');
// A collection holds a handful of faces; thousands are damage.
constexpr quint32 kMaxFaces = 4096;
constexpr quint16 kMaxTables = 512;
// Name tables are small; a larger one is damage, not a font.
constexpr qint64 kMaxNameTable = 4 << 20;

quint16 be16(const QByteArray &b, qint64 at) { return quint16(uchar(b[at]) << 8 | uchar(b[at + 1])); }
quint32 be32(const QByteArray &b, qint64 at) { return quint32(be16(b, at)) << 16 | be16(b, at + 2); }

std::optional<qint64> faceOffset(const FontRangeReader &read, int faceIndex)
{
    const QByteArray head = read(0, 12);
    if (head.size() < 12 || faceIndex < 0) return std::nullopt;
    const quint32 version = be32(head, 0);
    if (version == kTrueType || version == kOpenTypeCff || version == kAppleTrue) {
        if (faceIndex != 0) return std::nullopt;
        return 0;
    }
    if (version != kCollection) return std::nullopt;
    const quint32 count = be32(head, 8);
    if (count == 0 || count > kMaxFaces || quint32(faceIndex) >= count) return std::nullopt;
    const QByteArray entry = read(12 + qint64(faceIndex) * 4, 4);
    if (entry.size() != 4) return std::nullopt;
    return qint64(be32(entry, 0));
}

// Text of one name record, or null when its encoding is none we read.
QString decodeName(quint16 platform, quint16 encoding, const QByteArray &bytes)
{
    if (platform == 0 || platform == 3) {
        // Unicode and Windows names are UTF-16, big-endian (symbol fonts too).
        if (platform == 3 && encoding != 0 && encoding != 1 && encoding != 10) return {};
        QString text;
        text.reserve(bytes.size() / 2);
        for (qint64 i = 0; i + 1 < bytes.size(); i += 2) text.append(QChar(be16(bytes, i)));
        return text;
    }
    if (platform == 1 && encoding == 0) return QString::fromLatin1(bytes); // Roman; family names are ASCII
    return {};
}

void addOnce(QStringList &list, const QString &name)
{
    if (!name.isEmpty() && !list.contains(name)) list.append(name);
}

} // namespace

bool SameFontName(const QString &a, const QString &b)
{
    auto squeeze = [](const QString &s) {
        QString out;
        for (QChar c : s)
            if (!c.isSpace()) out.append(c.toCaseFolded());
        return out;
    };
    return !a.isEmpty() && squeeze(a) == squeeze(b);
}

int FontFaceCount(const FontRangeReader &read)
{
    const QByteArray head = read(0, 12);
    if (head.size() < 12) return 0;
    const quint32 version = be32(head, 0);
    if (version == kTrueType || version == kOpenTypeCff || version == kAppleTrue) return 1;
    if (version != kCollection) return 0;
    const quint32 count = be32(head, 8);
    return count <= kMaxFaces ? int(count) : 0;
}

std::optional<FontFaceNames> ReadFontNames(const FontRangeReader &read, int faceIndex)
{
    const std::optional<qint64> face = faceOffset(read, faceIndex);
    if (!face) return std::nullopt;
    const QByteArray offsetTable = read(*face, 12);
    if (offsetTable.size() != 12) return std::nullopt;
    const quint32 version = be32(offsetTable, 0);
    if (version != kTrueType && version != kOpenTypeCff && version != kAppleTrue) return std::nullopt;
    const quint16 tableCount = be16(offsetTable, 4);
    if (tableCount == 0 || tableCount > kMaxTables) return std::nullopt;
    const QByteArray records = read(*face + 12, qint64(tableCount) * 16);
    if (records.size() != qint64(tableCount) * 16) return std::nullopt;
    qint64 nameAt = -1, nameLength = 0;
    for (int i = 0; i < tableCount; ++i) {
        if (QByteArray(records.constData() + i * 16, 4).compare("name", Qt::CaseInsensitive) != 0) continue;
        nameAt = be32(records, i * 16 + 8);
        nameLength = be32(records, i * 16 + 12);
        break;
    }
    if (nameAt < 0 || nameLength < 6 || nameLength > kMaxNameTable) return std::nullopt;
    const QByteArray table = read(nameAt, nameLength);
    if (table.size() != nameLength) return std::nullopt;
    const quint16 count = be16(table, 2), storage = be16(table, 4);
    if (6 + qint64(count) * 12 > table.size()) return std::nullopt;

    FontFaceNames names;
    // Ranked choice for the one family name: Windows English (US), any
    // Windows language, Unicode, Macintosh Roman.
    int bestRank = 99;
    for (int i = 0; i < count; ++i) {
        const qint64 r = 6 + qint64(i) * 12;
        const quint16 platform = be16(table, r), encoding = be16(table, r + 2), language = be16(table, r + 4),
                      nameId = be16(table, r + 6), length = be16(table, r + 8), offset = be16(table, r + 10);
        if (nameId != 1 && nameId != 4 && nameId != 6 && nameId != 16) continue;
        const qint64 start = qint64(storage) + offset;
        if (length == 0 || start + length > table.size()) continue;
        const QString text = decodeName(platform, encoding, table.mid(start, length)).trimmed();
        if (text.isEmpty()) continue;
        if (nameId == 1 || nameId == 16) {
            addOnce(names.families, text);
        } else {
            addOnce(names.fullNames, text);
        }
        if (nameId != 1) continue;
        const int rank = platform == 3 ? (language == 0x0409 ? 0 : 1) : platform == 0 ? 2 : 3;
        if (rank < bestRank) {
            bestRank = rank;
            names.family = text;
        }
    }
    if (names.family.isEmpty()) return std::nullopt;
    return names;
}

std::optional<FontFaceNames> ReadFontNames(const QString &path, int faceIndex)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const qint64 size = file.size();
    const FontRangeReader read = [&](qint64 offset, qint64 count) {
        QByteArray bytes;
        if (offset < 0 || count < 0 || offset > size || count > size - offset) return bytes;
        ReadFileBytes(bytes, path, offset, count, &file);
        return bytes;
    };
    return ReadFontNames(read, faceIndex);
}

QString FontFamilyName(const QString &path, int faceIndex)
{
    const std::optional<FontFaceNames> names = ReadFontNames(path, faceIndex);
    return names ? names->family : QString();
}

} // namespace pvsm
