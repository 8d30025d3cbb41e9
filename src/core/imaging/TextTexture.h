// The rainbow texture of text pattern 2.
//
// The picture normally comes from the resource package ("rainbow.jpg"); until
// one is installed a smooth horizontal rainbow made here stands in, so text in
// pattern 2 is always filled. Every function may be called from any thread.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>

namespace pvsm {

// The texture text pattern 2 fills with: the one installed by
// setRainbowTexture / setRainbowTextureBytes, else makeRainbowTexture().
// Never null. Format_RGB32.
QImage rainbowTexture();

// Installs `texture` (converted to Format_RGB32). A null image restores the
// generated texture.
void setRainbowTexture(const QImage &texture);

// Installs encoded picture bytes (the resource package's "rainbow.jpg", a
// slideshow's "TextureImage"). Returns false and changes nothing when the
// bytes do not decode or the picture is larger than 4096 × 4096.
bool setRainbowTextureBytes(const QByteArray &encoded);

// The generated stand-in: hues from red through violet, left to right,
// constant down each column. `sizePx` is clamped to 2 … 4096 each way.
QImage makeRainbowTexture(QSize sizePx = {256, 64});

// Scale of the texture brush: when the composition picture is not as wide
// as the target screen (a video of another size than the editing screen),
// the texture follows the composition, (compositionWidth / targetScreenWidth,
// compositionHeight / targetScreenHeight); otherwise, or when a target
// dimension is not positive, (1, 1).
QSizeF rainbowTextureScale(int compositionWidthPx, int compositionHeightPx,
                           int targetScreenWidthPx, int targetScreenHeightPx);

// Changes whenever the texture is replaced, so that pictures drawn with the
// old texture can be told apart.
quint64 rainbowTextureSerial();

// The tile the texture brush repeats: the texture followed by its mirror
// image, so that every second tile runs backwards. Cached.
QImage rainbowBrushTile();

} // namespace pvsm
