#pragma once

#include "FrameDisplay.h"
#include "PlaybackClock.h"
#include "Timeline.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

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
// `display` at their time against `clock`. A picture whose whole run of
// frames has passed when its turn comes is not shown at all (a late one that
// still has time left is shown at once), so the show never drifts.
//
// The renderer runs ahead: up to `ahead` pictures wait, copied, for their
// time, and a thread of the sink's own shows them. A renderer that is slow
// for a few frames (a costly transition step, a photo being decoded beside
// it) then loses nothing, and during a held slide the next transition's
// first pictures are made before they are due. WriteFrame blocks while the
// queue is full. The display is called on the sink's thread.
class PacedTimelineSink : public TimelineSink
{
public:
    PacedTimelineSink(PlaybackClock &clock, FrameDisplay &display, double fps, double origin = 0, int ahead = 8);
    ~PacedTimelineSink() override; // drops what is still queued, stops the thread

    bool WriteFrame(const QImage &frame, int count = 1) override;
    int64_t FrameCounter() const override { return m_counter; }
    void setFrameCounter(int64_t frames) override;
    void cancel() override;
    bool cancelled() const override { return m_cancelled.load(); }
    bool failed() const override { return false; }

    // Waits until every queued picture has had its turn (the show's end).
    void drain();
    // Makes the sink new for another run of the renderer (the show laid out
    // anew): nothing queued, frame 0, not cancelled, fresh statistics. Only
    // while no WriteFrame runs. The sink's thread stays, with its priority.
    void restart();

    // The time frame `n` (from 1) is due.
    double dueTime(int64_t n) const { return m_origin + double(n - 1) / m_fps; }
    double fps() const { return m_fps; }
    // Pictures later than this are counted late; 0.5 / fps by default.
    void setTolerance(double seconds) { m_tolerance = seconds; }
    // A copy, from any thread.
    PacingStats stats() const;
    // The flag waits are woken by (set by cancel() and by skipping).
    const std::atomic<bool> *wakeFlag() const { return &m_wake; }

    // While skipping, pictures pass without waiting and without being shown
    // (the frame counter still counts them), and those queued are dropped:
    // the presenter skips to another slide this way. Any thread.
    void setSkipping(bool skipping);
    bool skipping() const { return m_skipping.load(); }
    // The show's time starts when its first slide is ready: when the first
    // or the second picture comes later than its time (the renderer starting
    // up, the first photo taking long to decode), the clock is set back to
    // that time, instead of the show's first animation being dropped.
    void setStartsWhenReady(bool on) { m_startsWhenReady = on; }

private:
    struct Item
    {
        QImage picture;
        int64_t first = 0;
        int count = 0;
        uint64_t generation = 0; // skips made before it was queued
    };
    void run();
    void show(const Item &item);

    PlaybackClock &m_clock;
    FrameDisplay &m_display;
    double m_fps;
    double m_origin;
    double m_tolerance;
    size_t m_ahead;
    int64_t m_counter = 0; // the renderer's
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_skipping{false};
    std::atomic<bool> m_wake{false};
    bool m_startsWhenReady = false;

    mutable std::mutex m_mutex; // everything below
    std::condition_variable m_changed;
    std::deque<Item> m_queue;
    std::vector<QImage> m_spare; // pictures to copy into, reused
    bool m_showing = false;      // the sink's thread is on a picture
    bool m_quit = false;
    uint64_t m_generation = 0;   // one more with every skip
    PacingStats m_stats;
    std::thread m_thread;
};

} // namespace pvsm
