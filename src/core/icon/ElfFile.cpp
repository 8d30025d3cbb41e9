#include "ElfFile.h"

#include "FileBytes.h"

namespace pvsm {

namespace {

constexpr quint32 kSectionNoBits = 8;  // SHT_NOBITS: no bytes in the file
constexpr quint32 kProgramInterp = 3;  // PT_INTERP
constexpr quint32 kExtendedIndex = 0xFFFF; // SHN_XINDEX
// Section names are short; a name table beyond this is damage, not a program.
constexpr qint64 kMaxNameTable = 16 << 20;
// Table entries are 32 to 64 bytes; allowing some growth keeps either table
// below 65535 x 128 bytes, however large the file.
constexpr quint32 kMaxEntrySize = 128;

} // namespace

quint64 ElfFile::word(QByteArrayView b, qint64 at, int bytes) const
{
    quint64 v = 0;
    for (int i = 0; i < bytes; ++i) {
        const quint64 byte = uchar(b[at + (m_bigEndian ? i : bytes - 1 - i)]);
        v = v << 8 | byte;
    }
    return v;
}

std::optional<ElfFile> ElfFile::parse(QByteArrayView head, qint64 fileSize)
{
    if (head.size() < 52 || !head.startsWith(QByteArrayView("\x7f" "ELF", 4))) return std::nullopt;
    ElfFile elf;
    const int elfClass = uchar(head[4]), data = uchar(head[5]);
    if ((elfClass != 1 && elfClass != 2) || (data != 1 && data != 2) || uchar(head[6]) != 1) return std::nullopt;
    elf.m_is64 = elfClass == 2;
    elf.m_bigEndian = data == 2;
    if (elf.m_is64 && head.size() < 64) return std::nullopt;
    elf.m_fileSize = fileSize;
    elf.m_type = int(elf.word(head, 16, 2));
    const int addr = elf.m_is64 ? 8 : 4;
    // identification, type, machine, version, entry point, then the two table offsets
    const qint64 phoffAt = 24 + addr, shoffAt = 24 + 2 * addr, rest = 24 + 3 * addr + 4 + 2;
    const quint64 phoff = elf.word(head, phoffAt, addr), shoff = elf.word(head, shoffAt, addr);
    if (phoff > quint64(fileSize) || shoff > quint64(fileSize)) return std::nullopt;
    elf.m_phoff = qint64(phoff);
    elf.m_shoff = qint64(shoff);
    elf.m_phentsize = quint32(elf.word(head, rest, 2));
    elf.m_phnum = quint32(elf.word(head, rest + 2, 2));
    elf.m_shentsize = quint32(elf.word(head, rest + 4, 2));
    elf.m_shnum = quint32(elf.word(head, rest + 6, 2));
    elf.m_shstrndx = quint32(elf.word(head, rest + 8, 2));
    const quint32 minPh = elf.m_is64 ? 56 : 32, minSh = elf.m_is64 ? 64 : 40;
    if (elf.m_phnum > 0 && (elf.m_phentsize < minPh || elf.m_phentsize > kMaxEntrySize)) return std::nullopt;
    if (elf.m_shnum > 0 && (elf.m_shentsize < minSh || elf.m_shentsize > kMaxEntrySize)) return std::nullopt;
    if (!elf.programHeaderRange().fitsIn(fileSize)) elf.m_phnum = 0;
    return elf;
}

bool ElfFile::hasInterpreter(QByteArrayView table) const
{
    for (quint32 i = 0; i < m_phnum; ++i) {
        const qint64 at = qint64(i) * m_phentsize;
        if (at + 4 > table.size()) return false;
        if (word(table, at, 4) == kProgramInterp) return true;
    }
    return false;
}

std::optional<ElfFile::Section> ElfFile::sectionAt(QByteArrayView headers, quint32 index) const
{
    const qint64 at = qint64(index) * m_shentsize;
    if (at < 0 || at + m_shentsize > headers.size()) return std::nullopt;
    Section s;
    s.nameOffset = quint32(word(headers, at, 4));
    s.type = quint32(word(headers, at + 4, 4));
    const int addr = m_is64 ? 8 : 4;
    // name, type, flags, address, offset, size, link
    const qint64 offsetAt = at + 8 + 2 * addr;
    const quint64 offset = word(headers, offsetAt, addr), size = word(headers, offsetAt + addr, addr);
    s.link = quint32(word(headers, offsetAt + 2 * addr, 4));
    if (s.type == kSectionNoBits) {
        s.range = {0, 0};
    } else {
        if (offset > quint64(m_fileSize) || size > quint64(m_fileSize)) return std::nullopt;
        s.range = {qint64(offset), qint64(size)};
        if (!s.range.fitsIn(m_fileSize)) return std::nullopt;
    }
    return s;
}

std::optional<ElfFile::Section> ElfFile::findSection(QByteArrayView name, const RangeReader &read) const
{
    const Range table = sectionHeaderRange();
    if (m_shnum == 0 || !table.fitsIn(m_fileSize)) return std::nullopt;
    const QByteArray headers = read(table);
    if (headers.size() != table.size) return std::nullopt;
    quint32 namesIndex = m_shstrndx;
    if (namesIndex == kExtendedIndex) {
        const std::optional<Section> first = sectionAt(headers, 0);
        if (!first) return std::nullopt;
        namesIndex = first->link;
    }
    const std::optional<Section> namesSection = sectionAt(headers, namesIndex);
    if (!namesSection || namesSection->range.size == 0 || namesSection->range.size > kMaxNameTable) return std::nullopt;
    const QByteArray names = read(namesSection->range);
    if (names.size() != namesSection->range.size) return std::nullopt;
    for (quint32 i = 1; i < m_shnum; ++i) {
        const std::optional<Section> s = sectionAt(headers, i);
        if (!s || s->nameOffset >= quint32(names.size())) continue;
        const QByteArrayView rest = QByteArrayView(names).sliced(s->nameOffset);
        const qsizetype end = rest.indexOf('\0');
        if (end < 0) continue;
        if (rest.first(end) == name) {
            if (s->range.size == 0) return std::nullopt;
            return s;
        }
    }
    return std::nullopt;
}

ElfFile::RangeReader fileRangeReader(const QString &path)
{
    return [path](ElfFile::Range r) {
        QByteArray bytes;
        ReadFileBytes(bytes, path, r.offset, r.size);
        return bytes;
    };
}

} // namespace pvsm
