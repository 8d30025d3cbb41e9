// Property-bag blobs from untrusted files: parsing must refuse or accept
// without reading past the data, and an accepted blob must round-trip.
#include "FuzzBlob.h"
#include "PropertyBag.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" std::vector<QByteArray> pvsmFuzzSeeds()
{
    pvsm::PropertyBag bag;
    bag.putStr(QStringLiteral("ImgNames(1)"), QStringLiteral("/pictures/一.jpg"));
    bag.putI4(QStringLiteral("NowI"), 1);
    bag.putR4(QStringLiteral("TimeInterval"), 5);
    bag.putBool(QStringLiteral("EnableSync"), true);
    bag.putI2(QStringLiteral("ResFileSize"), 7);
    bag.putBytes(QStringLiteral("Names_(Type)"), pvsm::LongToBytesBE(1) + pvsm::LongToBytesBE(3));
    return {bag.toBlob()};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (bytes.size() >= 4) {
        // Keep the declared length within the input most of the time.
        const uint32_t len = uint32_t(bytes.size());
        for (int i = 0; i < 4 && 4 + i < bytes.size(); ++i) bytes[4 + i] = char((len >> (8 * i)) & 0xFF);
    }
    for (const QByteArray &candidate : {bytes, withBagChecksum(bytes)}) {
        const auto bag = pvsm::PropertyBag::fromBlob(candidate);
        if (!bag) continue;
        const auto again = pvsm::PropertyBag::fromBlob(bag->toBlob());
        if (!again || again->entries().size() != bag->entries().size()) std::abort();
        bag->readStringArray(QStringLiteral("Names"));
        bag->readLongArray(QStringLiteral("Names"));
    }
    return 0;
}
