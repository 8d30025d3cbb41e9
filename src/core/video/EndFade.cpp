#include "EndFade.h"

#include <QPainter>

#include <algorithm>
#include <cstring>
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

int64_t EndFadeSink::mayFade() const
{
    if (m_end >= 0) return 0;
    return std::max<int64_t>(0, m_fadeFrames - std::max<int64_t>(0, m_expected - m_counter));
}

bool EndFadeSink::forwardAt(const QImage &picture, int64_t count)
{
    const int64_t fadeStart = m_end >= 0 ? m_end - m_fadeFrames : std::numeric_limits<int64_t>::max();
    const int64_t plain = std::clamp<int64_t>(fadeStart - m_forwarded, 0, count);
    if (plain > 0) {
        if (!forward(picture, plain)) return false;
        m_forwarded += plain;
    }
    for (int64_t i = plain; i < count; ++i) {
        const double light = lightAt(m_end - 1 - m_forwarded, m_fadeFrames);
        if (light < 1.0) {
            m_dark = picture.convertToFormat(QImage::Format_RGB32);
            QPainter painter(&m_dark);
            painter.fillRect(m_dark.rect(), QColor(0, 0, 0, int(std::lround((1.0 - light) * 255))));
        }
        if (!forward(light < 1.0 ? m_dark : picture, 1)) return false;
        ++m_forwarded;
    }
    return true;
}

bool EndFadeSink::handOn(int64_t keep)
{
    while (!m_held.empty() && m_heldFrames > keep) {
        Held &first = m_held.front();
        const int64_t n = std::min(first.count, m_heldFrames - keep);
        if (!forwardAt(first.picture, n)) return false;
        first.count -= n;
        m_heldFrames -= n;
        if (first.count == 0) {
            if (m_held.size() == 1) m_last = first.picture;
            m_held.pop_front();
        }
    }
    return true;
}

void EndFadeSink::endUnknown()
{
    // The word on the end was wrong: what was handed on stays as it went,
    // and the rest waits for finish() as it would have without the word.
    m_end = -1;
    m_expected = 0;
}

bool EndFadeSink::WriteFrame(const QImage &frame, int count)
{
    if (m_failed || m_inner.stopped() || count < 1) return false;
    if (m_end >= 0 && m_counter + count > m_end) endUnknown();
    m_counter += count;
    if (!m_held.empty()) {
        m_held.push_back({frame.copy(), count});
        m_heldFrames += count;
        m_peakHeld = std::max(m_peakHeld, m_held.size());
        return handOn(mayFade());
    }
    const int64_t keep = std::min<int64_t>(count, mayFade());
    if (count > keep && !forwardAt(frame, count - keep)) return false;
    if (keep > 0) {
        m_held.push_back({frame.copy(), keep});
        m_heldFrames += keep;
        m_peakHeld = std::max(m_peakHeld, m_held.size());
        m_last = QImage();
    } else if (m_end >= 0 || m_counter > m_expected - 2 * int64_t(m_fadeFrames)) {
        // A later jump of the frame counter repeats this picture, maybe into the fade.
        if (m_last.size() == frame.size() && m_last.format() == frame.format()
            && m_last.bytesPerLine() == frame.bytesPerLine() && m_last.isDetached())
            std::memcpy(m_last.bits(), frame.constBits(), size_t(frame.sizeInBytes()));
        else
            m_last = frame.copy();
    } else {
        m_last = QImage();
    }
    return true;
}

void EndFadeSink::expectAtLeast(int64_t total)
{
    if (m_end >= 0 || total <= m_expected) return;
    m_expected = total;
    handOn(mayFade());
}

void EndFadeSink::expectEnd(int64_t total)
{
    if (total < m_counter) return; // more is written already: the word cannot be right
    m_end = total;
    handOn(0);
}

void EndFadeSink::setFrameCounter(int64_t frames)
{
    if (frames <= m_counter) return;
    const int64_t n = frames - m_counter;
    if (m_end >= 0 && frames > m_end) endUnknown();
    const bool mayFadeAfter = m_end >= 0 ? frames > m_end - m_fadeFrames : frames > m_expected - m_fadeFrames;
    if (m_held.empty() && !m_last.isNull() && mayFadeAfter) {
        // Repeats of the last picture handed on that may lie in the fade.
        m_held.push_back({m_last, 0});
        m_last = QImage();
    }
    if (m_held.empty()) {
        // Nothing is held back and the repeats lie before any fade: the sink
        // behind repeats its own last picture.
        m_inner.setFrameCounter(m_inner.FrameCounter() + n);
        m_counter = frames;
        m_forwarded += n;
        return;
    }
    m_held.back().count += n;
    m_heldFrames += n;
    m_counter = frames;
    handOn(mayFade());
}

bool EndFadeSink::finish()
{
    if (m_failed || m_inner.stopped()) return false;
    m_end = m_counter;
    if (!handOn(0)) return false;
    m_heldFrames = 0;
    return true;
}

} // namespace pvsm
