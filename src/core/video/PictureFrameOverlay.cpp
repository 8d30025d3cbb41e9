#include "PictureFrameOverlay.h"

#include "PictureEncode.h"

#include <QPainter>

#include <cstring>

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
    : m_inner(inner)
    , m_overlay(std::move(overlay))
{
}

bool PictureFrameSink::WriteFrame(const QImage &frame, int count)
{
    if (m_overlay.isNull() || count < 1 || stopped()) return m_inner.WriteFrame(frame, count);
    if (m_canvas.size() != frame.size() || m_canvas.format() != frame.format()
        || m_canvas.bytesPerLine() != frame.bytesPerLine())
        m_canvas = QImage(frame.size(), frame.format());
    std::memcpy(m_canvas.bits(), frame.constBits(), size_t(frame.sizeInBytes()));
    DrawPictureFrame(m_canvas, m_overlay);
    return m_inner.WriteFrame(m_canvas, count);
}

} // namespace pvsm
