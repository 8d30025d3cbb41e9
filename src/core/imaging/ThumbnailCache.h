#pragma once

// Thumbnails of the picture list, decoded on worker threads at the size they
// are shown and kept in memory, keyed by path and cell size and stamped with
// the file's size and modification time. A list that is reordered, an undo or
// a project opened again finds its thumbnails here without decoding; a file
// that changed on disk is decoded again. A file that is missing or cannot be
// decoded gives an Unavailable thumbnail (the caller draws a placeholder).

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace pvsm {

class ThumbnailCache
{
public:
    struct Options
    {
        int threads = 0;                        // 0: one per core
        int64_t budgetBytes = int64_t(256) << 20; // the least recently shown go first beyond it
        int niceness = 5;                       // how much less of the CPU the workers ask for than their creator
    };
    ThumbnailCache();
    explicit ThumbnailCache(const Options &options);
    ~ThumbnailCache(); // waits for the decodes under way; drops the queued ones
    ThumbnailCache(const ThumbnailCache &) = delete;
    ThumbnailCache &operator=(const ThumbnailCache &) = delete;

    enum class State { Pending, Ready, Unavailable };
    struct Thumbnail
    {
        State state = State::Pending;
        QImage image; // Ready: the picture fitted into the cell, upright
    };

    // The thumbnail of `path` for a cell of `cell` pixels. Not cached yet (or
    // changed on disk): queued ahead of the prefetched ones and Pending. Reads
    // the file's size and time, never its contents.
    Thumbnail get(const QString &path, QSize cell);

    // Queues every picture not cached yet behind the ones get() asked for.
    void prefetch(const QStringList &paths, QSize cell);

    // Called on a worker thread after each thumbnail was made (ready or
    // unavailable), with its path. Setting another (or none) waits for a call
    // under way, so the old one is never called afterwards.
    void setListener(std::function<void(const QString &path)> listener);

    // Decodes run so far, pictures queued or being decoded.
    int decodes() const;
    int pending() const;
    // Waits until nothing is queued or decoding; false after `timeoutMs`.
    bool waitIdle(int timeoutMs);

    // The size of a thumbnail's decoded picture (for the budget).
    static int64_t bytesOf(const QImage &image);

private:
    struct Stamp
    {
        int64_t size = -1;
        int64_t modifiedMs = -1;
        bool operator==(const Stamp &) const = default;
    };
    struct Entry
    {
        Stamp stamp;
        QImage image; // null: unavailable
        std::list<QString>::iterator use;
    };
    struct Job
    {
        QString path;
        QSize cell;
    };

    static Stamp stampOf(const QString &path, bool *exists);
    static QString keyOf(const QString &path, QSize cell);
    void enqueue(const QString &path, QSize cell, bool urgent);
    void work();
    void store(const QString &key, const Stamp &stamp, const QImage &image);

    Options m_options;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_urgent;
    std::deque<Job> m_background;
    std::unordered_map<QString, int> m_queued; // key -> the queues holding it
    std::unordered_map<QString, Entry> m_entries;
    std::unordered_set<QString> m_decoding;
    std::list<QString> m_uses; // most recently used first
    int64_t m_bytes = 0;
    int m_busy = 0;
    int m_decodes = 0;
    bool m_stop = false;
    std::mutex m_listenerMutex;
    std::function<void(const QString &)> m_listener;
    std::vector<std::thread> m_threads;
};

} // namespace pvsm
