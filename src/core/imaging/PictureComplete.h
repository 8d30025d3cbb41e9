#pragma once

// Whether a JPEG or PNG file holds all of its picture: a file cut short (a
// copy or a download that stopped) still has a header the readers accept,
// and the JPEG reader even draws the missing part grey without a word, so the
// header probe alone cannot tell it.

#include "PictureInfo.h"

#include <QByteArray>
#include <QString>

namespace pvsm {

// False when the picture data ends before the picture does: a JPEG without
// the end marker of its first picture, a PNG without its end chunk. Data
// after the picture (camera trailers, an appended video) is allowed. Other
// formats, and files that cannot be read, count as complete (the other
// checks refuse those). Usually reads two to twelve bytes at the file's end;
// only a file that does not end with its picture is read through.
bool PictureDataComplete(const QString &path, PictureFormat format);
bool PictureBytesComplete(const QByteArray &bytes, PictureFormat format);

} // namespace pvsm
