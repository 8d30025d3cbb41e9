#pragma once

// Laying a picture into a surface by draw mode (the settings ImgDrawScale and
// BackgroundDrawScale hold one), and the other picture drawing helpers.
//
// Surfaces are QImages (the memory canvas exposes its own). Geometry is in
// whole pixels: positions and sizes are taken to the nearest integer with
// halves to the even neighbour, so a picture always covers whole pixels and
// the same call lands on the same pixels everywhere (editor, video, tests).
// A null surface or picture, or an unknown mode, draws nothing.
// Functions touch only the surface given; any thread, one surface per thread.

#include "Random.h"

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>

#include <cstdint>

namespace pvsm {

enum DrawMode : int32_t {
    kDrawCentred = 0,    // natural size centred; fitted when larger than the surface
    kDrawAtPosition = 1, // natural size at a position, random when the position is (0, 0)
    kDrawTiled = 2,      // natural size, tiled from the top-left corner
    kDrawFit = 3,        // fitted to the surface with the aspect kept, centred (also enlarges)
    kDrawStretch = 4,    // stretched over the whole surface
};

// Mode 3's rule: the drawn size of a `picture` fitted into `surface`. The
// side that limits takes the surface's length, the other its scaled length
// (Nearest), clamped to the surface. Empty when either size is empty.
QSize FitSize(QSize picture, QSize surface);

// Where `drawMode` puts a picture of `picture` pixels in a surface of
// `surface` pixels (mode 2: the first tile, at (0, 0)). Mode 1 with `position`
// (0, 0) reseeds `random` from the clock and takes two values r1, r2 from it:
// (Nearest((W - w) * r1), Nearest((H - h) * r2)). The rectangle may reach
// outside the surface; empty for an unknown mode or empty sizes.
QRect PlacePicture(QSize surface, QSize picture, int32_t drawMode, QPoint position = {},
                   RandomSource &random = RandomSource::global());

// Draws `picture` into `surface` by `drawMode` and returns the rectangle it
// covers (for mode 1 the editor moves its picture-position marker there; for
// mode 2 the first tile). Scaled cases are resampled smoothly. A picture with
// alpha over an opaque surface is composed channel by channel as
// ((255 - a) * background + a * picture + 255) >> 8; over a surface with
// alpha it is drawn source-over. Empty rectangle when nothing was drawn.
QRect DrawPicture(QImage &surface, const QImage &picture, int32_t drawMode, QPoint position = {},
                  RandomSource &random = RandomSource::global());

// Loads (LoadPictureForTarget, so only as much as the surface needs) and
// draws a picture file or picture bytes of any of the seven formats.
QRect DrawImageFile(QImage &surface, const QString &path, int32_t drawMode, QPoint position = {},
                    RandomSource &random = RandomSource::global());
QRect DrawImageBytes(QImage &surface, const QByteArray &bytes, int32_t drawMode, QPoint position = {},
                     RandomSource &random = RandomSource::global());

// The whole picture stretched into `target` (surface pixels, fractions kept).
void DrawImageToRect(QImage &surface, const QImage &picture, const QRectF &target);
void DrawImageFileToRect(QImage &surface, const QString &path, const QRectF &target);
void DrawImageBytesToRect(QImage &surface, const QByteArray &bytes, const QRectF &target);

// `bitmap` stretched to (0, 0, width, height).
void DrawBitmapToDC(QImage &surface, const QImage &bitmap, int32_t width, int32_t height);

// The (0, 0, width, height) part of `bitmap` drawn 1:1 at (0, 0) in grey:
// red, green and blue each become 0.35 * (R + G + B), clamped to 255; alpha
// is kept.
void DrawBitmapGrey(QImage &surface, const QImage &bitmap, int32_t width, int32_t height);

// Composes a picture with alpha (any format; taken as Format_ARGB32) over an
// opaque `background` of the same size by the channel rule above; returns an
// opaque Format_RGB32 image. Null when the sizes differ.
QImage ComposeAlpha(const QImage &background, const QImage &picture);

} // namespace pvsm
