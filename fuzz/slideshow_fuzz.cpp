// The record and resource index of a built slideshow, from untrusted files:
// every resource accepted must lie inside the resources, and reading one
// back must stay inside the file.
#include "FuzzBlob.h"
#include "FuzzSeedExport.h"
#include "Scramble.h"
#include "SlideshowFile.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

QByteArray slideshow()
{
    const QByteArray player("\x7F" "ELF player", 11);
    QByteArray a("a picture's bytes"), b("lrc");
    pvsm::PropertyBag record;
    record.putI2(QStringLiteral("ResFileSize"), 7);
    record.putI4(QStringLiteral("NowI"), 1);
    record.putI4(QStringLiteral("ImgNames(1)_OffSet"), 0);
    record.putI4(QStringLiteral("ImgNames(1)_Size"), int32_t(a.size()));
    record.putStr(QStringLiteral("ImgNames(1)_Type"), QStringLiteral("JPG"));
    record.putI4(QStringLiteral("MusicLyricFiles(1)_OffSet"), int32_t(a.size()));
    record.putI4(QStringLiteral("MusicLyricFiles(1)_Size"), int32_t(b.size()));
    record.putStr(QStringLiteral("MusicLyricFiles(1)_Type"), QStringLiteral("LRC"));
    pvsm::ScrambleHead(a);
    pvsm::ScrambleHead(b);
    const QByteArray blob = record.toBlob();
    return player + a + b + blob
           + pvsm::encodeTrailer({uint32_t(player.size()), uint32_t(a.size() + b.size()), uint32_t(blob.size())});
}

void check(const QByteArray &file)
{
    const QByteArray trailer = file.right(16);
    const auto t = pvsm::decodeTrailer(trailer);
    QByteArray blob;
    if (t && qint64(t->playerLength) + t->resourcesLength + t->blobLength + 16 == file.size())
        blob = file.mid(qsizetype(t->playerLength) + qsizetype(t->resourcesLength), qsizetype(t->blobLength));
    const auto show = pvsm::ParseSlideshowTail(trailer, blob, file.size());
    if (!show) return;
    for (const pvsm::SlideshowResource &r : show->resources) {
        if (r.offset < 0 || r.size < 0 || r.offset + r.size > qint64(show->trailer.resourcesLength)) std::abort();
        QByteArray bytes = file.mid(qsizetype(show->trailer.playerLength + r.offset), qsizetype(r.size));
        if (bytes.size() != r.size) std::abort();
        pvsm::ScrambleHead(bytes);
    }
}

} // namespace

extern "C" std::vector<QByteArray> pvsmFuzzSeeds()
{
    return {slideshow()};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    check(bytes);
    // The same bytes with a trailer whose lengths fit them and a record whose
    // checksum is right, so the index checks are reached: the last 20% (at
    // least 16 bytes) taken as the record.
    if (bytes.size() < 48) return 0;
    const qsizetype body = bytes.size() - 16;
    const qsizetype blobLength = std::max<qsizetype>(16, body / 5);
    const qsizetype player = std::min<qsizetype>(uint8_t(bytes[0]), body - blobLength);
    QByteArray fixed = bytes.left(body);
    const qsizetype blobStart = body - blobLength;
    QByteArray blob = fixed.mid(blobStart);
    blob[0] = char(0x93);
    blob[1] = char(0xB2);
    blob[2] = 1;
    for (int i = 0; i < 4; ++i) blob[4 + i] = char((uint32_t(blobLength) >> (8 * i)) & 0xFF);
    fixed = fixed.left(blobStart) + withBagChecksum(blob);
    check(fixed + pvsm::encodeTrailer({uint32_t(player), uint32_t(blobStart - player), uint32_t(blobLength)}));
    return 0;
}
