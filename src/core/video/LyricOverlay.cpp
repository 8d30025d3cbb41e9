#include "LyricOverlay.h"

namespace pvsm {

LyricOverlaySink::LyricOverlaySink(TimelineSink &inner, Soundtrack &soundtrack)
    : OverlayTimelineSink(inner)
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
            QImage &canvas = canvasOf(frame);
            m_soundtrack.drawLyric(canvas, shot);
            ok = m_inner.WriteFrame(canvas, run);
        }
        // A run that failed fails the whole write, as the inner sink's would.
        if (!ok) return false;
        first = next;
        shot = std::move(nextShot);
    }
    return true;
}

} // namespace pvsm
