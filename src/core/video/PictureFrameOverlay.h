#pragma once

#include "Timeline.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace pvsm {

// The picture frame as it is laid over a picture of `size`: the frame's PNG
// stretched over the whole picture, its transparency kept. Null when there is
// no frame or its bytes are not a picture.
QImage PictureFrameOverlay(const QByteArray &frameBytes, QSize size);
// Draws `overlay` over the whole of `target`, stretched when their sizes differ.
void DrawPictureFrame(QImage &target, const QImage &overlay);

// The sink the frame loop writes through while a picture frame is chosen: it
// lays the frame over every frame before passing it on, whichever renderer
// wrote it, so titles, transitions, effects and held slides all carry it.
// It sits in front of the lyric overlay, so a lyric is drawn over the frame.
class PictureFrameSink final : public OverlayTimelineSink
{
public:
    PictureFrameSink(TimelineSink &inner, QImage overlay);

    bool WriteFrame(const QImage &frame, int count = 1) override;

private:
    QImage m_overlay;
};

} // namespace pvsm
