#include "PacedSink.h"

#include <algorithm>

namespace pvsm {

PacedTimelineSink::PacedTimelineSink(PlaybackClock &clock, FrameDisplay &display, double fps, double origin)
    : m_clock(clock), m_display(display), m_fps(fps > 0 ? fps : 30.0), m_origin(origin), m_tolerance(0.5 / m_fps)
{
}

void PacedTimelineSink::setFrameCounter(int64_t frames)
{
    if (frames > m_counter) {
        if (m_skipping.load()) m_stats.skipped += frames - m_counter;
        else m_stats.frames += frames - m_counter;
        m_counter = frames;
    }
}

bool PacedTimelineSink::WriteFrame(const QImage &frame, int count)
{
    if (m_cancelled.load() || count < 1) return false;
    const int64_t first = m_counter + 1;
    const double due = dueTime(first);
    const double end = dueTime(first + count);
    double now = m_clock.now();
    if (m_startsWhenReady && m_stats.pictures == 1 && !m_skipping.load() && now > due) {
        m_clock.seek(due);
        now = m_clock.now();
    }
    // The clock may be paused, or moved by a skip, while we wait: the wait
    // ends only at the frame's time, a skip or a stop.
    while (now < due && !m_wake.load()) now = m_clock.waitUntil(due, &m_wake);
    if (m_cancelled.load()) return false;
    if (m_skipping.load()) {
        m_stats.skipped += count;
        m_counter += count;
        return true;
    }
    ++m_stats.pictures;
    m_stats.frames += count;
    if (now >= end) {
        ++m_stats.dropped;
    } else {
        const double lateness = std::max(0.0, now - due);
        m_display.present(frame, first);
        if (lateness > m_tolerance) ++m_stats.late;
        else ++m_stats.presented;
        m_stats.worstLateness = std::max(m_stats.worstLateness, lateness);
        // Frames of the run whose time passed before the picture was up
        // were not on time; the rest were.
        const int64_t missed = lateness > m_tolerance ? int64_t(lateness * m_fps + 0.5) : 0;
        m_stats.framesOnTime += std::max<int64_t>(0, count - missed);
    }
    m_counter += count;
    return true;
}

} // namespace pvsm
