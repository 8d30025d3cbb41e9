#include "LyricOverlay.h"

#include <cstring>

namespace pvsm {

LyricOverlaySink::LyricOverlaySink(TimelineSink &inner, Soundtrack &soundtrack)
    : m_inner(inner)
    , m_soundtrack(soundtrack)
{
}

void LyricOverlaySink::startMusic(int64_t musicStartFrame)
{
    m_musicStart = musicStartFrame;
}

bool LyricOverlaySink::WriteFrame(const QImage &frame, int count)
{
    if (m_musicStart < 0 || count < 1 || stopped()) return m_inner.WriteFrame(frame, count);
    int64_t first = FrameCounter() + 1;
    const int64_t end = first + count;
    LyricShot shot = m_soundtrack.lyricShot(first, m_musicStart);
    while (first < end) {
        int64_t next = first + 1;
        LyricShot nextShot;
        for (; next < end; ++next) {
            nextShot = m_soundtrack.lyricShot(next, m_musicStart);
            if (nextShot != shot) break;
        }
        const int run = int(next - first);
        bool ok = false;
        if (shot.empty()) {
            ok = m_inner.WriteFrame(frame, run);
        } else {
            // The canvas is overwritten in place: the sink copies what it keeps.
            if (m_canvas.size() != frame.size() || m_canvas.format() != frame.format()
                || m_canvas.bytesPerLine() != frame.bytesPerLine())
                m_canvas = QImage(frame.size(), frame.format());
            std::memcpy(m_canvas.bits(), frame.constBits(), size_t(frame.sizeInBytes()));
            m_soundtrack.drawLyric(m_canvas, shot);
            ok = m_inner.WriteFrame(m_canvas, run);
        }
        // A run that failed fails the whole write, as the inner sink's would.
        if (!ok) return false;
        first = next;
        shot = std::move(nextShot);
    }
    return true;
}

} // namespace pvsm
