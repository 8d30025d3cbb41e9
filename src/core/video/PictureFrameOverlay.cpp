#include "PictureFrameOverlay.h"

#include "PictureEncode.h"

#include <QPainter>

namespace pvsm {

QImage PictureFrameOverlay(const QByteArray &frameBytes, QSize size)
{
    if (frameBytes.isEmpty() || size.isEmpty()) return {};
    return ScaleImageBytesToImage(frameBytes, size);
}

void DrawPictureFrame(QImage &target, const QImage &overlay)
{
    if (overlay.isNull() || target.isNull()) return;
    QPainter painter(&target);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (overlay.size() == target.size())
        painter.drawImage(0, 0, overlay);
    else
        painter.drawImage(target.rect(), overlay);
}

PictureFrameSink::PictureFrameSink(TimelineSink &inner, QImage overlay)
    : OverlayTimelineSink(inner)
    , m_overlay(std::move(overlay))
{
}

bool PictureFrameSink::WriteFrame(const QImage &frame, int count)
{
    if (m_overlay.isNull() || count < 1 || stopped()) return m_inner.WriteFrame(frame, count);
    QImage &canvas = canvasOf(frame);
    DrawPictureFrame(canvas, m_overlay);
    return m_inner.WriteFrame(canvas, count);
}

} // namespace pvsm
