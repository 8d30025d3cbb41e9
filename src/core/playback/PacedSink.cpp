#include "PacedSink.h"

#include <algorithm>
#include <cstring>

namespace pvsm {

PacedTimelineSink::PacedTimelineSink(PlaybackClock &clock, FrameDisplay &display, double fps, double origin, int ahead)
    : m_clock(clock), m_display(display), m_fps(fps > 0 ? fps : 30.0), m_origin(origin), m_tolerance(0.5 / m_fps),
      m_ahead(size_t(std::max(1, ahead)))
{
    m_thread = std::thread([this] { run(); });
}

PacedTimelineSink::~PacedTimelineSink()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_queue.clear();
    }
    m_wake.store(true);
    m_changed.notify_all();
    m_thread.join();
}

void PacedTimelineSink::cancel()
{
    m_cancelled.store(true);
    m_wake.store(true);
    std::lock_guard lock(m_mutex);
    m_queue.clear();
    m_changed.notify_all();
}

void PacedTimelineSink::setSkipping(bool skipping)
{
    std::lock_guard lock(m_mutex);
    m_skipping.store(skipping);
    m_wake.store(skipping || m_cancelled.load());
    if (skipping) {
        ++m_generation;
        for (const Item &item : m_queue) {
            m_stats.skipped += item.count;
            m_spare.push_back(item.picture);
        }
        m_queue.clear();
    }
    m_changed.notify_all();
}

PacingStats PacedTimelineSink::stats() const
{
    std::lock_guard lock(m_mutex);
    return m_stats;
}

void PacedTimelineSink::setFrameCounter(int64_t frames)
{
    if (frames <= m_counter) return;
    std::lock_guard lock(m_mutex);
    if (m_skipping.load()) m_stats.skipped += frames - m_counter;
    else m_stats.frames += frames - m_counter;
    m_counter = frames;
}

bool PacedTimelineSink::WriteFrame(const QImage &frame, int count)
{
    if (m_cancelled.load() || count < 1) return false;
    const int64_t first = m_counter + 1;
    m_counter += count;
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_queue.size() < m_ahead || m_cancelled.load() || m_skipping.load(); });
    if (m_cancelled.load()) return false;
    if (m_skipping.load()) {
        m_stats.skipped += count;
        return true;
    }
    Item item;
    item.first = first;
    item.count = count;
    // The renderer draws the next picture over this one: a copy waits.
    while (!m_spare.empty() && item.picture.isNull()) {
        QImage spare = std::move(m_spare.back());
        m_spare.pop_back();
        if (spare.size() == frame.size() && spare.format() == frame.format()
            && spare.bytesPerLine() == frame.bytesPerLine())
            item.picture = std::move(spare);
    }
    lock.unlock();
    if (item.picture.isNull()) item.picture = QImage(frame.size(), frame.format());
    std::memcpy(item.picture.bits(), frame.constBits(), size_t(frame.sizeInBytes()));
    lock.lock();
    if (m_cancelled.load()) return false;
    if (m_skipping.load()) {
        m_stats.skipped += count;
        m_spare.push_back(std::move(item.picture));
        return true;
    }
    item.generation = m_generation;
    m_queue.push_back(std::move(item));
    m_changed.notify_all();
    return true;
}

void PacedTimelineSink::restart()
{
    std::lock_guard lock(m_mutex);
    ++m_generation;
    for (Item &item : m_queue) m_spare.push_back(std::move(item.picture));
    m_queue.clear();
    m_counter = 0;
    m_stats = PacingStats();
    m_cancelled.store(false);
    m_skipping.store(false);
    m_wake.store(false);
    m_startsWhenReady = false;
    m_changed.notify_all();
}

void PacedTimelineSink::drain()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return (m_queue.empty() && !m_showing) || m_cancelled.load() || m_quit; });
}

void PacedTimelineSink::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_quit || !m_queue.empty(); });
        if (m_quit) return;
        Item item = std::move(m_queue.front());
        m_queue.pop_front();
        m_showing = true;
        m_changed.notify_all(); // room in the queue
        lock.unlock();
        show(item);
        lock.lock();
        m_showing = false;
        m_spare.push_back(std::move(item.picture));
        m_changed.notify_all();
    }
}

void PacedTimelineSink::show(const Item &item)
{
    const double due = dueTime(item.first);
    const double end = dueTime(item.first + item.count);
    double now = m_clock.now();
    bool starting;
    {
        std::lock_guard lock(m_mutex);
        starting = m_stats.pictures <= 1;
    }
    if (m_startsWhenReady && starting && now > due) {
        m_clock.seek(due);
        now = m_clock.now();
    }
    // The clock may be paused, or moved by a skip, while we wait: the wait
    // ends only at the frame's time, a skip or a stop.
    while (now < due && !m_wake.load()) now = m_clock.waitUntil(due, &m_wake);
    {
        std::lock_guard lock(m_mutex);
        if (m_cancelled.load() || m_skipping.load() || item.generation != m_generation) {
            m_stats.skipped += item.count;
            return;
        }
    }
    const bool shown = now < end;
    if (shown) m_display.present(item.picture, item.first);
    std::lock_guard lock(m_mutex);
    ++m_stats.pictures;
    m_stats.frames += item.count;
    if (!shown) {
        ++m_stats.dropped;
        return;
    }
    const double lateness = std::max(0.0, now - due);
    if (lateness > m_tolerance) ++m_stats.late;
    else ++m_stats.presented;
    m_stats.worstLateness = std::max(m_stats.worstLateness, lateness);
    // Frames of the run whose time passed before the picture was up were
    // not on time; the rest were.
    const int64_t missed = lateness > m_tolerance ? int64_t(lateness * m_fps + 0.5) : 0;
    m_stats.framesOnTime += std::max<int64_t>(0, item.count - missed);
}

} // namespace pvsm
