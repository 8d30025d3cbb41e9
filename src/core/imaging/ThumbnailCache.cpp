#include "ThumbnailCache.h"

#include "ExifThumbnail.h"

#include "PictureDraw.h"
#include "PictureLoad.h"
#include "ThreadPriority.h"

#include <QDateTime>
#include <QFileInfo>

#include <algorithm>

namespace pvsm {

namespace {

// The strip asks again for the cells it shows after every scroll; only the
// latest asks are ahead of the prefetch, older ones wait their turn behind it.
constexpr size_t kUrgentKept = 14;
// Which queues hold a picture (a bit each), so that it is queued once in each.
constexpr int kInUrgent = 1;
constexpr int kInBackground = 2;

} // namespace

ThumbnailCache::ThumbnailCache() : ThumbnailCache(Options{}) {}

ThumbnailCache::ThumbnailCache(const Options &options) : m_options(options)
{
    int threads = options.threads > 0 ? options.threads : int(std::thread::hardware_concurrency());
    threads = std::max(1, threads);
    for (int k = 0; k < threads; ++k) m_threads.emplace_back([this] { work(); });
}

ThumbnailCache::~ThumbnailCache()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_urgent.clear();
        m_background.clear();
        m_queued.clear();
    }
    m_wake.notify_all();
    for (std::thread &t : m_threads) t.join();
}

int64_t ThumbnailCache::bytesOf(const QImage &image) { return image.isNull() ? 64 : int64_t(image.sizeInBytes()); }

ThumbnailCache::Stamp ThumbnailCache::stampOf(const QString &path, bool *exists)
{
    const QFileInfo info(path);
    *exists = info.isFile();
    if (!*exists) return {};
    return {info.size(), info.lastModified().toMSecsSinceEpoch()};
}

QString ThumbnailCache::keyOf(const QString &path, QSize cell)
{
    return QString::number(cell.width()) + QLatin1Char('x') + QString::number(cell.height()) + QLatin1Char(':') + path;
}

ThumbnailCache::Thumbnail ThumbnailCache::get(const QString &path, QSize cell)
{
    bool exists = false;
    const Stamp stamp = stampOf(path, &exists);
    if (!exists || cell.isEmpty()) return {State::Unavailable, {}};
    const QString key = keyOf(path, cell);
    {
        std::lock_guard lock(m_mutex);
        auto found = m_entries.find(key);
        if (found != m_entries.end() && found->second.stamp == stamp) {
            m_uses.splice(m_uses.begin(), m_uses, found->second.use);
            const QImage &image = found->second.image;
            return {image.isNull() ? State::Unavailable : State::Ready, image};
        }
    }
    enqueue(path, cell, true);
    return {State::Pending, {}};
}

void ThumbnailCache::prefetch(const QStringList &paths, QSize cell)
{
    if (cell.isEmpty()) return;
    for (const QString &path : paths) enqueue(path, cell, false);
}

void ThumbnailCache::enqueue(const QString &path, QSize cell, bool urgent)
{
    const QString key = keyOf(path, cell);
    {
        std::lock_guard lock(m_mutex);
        if (m_stop) return;
        // A cached thumbnail is checked against the file when it is asked for.
        if (!urgent && m_entries.count(key)) return;
        int &queues = m_queued[key];
        const int mine = urgent ? kInUrgent : kInBackground;
        if (queues & mine) return;
        queues |= mine;
        if (urgent) {
            m_urgent.push_back({path, cell});
            if (m_urgent.size() > kUrgentKept) {
                Job oldest = std::move(m_urgent.front());
                m_urgent.pop_front();
                int &its = m_queued[keyOf(oldest.path, oldest.cell)];
                its &= ~kInUrgent;
                if (!(its & kInBackground)) {
                    its |= kInBackground;
                    m_background.push_front(std::move(oldest));
                }
            }
        } else {
            m_background.push_back({path, cell});
        }
    }
    m_wake.notify_one();
}

void ThumbnailCache::setListener(std::function<void(const QString &)> listener)
{
    std::lock_guard lock(m_listenerMutex);
    m_listener = std::move(listener);
}

int ThumbnailCache::decodes() const
{
    std::lock_guard lock(m_mutex);
    return m_decodes;
}

int ThumbnailCache::pending() const
{
    std::lock_guard lock(m_mutex);
    return int(m_queued.size()) + m_busy;
}

bool ThumbnailCache::waitIdle(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return m_queued.empty() && m_busy == 0; });
}

void ThumbnailCache::store(const QString &key, const Stamp &stamp, const QImage &image)
{
    auto found = m_entries.find(key);
    if (found != m_entries.end()) {
        m_bytes -= bytesOf(found->second.image);
        m_uses.erase(found->second.use);
        m_entries.erase(found);
    }
    m_uses.push_front(key);
    m_entries.emplace(key, Entry{stamp, image, m_uses.begin()});
    m_bytes += bytesOf(image);
    while (m_bytes > m_options.budgetBytes && m_uses.size() > 1) {
        auto last = m_entries.find(m_uses.back());
        m_bytes -= bytesOf(last->second.image);
        m_entries.erase(last);
        m_uses.pop_back();
    }
}

void ThumbnailCache::work()
{
    LowerThreadPriority(m_options.niceness);
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_urgent.empty() || !m_background.empty(); });
            if (m_stop) return;
            const bool urgent = !m_urgent.empty();
            std::deque<Job> &queue = urgent ? m_urgent : m_background;
            job = std::move(queue.front());
            queue.pop_front();
            auto queued = m_queued.find(keyOf(job.path, job.cell));
            if (queued != m_queued.end() && (queued->second &= ~(urgent ? kInUrgent : kInBackground)) == 0)
                m_queued.erase(queued);
            ++m_busy;
        }
        const QString key = keyOf(job.path, job.cell);
        bool exists = false;
        const Stamp stamp = stampOf(job.path, &exists);
        bool decoded = false;
        {
            std::lock_guard lock(m_mutex);
            auto found = m_entries.find(key);
            // A picture in both queues may reach two workers at once: one decodes it.
            decoded = (exists && found != m_entries.end() && found->second.stamp == stamp)
                      || !m_decoding.insert(key).second;
        }
        if (!decoded) {
            QImage image;
            // A camera photo's own preview first; the whole decode when it has none that serves.
            if (exists) image = LoadExifThumbnail(job.path, job.cell);
            if (exists && image.isNull()) image = LoadPictureForTarget(job.path, kDrawFit, job.cell);
            std::lock_guard lock(m_mutex);
            if (exists) ++m_decodes;
            store(key, stamp, image);
            m_decoding.erase(key);
        }
        // Heard before the cache counts as idle, so a waiter sees every call made.
        if (!decoded) {
            std::lock_guard lock(m_listenerMutex);
            if (m_listener) m_listener(job.path);
        }
        {
            std::lock_guard lock(m_mutex);
            --m_busy;
            if (m_queued.empty() && m_busy == 0) m_idle.notify_all();
        }
    }
}

} // namespace pvsm
