#pragma once

#include "Job.h"
#include "WorkerPrompter.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>

class QThread;

namespace pvsm::ui {

// Which progress reports are worth a repaint: a new caption at once, a new
// percentage at most every `intervalMs`. Times are the caller's clock in
// milliseconds, so the rule is the same whatever the job's pace.
class ProgressThrottle
{
public:
    explicit ProgressThrottle(qint64 intervalMs = 50)
        : m_intervalMs(intervalMs)
    {
    }

    // Records the report; true when it should be delivered now.
    bool offer(int percent, const QString &caption, qint64 nowMs);
    // The last report offered, and whether it still waits to be delivered.
    bool pending() const { return m_pending; }
    int percent() const { return m_percent; }
    const QString &caption() const { return m_caption; }
    void markDelivered(qint64 nowMs);

private:
    qint64 m_intervalMs;
    qint64 m_lastDeliveredMs = 0;
    bool m_deliveredOnce = false;
    bool m_pending = false;
    int m_percent = -1;
    int m_deliveredPercent = -1;
    QString m_caption;
    QString m_deliveredCaption;
};

// Runs one core job on a worker thread. The job gets a JobControl (progress
// and the cancel flag) and a Prompter whose questions are shown by the
// window's prompter while the job waits. Progress reaches the window thread
// as queued signals, about 20 a second at most.
//
// Window thread only, apart from `cancel`. One job per runner. Destroying a
// running runner cancels the job, answers its questions as cancelled and
// waits for it to end.
class JobRunner : public QObject
{
    Q_OBJECT
public:
    using Job = std::function<void(const JobControl &control, Prompter &prompter)>;

    explicit JobRunner(Prompter &windowPrompter, QObject *parent = nullptr);
    ~JobRunner() override;

    void start(Job job);
    // Any thread: asks the job to stop; it does so within its own bound.
    void cancel() { m_cancel.store(true); }
    bool cancelRequested() const { return m_cancel.load(); }
    bool isRunning() const;
    bool hasFinished() const { return m_finished; }

signals:
    // Emitted on the worker thread: connect them to a receiver on the window
    // thread (a context object with a lambda), which makes them queued.
    // The last report of the job always arrives, before `finished`.
    void progressChanged(int percent, const QString &caption);
    // Emitted on the window thread, once the job's function returned and its thread ended.
    void finished();

private:
    void report(int percent, const QString &caption);
    void flush();

    WorkerPrompter m_prompter;
    std::atomic<bool> m_cancel{false};
    QThread *m_thread = nullptr;
    bool m_finished = false;
    std::mutex m_progressMutex;
    ProgressThrottle m_throttle;
    QElapsedTimer m_clock;
};

} // namespace pvsm::ui
