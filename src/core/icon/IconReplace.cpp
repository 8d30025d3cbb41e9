#include "IconReplace.h"

#include "FileBytes.h"
#include "IconScan.h"
#include "IconSlot.h"

#include <QFileInfo>

#include <cstring>

namespace pvsm {

namespace {

void putU32(QByteArray &b, qint64 at, quint32 v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
}

struct SlotPlace
{
    ElfFile::Range range;
    QByteArray bytes;
};

std::optional<SlotPlace> readSlot(qint64 fileSize, const ElfFile::RangeReader &read)
{
    const std::optional<ElfFile> elf = ElfFile::parse(read({0, 64}), fileSize);
    if (!elf) return std::nullopt;
    const std::optional<ElfFile::Section> section = elf->findSection(kIconSlotSection, read);
    if (!section || section->range.size < qint64(kIconSlotSize)) return std::nullopt;
    SlotPlace place{{section->range.offset, qint64(kIconSlotSize)}, {}};
    place.bytes = read(place.range);
    if (place.bytes.size() != place.range.size) return std::nullopt;
    const auto *b = reinterpret_cast<const uchar *>(place.bytes.constData());
    if (std::memcmp(b, kIconSlotMagic, sizeof kIconSlotMagic) != 0) return std::nullopt;
    const auto u32 = [&](size_t at) {
        return quint32(b[at]) | quint32(b[at + 1]) << 8 | quint32(b[at + 2]) << 16 | quint32(b[at + 3]) << 24;
    };
    if (u32(kIconSlotVersionAt) != kIconSlotVersion || u32(kIconSlotCapacityAt) != kIconSlotCapacity) return std::nullopt;
    return place;
}

std::optional<SlotPlace> readSlot(const QString &program)
{
    const QFileInfo info(program);
    if (!info.isFile()) return std::nullopt;
    return readSlot(info.size(), fileRangeReader(program));
}

} // namespace

std::optional<ElfFile::Range> FindIconSlot(const QString &program)
{
    const std::optional<SlotPlace> place = readSlot(program);
    if (!place) return std::nullopt;
    return place->range;
}

bool HasIconSlot(QByteArrayView program)
{
    const ElfFile::RangeReader read = [program](ElfFile::Range r) {
        if (r.offset < 0 || r.size < 0 || r.offset > program.size()) return QByteArray();
        return program.sliced(r.offset, std::min(r.size, program.size() - r.offset)).toByteArray();
    };
    return readSlot(program.size(), read).has_value();
}

QByteArray ReadIconSlot(const QString &program)
{
    const std::optional<SlotPlace> place = readSlot(program);
    if (!place) return {};
    const std::vector<unsigned char> icon =
        IconFromSlot(reinterpret_cast<const unsigned char *>(place->bytes.constData()), size_t(place->bytes.size()));
    return QByteArray(reinterpret_cast<const char *>(icon.data()), qsizetype(icon.size()));
}

bool ReplaceIcon(const QString &icoFile, const QString &program)
{
    // Header and first directory entry, then that entry's image.
    QByteArray head;
    if (ReadFileBytes(head, icoFile, 0, 22) != 22) return false;
    const auto u16 = [&](int at) { return quint16(uchar(head[at]) | uchar(head[at + 1]) << 8); };
    const auto u32 = [&](int at) { return quint32(u16(at)) | quint32(u16(at + 2)) << 16; };
    if (u16(0) != 0 || u16(2) != 1 || u16(4) == 0) return false;
    const quint32 length = u32(14), offset = u32(18);
    if (length == 0 || length > kIconSlotCapacity - 22 || offset < 6 + 16) return false;
    QByteArray image;
    if (ReadFileBytes(image, icoFile, offset, length) != qint64(length)) return false;
    QByteArray icon = head.left(22);
    icon[4] = 1; // one image
    icon[5] = 0;
    putU32(icon, 18, 22);
    icon.append(image);
    if (!ParseIconFile(icon)) return false;

    const std::optional<SlotPlace> place = readSlot(program);
    if (!place) return false;
    QByteArray slot = place->bytes;
    putU32(slot, kIconSlotLengthAt, quint32(icon.size()));
    std::memset(slot.data() + kIconSlotHeader, 0, kIconSlotCapacity);
    std::memcpy(slot.data() + kIconSlotHeader, icon.constData(), size_t(icon.size()));
    return WriteFileBytes(slot, program, place->range.offset);
}

} // namespace pvsm
