#include "JobRunner.h"

#include "ThreadPriority.h"

#include <QThread>

namespace pvsm::ui {

bool ProgressThrottle::offer(int percent, const QString &caption, qint64 nowMs)
{
    m_percent = percent;
    m_caption = caption;
    m_pending = percent != m_deliveredPercent || caption != m_deliveredCaption;
    if (!m_pending) return false;
    return !m_deliveredOnce || caption != m_deliveredCaption || nowMs - m_lastDeliveredMs >= m_intervalMs;
}

void ProgressThrottle::markDelivered(qint64 nowMs)
{
    m_deliveredOnce = true;
    m_pending = false;
    m_lastDeliveredMs = nowMs;
    m_deliveredPercent = m_percent;
    m_deliveredCaption = m_caption;
}

namespace {

// How much less of the CPU the job's threads ask for than the window thread.
// The encoder keeps every core busy; at an equal share the window thread
// would wait its turn behind it for tens of milliseconds on a busy machine.
constexpr int kJobNiceness = 5;

} // namespace

JobRunner::JobRunner(Prompter &windowPrompter, QObject *parent)
    : QObject(parent)
    , m_prompter(windowPrompter)
{
    m_clock.start();
}

JobRunner::~JobRunner()
{
    if (!m_thread) return;
    cancel();
    // A question still queued for the window is answered as cancelled.
    m_prompter.close();
    m_thread->wait();
    delete m_thread;
}

bool JobRunner::isRunning() const
{
    return m_thread && !m_finished;
}

void JobRunner::start(Job job)
{
    Q_ASSERT(!m_thread);
    m_thread = QThread::create([this, job = std::move(job)] {
        // The encoder and frame-loop threads the job starts inherit the nice value.
        LowerThreadPriority(kJobNiceness);
        JobControl control;
        control.cancel = &m_cancel;
        control.progress = [this](int percent, const QString &caption) { report(percent, caption); };
        job(control, m_prompter);
        flush();
    });
    m_thread->setObjectName(QStringLiteral("pvsm-job"));
    connect(m_thread, &QThread::finished, this, [this] {
        m_thread->wait();
        m_finished = true;
        emit finished();
    });
    m_thread->start();
}

// Worker thread. Signals of an object living on the window thread, emitted
// here, are queued to the window thread's receivers.
void JobRunner::report(int percent, const QString &caption)
{
    std::lock_guard lock(m_progressMutex);
    const qint64 now = m_clock.elapsed();
    if (!m_throttle.offer(percent, caption, now)) return;
    m_throttle.markDelivered(now);
    emit progressChanged(percent, caption);
}

void JobRunner::flush()
{
    std::lock_guard lock(m_progressMutex);
    if (!m_throttle.pending()) return;
    m_throttle.markDelivered(m_clock.elapsed());
    emit progressChanged(m_throttle.percent(), m_throttle.caption());
}

} // namespace pvsm::ui
