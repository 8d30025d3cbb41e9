// Files the icon chooser scans and the builder's program file come from
// anywhere: the scan, the icon file parser, the ELF section lookup and the
// font name reader must refuse or succeed without reading past the data.
#include "../tests/support/IconFixtures.h"
#include "ElfFile.h"
#include "FontNames.h"
#include "FuzzSeedExport.h"
#include "IconScan.h"
#include "IconSlot.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" std::vector<QByteArray> pvsmFuzzSeeds()
{
    using namespace pvsm;
    const QByteArray image = fixtures::iconImage(32, 8);
    QByteArray slot(kIconSlotSize, '\0');
    slot.replace(0, 8, QByteArray(kIconSlotMagic, 8));
    slot[kIconSlotVersionAt] = char(kIconSlotVersion);
    slot[kIconSlotCapacityAt] = char(kIconSlotCapacity & 0xFF);
    slot[kIconSlotCapacityAt + 1] = char(kIconSlotCapacity >> 8);
    const QByteArray font = fixtures::fontFace({{3, 1, 0x0409, 1, QStringLiteral("Test Sans")},
                                                {1, 0, 0, 4, QStringLiteral("Test Sans Bold")}});
    const QByteArray collection = fixtures::fontCollection({QStringLiteral("One"), QStringLiteral("Two")});
    return {SingleImageIcon(image, 32, 8), fixtures::elfWithSection(kIconSlotSection, slot.left(64)), font, collection,
            QByteArray(100, '\0') + image.left(200)};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace pvsm;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const IconHit &hit : ScanIconBytes(bytes)) {
        if (hit.offset < 0 || hit.offset + hit.length > bytes.size()) std::abort();
        const QByteArray ico = SingleImageIcon(bytes.sliced(hit.offset, hit.length), hit.edge, hit.depth);
        const std::optional<IconFileImage> parsed = ParseIconFile(ico);
        if (!parsed || parsed->image.size() != hit.length) std::abort();
    }
    if (const std::optional<IconFileImage> parsed = ParseIconFile(bytes))
        if (parsed->image.size() > bytes.size()) std::abort();
    IconFromSlot(reinterpret_cast<const unsigned char *>(data), size);

    const ElfFile::RangeReader read = [&](ElfFile::Range r) {
        if (!r.fitsIn(bytes.size())) std::abort(); // the parser checks before it reads
        return bytes.sliced(r.offset, r.size).toByteArray();
    };
    if (const std::optional<ElfFile> elf = ElfFile::parse(bytes, bytes.size())) {
        if (const auto s = elf->findSection(kIconSlotSection, read))
            if (!s->range.fitsIn(bytes.size())) std::abort();
        if (elf->programHeaderRange().fitsIn(bytes.size()))
            elf->hasInterpreter(bytes.sliced(elf->programHeaderRange().offset, elf->programHeaderRange().size));
    }

    const FontRangeReader fontRead = [&](qint64 offset, qint64 count) {
        if (offset < 0 || count < 0 || offset > bytes.size() || count > bytes.size() - offset) return QByteArray();
        return bytes.sliced(offset, count).toByteArray();
    };
    for (int face = 0; face < std::min(FontFaceCount(fontRead), 4); ++face) ReadFontNames(fontRead, face);
    return 0;
}
