#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace pvsm {

// The small preview a camera stores in a JPEG's EXIF block (IFD1, a JPEG of
// about 160 x 120), as stored; empty when `fileHead` (the file's first bytes,
// kExifSearchBytes of them suffice) holds none. Every offset is checked
// against the EXIF block: the file is input from strangers.
inline constexpr qint64 kExifSearchBytes = 128 * 1024;
QByteArray ExifThumbnailBytes(QByteArrayView fileHead);

// A thumbnail of the JPEG at `path` for a cell of `cell` pixels made from its
// EXIF preview, upright and of the size LoadPictureForTarget(path, fit, cell)
// gives; null when the file has no preview that serves: none, too small for
// the cell, or of another shape than the photo (cameras pad previews of wide
// photos with black bars). Reading 128 KiB instead of decoding 12 megapixels
// is what makes a folder of camera photos show at once.
QImage LoadExifThumbnail(const QString &path, QSize cell);

} // namespace pvsm
