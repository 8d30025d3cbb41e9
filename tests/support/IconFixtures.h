#pragma once

// Crafted icon and ELF files for the icon tests and the icon fuzz target.

#include <QByteArray>
#include <QByteArrayView>

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <vector>

namespace pvsm::fixtures {

// The whole file; empty when it cannot be read.
inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes `bytes` as the whole file and returns its path (empty on failure).
inline QString writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) return {};
    return path;
}
inline QString writeBytes(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    return writeBytes(dir.filePath(name), bytes);
}

inline void putLE(QByteArray &b, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i) b.append(char((v >> (8 * i)) & 0xFF));
}

// The bitmap of one icon image as icon files hold it: header, palette (8 bits),
// colour rows with `fill`, then the mask.
inline QByteArray iconImage(int edge, int depth, char fill = '\x5a')
{
    QByteArray b;
    putLE(b, 40, 4);
    putLE(b, uint64_t(edge), 4);
    putLE(b, uint64_t(edge) * 2, 4);
    putLE(b, 1, 2);
    putLE(b, uint64_t(depth), 2);
    b.append(QByteArray(24, '\0'));
    if (depth == 8) b.append(QByteArray(1024, '\x11'));
    b.append(QByteArray(edge * edge * depth / 8, fill));
    b.append(QByteArray(((edge + 31) / 32) * 4 * edge, '\0'));
    return b;
}

// A minimal 64-bit little-endian ELF file holding one section `name` with
// `contents` (plus the section-name table), for the section lookup.
inline QByteArray elfWithSection(QByteArrayView name, QByteArrayView contents, int type = 3 /* ET_DYN */)
{
    QByteArray names("\0", 1);
    const int nameAt = int(names.size());
    names.append(name.data(), name.size()).append('\0');
    const int namesNameAt = int(names.size());
    names.append(".shstrtab").append('\0');

    const uint64_t dataAt = 64, namesAt = dataAt + uint64_t(contents.size()),
                   headersAt = (namesAt + uint64_t(names.size()) + 7) / 8 * 8;
    QByteArray f("\x7f" "ELF\x02\x01\x01", 7);
    f.append(QByteArray(9, '\0'));
    putLE(f, uint64_t(type), 2);
    putLE(f, 62, 2); // x86-64
    putLE(f, 1, 4);
    putLE(f, 0, 8);  // entry
    putLE(f, 0, 8);  // no program headers
    putLE(f, headersAt, 8);
    putLE(f, 0, 4);
    putLE(f, 64, 2);
    putLE(f, 56, 2);
    putLE(f, 0, 2);
    putLE(f, 64, 2);
    putLE(f, 3, 2); // sections: null, ours, names
    putLE(f, 2, 2);
    f.append(contents.data(), contents.size());
    f.append(names);
    f.append(QByteArray(qsizetype(headersAt) - f.size(), '\0'));
    auto section = [&](uint32_t nameOffset, uint32_t sectionType, uint64_t offset, uint64_t size) {
        putLE(f, nameOffset, 4);
        putLE(f, sectionType, 4);
        putLE(f, 2, 8); // allocated
        putLE(f, 0, 8);
        putLE(f, offset, 8);
        putLE(f, size, 8);
        putLE(f, 0, 4);
        putLE(f, 0, 4);
        putLE(f, 1, 8);
        putLE(f, 0, 8);
    };
    f.append(QByteArray(64, '\0'));
    section(uint32_t(nameAt), 1 /* PROGBITS */, dataAt, uint64_t(contents.size()));
    section(uint32_t(namesNameAt), 3 /* STRTAB */, namesAt, uint64_t(names.size()));
    return f;
}

inline void putBE(QByteArray &b, uint64_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) b.append(char((v >> (8 * i)) & 0xFF));
}

struct NameRecord
{
    uint16_t platform, encoding, language, nameId;
    QString text; // written as UTF-16BE (platforms 0 and 3) or Latin-1 (platform 1)
};

// A name table with `records`.
inline QByteArray nameTable(const std::vector<NameRecord> &records)
{
    QByteArray strings, table;
    putBE(table, 0, 2);
    putBE(table, records.size(), 2);
    putBE(table, 6 + 12 * records.size(), 2);
    for (const NameRecord &r : records) {
        QByteArray text;
        if (r.platform == 1) {
            text = r.text.toLatin1();
        } else {
            for (QChar c : r.text) putBE(text, c.unicode(), 2);
        }
        putBE(table, r.platform, 2);
        putBE(table, r.encoding, 2);
        putBE(table, r.language, 2);
        putBE(table, r.nameId, 2);
        putBE(table, uint64_t(text.size()), 2);
        putBE(table, uint64_t(strings.size()), 2);
        strings.append(text);
    }
    return table + strings;
}

// The head of a font (`version` 0x00010000 or 'OTTO') holding only a name
// table, placed at `base` in the file that will hold it.
inline QByteArray fontFace(const std::vector<NameRecord> &records, uint32_t version = 0x00010000, uint32_t base = 0)
{
    const QByteArray names = nameTable(records);
    QByteArray f;
    putBE(f, version, 4);
    putBE(f, 1, 2);
    putBE(f, 0, 6);
    f.append("name");
    putBE(f, 0, 4);
    putBE(f, base + 28, 4);
    putBE(f, uint64_t(names.size()), 4);
    return f + names;
}

// A collection of faces, one family name each.
inline QByteArray fontCollection(const std::vector<QString> &families)
{
    QByteArray head("ttcf");
    putBE(head, 0x00010000, 4);
    putBE(head, families.size(), 4);
    QByteArray faces;
    const uint32_t first = uint32_t(12 + 4 * families.size());
    for (const QString &family : families) {
        putBE(head, first + uint64_t(faces.size()), 4);
        faces.append(fontFace({{3, 1, 0x0409, 1, family}}, 0x00010000, first + uint32_t(faces.size())));
    }
    return head + faces;
}

} // namespace pvsm::fixtures
