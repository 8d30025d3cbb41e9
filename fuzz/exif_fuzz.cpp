// The EXIF block of a JPEG from an untrusted source: the preview found must
// lie inside the file, and nothing is read past it.
#include "ExifThumbnail.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A start marker first, so that the walk over the segments is reached.
    QByteArray file("\xFF\xD8", 2);
    file.append(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray preview = pvsm::ExifThumbnailBytes(file);
    if (!preview.isEmpty() && (preview.size() > file.size() || !preview.startsWith("\xFF\xD8"))) std::abort();
    return 0;
}
