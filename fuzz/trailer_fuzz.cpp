// The 16-byte trailer at the end of a built slideshow, from untrusted files:
// a decoded trailer must encode back to the same bytes, and the lengths it
// claims must never be taken for a file they do not fit.
#include "FuzzSeedExport.h"
#include "SlideshowFile.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" std::vector<QByteArray> pvsmFuzzSeeds()
{
    return {pvsm::encodeTrailer({3314208, 6342298, 7492}), pvsm::encodeTrailer({0, 0, 16}),
            pvsm::encodeTrailer({0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu})};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray last = bytes.right(16);
    const auto trailer = pvsm::decodeTrailer(last);
    if (trailer && pvsm::encodeTrailer(*trailer) != last) std::abort();
    // The file's size as the input would have it, and as its trailer claims:
    // a trailer whose lengths overflow or do not add up is refused.
    for (const qint64 fileSize : {qint64(size), trailer ? qint64(trailer->playerLength) + trailer->resourcesLength
                                                            + trailer->blobLength + 16 : 0}) {
        const auto show = pvsm::ParseSlideshowTail(last, QByteArray(), fileSize);
        if (show && show->trailer.blobLength != 0) std::abort(); // no record read: only B = 0 could pass
    }
    return 0;
}
