#include "PlaybackClock.h"

#include <algorithm>
#include <thread>

namespace pvsm {

SystemPlaybackClock::SystemPlaybackClock() : m_start(std::chrono::steady_clock::now()) {}

double SystemPlaybackClock::now() const
{
    const auto elapsed = std::chrono::steady_clock::now() - m_start;
    return std::chrono::duration<double>(elapsed).count() + m_offset.load();
}

void SystemPlaybackClock::shift(double seconds)
{
    m_offset.store(m_offset.load() + seconds);
}

double SystemPlaybackClock::waitUntil(double seconds, const std::atomic<bool> *wake)
{
    // Short sleeps rather than one long one, so a stop or skip is seen within
    // a few milliseconds and a shifted clock is honoured.
    for (;;) {
        const double t = now();
        if (t >= seconds || (wake && wake->load())) return t;
        const double left = std::min(seconds - t, 0.004);
        std::this_thread::sleep_for(std::chrono::duration<double>(left));
    }
}

double VirtualPlaybackClock::waitUntil(double seconds, const std::atomic<bool> *wake)
{
    if (!(wake && wake->load()) && m_now.load() < seconds) m_now.store(seconds);
    return m_now.load();
}

} // namespace pvsm
