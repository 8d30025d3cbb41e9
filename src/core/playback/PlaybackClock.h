#pragma once

#include <atomic>
#include <chrono>
#include <memory>

namespace pvsm {

// The time a presentation runs against, in seconds from its start. The
// presenter asks it what time it is and waits on it for a frame's time; a
// clock that is paused does not advance.
class PlaybackClock
{
public:
    virtual ~PlaybackClock() = default;
    virtual double now() const = 0;
    // Returns once now() >= seconds, or early when `wake` becomes true (the
    // show was stopped or skipped). Returns now().
    virtual double waitUntil(double seconds, const std::atomic<bool> *wake) = 0;
};

// The steady system clock, for shows without an audio device.
class SystemPlaybackClock final : public PlaybackClock
{
public:
    SystemPlaybackClock();
    double now() const override;
    double waitUntil(double seconds, const std::atomic<bool> *wake) override;
    // Moves the clock by `seconds` (a skip forward or back).
    void shift(double seconds);

private:
    std::chrono::steady_clock::time_point m_start;
    std::atomic<double> m_offset{0};
};

// A clock that only moves when someone waits on it, for tests and the
// benchmark: waitUntil() jumps to the time asked for. advance() stands for
// the work a renderer spent (rendering time shows up as lateness).
class VirtualPlaybackClock final : public PlaybackClock
{
public:
    double now() const override { return m_now.load(); }
    double waitUntil(double seconds, const std::atomic<bool> *wake) override;
    void advance(double seconds) { m_now.store(m_now.load() + seconds); }
    void set(double seconds) { m_now.store(seconds); }

private:
    std::atomic<double> m_now{0};
};

} // namespace pvsm
