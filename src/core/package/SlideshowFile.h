#pragma once

// Reading a built slideshow back: the 16-byte trailer at its end, the
// settings record before it and the resource index in the record
// (docs/formats.md, "Slideshow"). Such files come from anywhere, so every
// length is checked against the file before anything is read or allocated.
// Shared by the command line, the tests and the player program.

#include "PropertyBag.h"

#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

namespace pvsm {

// A slideshow read back from a file.
struct SlideshowResource
{
    QString key;
    qint64 offset = 0; // from the end of the player
    qint64 size = 0;
    QString type;      // empty for built-ins and the frame
};
struct SlideshowContents
{
    PackageTrailer trailer;
    PropertyBag record;
    std::vector<SlideshowResource> resources; // in file order
};

// Reads and checks a slideshow's trailer, record and resource index: the
// lengths must add up to the file's, the record must be a bag, and every
// resource must lie inside the resources. Nullopt, with the reason in
// English words when asked, for anything else.
std::optional<SlideshowContents> ParseSlideshowTail(QByteArrayView trailer, QByteArrayView blob, qint64 fileSize,
                                                    QString *problem = nullptr);
std::optional<SlideshowContents> ReadSlideshow(const QString &path, QString *problem = nullptr);

// The resource `key` as it was before it was scrambled, into `outPath`
// (written through a temporary file). False, with the reason, when the file
// is no slideshow, has no such resource or the output cannot be written.
bool ExtractSlideshowResource(const QString &path, const QString &key, const QString &outPath,
                              QString *problem = nullptr);

} // namespace pvsm
