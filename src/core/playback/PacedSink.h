#pragma once

#include "FrameDisplay.h"
#include "PlaybackClock.h"
#include "Timeline.h"

#include <atomic>
#include <cstdint>

namespace pvsm {

// How a presentation kept its times.
struct PacingStats
{
    int64_t pictures = 0;      // pictures handed to the sink
    int64_t presented = 0;     // shown at their time (within `tolerance`)
    int64_t late = 0;          // shown, but later than `tolerance`
    int64_t dropped = 0;       // never shown: their time had passed
    int64_t frames = 0;        // frames of the timeline, repeats included
    int64_t framesOnTime = 0;  // of `frames`, those whose picture was on screen at their time
    double worstLateness = 0;  // seconds
    int64_t skipped = 0;       // frames passed over by a skip (not counted above)
};

// The timeline sink of real-time playback: the frames a renderer writes
// (frame n standing for the time (n - 1) / fps after `origin`) are shown on
// `display` at their time against `clock`. A renderer that is ahead waits;
// one that is behind has its late pictures dropped (a picture whose whole run
// of frames has passed is not shown at all) instead of the show drifting.
// A held slide is one write of many frames, so lost time is made up there.
class PacedTimelineSink : public TimelineSink
{
public:
    PacedTimelineSink(PlaybackClock &clock, FrameDisplay &display, double fps, double origin = 0);

    bool WriteFrame(const QImage &frame, int count = 1) override;
    int64_t FrameCounter() const override { return m_counter; }
    void setFrameCounter(int64_t frames) override;
    void cancel() override
    {
        m_cancelled.store(true);
        m_wake.store(true);
    }
    bool cancelled() const override { return m_cancelled.load(); }
    bool failed() const override { return false; }

    // The time frame `n` (from 1) is due.
    double dueTime(int64_t n) const { return m_origin + double(n - 1) / m_fps; }
    double fps() const { return m_fps; }
    // Pictures later than this are counted late; 0.5 / fps by default.
    void setTolerance(double seconds) { m_tolerance = seconds; }
    const PacingStats &stats() const { return m_stats; }
    // The flag waits are woken by (set by cancel() and by skipping).
    const std::atomic<bool> *wakeFlag() const { return &m_wake; }

    // While skipping, pictures pass without waiting and without being shown
    // (the frame counter still counts them): the presenter skips to another
    // slide this way. Any thread; a waiting write gives up its wait.
    void setSkipping(bool skipping)
    {
        m_skipping.store(skipping);
        m_wake.store(skipping || m_cancelled.load());
    }
    bool skipping() const { return m_skipping.load(); }
    // The show's time starts when its first slide is ready: when the second
    // picture comes later than its time (the first photo took long to
    // decode), the clock is set back to that time once, instead of the
    // show's first animation being dropped.
    void setStartsWhenReady(bool on) { m_startsWhenReady = on; }

private:
    PlaybackClock &m_clock;
    FrameDisplay &m_display;
    double m_fps;
    double m_origin;
    double m_tolerance;
    int64_t m_counter = 0;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_skipping{false};
    std::atomic<bool> m_wake{false};
    bool m_startsWhenReady = false;
    PacingStats m_stats;
};

} // namespace pvsm
