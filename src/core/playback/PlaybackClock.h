#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

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
    // show was stopped or skipped). Returns now(). Waits through a pause.
    virtual double waitUntil(double seconds, const std::atomic<bool> *wake) = 0;
    // A paused clock stands still until it is resumed.
    virtual void setPaused(bool paused) { (void)paused; }
    virtual bool paused() const { return false; }
    // Puts the clock at `seconds` (a skip to another slide); paused or not.
    virtual void seek(double seconds) { (void)seconds; }
};

// The steady system clock, for shows without an audio device.
class SystemPlaybackClock final : public PlaybackClock
{
public:
    SystemPlaybackClock();
    double now() const override;
    double waitUntil(double seconds, const std::atomic<bool> *wake) override;
    void setPaused(bool paused) override;
    bool paused() const override;
    void seek(double seconds) override;
    // Moves the clock by `seconds` (a skip forward or back).
    void shift(double seconds);

private:
    double elapsed() const;

    std::chrono::steady_clock::time_point m_start;
    mutable std::mutex m_mutex;
    double m_offset = 0;     // now() = elapsed() + m_offset while running
    bool m_paused = false;
    double m_pausedAt = 0;   // now() while paused
};

// A clock that only moves when someone waits on it, for tests and the
// benchmark: waitUntil() jumps to the time asked for. advance() stands for
// the work a renderer spent (rendering time shows up as lateness). While
// paused, waitUntil() blocks (without moving) until resumed or woken.
class VirtualPlaybackClock final : public PlaybackClock
{
public:
    double now() const override { return m_now.load(); }
    double waitUntil(double seconds, const std::atomic<bool> *wake) override;
    void advance(double seconds) { m_now.store(m_now.load() + seconds); }
    void set(double seconds) { m_now.store(seconds); }
    void setPaused(bool paused) override { m_paused.store(paused); }
    bool paused() const override { return m_paused.load(); }
    void seek(double seconds) override { set(seconds); }

private:
    std::atomic<double> m_now{0};
    std::atomic<bool> m_paused{false};
};

} // namespace pvsm
