#include "EndFade.h"

#include <QPainter>

#include <algorithm>
#include <limits>

namespace pvsm {

EndFadeSink::EndFadeSink(TimelineSink &inner, int fadeFrames) : m_inner(inner), m_fadeFrames(std::max(1, fadeFrames)) {}

double EndFadeSink::lightAt(int64_t fromEnd, int fadeFrames)
{
    if (fadeFrames < 1 || fromEnd >= fadeFrames) return 1.0;
    return std::max<double>(0.0, double(fromEnd) / fadeFrames);
}

bool EndFadeSink::forward(const QImage &picture, int64_t count)
{
    // The sink behind takes at most an int of frames per write.
    while (count > 0) {
        const int n = int(std::min<int64_t>(count, std::numeric_limits<int>::max()));
        if (!m_inner.WriteFrame(picture, n)) {
            m_failed = true;
            return false;
        }
        count -= n;
    }
    return true;
}

bool EndFadeSink::handOn(int64_t keep)
{
    while (!m_held.empty() && m_heldFrames > keep) {
        Held &first = m_held.front();
        const int64_t excess = m_heldFrames - keep;
        const int64_t n = std::min(first.count, excess);
        if (!forward(first.picture, n)) return false;
        first.count -= n;
        m_heldFrames -= n;
        if (first.count == 0) m_held.pop_front();
    }
    return true;
}

bool EndFadeSink::WriteFrame(const QImage &frame, int count)
{
    if (m_failed || m_inner.stopped() || count < 1) return false;
    m_held.push_back({frame.copy(), count});
    m_heldFrames += count;
    m_counter += count;
    return handOn(m_fadeFrames);
}

void EndFadeSink::setFrameCounter(int64_t frames)
{
    if (frames <= m_counter) return;
    if (m_held.empty()) {
        // Nothing is held back: the sink behind repeats its own last picture.
        m_inner.setFrameCounter(m_inner.FrameCounter() + (frames - m_counter));
        m_counter = frames;
        return;
    }
    m_held.back().count += frames - m_counter;
    m_heldFrames += frames - m_counter;
    m_counter = frames;
    handOn(m_fadeFrames);
}

bool EndFadeSink::finish()
{
    if (m_failed || m_inner.stopped()) return false;
    int64_t fromEnd = m_heldFrames;
    while (!m_held.empty()) {
        Held held = std::move(m_held.front());
        m_held.pop_front();
        for (int64_t i = 0; i < held.count; ++i) {
            --fromEnd;
            QImage dark = held.picture.convertToFormat(QImage::Format_RGB32);
            const double light = lightAt(fromEnd, m_fadeFrames);
            if (light < 1.0) {
                QPainter painter(&dark);
                painter.fillRect(dark.rect(), QColor(0, 0, 0, int(std::lround((1.0 - light) * 255))));
            }
            if (!forward(dark, 1)) return false;
        }
    }
    m_heldFrames = 0;
    return true;
}

} // namespace pvsm
