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
class PictureFrameSink final : public TimelineSink
{
public:
    PictureFrameSink(TimelineSink &inner, QImage overlay);

    bool WriteFrame(const QImage &frame, int count = 1) override;

    int64_t FrameCounter() const override { return m_inner.FrameCounter(); }
    void setFrameCounter(int64_t frames) override { m_inner.setFrameCounter(frames); }
    void cancel() override { m_inner.cancel(); }
    bool cancelled() const override { return m_inner.cancelled(); }
    bool failed() const override { return m_inner.failed(); }
    bool stopped() const override { return m_inner.stopped(); }

private:
    TimelineSink &m_inner;
    QImage m_overlay;
    QImage m_canvas; // reused from picture to picture; the sink behind copies what it keeps
};

} // namespace pvsm
