#include "WorkerPrompter.h"

#include <QThread>

#include <condition_variable>
#include <mutex>

namespace pvsm::ui {

// What the worker and the window thread share. Queued calls hold it, not the
// prompter, so a call that runs late finds it alive.
struct WorkerPrompter::Shared
{
    std::mutex mutex;
    std::condition_variable changed;
    bool closed = false;
};

WorkerPrompter::WorkerPrompter(Prompter &windowPrompter)
    : m_window(windowPrompter)
    , m_shared(std::make_shared<Shared>())
    , m_context(new QObject)
    , m_windowThread(QThread::currentThread())
{
}

WorkerPrompter::~WorkerPrompter()
{
    close();
}

void WorkerPrompter::close()
{
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->closed) return;
        m_shared->closed = true;
    }
    m_shared->changed.notify_all();
    // Later: a dialog of a queued call may still be open in a nested loop.
    m_context->deleteLater();
}

// The worker waits on a condition of its own rather than in a blocking queued
// connection, so that closing can release it however the window thread is
// occupied; a call that already shows its dialog is still waited for, since
// it writes the worker's answer when it returns.
void WorkerPrompter::onWindowThread(const std::function<void()> &call)
{
    if (QThread::currentThread() == m_windowThread) {
        if (!m_shared->closed) call();
        return;
    }
    struct State
    {
        bool started = false;
        bool done = false;
    };
    const auto state = std::make_shared<State>();
    const std::shared_ptr<Shared> shared = m_shared;
    {
        std::lock_guard lock(shared->mutex);
        if (shared->closed) return;
        QMetaObject::invokeMethod(
            m_context,
            [shared, state, &call] {
                {
                    std::lock_guard lock(shared->mutex);
                    if (shared->closed) return;
                    state->started = true;
                }
                call();
                {
                    std::lock_guard lock(shared->mutex);
                    state->done = true;
                }
                shared->changed.notify_all();
            },
            Qt::QueuedConnection);
    }
    std::unique_lock lock(shared->mutex);
    shared->changed.wait(lock, [&] { return state->done || (shared->closed && !state->started); });
}

Answer WorkerPrompter::ask(const QString &text, PromptButtons buttons, PromptIcon icon, const QString &title)
{
    Answer answer = Answer::Cancel;
    onWindowThread([&] { answer = m_window.ask(text, buttons, icon, title); });
    return answer;
}

void WorkerPrompter::inform(const QString &text, PromptIcon icon)
{
    onWindowThread([&] { m_window.inform(text, icon); });
}

QString WorkerPrompter::chooseSaveFile(const FileDialogRequest &request)
{
    QString path;
    onWindowThread([&] { path = m_window.chooseSaveFile(request); });
    return path;
}

QString WorkerPrompter::chooseOpenFile(const FileDialogRequest &request)
{
    QString path;
    onWindowThread([&] { path = m_window.chooseOpenFile(request); });
    return path;
}

int WorkerPrompter::chooseItem(const QString &title, const QString &label, const QStringList &items)
{
    int chosen = -1;
    onWindowThread([&] { chosen = m_window.chooseItem(title, label, items); });
    return chosen;
}

} // namespace pvsm::ui
