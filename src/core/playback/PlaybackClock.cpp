#include "PlaybackClock.h"

#include <algorithm>
#include <thread>

namespace pvsm {

SystemPlaybackClock::SystemPlaybackClock() : m_start(std::chrono::steady_clock::now()) {}

double SystemPlaybackClock::elapsed() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

double SystemPlaybackClock::now() const
{
    std::lock_guard lock(m_mutex);
    return m_paused ? m_pausedAt : elapsed() + m_offset;
}

void SystemPlaybackClock::setPaused(bool paused)
{
    std::lock_guard lock(m_mutex);
    if (paused == m_paused) return;
    if (paused) m_pausedAt = elapsed() + m_offset;
    else m_offset = m_pausedAt - elapsed();
    m_paused = paused;
}

bool SystemPlaybackClock::paused() const
{
    std::lock_guard lock(m_mutex);
    return m_paused;
}

void SystemPlaybackClock::seek(double seconds)
{
    std::lock_guard lock(m_mutex);
    if (m_paused) m_pausedAt = seconds;
    else m_offset = seconds - elapsed();
}

void SystemPlaybackClock::shift(double seconds)
{
    seek(now() + seconds);
}

double SystemPlaybackClock::waitUntil(double seconds, const std::atomic<bool> *wake)
{
    // Short sleeps rather than one long one, so a stop or skip is seen within
    // a few milliseconds and a paused or moved clock is honoured.
    for (;;) {
        const double t = now();
        if (t >= seconds || (wake && wake->load())) return t;
        const double left = std::clamp(seconds - t, 0.0005, 0.004);
        std::this_thread::sleep_for(std::chrono::duration<double>(left));
    }
}

double VirtualPlaybackClock::waitUntil(double seconds, const std::atomic<bool> *wake)
{
    while (m_paused.load() && !(wake && wake->load()))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!(wake && wake->load()) && m_now.load() < seconds) m_now.store(seconds);
    return m_now.load();
}

} // namespace pvsm
